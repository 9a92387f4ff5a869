// The user's own settings file over the installed Config.ini: which keys it
// may override, who may own it, and that a failed save loses nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "common/SystemConfig.h"
#include "TestRoot.h"
#include "common/UserSettings.h"
#include "common/ZTCommonDef.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

namespace {

class UserSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadZTUtilLib());
        ASSERT_EQ(initSystemPath(g_szLanguageDirPath, g_szConfigFilePath), 0u);
        setIniValue(m_root.configPath(), "UkeyManage", "OpenWebPageAtStartup", "1");
        setIniValue(m_root.configPath(), "UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", "1");
        m_installed = readFile(m_root.configPath());
    }
    std::string userFile() const { return m_root.userConfigHome() + "/" ZT_USER_SETTINGS_FOLDER "/Config.ini"; }
    static mode_t modeOf(const std::string& path)
    {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }

    TestRoot m_root;
    std::string m_installed;
};

}  // namespace

TEST_F(UserSettings, AUsersValueOverridesTheInstalledOneKeyByKeyAndNeverTouchesIt)
{
    EXPECT_EQ(userSettingsPath().toStdString(), userFile());
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u) << "installed value before any save";

    ASSERT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0"), 0u);
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 0u);
    EXPECT_EQ(configUIntSetting("UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", 7), 1u) << "other keys stay installed";
    EXPECT_EQ(readFile(m_root.configPath()), m_installed);
    EXPECT_EQ(modeOf(userFile()), 0600u);
    EXPECT_EQ(modeOf(m_root.userConfigHome() + "/" ZT_USER_SETTINGS_FOLDER), 0700u);

    // A second save keeps the first key and the file's privacy.
    ASSERT_EQ(writeUserSetting("UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", "0"), 0u);
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 0u);
    EXPECT_EQ(configUIntSetting("UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", 7), 0u);
    EXPECT_EQ(modeOf(userFile()), 0600u);

    // A value that is no number leaves the installed one in force.
    writeFile(userFile(), "[UkeyManage]\nOpenWebPageAtStartup=yes please\n");
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u);
}

TEST_F(UserSettings, ThePolicyOfTheInstalledFileCannotBeOverridden)
{
    EXPECT_EQ(writeUserSetting("ZTTokenInfo", "CSPName", "Mine"), ZT_ERR_INVALID_ARG);
    EXPECT_EQ(writeUserSetting("WebBridge", "AllowedOrigins", "https://evil.example"), ZT_ERR_INVALID_ARG);
    ASSERT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0"), 0u);
    writeFile(userFile(), readFile(userFile()) + "[ZTTokenInfo]\nCSPName=Mine\n");
    QString value;
    EXPECT_FALSE(readUserSetting("ZTTokenInfo", "CSPName", &value));
}

TEST_F(UserSettings, AFileOthersCouldWriteIsIgnoredAndNotWrittenThrough)
{
    ASSERT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0"), 0u);
    chmod(userFile().c_str(), 0666);
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u);
    QString reason;
    EXPECT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0", &reason), ZT_ERR_UNEXPECTED);
    EXPECT_NE(reason.indexOf("writable by group or others"), -1) << reason.toStdString();

    chmod(userFile().c_str(), 0600);
    const std::string link = userFile() + ".elsewhere";
    rename(userFile().c_str(), link.c_str());
    ASSERT_EQ(0, symlink(link.c_str(), userFile().c_str()));
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u) << "a link is not the user's file";

    if (geteuid() == 0) {
        unlink(userFile().c_str());
        ASSERT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0"), 0u);
        ASSERT_EQ(0, chown(userFile().c_str(), 65534, 65534));
        EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u) << "another user's file";
    }
}

TEST_F(UserSettings, WithoutAHomeTheInstalledValuesHoldAndASaveSaysWhy)
{
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_TRUE(userSettingsPath().isEmpty());
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 1u);
    QString reason;
    EXPECT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0", &reason), ZT_ERR_UNEXPECTED);
    EXPECT_NE(reason.indexOf("HOME"), -1) << reason.toStdString();
    setenv("HOME", savedHome.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(userSettingsPath().toStdString(), savedHome + "/.config/" ZT_USER_SETTINGS_FOLDER "/Config.ini")
        << "a relative XDG_CONFIG_HOME is ignored";
    setenv("XDG_CONFIG_HOME", m_root.userConfigHome().c_str(), 1);
}

TEST_F(UserSettings, AFullDiskFailsTheSaveAndKeepsThePreviousFile)
{
    ASSERT_EQ(writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0"), 0u);
    const std::string before = readFile(userFile());
    // A file size limit of zero: every byte written fails as on a full disk.
    const pid_t child = forkChild([] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {0, 0};
        setrlimit(RLIMIT_FSIZE, &limit);
        QString reason;
        const uint32_t rc = writeUserSetting("UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", "0", &reason);
        return rc == ZT_ERR_UNEXPECTED && reason.contains("cannot be written") ? 0 : 1;
    });
    EXPECT_EQ(waitChild(child), 0) << "the save says it failed";
    EXPECT_EQ(readFile(userFile()), before);
    EXPECT_EQ(configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7), 0u);
}

TEST_F(UserSettings, ListsOfOriginsRoundTripWithTheirSeparators)
{
    const QStringList sites {"https://bank.example", "http://127.0.0.1:8080", "https://a.example:8443"};
    ASSERT_EQ(writeUserList("WebBridge", "RememberedAllowedSites", sites), 0u);
    EXPECT_EQ(readUserList("WebBridge", "RememberedAllowedSites"), sites);
    ASSERT_EQ(writeUserList("WebBridge", "RememberedAllowedSites", {}), 0u);
    EXPECT_TRUE(readUserList("WebBridge", "RememberedAllowedSites").isEmpty());
}

TEST_F(UserSettings, AnUnprivilegedUserSavesBesideARootOwnedInstallation)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    chmod(m_root.root().c_str(), 0755);
    chmod(m_root.configPath().c_str(), 0644);
    const std::string home = m_root.tempDir() + "/nobody-home";
    ASSERT_EQ(0, system(("mkdir -p '" + home + "' && chown 65534:65534 '" + home + "'").c_str()));
    chmod(m_root.tempDir().c_str(), 0755);
    const pid_t child = forkChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 2;
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        if (writeUserSetting("UkeyManage", "OpenWebPageAtStartup", "0") != 0)
            return 3;
        return configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 7) == 0 ? 0 : 4;
    });
    EXPECT_EQ(waitChild(child), 0);
    EXPECT_EQ(readFile(m_root.configPath()), m_installed);
    struct stat st {};
    ASSERT_EQ(0, stat((home + "/.config/" ZT_USER_SETTINGS_FOLDER "/Config.ini").c_str(), &st));
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}
