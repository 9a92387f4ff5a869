#include "Log.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace vtoken {

namespace {

std::mutex g_logMutex;
LogSink g_sink;

void defaultSink(const std::string& line)
{
    const char* dir = "/tmp/zvittarn";
    if (access(dir, F_OK) != 0)
        return;
    FILE* file = fopen("/tmp/zvittarn/zt_vtoken.log", "a");
    if (!file)
        return;
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
    fprintf(file, "%s [%d] %s\n", stamp, static_cast<int>(getpid()), line.c_str());
    fclose(file);
}

}  // namespace

void setLogSink(LogSink sink)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_sink = std::move(sink);
}

void logLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_sink)
        g_sink(line);
    else
        defaultSink(line);
}

}  // namespace vtoken
