#include "PluginLibrary.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>

namespace corvane {

PluginLibrary::PluginLibrary(const char* name)
    : m_handle(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
    if (!m_handle)
        throw std::runtime_error(dlerror());
    try {
        bind(RunAppEvn, "RunAppEvn");
        bind(GetDocList, "GetDocList");
        bind(ZQPackage_View, "ZQPackage_View");
        bind(ZQPackage_ExportProc, "ZQPackage_ExportProc");
        bind(ZQPackage_Export, "ZQPackage_Export");
        bind(ZQPackage_ImportProc, "ZQPackage_ImportProc");
        bind(ZQPackage_Import, "ZQPackage_Import");
        bind(ZQPackage_Free, "ZQPackage_Free");
    } catch (...) {
        dlclose(m_handle);
        throw;
    }
}

PluginLibrary::~PluginLibrary() {
    dlclose(m_handle);
}

template <typename F> void PluginLibrary::bind(F*& function, const char* name) {
    function = reinterpret_cast<F*>(dlsym(m_handle, name));
    if (!function)
        throw std::runtime_error(std::string("the plug-in lacks ") + name);
}

} // namespace corvane
