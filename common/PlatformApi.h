#pragma once
// Windows-style names for POSIX services, so the rest of the common layer reads
// the same on every platform the product was written for.
#include <cstddef>

#include "ZTCommonDef.h"

size_t GetModuleFileName(HMODULE module, char* buffer, size_t size);
HMODULE LoadLibrary(const char* path);
void* GetProcAddress(HMODULE module, const char* name);
BOOL16 FreeLibrary(HMODULE module);
bool SetCurrentDirectory(const char* path);
long GetCurrentProcessId();
long GetCurrentThreadId();
void SetLastError(int code);
int GetLastError();
void Sleep(unsigned long milliseconds);
char* _strlwr(char* text);
char* _strupr(char* text);
int lstrcmp(const char* a, const char* b);
char* lstrcpy(char* dest, const char* src);
char* lstrcat(char* dest, const char* src);
size_t lstrlen(const char* text);

// Bounded copy used by our own code instead of lstrcpy: always terminates and
// reports whether the whole source fitted.
bool zt_strlcpy(char* dest, const char* src, size_t destSize);
