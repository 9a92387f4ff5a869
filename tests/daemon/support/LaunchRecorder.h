#pragma once
// A recording launch script (replacing the root's bin/runukey.sh until the
// recorder ends) and a stand-in manager process, and a pgrep that sees only that root's managers (the
// machine may run other managers that are none of the test's business).
#include <string>
#include <vector>

struct LaunchCall {
    std::vector<std::string> args;
    long long timeMs = 0;
};

class LaunchRecorder
{
public:
    // root: installation root with its final slash; records go to workDir.
    LaunchRecorder(const std::string& root, const std::string& workDir);
    ~LaunchRecorder();  // ends the stand-in managers it started, by pid

    // The launch script starts the stand-in manager when true (default), or
    // returns without starting anything.
    void setStartsManager(bool starts);
    // Starts a stand-in manager directly, as a user would.
    void startManagerNow();
    std::vector<LaunchCall> calls() const;
    std::vector<LaunchCall> waitCalls(size_t count, int timeoutMs) const;
    int runningManagers() const;
    // Arguments pgrep was called with, one line per call.
    std::string pgrepCalls() const;
    // Folder to put first on PATH of the process under test.
    std::string pathDir() const { return m_work + "/path"; }
    std::string pathEnvironment() const;
    // The stand-in manager program (a shell script named tarnukey).
    std::string managerPath() const { return m_work + "/tarnukey"; }

private:
    std::string m_root, m_work;
    std::string m_savedScript;
    bool m_hadScript = false;
};
