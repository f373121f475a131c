#pragma once

#include <cstdint>

namespace corvane {

// The plug-in, loaded by name from the host folder with dlopen and released when this object
// goes. Windows the plug-in made must be gone before then: their code lives in the library.
class PluginLibrary {
public:
    // Throws std::runtime_error when the library or one of its exports is missing.
    explicit PluginLibrary(const char* name = "libZQDocTemplateMG.so");
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    int32_t (*RunAppEvn)(intptr_t, intptr_t, intptr_t, int32_t, int32_t, int32_t, int32_t);
    void (*GetDocList)(void*);
    int32_t (*ZQPackage_View)(intptr_t, intptr_t, intptr_t, int32_t);
    int32_t (*ZQPackage_ExportProc)(intptr_t, intptr_t, intptr_t, int32_t, intptr_t);
    void (*ZQPackage_Export)(intptr_t, intptr_t, intptr_t, int32_t, char**);
    int32_t (*ZQPackage_ImportProc)(intptr_t, intptr_t, intptr_t, int32_t, const char*, intptr_t);
    int32_t (*ZQPackage_Import)(intptr_t, intptr_t, intptr_t, int32_t, const char*);
    int32_t (*ZQPackage_Free)(intptr_t, intptr_t, intptr_t, int32_t, uint8_t);

private:
    template <typename F> void bind(F*& function, const char* name);
    void* m_handle;
};

} // namespace corvane
