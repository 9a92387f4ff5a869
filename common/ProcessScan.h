#pragma once
// Finding running copies of a program by what the kernel says they execute,
// not by their command line, which any process may set as it likes.
#include <string>
#include <sys/types.h>
#include <vector>

struct RunningProcess {
    pid_t pid = 0;
    uid_t uid = 0;
    unsigned long long startTicks = 0;  // since boot; orders processes when pids wrap
    std::string commandLine;            // arguments joined by spaces, for messages
};

// Processes of user uid whose executable is the file at programPath (same
// device and inode; also one still running a copy replaced since it started),
// oldest first.
std::vector<RunningProcess> processesRunningProgram(const std::string& programPath, uid_t uid);

// Like processesRunningProgram for every user. A process whose executable
// cannot be read (another user's, without privileges) counts when its first
// argument is exactly programPath.
std::vector<RunningProcess> processesRunningProgramAnyUser(const std::string& programPath);

// The file this process executes, as the kernel names it.
std::string ownExecutablePath();
// "pid 123, user alice (1000), command line ..." for messages.
std::string describeProcess(const RunningProcess& process);
