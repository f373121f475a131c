#pragma once

// The host's services as the plug-in binds them by name. Texts are zero-terminated GB18030;
// a text result is malloc'ed and the caller frees it; an out text is replaced by the callee,
// which frees its old value.

#include <cstdint>

extern "C" {

// The executable.
int32_t ZQDoResTypeProc(const char* typeName, const char* caption, const char* fullPath,
                        char** resText);
int32_t ZQImportNewRes(char** name, char** typeName, char** description, char** keyword,
                       const char* storedPath, const char* classPath, int32_t flag);
void SetOldParentID(int32_t id);
int32_t GetOldParentID(void);
// libZQPlatFormAPI.so
char* ZQGetCurUUID(const char* memo, const char* keywords, const char* origin, const char* reserved,
                   const char* fullPath, const char* module, int32_t parentId, int32_t kind,
                   int32_t flag);
// libZQDataIntegrateAPI.so
int32_t RegisterDataExN(const char* typeName, const char* caption, const char* uuid,
                        const char* resText);
int32_t RegisterDataN(const char* kind, const char* memo, const char* uuid);
char* GetDataInfo(int32_t itemId);
char* LoadDataFileName(int32_t itemId);
char* GetZQTempPathY(void);
// libZQProjectInfoAPI.so
char* ZQGetCurPrjSerial(void);
// libZQZipTool.so
char* CompressFile(const char* folder, const char* archive);
char* ExtractFile(const char* archive, const char* folder);
// libZQViewFile.so
void ViewFile(const char* path, int32_t mode, const char* title);
// libZQDBConAPI.so: a QSqlDatabase* that the host owns.
void* GetBaseDBConnection(void);
}
