// Manager launch through the recording launch script, with a pgrep that sees
// only this test's stand-in managers.
#include <gtest/gtest.h>

#include <QByteArray>
#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

#include "LaunchRecorder.h"
#include "TestRoot.h"
#include "VUVUdoRizari.h"
#include "global_def_var.h"

namespace {

class Launcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mkdir((m_root.tempDir() + "/zvittarn").c_str(), 0700);
        m_savedPath = getenv("PATH") ? getenv("PATH") : "";
        const std::string path = m_recorder.pathEnvironment();
        setenv("PATH", path.c_str() + 5, 1);
        m_savedPolicy = g_launchPolicy;
        g_launchPolicy = {4, 50, 200};
    }
    void TearDown() override
    {
        setenv("PATH", m_savedPath.c_str(), 1);
        g_launchPolicy = m_savedPolicy;
    }
    void launch(uint64_t position, bool autoShow)
    {
        startOrStopZudeVovavadErud(new LaunchRequest {position, autoShow});
    }
    std::string log() const { return readFile(m_root.tempDir() + "/zvittarn/ztdaemon_log.log"); }

    TestRoot m_root;
    LaunchRecorder m_recorder {m_root.root(), m_root.tempDir() + "/launch"};
    std::string m_savedPath;
    LaunchPolicy m_savedPolicy {};
};

}  // namespace

TEST(LauncherCount, PgrepOutputCountsNonBlankLinesUpToTheFirstNul)
{
    EXPECT_EQ(0, countRunningProcesses(QByteArray()));
    EXPECT_EQ(0, countRunningProcesses("\n\n\r\n"));
    EXPECT_EQ(0, countRunningProcesses("  \t\n \r\n   "));
    EXPECT_EQ(2, countRunningProcesses("4711\n4712\n"));
    EXPECT_EQ(2, countRunningProcesses("4711\r\n\r\n 4712"));
    EXPECT_EQ(1, countRunningProcesses(QByteArray("4711\n\0004712\n", 11)));
}

TEST_F(Launcher, StartsTheHiddenManagerOnceAndChecksWithPgrep)
{
    launch(g_nPostions_add, false);
    auto calls = m_recorder.calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(std::vector<std::string>({"-sys"}), calls[0].args);
    EXPECT_EQ(1, m_recorder.runningManagers());
    // One check before the start, one that found the manager.
    EXPECT_EQ("tarnukey\ntarnukey\n", m_recorder.pgrepCalls());
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

TEST_F(Launcher, FailingScriptIsRetriedWithGrowingPausesThenGivenUp)
{
    m_recorder.setStartsManager(false);
    launch(g_nPostions_add, false);
    auto calls = m_recorder.calls();
    ASSERT_EQ(4u, calls.size());
    // Pauses of 50, 100 and 200 ms between the starts (the script's own time aside).
    EXPECT_GE(calls[1].timeMs - calls[0].timeMs, 45);
    EXPECT_GE(calls[2].timeMs - calls[1].timeMs, 95);
    EXPECT_GE(calls[3].timeMs - calls[2].timeMs, 195);
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
