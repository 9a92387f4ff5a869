// Finding running copies of a program by the file they execute: real
// processes under several spellings, look-alikes and another user's.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "common/ProcessScan.h"
#include "TestRoot.h"

namespace fs = std::filesystem;

namespace {

class ProcessScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chmod(m_root.root().c_str(), 0755);
        m_program = m_root.path("bin/tarnukey");
        fs::copy_file("/bin/sleep", m_program);
        chmod(m_program.c_str(), 0755);
    }
    void TearDown() override
    {
        for (pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Starts a child and waits until it executes whatever it will run.
    pid_t run(const std::string& program, const std::vector<std::string>& args, const std::string& finalExe)
    {
        const pid_t pid = spawnProgram(program, args);
        m_children.push_back(pid);
        const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
        for (int i = 0; i < 500; ++i) {
            char target[4096];
            const ssize_t n = readlink(exe.c_str(), target, sizeof(target));
            if (n > 0 && std::string(target, static_cast<size_t>(n)).rfind(finalExe, 0) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return pid;
    }
    std::vector<pid_t> found(bool anyUser = false) const
    {
        std::vector<pid_t> pids;
        for (const RunningProcess& p : anyUser ? processesRunningProgramAnyUser(m_program)
                                               : processesRunningProgram(m_program, geteuid()))
            pids.push_back(p.pid);
        return pids;
    }

    TestRoot m_root;
    std::string m_program;
    std::vector<pid_t> m_children;
};

}  // namespace

TEST_F(ProcessScan, EverySpellingOfThePathIsTheSameProgramOldestFirst)
{
    EXPECT_TRUE(found().empty());
    const pid_t plain = run(m_program, {"100"}, m_program);
    fs::create_symlink(m_program, m_root.path("tmp/link"));
    const pid_t viaLink = run(m_root.path("tmp/link"), {"100"}, m_program);
    const pid_t viaSlashes = run(m_root.path("bin//./tarnukey"), {"100"}, m_program);
    EXPECT_EQ(found(), (std::vector<pid_t> {plain, viaLink, viaSlashes}));

    // Named like it, running something else.
    run("/bin/bash", {"-c", "exec -a '" + m_program + "' sleep 100"}, "/usr/bin/sleep");
    EXPECT_EQ(found().size(), 3u);

    // A copy replaced under a running process (an upgrade) still counts.
    fs::remove(m_program);
    fs::copy_file("/bin/sleep", m_program);
    chmod(m_program.c_str(), 0755);
    const pid_t upgraded = run(m_program, {"100"}, m_program);
    EXPECT_EQ(found(), (std::vector<pid_t> {plain, viaLink, viaSlashes, upgraded}));
}

TEST_F(ProcessScan, AnotherUsersCopyCountsOnlyForTheMachineWideSearch)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    const pid_t foreign = run("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", m_program, "100"},
                              m_program);
    EXPECT_TRUE(found().empty()) << "another user's process is not ours";
    ASSERT_EQ(found(true), std::vector<pid_t> {foreign});
    const std::string said = describeProcess(processesRunningProgramAnyUser(m_program).front());
    EXPECT_NE(said.find("pid " + std::to_string(foreign) + ", user nobody (65534), command line " + m_program + " 100"),
              std::string::npos)
        << said;
}

TEST_F(ProcessScan, AnUnreadableProcessCountsMachineWideOnlyUnderThePathItself)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run processes as two users";
    // Seen from an unprivileged user, another user's process hides its
    // executable: only an exact first argument makes it a copy.
    const pid_t lookAlike = run("/usr/bin/setpriv", {"--reuid=65533", "--regid=65533", "--clear-groups", "/bin/bash",
                                                     "-c", "exec -a '" + m_program + "x' sleep 100"},
                                "/usr/bin/sleep");
    (void)lookAlike;
    const pid_t child = forkChild([this] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 2;
        return processesRunningProgramAnyUser(m_program).empty() ? 0 : 1;
    });
    EXPECT_EQ(waitChild(child), 0) << "a longer name that merely begins with the path is no copy";
}
