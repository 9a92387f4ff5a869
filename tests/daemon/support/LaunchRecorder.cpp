#include "LaunchRecorder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "common/ProcessScan.h"
#include "TestRoot.h"

namespace {

void writeScript(const std::string& path, const std::string& text)
{
    writeFile(path, text);
    chmod(path.c_str(), 0755);
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

// Other processes that carry `marker` (NAME=value) in their environment.
std::vector<pid_t> processesMarked(const std::string& marker)
{
    std::vector<pid_t> out;
    DIR* proc = opendir("/proc");
    if (!proc)
        return out;
    const std::string whole = marker + '\0';
    while (dirent* d = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(atoi(d->d_name));
        if (pid <= 0 || pid == getpid())
            continue;
        const std::string env = readFile("/proc/" + std::to_string(pid) + "/environ");
        if (env.compare(0, whole.size(), whole) == 0 || env.find('\0' + whole) != std::string::npos)
            out.push_back(pid);
    }
    closedir(proc);
    return out;
}

const char kMarkerName[] = "ZVIT_TEST_LAUNCH_LOG";

}  // namespace

LaunchRecorder::LaunchRecorder(const std::string& root, const std::string& workDir) : m_root(root), m_work(workDir)
{
    mkdir(m_work.c_str(), 0700);
    mkdir((m_root + "bin").c_str(), 0755);
    // Everything started from here on inherits the mark: the script records
    // only its own recorder's callers, and the end finds what they left.
    setenv(kMarkerName, m_work.c_str(), 1);
    // A recorder whose test program was killed left its stand-ins running
    // and the installed files aside. Whatever runs the manager's file now
    // would count as this test's manager: end it, then put the files back.
    for (const RunningProcess& left : processesRunningProgram(managerPath(), geteuid()))
        kill(left.pid, SIGKILL);
    for (const std::string& path : {scriptPath(), managerPath()}) {
        if (access(movedPath(path).c_str(), F_OK) == 0)
            rename(movedPath(path).c_str(), path.c_str());
    }
    // The installed files step aside for the recorder's, under names that
    // tell what they are should a test die before putting them back.
    m_hadScript = rename(scriptPath().c_str(), movedPath(scriptPath()).c_str()) == 0;
    m_hadManager = rename(managerPath().c_str(), movedPath(managerPath()).c_str()) == 0;
    writeFile(managerPath(), readFile("/bin/sleep"));
    chmod(managerPath().c_str(), 0755);
    setStartsManager(true);
}

LaunchRecorder::~LaunchRecorder()
{
    for (int pid : managerPids())
        kill(static_cast<pid_t>(pid), SIGTERM);
    // A detached launch outlives the daemon that made it: one still under way
    // would run the next test's script and count as that test's manager.
    const std::string marker = std::string(kMarkerName) + "=" + m_work;
    for (int quietScans = 0, scans = 0; quietScans < 3 && scans < 250; ++scans) {
        const std::vector<pid_t> left = processesMarked(marker);
        quietScans = left.empty() ? quietScans + 1 : 0;
        for (pid_t pid : left)
            kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    unsetenv(kMarkerName);
    unlink(scriptPath().c_str());
    unlink(managerPath().c_str());
    if (m_hadScript)
        rename(movedPath(scriptPath()).c_str(), scriptPath().c_str());
    if (m_hadManager)
        rename(movedPath(managerPath()).c_str(), managerPath().c_str());
}

void LaunchRecorder::setStartsManager(bool starts)
{
    // Records the time (ms) and the arguments, one call per line.
    writeScript(scriptPath(),
                "#!/bin/sh\n"
                "[ \"${" + std::string(kMarkerName) + ":-}\" = '" + m_work + "' ] || exit 0\n"
                "echo \"$(date +%s%3N) $*\" >> '" + m_work + "/runukey.calls'\n" +
                    (starts ? "echo $$ >> '" + m_work + "/manager.pids'\nexec '" + managerPath() + "' infinity\n"
                            : std::string("exit 1\n")));
}

void LaunchRecorder::startManagerNow()
{
    const pid_t pid = spawnProgram(managerPath(), {"infinity"});
    std::ofstream(m_work + "/manager.pids", std::ios::app) << pid << "\n";
    // Running the manager's file only once the child has executed it.
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    char target[4096];
    for (int i = 0; i < 500; ++i) {
        const ssize_t n = readlink(exe.c_str(), target, sizeof(target));
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == managerPath())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<LaunchCall> LaunchRecorder::calls() const
{
    std::vector<LaunchCall> out;
    std::istringstream in(readFile(m_work + "/runukey.calls"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> words = splitWords(line);
        if (words.empty())
            continue;
        LaunchCall call;
        call.timeMs = atoll(words[0].c_str());
        call.args.assign(words.begin() + 1, words.end());
        out.push_back(call);
    }
    return out;
}

std::vector<LaunchCall> LaunchRecorder::waitCalls(size_t count, int timeoutMs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto list = calls();
        if (list.size() >= count || std::chrono::steady_clock::now() >= end)
            return list;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<int> LaunchRecorder::managerPids() const
{
    std::vector<int> out;
    for (const std::string& word : splitWords(readFile(m_work + "/manager.pids")))
        out.push_back(atoi(word.c_str()));
    return out;
}

int LaunchRecorder::runningManagers() const
{
    int count = 0;
    for (int pid : managerPids()) {
        // A stand-in that ended but was not reaped yet is no running manager.
        const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        const size_t close = stat.rfind(')');
        if (pid > 0 && close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z')
            ++count;
    }
    return count;
}
