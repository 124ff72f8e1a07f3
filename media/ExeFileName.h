#pragma once
// The running program's own path, split at start-up into drive, folder, file name
// and extension (as narrow strings in the file system's encoding). Linux paths have
// no drive: that part stays empty.
#include <cstddef>

inline constexpr std::size_t kExePathPartSize = 4096;

extern char g_szExeDrive[kExePathPartSize];
extern char g_szExeDir[kExePathPartSize];    // with its trailing '/'
extern char g_szExeFName[kExePathPartSize];
extern char g_szExeExt[kExePathPartSize];    // with its leading '.', or empty

class ExeFileName {
public:
    ExeFileName();                          // the running program (/proc/self/exe)
    explicit ExeFileName(const char* path);
    virtual ~ExeFileName() = default;

private:
    static void Split(const char* path);
};

extern ExeFileName g_ExeFileName;
