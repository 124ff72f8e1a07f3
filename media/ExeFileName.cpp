#include "media/ExeFileName.h"

#include <cstring>
#include <unistd.h>

// Plain arrays, zero before any constructor runs, so the split may happen during
// static construction.
char g_szExeDrive[kExePathPartSize];
char g_szExeDir[kExePathPartSize];
char g_szExeFName[kExePathPartSize];
char g_szExeExt[kExePathPartSize];

namespace {

void CopyPart(char* to, const char* from, std::size_t length)
{
    length = length < kExePathPartSize - 1 ? length : kExePathPartSize - 1;
    std::memcpy(to, from, length);
    to[length] = '\0';
}

}  // namespace

ExeFileName::ExeFileName()
{
    char path[kExePathPartSize] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    path[n > 0 ? n : 0] = '\0';
    Split(path);
}

ExeFileName::ExeFileName(const char* path)
{
    Split(path ? path : "");
}

void ExeFileName::Split(const char* path)
{
    const std::size_t length = std::strlen(path);
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    const char* dot = std::strrchr(name, '.');
    const char* end = path + length;
    g_szExeDrive[0] = '\0';
    CopyPart(g_szExeDir, path, static_cast<std::size_t>(name - path));
    CopyPart(g_szExeFName, name, static_cast<std::size_t>((dot ? dot : end) - name));
    CopyPart(g_szExeExt, dot ? dot : end, static_cast<std::size_t>(dot ? end - dot : 0));
}

ExeFileName g_ExeFileName;
