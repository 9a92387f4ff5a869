#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestRoot.h"
#include "common/ZTLog.h"

namespace {

class LogFacility : public ::testing::Test
{
protected:
    std::string dir() const { return m_root.tempDir() + "/zvittarn"; }
    std::string general() const { return dir() + "/zt_log.log"; }
    std::string daemon() const { return dir() + "/ztdaemon_log.log"; }
    TestRoot m_root;
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

}  // namespace

TEST_F(LogFacility, SwitchedOnOnlyByTheFolderAndErrnoKept)
{
    errno = EADDRINUSE;
    ZTLog::WriteLog(0x1000, "main", 84, "Enter main.");
    EXPECT_EQ(errno, EADDRINUSE);
    EXPECT_NE(access(general().c_str(), F_OK), 0);

    ASSERT_EQ(mkdir(dir().c_str(), 0700), 0);
    errno = ENOENT;
    ZTLog::WriteLog(0x1000, "main", 84, "Enter main.");
    ZTLog::DaemonWriteLog(0xF000, "ZTWebSocketServer", 7, "100%% %s %d", "done", 5);
    ZTLog::WriteLog(0x1000, "main", 85, "with its own line feed\n");
    EXPECT_EQ(errno, ENOENT);

    std::regex head(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} main\(84\): Process\((\d+)\)_Thread\((\d+)\)-->Enter main\.$)");
    auto g = lines(readFile(general()));
    ASSERT_EQ(g.size(), 3u);  // the message's own "\n" leaves an empty line
    std::smatch m;
    ASSERT_TRUE(std::regex_match(g[0], m, head)) << g[0];
    EXPECT_EQ(std::stol(m[1]), static_cast<long>(getpid()));
    EXPECT_EQ(g[2], "");
    auto d = lines(readFile(daemon()));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_NE(d[0].find("ZTWebSocketServer(7): "), std::string::npos);
    EXPECT_NE(d[0].find("-->100% done 5"), std::string::npos);

    struct stat st {};
    ASSERT_EQ(stat(general().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(LogFacility, LinksAndSpecialFilesAreNeverWrittenThrough)
{
    ASSERT_EQ(mkdir(dir().c_str(), 0700), 0);
    std::string victim = m_root.tempDir() + "/victim";
    writeFile(victim, "untouched");
    ASSERT_EQ(symlink(victim.c_str(), general().c_str()), 0);
    ZTLog::WriteLog(0x1000, "main", 1, "through the link");
    EXPECT_EQ(readFile(victim), "untouched");

    // A FIFO would block a writer without a reader: the line is skipped instead.
    ASSERT_EQ(mkfifo(daemon().c_str(), 0600), 0);
    ZTLog::DaemonWriteLog(0x1000, "main", 1, "into a fifo");
    SUCCEED();
}

TEST_F(LogFacility, UnopenableFileIsSilent)
{
    ASSERT_EQ(mkdir(dir().c_str(), 0700), 0);
    ASSERT_EQ(mkdir(general().c_str(), 0700), 0);  // a folder where the file should be
    errno = 0;
    ZTLog::WriteLog(0x1000, "main", 1, "nowhere");
    EXPECT_EQ(errno, 0);
}

TEST_F(LogFacility, ConcurrentProcessesAndThreadsNeverTearLines)
{
    ASSERT_EQ(mkdir(dir().c_str(), 0700), 0);
    const int kLines = 10000;
    // Every tenth line is longer than a stdio buffer, so a line written in
    // pieces would show up torn.
    const std::string shortPayload(300, 'p');
    const std::string longPayload(6000, 'p');
    auto writer = [&](char tag) {
        return forkChild([&, tag] {
            // Two threads of each process share the lines.
            auto run = [&](char who) {
                for (int i = 0; i < kLines / 2; ++i)
                    ZTLog::DaemonWriteLog(0x1000, "writer", i, "%c:%d:%s:end", who, i,
                                          (i % 10 ? shortPayload : longPayload).c_str());
            };
            std::thread second(run, static_cast<char>(tag + 1));
            run(tag);
            second.join();
            return 0;
        });
    };
    pid_t a = writer('A');
    pid_t b = writer('C');
    ASSERT_EQ(waitChild(a), 0);
    ASSERT_EQ(waitChild(b), 0);

    auto all = lines(readFile(daemon()));
    ASSERT_EQ(all.size(), 2u * kLines);
    int next[4] = {0, 0, 0, 0};
    for (const std::string& line : all) {
        // "<stamp> writer(i): Process(p)_Thread(t)--><tag>:<i>:ppp...:end"
        size_t arrow = line.find("-->");
        ASSERT_NE(arrow, std::string::npos) << line.substr(0, 200);
        ASSERT_NE(line.find(" writer("), std::string::npos);
        std::string body = line.substr(arrow + 3);
        ASSERT_GE(body.size(), 6u);
        int who = body[0] - 'A';
        ASSERT_TRUE(who >= 0 && who < 4 && body[1] == ':') << body.substr(0, 40);
        size_t colon = body.find(':', 2);
        ASSERT_NE(colon, std::string::npos);
        std::string payload = body.substr(colon + 1, body.size() - colon - 5);
        ASSERT_EQ(body.substr(body.size() - 4), ":end");
        ASSERT_TRUE(payload.size() == 300 || payload.size() == 6000) << payload.size();
        ASSERT_EQ(payload.find_first_not_of('p'), std::string::npos);
        ASSERT_EQ(std::stoi(body.substr(2, colon - 2)), next[who]) << "lines of one writer out of order";
        ++next[who];
    }
}
