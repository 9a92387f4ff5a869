#pragma once
// Runs a function or a program in a real child process, for tests that need
// several processes at once (shared memory, file locks, log appends).
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Forks and runs body in the child; the child exits with body's result.
pid_t forkChild(const std::function<int()>& body);
// Waits for a child and returns its exit code, or 128 + signal when killed.
int waitChild(pid_t pid);
// Starts a program with arguments and extra environment (NAME=value entries).
pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
// Runs a program to completion and returns its exit code; output captured when asked.
int runProgram(const std::string& program, const std::vector<std::string>& args, std::string* output = nullptr,
               const std::vector<std::string>& env = {});
// The number after field (such as "VmRSS:") in a /proc text file such as
// /proc/<pid>/status, or -1 when the file or the field is missing.
long procField(const std::string& path, const char* field);
