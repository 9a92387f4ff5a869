#include "PlatformApi.h"

#include <cctype>
#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

size_t GetModuleFileName(HMODULE, char* buffer, size_t size)
{
    Dl_info info{};
    if (!buffer || dladdr(reinterpret_cast<void*>(&GetModuleFileName), &info) == 0 || !info.dli_fname)
        return 0;
    const char* path = info.dli_fname;
    int slashes = 0;
    for (const char* p = path; *p; ++p)
        slashes += (*p == '/');
    if (slashes < 2)
        return 0;
    size_t len = strlen(path);
    if (len < size) {
        memcpy(buffer, path, len + 1);
        // program ".../files/bin/name" -> ".../files/"
        char* last = strrchr(buffer, '/');
        *last = '\0';
        last = strrchr(buffer, '/');
        last[1] = '\0';
    }
    return strlen(buffer);
}

HMODULE LoadLibrary(const char* path)
{
    void* handle = dlopen(path, RTLD_LAZY);
    if (!handle)
        printf("+Debug LoadLibrary(): %s\n", dlerror());
    return handle;
}

void* GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return dlsym(module, name);
}

BOOL16 FreeLibrary(HMODULE module)
{
    if (!module)
        return TRUE;
    return dlclose(module) == 0 ? TRUE : FALSE;
}

bool SetCurrentDirectory(const char* path)
{
    return path && chdir(path) == 0;
}

long GetCurrentProcessId()
{
    return static_cast<long>(getpid());
}

long GetCurrentThreadId()
{
    return static_cast<long>(pthread_self());
}

void SetLastError(int code)
{
    errno = code;
}

int GetLastError()
{
    return errno;
}

void Sleep(unsigned long milliseconds)
{
    // usleep() may refuse a second or more; sleep_for has no such limit.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

char* _strlwr(char* text)
{
    for (char* p = text; p && *p; ++p)
        *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
    return text;
}

char* _strupr(char* text)
{
    for (char* p = text; p && *p; ++p)
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    return text;
}

int lstrcmp(const char* a, const char* b)
{
    return strcmp(a, b);
}

char* lstrcpy(char* dest, const char* src)
{
    return strcpy(dest, src);
}

char* lstrcat(char* dest, const char* src)
{
    return strcat(dest, src);
}

size_t lstrlen(const char* text)
{
    return strlen(text);
}

bool zt_strlcpy(char* dest, const char* src, size_t destSize)
{
    if (!dest || destSize == 0)
        return false;
    if (!src) {
        dest[0] = '\0';
        return true;
    }
    size_t len = strnlen(src, destSize);
    if (len == destSize) {
        memcpy(dest, src, destSize - 1);
        dest[destSize - 1] = '\0';
        return false;
    }
    memcpy(dest, src, len + 1);
    return true;
}
