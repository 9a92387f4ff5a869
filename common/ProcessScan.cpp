#include "ProcessScan.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kDeletedSuffix[] = " (deleted)";

std::string readSmallFile(const std::string& path, size_t limit)
{
    std::string out;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    char buffer[4096];
    while (out.size() < limit) {
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (out.size() > limit)
        out.resize(limit);
    return out;
}

std::string readLink(const std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof(buffer) - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// The start time is field 22 of /proc/PID/stat, counted after the command
// name, which may itself hold spaces and parentheses.
unsigned long long startTicksOf(const std::string& procDir)
{
    const std::string stat = readSmallFile(procDir + "/stat", 4096);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return ULLONG_MAX;
    unsigned long long ticks = ULLONG_MAX;
    const char* p = stat.c_str() + close + 1;
    for (int field = 3; field <= 22 && *p; ++field) {
        while (*p == ' ')
            ++p;
        if (field == 22)
            ticks = strtoull(p, nullptr, 10);
        while (*p && *p != ' ')
            ++p;
    }
    return ticks;
}

std::string commandLineOf(const std::string& procDir, std::string* firstArgument)
{
    std::string raw = readSmallFile(procDir + "/cmdline", 4096);
    if (firstArgument)
        *firstArgument = std::string(raw.c_str());
    while (!raw.empty() && raw.back() == '\0')
        raw.pop_back();
    std::replace(raw.begin(), raw.end(), '\0', ' ');
    return raw;
}

enum class Match { Yes, No, Unreadable };

Match executes(const std::string& procDir, const struct stat& program, const std::string& programPath)
{
    struct stat st {};
    if (stat((procDir + "/exe").c_str(), &st) != 0)
        return errno == EACCES || errno == EPERM ? Match::Unreadable : Match::No;
    if (st.st_dev == program.st_dev && st.st_ino == program.st_ino)
        return Match::Yes;
    // An upgrade replaces the file under a running copy, which still counts.
    return readLink(procDir + "/exe") == programPath + kDeletedSuffix ? Match::Yes : Match::No;
}

std::vector<RunningProcess> scan(const std::string& programPath, bool anyUser, uid_t uid)
{
    std::vector<RunningProcess> found;
    struct stat program {};
    if (programPath.empty() || stat(programPath.c_str(), &program) != 0)
        return found;
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    while (struct dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = strtol(entry->d_name, &end, 10);
        if (pid <= 0 || !end || *end != '\0')
            continue;
        const std::string dir = std::string("/proc/") + entry->d_name;
        struct stat owner {};
        if (stat(dir.c_str(), &owner) != 0)
            continue;  // ended meanwhile
        if (!anyUser && owner.st_uid != uid)
            continue;
        std::string first;
        RunningProcess process;
        process.commandLine = commandLineOf(dir, &first);
        const Match match = executes(dir, program, programPath);
        if (match == Match::No || (match == Match::Unreadable && (!anyUser || first != programPath)))
            continue;
        process.pid = static_cast<pid_t>(pid);
        process.uid = owner.st_uid;
        process.startTicks = startTicksOf(dir);
        found.push_back(process);
    }
    closedir(proc);
    std::sort(found.begin(), found.end(), [](const RunningProcess& a, const RunningProcess& b) {
        return a.startTicks != b.startTicks ? a.startTicks < b.startTicks : a.pid < b.pid;
    });
    return found;
}

}  // namespace

std::vector<RunningProcess> processesRunningProgram(const std::string& programPath, uid_t uid)
{
    return scan(programPath, false, uid);
}

std::vector<RunningProcess> processesRunningProgramAnyUser(const std::string& programPath)
{
    return scan(programPath, true, 0);
}

std::string ownExecutablePath()
{
    std::string path = readLink("/proc/self/exe");
    const size_t suffix = sizeof(kDeletedSuffix) - 1;
    if (path.size() > suffix && path.compare(path.size() - suffix, suffix, kDeletedSuffix) == 0)
        path.resize(path.size() - suffix);
    return path;
}

std::string describeProcess(const RunningProcess& process)
{
    char buffer[512];
    struct passwd pw {};
    struct passwd* result = nullptr;
    char names[1024];
    getpwuid_r(process.uid, &pw, names, sizeof(names), &result);
    snprintf(buffer, sizeof(buffer), "pid %d, user %s (%u), command line ", static_cast<int>(process.pid),
             result ? result->pw_name : "?", static_cast<unsigned>(process.uid));
    return buffer + process.commandLine;
}
