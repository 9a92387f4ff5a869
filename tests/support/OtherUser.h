#pragma once
// A real second, unprivileged local account ("nobody") for tests of what
// another user on the same desktop can do. Only root can act as it; tests
// skip otherwise.
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

constexpr uid_t kOtherUid = 65534;
constexpr gid_t kOtherGid = 65534;

// Empty when this process can act as the other user, else why not (for GTEST_SKIP).
std::string otherUserUnavailable();
// Forks a child that drops to the other user (no supplementary groups) and runs body.
pid_t forkAsOtherUser(const std::function<int()>& body);
// Runs a program as the other user; like runProgram.
int runProgramAsOtherUser(const std::string& program, const std::vector<std::string>& args,
                          std::string* output = nullptr, const std::vector<std::string>& env = {});
// Lets the other user pass through every folder from "/" down to path (adds
// search permission for others; the test roots are made 0700).
void letOtherUserReach(const std::string& path);
