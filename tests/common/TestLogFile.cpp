// What another local user may have planted as the log folder or its files:
// nothing is written through it, nothing blocks, and the process says why
// once on stderr.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "common/logfile/LogFile.h"
#include "OtherUser.h"
#include "TestRoot.h"
#include "common/ZTLog.h"

namespace fs = std::filesystem;

namespace {

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class LogFolder : public ::testing::Test
{
protected:
    std::string base() const { return m_root.tempDir(); }
    std::string dir() const { return base() + "/zvittarn"; }
    std::string general() const { return dir() + "/zt_log.log"; }
    std::string daemon() const { return dir() + "/ztdaemon_log.log"; }

    // Logs to both files twice in a child of its own (a fresh "said once"
    // state, its own stderr, and a deadline: a writer must never block).
    // Returns the child's stderr.
    std::string logInChild(const std::function<pid_t(const std::function<int()>&)>& fork = forkChild)
    {
        const std::string errFile = base() + "/stderr-" + std::to_string(m_runs++);
        pid_t pid = fork([&] {
            alarm(20);
            int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
                return 3;
            ztlogfile::resetRefusalNote();
            for (int i = 0; i < 2; ++i) {
                ZTLog::WriteLog(0x1000, "main", i, "general %d", i);
                ZTLog::DaemonWriteLog(0x1000, "main", i, "daemon %d", i);
            }
            return 0;
        });
        EXPECT_EQ(0, waitChild(pid)) << "the child failed or was stopped by its deadline";
        return readFile(errFile);
    }

    TestRoot m_root;
    int m_runs = 0;
};

TEST_F(LogFolder, AFolderOthersCouldHavePlantedOrCanWriteIsNotUsedAndSaidOnce)
{
    const std::string real = base() + "/real";
    struct Case {
        const char* name;
        std::function<void()> plant;
        const char* reason;
    };
    const Case cases[] = {
        {"link to a good folder", [&] { mkdir(real.c_str(), 0700); symlink(real.c_str(), dir().c_str()); },
         "symbolic link"},
        {"group-writable", [&] { mkdir(dir().c_str(), 0700); chmod(dir().c_str(), 0770); },
         "group or others can write to it; chmod go-w " },
        {"world-writable with sticky bit", [&] { mkdir(dir().c_str(), 0700); chmod(dir().c_str(), 01777); },
         "group or others can write"},
        {"a file", [&] { writeFile(dir(), ""); }, "not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir());
        fs::remove_all(real);
        c.plant();
        const std::string said = logInChild();
        EXPECT_EQ(1u, count(said, "not logging into")) << said;
        EXPECT_NE(std::string::npos, said.find(dir() + ": ")) << said;
        EXPECT_NE(std::string::npos, said.find(c.reason)) << said;
        EXPECT_FALSE(fs::exists(general()) || fs::exists(real + "/zt_log.log"));
        EXPECT_FALSE(fs::exists(daemon()) || fs::exists(real + "/ztdaemon_log.log"));
    }

    // No folder is the ordinary "logging off": not worth a word.
    fs::remove_all(dir());
    EXPECT_EQ("", logInChild());
    // A good folder neither.
    ASSERT_EQ(0, mkdir(dir().c_str(), 0700));
    EXPECT_EQ("", logInChild());
    EXPECT_EQ(2u, count(readFile(general()), "-->general"));
}

TEST_F(LogFolder, PlantedFilesAreNeitherFollowedNorWaitedFor)
{
    ASSERT_EQ(0, mkdir(dir().c_str(), 0700));
    const std::string victim = base() + "/victim";
    writeFile(victim, "untouched");
    ASSERT_EQ(0, symlink(victim.c_str(), general().c_str()));
    // A FIFO with a reader opens fine; only the type check keeps lines out of it.
    ASSERT_EQ(0, mkfifo(daemon().c_str(), 0600));
    const int reader = open(daemon().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    const std::string said = logInChild();
    EXPECT_EQ(1u, count(said, "not logging into")) << said;
    EXPECT_NE(std::string::npos, said.find(general() + ": it is a symbolic link")) << said;
    EXPECT_EQ("untouched", readFile(victim));
    char buffer[64];
    EXPECT_LE(read(reader, buffer, sizeof(buffer)), 0) << "a line went into the FIFO";
    close(reader);

    // Without a reader a blocking open would wait forever.
    ASSERT_EQ(0, unlink(general().c_str()));
    ASSERT_EQ(0, mkfifo(general().c_str(), 0600));
    EXPECT_NE(std::string::npos, logInChild().find(general() + ": "));
}

TEST_F(LogFolder, AnotherUsersFolderIsRefusedAndItsOwnerStillLogs)
{
    const std::string why = otherUserUnavailable();
    if (!why.empty())
        GTEST_SKIP() << why;
    // As in /tmp: everybody may create the folder first.
    letOtherUserReach(base());
    ASSERT_EQ(0, chmod(base().c_str(), 01777));
    ASSERT_EQ(0, waitChild(forkAsOtherUser([&] { return mkdir(dir().c_str(), 0700) == 0 ? 0 : 1; })));

    // Root could write into it regardless of its mode: only the owner check stops it.
    const std::string said = logInChild();
    EXPECT_NE(std::string::npos, said.find(dir() + ": it belongs to another user (uid 65534)")) << said;
    EXPECT_FALSE(fs::exists(general()));

    // For its owner it is a good folder.
    EXPECT_EQ("", logInChild(forkAsOtherUser));
    struct stat st {};
    ASSERT_EQ(0, stat(general().c_str(), &st));
    EXPECT_EQ(kOtherUid, st.st_uid);
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

}  // namespace
