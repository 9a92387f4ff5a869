// The ini layer shared by the stand-ins: layout kept byte for byte, several
// writer processes, writers killed mid-write.
#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "standins/inifile/AtomicFile.h"
#include "ChildProcess.h"
#include "standins/inifile/IniFile.h"
#include "TestRoot.h"

using ztini::Status;

namespace {

std::string get(const std::string& path, const std::string& section, const std::string& key)
{
    std::string value;
    Status status = ztini::readValue(path, section, key, &value);
    return status == Status::Ok ? value : "<" + std::to_string(static_cast<int>(status)) + ">";
}

std::vector<std::string> leftoverTemporaries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr)
        if (std::string(entry->d_name).find(".tmp") != std::string::npos)
            names.push_back(entry->d_name);
    if (dir)
        closedir(dir);
    return names;
}

// Kills a still running child when a failed assertion leaves the test early.
struct KillOnExit {
    pid_t pid;
    ~KillOnExit()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitChild(pid);
        }
    }
};

class IniFileTest : public ::testing::Test
{
protected:
    TestRoot root;
    std::string path = root.tempDir() + "/test.ini";
};

}  // namespace

TEST_F(IniFileTest, EditKeepsEveryOtherByte)
{
    const std::string original =
        "\xEF\xBB\xBF; header comment\r\n"
        "[Main]\r\n"
        "  Name = Zhang San  \r\n"
        "# kept = not a key\r\n"
        "Url=http://host/a=b#frag\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=1";  // no final line ending
    writeFile(path, original);

    EXPECT_EQ(get(path, "Main", "Name"), "Zhang San");
    EXPECT_EQ(get(path, "Main", "Url"), "http://host/a=b#frag");  // '=' and '#' inside values survive
    EXPECT_EQ(get(path, "Main", "kept"), "<1>");

    ASSERT_EQ(ztini::writeValue(path, "Main", "Name", "\xE5\xBC\xA0\xE4\xB8\x89"), Status::Ok);
    EXPECT_EQ(readFile(path), "\xEF\xBB\xBF; header comment\r\n"
                              "[Main]\r\n"
                              "  Name = \xE5\xBC\xA0\xE4\xB8\x89\r\n"
                              "# kept = not a key\r\n"
                              "Url=http://host/a=b#frag\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "x=1");

    // New keys go to the end of their section, new sections to the end of the file,
    // with the file's own line ending.
    ASSERT_EQ(ztini::writeValue(path, "Main", "New", "v"), Status::Ok);
    ASSERT_EQ(ztini::writeValue(path, "Other", "y", "2"), Status::Ok);
    ASSERT_EQ(ztini::writeValue(path, "Added", "k", ""), Status::Ok);
    EXPECT_EQ(readFile(path), "\xEF\xBB\xBF; header comment\r\n"
                              "[Main]\r\n"
                              "  Name = \xE5\xBC\xA0\xE4\xB8\x89\r\n"
                              "# kept = not a key\r\n"
                              "Url=http://host/a=b#frag\r\n"
                              "New=v\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "x=1\r\n"
                              "y=2\r\n"
                              "\r\n"
                              "[Added]\r\n"
                              "k=\r\n");
    EXPECT_EQ(get(path, "Added", "k"), "");
    EXPECT_EQ(get(path, "Main", "Name"), "\xE5\xBC\xA0\xE4\xB8\x89");
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndFirstOccurrenceWins)
{
    writeFile(path, "top=0\n[A]\nkey=1\nKEY=2\n[b]\nz=3\n[a]\nlate=4\n");
    EXPECT_EQ(get(path, "a", "Key"), "1");
    EXPECT_EQ(get(path, "A", "late"), "4");  // a repeated section is still the same section
    EXPECT_EQ(get(path, "B", "Z"), "3");
    EXPECT_EQ(get(path, "", "top"), "0");

    std::vector<std::string> names;
    ASSERT_EQ(ztini::keyNames(path, "A", &names), Status::Ok);
    EXPECT_EQ(names, (std::vector<std::string>{"key", "late"}));
    EXPECT_EQ(ztini::keyNames(path, "Missing", &names), Status::NotFound);

    ASSERT_EQ(ztini::writeValue(path, "a", "KEY", "9"), Status::Ok);
    EXPECT_EQ(readFile(path), "top=0\n[A]\nkey=9\nKEY=2\n[b]\nz=3\n[a]\nlate=4\n");
}

TEST_F(IniFileTest, MissingPiecesAndUnwritableInput)
{
    std::string value = "untouched";
    EXPECT_EQ(ztini::readValue(path, "S", "k", &value), Status::NotFound);
    EXPECT_EQ(ztini::readValue(root.tempDir() + "/no/such/dir.ini", "S", "k", &value), Status::NotFound);
    EXPECT_EQ(value, "untouched");

    // Values or names that would read back differently are refused, not mangled.
    EXPECT_EQ(ztini::writeValue(path, "S", "k", "two\nlines"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(path, "S", "k", " padded"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(path, "S", "a=b", "v"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(path, "S]", "k", "v"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(path, "S", ";k", "v"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(path, "", "k", "v"), Status::BadArgument);
    EXPECT_EQ(ztini::writeValue(root.tempDir() + "/no/such/dir.ini", "S", "k", "v"), Status::IoError);
    struct stat info;
    EXPECT_NE(stat(path.c_str(), &info), 0) << "refused writes must not create the file";

    ASSERT_EQ(ztini::writeValue(path, "S", "k", "v"), Status::Ok);
    EXPECT_EQ(readFile(path), "[S]\nk=v\n");
}

TEST_F(IniFileTest, WriteKeepsModeOwnerAndSymlink)
{
    std::string real = root.tempDir() + "/real.ini";
    writeFile(real, "[S]\nk=1\n");
    chmod(real.c_str(), 0600);
    ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);

    ASSERT_EQ(ztini::writeValue(path, "S", "k", "2"), Status::Ok);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link was replaced by a copy";
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(get(real, "S", "k"), "2");

    // Run as root (as the installer does), a write keeps the user's ownership.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(real.c_str(), 4321, 4322), 0);
        ASSERT_EQ(ztini::writeValue(path, "S", "k", "3"), Status::Ok);
        ASSERT_EQ(stat(real.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }
}

TEST_F(IniFileTest, ConcurrentWriterProcessesLoseNoKey)
{
    const int kWriters = 4, kKeys = 200;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        children.push_back(forkChild([&, w] {
            for (int k = 0; k < kKeys; ++k) {
                std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
                if (ztini::writeValue(path, "Keys", key, std::to_string(w * 1000 + k)) != Status::Ok)
                    return 3;
            }
            return 0;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(waitChild(child), 0);

    std::vector<std::string> names;
    ASSERT_EQ(ztini::keyNames(path, "Keys", &names), Status::Ok);
    EXPECT_EQ(names.size(), size_t(kWriters * kKeys));
    for (int w = 0; w < kWriters; ++w)
        for (int k = 0; k < kKeys; ++k)
            ASSERT_EQ(get(path, "Keys", "w" + std::to_string(w) + "k" + std::to_string(k)),
                      std::to_string(w * 1000 + k));
}

TEST_F(IniFileTest, ConcurrentWriterThreadsLoseNoKey)
{
    // The programs write from several threads of one process; the lock must
    // serialise those too, not only other processes.
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int k = 0; k < 50; ++k)
                if (ztini::writeValue(path, "T", "t" + std::to_string(t) + "k" + std::to_string(k), "1") != Status::Ok)
                    ++failures[t];
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    std::vector<std::string> names;
    ASSERT_EQ(ztini::keyNames(path, "T", &names), Status::Ok);
    EXPECT_EQ(names.size(), 200u);
}

TEST_F(IniFileTest, WriterKilledMidWriteLeavesOldOrNewFile)
{
    // Bulky fixed keys make each write long enough to be interrupted.
    const int kFixed = 64;
    const std::string bulk(2000, 'x');
    for (int i = 0; i < kFixed; ++i)
        ASSERT_EQ(ztini::writeValue(path, "Fixed", "f" + std::to_string(i), bulk), Status::Ok);
    ASSERT_EQ(ztini::writeValue(path, "Count", "n", "0"), Status::Ok);

    long last = 0;
    for (int round = 0; round < 12; ++round) {
        pid_t child = forkChild([&] {
            for (long n = last + 1;; ++n)
                ztini::writeValue(path, "Count", "n", std::to_string(n));
            return 0;
        });
        KillOnExit guard{child};
        for (int reads = 0; reads < 40; ++reads) {
            std::string content;
            ASSERT_TRUE(ztfile::readAll(path, &content));
            for (int i = 0; i < kFixed; i += 7)
                ASSERT_EQ(get(path, "Fixed", "f" + std::to_string(i)), bulk) << "round " << round;
            std::string n = get(path, "Count", "n");
            ASSERT_FALSE(n.empty());
            ASSERT_EQ(n.find_first_not_of("0123456789"), std::string::npos) << n;
            long value = std::stol(n);
            ASSERT_GE(value, last) << "an older file came back";
            last = value;
            usleep(500 * (round % 4));
        }
        kill(child, SIGKILL);
        EXPECT_EQ(waitChild(child), 128 + SIGKILL);
        guard.pid = 0;
        std::string n = get(path, "Count", "n");
        ASSERT_EQ(n.find_first_not_of("0123456789"), std::string::npos) << n;
        last = std::stol(n);
    }

    // The next writer clears what killed writers left behind.
    writeFile(root.tempDir() + "/.test.ini.tmpAbC123", "half a fil");
    ASSERT_EQ(ztini::writeValue(path, "Count", "n", "done"), Status::Ok);
    EXPECT_TRUE(leftoverTemporaries(root.tempDir()).empty());
    EXPECT_EQ(get(path, "Fixed", "f63"), bulk);
}
