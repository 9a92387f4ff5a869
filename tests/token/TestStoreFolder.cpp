// Where keys may be kept: never in a folder another local user controls, and
// never in a shared fallback when no home is known. Also the token's own log,
// which must pass the same checks as the programs' logs.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "standins/vtoken/Log.h"
#include "OtherUser.h"
#include "standins/vtoken/Store.h"
#include "standins/vtoken/StoreConfig.h"
#include "TestRoot.h"

using namespace vtoken;
namespace fs = std::filesystem;

namespace {

// Sets or (value nullptr) removes an environment variable for one test.
class EnvVar
{
public:
    EnvVar(const char* name, const char* value) : m_name(name)
    {
        const char* old = getenv(name);
        m_had = old != nullptr;
        m_old = old ? old : "";
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had;
};

class StoreFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = root.tempDir() + "/store";
        setLogSink([this](const std::string& line) { logged.push_back(line); });
    }
    void TearDown() override { setLogSink(nullptr); }

    void create(const Store& store, const std::string& serial)
    {
        KeyRecord record;
        ASSERT_EQ(Status::Ok, newKeyRecord(serial, "label " + serial, "12345678", false, &record));
        ASSERT_EQ(Status::Ok, store.create(record));
    }
    // Every kind of operation is refused alike.
    void expectRefused(const Store& store, const std::string& serial)
    {
        KeyRecord record;
        EXPECT_EQ(Status::IoError, store.load(serial, &record));
        ASSERT_EQ(Status::Ok, newKeyRecord("NEW", "new", "12345678", false, &record));
        EXPECT_EQ(Status::IoError, store.create(record));
        EXPECT_EQ(Status::IoError, store.plug(serial));
        EXPECT_EQ(Status::IoError, store.unplug(serial));
        EXPECT_EQ(Status::IoError, store.remove(serial));
        EXPECT_EQ(Status::IoError, store.setRetries(serial, 3));
        EXPECT_EQ(Status::IoError, store.verifyPin(serial, PinKind::User, "12345678").status);
        EXPECT_TRUE(store.list().empty());
        EXPECT_TRUE(store.serials().empty());
    }
    size_t loggedWith(const std::string& part) const
    {
        size_t n = 0;
        for (const std::string& line : logged)
            n += line.find(part) != std::string::npos;
        return n;
    }

    TestRoot root;
    std::string folder;
    std::vector<std::string> logged;
};

TEST_F(StoreFolder, WithoutAnAbsoluteDataHomeOrHomeThereIsNoStore)
{
    {
        EnvVar xdg("XDG_DATA_HOME", "/data/u");
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ("/data/u/zvit-vtoken", defaultStoreFolder());
    }
    {
        EnvVar xdg("XDG_DATA_HOME", "relative");
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ("/home/u/.local/share/zvit-vtoken", defaultStoreFolder());
    }
    for (const char* home : {static_cast<const char*>(nullptr), "", "relative"}) {
        EnvVar xdg("XDG_DATA_HOME", nullptr);
        EnvVar h("HOME", home);
        EXPECT_EQ("", defaultStoreFolder()) << (home ? home : "(unset)");
    }

    // The libraries' calls then fail with one log line saying what to set; nothing is made anywhere.
    Store none("");
    expectRefused(none, "K1");
    EXPECT_EQ(1u, loggedWith("set XDG_DATA_HOME or HOME")) << ::testing::PrintToString(logged);
    EXPECT_FALSE(fs::exists("/K1.vkey"));
    EXPECT_FALSE(fs::exists("/store.lock"));
}

TEST_F(StoreFolder, AFolderOthersCanWriteIsRefusedByNameUntilMadePrivate)
{
    Store store(folder);
    create(store, "K1");
    ASSERT_EQ(Status::Ok, store.plug("K1"));

    for (mode_t mode : {0770, 0702, 01777}) {
        ASSERT_EQ(0, chmod(folder.c_str(), mode));
        logged.clear();
        expectRefused(store, "K1");
        ASSERT_EQ(1u, logged.size()) << "one line per refusal, not one per call";
        EXPECT_NE(std::string::npos, logged[0].find(folder)) << logged[0];
        EXPECT_NE(std::string::npos, logged[0].find("chmod go-w")) << logged[0];
        // Private again, the same refusal later is worth a line again.
        ASSERT_EQ(0, chmod(folder.c_str(), 0700));
        EXPECT_EQ(1u, store.serials().size());
    }

    // The record itself was never touched: it reads as before.
    KeyRecord record;
    ASSERT_EQ(Status::Ok, store.load("K1", &record));
    EXPECT_EQ("label K1", record.label);
    EXPECT_TRUE(record.plugged);
    EXPECT_EQ(1u, store.pluggedKeys().size());
}

TEST_F(StoreFolder, AFolderTheStoreMakesIsPrivateParentsIncluded)
{
    const std::string deep = root.tempDir() + "/a/b/zvit-vtoken";
    create(Store(deep), "K1");
    for (const std::string& made : {root.tempDir() + "/a", root.tempDir() + "/a/b", deep}) {
        struct stat st {};
        ASSERT_EQ(0, stat(made.c_str(), &st)) << made;
        EXPECT_EQ(0700u, st.st_mode & 07777) << made;
    }
    // A link of this user to a folder of this user is fine (a home moved elsewhere).
    const std::string link = root.tempDir() + "/link";
    ASSERT_EQ(0, symlink(deep.c_str(), link.c_str()));
    KeyRecord record;
    EXPECT_EQ(Status::Ok, Store(link).load("K1", &record));
}

TEST_F(StoreFolder, AnotherUsersFolderIsRefusedEvenWhenItLooksPrivate)
{
    const std::string why = otherUserUnavailable();
    if (!why.empty())
        GTEST_SKIP() << why;
    Store store(folder);
    create(store, "K1");
    ASSERT_EQ(0, chown(folder.c_str(), kOtherUid, kOtherGid));
    expectRefused(store, "K1");
    ASSERT_EQ(1u, logged.size());
    EXPECT_NE(std::string::npos, logged[0].find(folder + " belongs to another user (uid 65534")) << logged[0];
    EXPECT_NE(std::string::npos, logged[0].find("chown")) << logged[0];

    // The other user's link to our own folder cannot be trusted either: it may be re-pointed.
    ASSERT_EQ(0, chown(folder.c_str(), 0, 0));
    const std::string link = root.tempDir() + "/link";
    ASSERT_EQ(0, symlink(folder.c_str(), link.c_str()));
    ASSERT_EQ(0, lchown(link.c_str(), kOtherUid, kOtherGid));
    EXPECT_NE(std::string::npos, storeFolderProblem(link).find("symbolic link of another user"));
    EXPECT_EQ("", storeFolderProblem(folder));
}

class TokenLog : public ::testing::Test
{
protected:
    void SetUp() override { setLogFolder(dir()); }
    void TearDown() override { setLogFolder(""); }
    std::string dir() const { return root.tempDir() + "/zvittarn"; }
    std::string file() const { return dir() + "/zt_vtoken.log"; }

    TestRoot root;
};

TEST_F(TokenLog, WritesItsLineOnlyWhereTheProgramsWould)
{
    logLine("while off");
    EXPECT_FALSE(fs::exists(file()));

    ASSERT_EQ(0, mkdir(dir().c_str(), 0700));
    logLine("first");
    const std::regex line(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \[(\d+)\] first\n$)");
    std::smatch m;
    const std::string text = readFile(file());
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    EXPECT_EQ(std::to_string(getpid()), m[1].str());
    struct stat st {};
    ASSERT_EQ(0, stat(file().c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);

    ASSERT_EQ(0, chmod(dir().c_str(), 0777));
    logLine("into a folder anybody can write");
    ASSERT_EQ(0, chmod(dir().c_str(), 0700));
    EXPECT_EQ(text, readFile(file()));

    // A planted link or FIFO: not followed, not waited for (a child with a deadline).
    const std::string victim = root.tempDir() + "/victim";
    writeFile(victim, "untouched");
    ASSERT_EQ(0, unlink(file().c_str()));
    ASSERT_EQ(0, symlink(victim.c_str(), file().c_str()));
    logLine("through a link");
    EXPECT_EQ("untouched", readFile(victim));
    ASSERT_EQ(0, unlink(file().c_str()));
    ASSERT_EQ(0, mkfifo(file().c_str(), 0600));
    EXPECT_EQ(0, waitChild(forkChild([] {
                  alarm(20);
                  logLine("into a fifo");
                  return 0;
              })));
}

}  // namespace
