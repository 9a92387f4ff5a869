#include "Log.h"

#include <ctime>
#include <mutex>
#include <unistd.h>

#include "common/logfile/LogFile.h"

namespace vtoken {

namespace {

std::mutex g_logMutex;
LogSink g_sink;
std::string g_folder;

void defaultSink(const std::string& line)
{
    static const std::string programsFolder = ztlogfile::folderIn(ztlogfile::kDefaultBase);
    ztlogfile::LogFile file(g_folder.empty() ? programsFolder : g_folder, "zt_vtoken.log");
    if (!file.isOpen())
        return;
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char stamp[32];
    strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
    file.write(std::string(stamp) + " [" + std::to_string(getpid()) + "] " + line + "\n");
}

}  // namespace

void setLogSink(LogSink sink)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_sink = std::move(sink);
}

void setLogFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_folder = folder;
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
