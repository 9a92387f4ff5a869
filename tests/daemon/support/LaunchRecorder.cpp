#include "LaunchRecorder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
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

}  // namespace

LaunchRecorder::LaunchRecorder(const std::string& root, const std::string& workDir) : m_root(root), m_work(workDir)
{
    mkdir(m_work.c_str(), 0700);
    mkdir(pathDir().c_str(), 0700);
    mkdir((m_root + "bin").c_str(), 0755);
    const std::string script = m_root + "bin/runukey.sh";
    m_hadScript = access(script.c_str(), F_OK) == 0;
    if (m_hadScript)
        m_savedScript = readFile(script);
    setStartsManager(true);
    // The stand-in manager lives in the work folder, never over an installed one.
    writeScript(managerPath(),
                "#!/bin/sh\n"
                "echo $$ >> '" + m_work + "/manager.pids'\n"
                "trap 'exit 0' TERM\n"
                "while :; do sleep 1; done\n");
    writeScript(pathDir() + "/pgrep",
                "#!/bin/sh\n"
                "echo \"$*\" >> '" + m_work + "/pgrep.calls'\n"
                "exec /usr/bin/pgrep -f '^/bin/sh " + managerPath() + "'\n");
}

LaunchRecorder::~LaunchRecorder()
{
    for (const std::string& pid : splitWords(readFile(m_work + "/manager.pids"))) {
        const pid_t p = static_cast<pid_t>(atol(pid.c_str()));
        if (p > 0)
            kill(p, SIGTERM);
    }
    const std::string script = m_root + "bin/runukey.sh";
    if (m_hadScript)
        writeScript(script, m_savedScript);
    else
        unlink(script.c_str());
}

void LaunchRecorder::setStartsManager(bool starts)
{
    // Records the time (ms) and the arguments, one call per line.
    writeScript(m_root + "bin/runukey.sh",
                "#!/bin/sh\n"
                "echo \"$(date +%s%3N) $*\" >> '" + m_work + "/runukey.calls'\n" +
                    (starts ? "exec '" + managerPath() + "' \"$@\"\n" : std::string("exit 1\n")));
}

void LaunchRecorder::startManagerNow()
{
    const size_t before = static_cast<size_t>(runningManagers());
    pid_t pid = spawnProgram(managerPath(), {});
    (void)pid;  // recorded in manager.pids by the stand-in itself
    for (int i = 0; i < 200 && static_cast<size_t>(runningManagers()) <= before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

int LaunchRecorder::runningManagers() const
{
    std::string out;
    runProgram("/usr/bin/pgrep", {"-f", "^/bin/sh " + managerPath()}, &out);
    return static_cast<int>(splitWords(out).size());
}

std::string LaunchRecorder::pgrepCalls() const
{
    return readFile(m_work + "/pgrep.calls");
}

std::string LaunchRecorder::pathEnvironment() const
{
    const char* path = getenv("PATH");
    return "PATH=" + pathDir() + ":" + (path ? path : "/usr/bin:/bin");
}
