// Manager launch through the recording launch script and a stand-in manager
// in the test's own root.
#include <gtest/gtest.h>

#include <QByteArray>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "ChildProcess.h"
#include "LaunchRecorder.h"
#include "TestRoot.h"
#include "daemon/Daemon.h"
#include "common/global_def_var.h"

namespace {

class Launcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mkdir((m_root.tempDir() + "/zvittarn").c_str(), 0700);
        m_savedPolicy = g_launchPolicy;
        g_launchPolicy = {4, 50, 200};
    }
    void TearDown() override
    {
        g_launchPolicy = m_savedPolicy;
    }
    void launch(uint64_t position, bool autoShow)
    {
        runManagerLauncher(new LaunchRequest {position, autoShow});
    }
    std::string log() const { return readFile(m_root.tempDir() + "/zvittarn/ztdaemon_log.log"); }

    TestRoot m_root;
    LaunchRecorder m_recorder {m_root.root(), m_root.tempDir() + "/launch"};
    LaunchPolicy m_savedPolicy {};
};

}  // namespace

TEST_F(Launcher, StartsTheHiddenManagerOnce)
{
    launch(g_nPostions_add, false);
    auto calls = m_recorder.calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(std::vector<std::string>({"-sys"}), calls[0].args);
    EXPECT_EQ(1, m_recorder.runningManagers());
    const std::string text = log();
    EXPECT_NE(std::string::npos, text.find("-->try running ZUdeVovavadErud " + m_root.root() + "bin/runukey.sh\n"));
    EXPECT_NE(std::string::npos, text.find("-->ZUdeVovavadErud is already running. 1\n"));
    EXPECT_NE(std::string::npos, text.find("-->leave startOrStopZudeVovavadEruds.\n\n"));
}

TEST_F(Launcher, AutoShowStartsWithoutArgumentsFromAWorkerThread)
{
    startLauncherThread(LaunchRequest {g_nPostions_add, true});
    auto calls = m_recorder.waitCalls(1, 10000);
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(calls[0].args.empty());
    for (int i = 0; i < 500 && log().find("leave startOrStopZudeVovavadEruds") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(std::string::npos, log().find("leave startOrStopZudeVovavadEruds"));
    EXPECT_EQ(1u, m_recorder.calls().size());
}

TEST_F(Launcher, RunningManagerIsNotStartedTwice)
{
    m_recorder.startManagerNow();
    ASSERT_EQ(1, m_recorder.runningManagers());
    launch(g_nPostions_add, false);
    EXPECT_TRUE(m_recorder.calls().empty());
    EXPECT_NE(std::string::npos, log().find("-->ZUdeVovavadErud is already running. 1\n"));
    EXPECT_EQ(1, m_recorder.runningManagers());
}

TEST_F(Launcher, LookAlikesAndOtherUsersManagersDoNotCount)
{
    // Named like the manager, running another file.
    const pid_t lookAlike =
        spawnProgram("/bin/bash", {"-c", "exec -a '" + m_recorder.managerPath() + "' sleep 100"});
    pid_t foreign = 0;
    if (geteuid() == 0) {
        // The real manager's file, run by another account.
        chmod(m_root.root().c_str(), 0755);
        foreign = spawnProgram("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                    m_recorder.managerPath(), "100"});
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    launch(g_nPostions_add, false);
    EXPECT_EQ(1u, m_recorder.calls().size()) << "our own manager was started all the same";
    EXPECT_NE(std::string::npos, log().find("-->ZUdeVovavadErud is already running. 1\n")) << "ours alone";
    kill(lookAlike, SIGKILL);
    waitpid(lookAlike, nullptr, 0);
    if (foreign > 0) {
        kill(foreign, SIGKILL);
        waitpid(foreign, nullptr, 0);
    } else {
        std::cout << "[ NOTE ] not root: another user's manager was not tried\n";
    }
}

TEST_F(Launcher, FailingScriptIsRetriedWithGrowingPausesThenGivenUp)
{
    m_recorder.setStartsManager(false);
    launch(g_nPostions_add, false);
    auto calls = m_recorder.calls();
    ASSERT_EQ(4u, calls.size());
    // Pauses of 50, 100 and 200 ms between the starts. The times are taken
    // when each script runs, which a busy machine may delay, so one late
    // start may shorten the gap after it but never the growth as a whole.
    EXPECT_GE(calls[3].timeMs - calls[0].timeMs, 300);
    EXPECT_GE(calls[3].timeMs - calls[1].timeMs, 250);
    EXPECT_NE(std::string::npos, log().find("-->ZUdeVovavadErud did not start after 4 tries, giving up.\n"));
    EXPECT_EQ(0, m_recorder.runningManagers());
}

TEST_F(Launcher, OnlyAddRequestsStartAnything)
{
    launch(g_nPostions_del, false);
    launch(g_nPostions_init, true);
    EXPECT_TRUE(m_recorder.calls().empty());
    EXPECT_NE(std::string::npos, log().find("leave startOrStopZudeVovavadEruds"));
}
