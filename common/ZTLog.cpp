#include "ZTLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "LogFile.h"
#include "PlatformApi.h"
#include "global_def_var.h"

namespace {

void appendFormatted(std::string& out, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = vsnprintf(small, sizeof(small), format, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<size_t>(n) < sizeof(small)) {
        out.append(small, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(&big[0], big.size(), format, args);
    out.append(big.data(), static_cast<size_t>(n));
}

void writeLine(const char* fileName, const char* sourceFile, long line, const char* format, va_list args)
{
    const int savedError = GetLastError();
    char dir[ZT_PATH_LEN];
    ztLogDirectory(dir, sizeof(dir));
    if (dir[0]) {
        ztlogfile::LogFile file(dir, fileName);
        if (file.isOpen()) {
            time_t now = time(nullptr);
            struct tm tmNow {};
            localtime_r(&now, &tmNow);
            char head[160];
            snprintf(head, sizeof(head), "%d/%.2d/%.2d %.2d:%.2d:%.2d ", tmNow.tm_year + 1900,
                     tmNow.tm_mon + 1, tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec);
            std::string text(head);
            char ids[96];
            snprintf(ids, sizeof(ids), "(%ld): Process(%ld)_Thread(%ld)-->", line, GetCurrentProcessId(),
                     GetCurrentThreadId());
            text += sourceFile ? sourceFile : "";
            text += ids;
            appendFormatted(text, format ? format : "", args);
            text += '\n';
            file.write(text);
        }
    }
    SetLastError(savedError);
}

}  // namespace

void ztLogDirectory(char* buffer, unsigned long size)
{
    const std::string dir = ztlogfile::folderIn(g_szLogBaseDir);
    if (dir.size() >= size) {
        buffer[0] = '\0';
        return;
    }
    memcpy(buffer, dir.c_str(), dir.size() + 1);
}

void ZTLog::WriteLog(unsigned long, const char* sourceFile, long line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine("zt_log.log", sourceFile, line, format, args);
    va_end(args);
}

void ZTLog::DaemonWriteLog(unsigned long, const char* sourceFile, long line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine("ztdaemon_log.log", sourceFile, line, format, args);
    va_end(args);
}
