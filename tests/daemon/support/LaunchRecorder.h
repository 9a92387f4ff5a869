#pragma once
// A recording launch script and a stand-in manager, both put into the root
// (bin/runukey.sh and bin/tarnukey) until the recorder ends. The daemon knows
// a running manager by the file it executes, so the stand-in must be that
// file: a copy of sleep(1), cheap and ended by SIGTERM.
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
    ~LaunchRecorder();  // ends the stand-in managers it started, restores the root

    // The launch script starts the stand-in manager when true (default), or
    // returns without starting anything.
    void setStartsManager(bool starts);
    // Starts a stand-in manager directly, as a user would.
    void startManagerNow();
    std::vector<LaunchCall> calls() const;
    std::vector<LaunchCall> waitCalls(size_t count, int timeoutMs) const;
    // Stand-in managers started so far that still run.
    int runningManagers() const;
    std::string managerPath() const { return m_root + "bin/tarnukey"; }

private:
    std::vector<int> managerPids() const;
    std::string scriptPath() const { return m_root + "bin/runukey.sh"; }
    static std::string movedPath(const std::string& path) { return path + ".moved-by-test"; }

    std::string m_root, m_work;
    bool m_hadScript = false;
    bool m_hadManager = false;
};
