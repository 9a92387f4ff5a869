#include "ZTLog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "PlatformApi.h"
#include "global_def_var.h"

namespace {

const char kProgramShortName[] = "tarnukey";

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

// The whole line goes out in one write() on an O_APPEND descriptor, so lines of
// threads and processes never tear or interleave. The folder may be made by any
// local user: refuse links, FIFOs and other non-regular files.
void writeLine(const char* fileName, const char* sourceFile, long line, const char* format, va_list args)
{
    const int savedError = GetLastError();
    char dir[ZT_PATH_LEN];
    ztLogDirectory(dir, sizeof(dir));
    if (dir[0] && access(dir, F_OK) == 0) {
        char path[ZT_PATH_LEN * 2];
        snprintf(path, sizeof(path), "%s/%s", dir, fileName);
        int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd >= 0) {
            struct stat st {};
            if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
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
                ssize_t ignored = write(fd, text.data(), text.size());
                (void)ignored;
            }
            close(fd);
        }
    }
    SetLastError(savedError);
}

}  // namespace

void ztLogDirectory(char* buffer, unsigned long size)
{
    // "%szvit%s" of "/tmp/" and the short name, less "ukey": /tmp/zvittarn
    char name[ZT_PATH_LEN];
    int n = snprintf(name, sizeof(name), "%szvit%s", g_szLogBaseDir, kProgramShortName);
    if (n < 0 || n >= static_cast<int>(sizeof(name))) {
        buffer[0] = '\0';
        return;
    }
    if (strstr(name, "ukey")) {
        size_t len = strlen(name);
        name[len - 4] = '\0';
    }
    snprintf(buffer, size, "%s", name);
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
