// Options, system check and about dialogs, and the command runner under the
// system check.
#include "registry/Pkcs11SlotManager.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "manager/CommandOutput.h"
#include "manager/DialogSystemCheck.h"
#include "manager/DialogSystemOptions.h"
#include "common/global_def_var.h"
#include "OperationsTest.h"
#include "TestRoot.h"
#include "common/UserSettings.h"
#include "manager/MainWindow.h"
#include "ui_MainWindow.h"

namespace fs = std::filesystem;

namespace {

// Replaces PATH for the life of the object.
class PathOverride
{
public:
    explicit PathOverride(const std::string& path) : m_saved(qgetenv("PATH")) { qputenv("PATH", path.c_str()); }
    ~PathOverride() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

void writeScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::pair<std::string, std::string>> rowsOf(QTableWidget* table)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows.emplace_back(table->item(r, 0)->text().toStdString(), table->item(r, 1)->text().toStdString());
    return rows;
}

}  // namespace

TEST(CommandOutputTest, MissingFailingOrHangingCommandsAreUnavailable)
{
    const CommandOutput ok = runCommand("/bin/sh", {"-c", "printf 'a b\\n'"}, 5000);
    EXPECT_TRUE(ok.available);
    EXPECT_EQ(ok.output, QByteArray("a b\n"));

    EXPECT_FALSE(runCommand("/nonexistent/zvit-no-such-program", {}, 5000).available);
    EXPECT_FALSE(runCommand("/bin/sh", {"-c", "echo partial; exit 3"}, 5000).available);
    // No shell: the argument reaches the program as it is.
    const CommandOutput literal = runCommand("/bin/echo", {"$HOME;", "|", "x"}, 5000);
    EXPECT_EQ(literal.output, QByteArray("$HOME; | x\n"));

    const CommandOutput hung = runCommand("/bin/sleep", {"30"}, 200);
    EXPECT_FALSE(hung.available);
}

TEST_F(OperationsTest, OptionsSettingIsWrittenOnOkOnlyIntoTheUsersFileAndSurvivesARestart)
{
    ASSERT_TRUE(startWindow());
    const std::string installed = readFile(m_root->configPath());
    const std::string config = m_root->userConfigHome() + "/org.zvit.zevudazivud/Config.ini";
    {
        ModalScript script;
        script.then("Dialog_System_Options", [](QWidget* d) {
            QCheckBox* box = d->findChild<QCheckBox*>("checkBox_openWebPageAtStartup");
            ASSERT_NE(box, nullptr);
            // The fixture configured 0.
            EXPECT_FALSE(box->isChecked());
            box->setChecked(true);
            d->findChild<QPushButton*>("pushButton_ok")->click();
        });
        click(m_window->form()->pushButton_SystemSetting);
    }
    const std::string written = readFile(config);
    EXPECT_NE(written.find("OpenWebPageAtStartup=1"), std::string::npos) << written;
    EXPECT_EQ(written.find("OpenWebPageAtStartup=0"), std::string::npos) << written;
    EXPECT_EQ(readFile(m_root->configPath()), installed) << "the installed file is never written";

    stopWindow();
    ASSERT_TRUE(startWindow());
    {
        ModalScript script;
        script.then("Dialog_System_Options", [](QWidget* d) {
            QCheckBox* box = d->findChild<QCheckBox*>("checkBox_openWebPageAtStartup");
            EXPECT_TRUE(box->isChecked());
            box->setChecked(false);
            d->findChild<QPushButton*>("pushButton_cancel")->click();
        });
        click(m_window->form()->pushButton_SystemSetting);
    }
    EXPECT_EQ(readFile(config), written);
}

TEST_F(OperationsTest, AboutShowsTheConfiguredVersionOrTheDefault)
{
    setConfig("ZTTokenInfo", "ProductVersion", "2.5.1");
    setConfig("ZTTokenInfo", "Copyright", "(C) 2026 Zenvit");
    ASSERT_TRUE(startWindow());
    auto shown = [&] {
        std::vector<std::string> labels;
        ModalScript script;
        script.then("Dialog_About", [&](QWidget* d) {
            for (const char* name : {"label_ProductName", "label_ProductVersion", "label_Copyrights"})
                labels.push_back(d->findChild<QLabel*>(name)->text().toStdString());
            EXPECT_FALSE(d->findChild<QLabel*>("label_LogoJPG")->pixmap(Qt::ReturnByValue).isNull());
            static_cast<QDialog*>(d)->accept();
        });
        m_window->slot_showAboutDialog();
        return labels;
    };
    EXPECT_EQ(shown(), (std::vector<std::string>{text("Product_Name"), "Version 2.5.1", "(C) 2026 Zenvit"}));

    stopWindow();
    std::string config = readFile(m_root->configPath());
    const size_t at = config.find("ProductVersion=2.5.1\n");
    ASSERT_NE(at, std::string::npos);
    config.erase(at, strlen("ProductVersion=2.5.1\n"));
    std::ofstream(m_root->configPath(), std::ios::trunc) << config;
    ASSERT_TRUE(startWindow());
    EXPECT_EQ(shown()[1], "Version 1.0");
}

class SystemCheckTest : public OperationsTest
{
protected:
    void SetUp() override
    {
        OperationsTest::SetUp();
        m_bin = m_root->tempDir() + "/bin";
        fs::create_directories(m_bin);
    }
    std::string m_bin;
};

TEST_F(SystemCheckTest, RowsShowTheDaemonAndEveryPluggedKeyEvenAfterAGap)
{
    writeScript(m_bin + "/ps", "echo 'UID PID CMD'; echo 'root 42 /opt/x/tarndaemon -d'");
    makeKey("KEYA01", "Ann", {});
    makeKey("KEYB02", "Ben", {});
    vkey(m_store, {"retries", "KEYB02", "7"});
    // Slot 0 stays empty: the key in slot 1 must still be listed.
    vkey(m_store, {"plug", "KEYA01"});
    plugAndPublish("KEYB02", 1, "Ben");
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    PathOverride path(m_bin);
    ModalScript script;
    script.then("Dialog_System_Options",
                [](QWidget* d) { d->findChild<QPushButton*>("pushButton_systemCheck")->click(); })
        .then("Dialog_System_Check",
              [&](QWidget* d) {
                  const auto rows = rowsOf(d->findChild<QTableWidget*>("tableWidget"));
                  ASSERT_EQ(rows.size(), 4u);
                  EXPECT_EQ(rows[0].first, "Operating system");
                  EXPECT_EQ(rows[2], std::make_pair(std::string("Key monitor service"), std::string("Running")));
                  EXPECT_EQ(rows[3], std::make_pair(std::string("KEYB02"), std::string("PIN attempts left: 7")));
                  d->findChild<QPushButton*>("pushButton_ok")->click();
              })
        .then("Dialog_System_Options", [](QWidget* d) { d->findChild<QPushButton*>("pushButton_cancel")->click(); });
    click(m_window->form()->pushButton_SystemSetting);
    EXPECT_TRUE(script.finished());
}

TEST_F(SystemCheckTest, MissingOrHangingCommandsShowUnavailableWithoutHolding)
{
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(waitUntil([&] { return statusText() == "No key found. Please plug in your key."; }));
    {
        PathOverride path(m_bin);  // no ps here
        Dialog_System_Check check(nullptr);
        const auto rows = rowsOf(check.findChild<QTableWidget*>("tableWidget"));
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[2].second, "Unavailable");
    }
    writeScript(m_bin + "/ps", "exec /bin/sleep 30");
    {
        PathOverride path(m_bin);
        const int saved = Dialog_System_Check::s_commandTimeoutMs;
        Dialog_System_Check::s_commandTimeoutMs = 300;
        Dialog_System_Check check(nullptr);
        Dialog_System_Check::s_commandTimeoutMs = saved;
        const auto rows = rowsOf(check.findChild<QTableWidget*>("tableWidget"));
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[2].second, "Unavailable");
    }
    // A process list without the daemon.
    writeScript(m_bin + "/ps", "echo 'root 1 /sbin/init'");
    {
        PathOverride path(m_bin);
        Dialog_System_Check check(nullptr);
        EXPECT_EQ(rowsOf(check.findChild<QTableWidget*>("tableWidget"))[2].second, "Not running");
    }
}

TEST_F(SystemCheckTest, APulledKeyLeavesTheTable)
{
    writeScript(m_bin + "/ps", "echo 'root 1 /sbin/init'");
    makeKey("KEYP01", "Pat", {});
    makeKey("KEYQ02", "Quin", {});
    startWith({{"KEYP01", "Pat"}, {"KEYQ02", "Quin"}}, {0, 0});
    unplugAndUnpublish("KEYQ02", 1);
    ASSERT_TRUE(waitUntil([&] { return tree()->topLevelItemCount() == 1; }));
    PathOverride path(m_bin);
    Dialog_System_Check check(nullptr, m_window->devices());
    const auto rows = rowsOf(check.findChild<QTableWidget*>("tableWidget"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3], std::make_pair(std::string("KEYP01"), std::string("PIN attempts left: 10")));
}

TEST_F(OperationsTest, AnOptionThatCannotBeSavedIsSaidAndTheDialogStaysOpen)
{
    ASSERT_TRUE(startWindow());
    // The user's settings folder is a file: nothing can be saved there.
    fs::create_directories(m_root->userConfigHome());
    writeFile(m_root->userConfigHome() + "/org.zvit.zevudazivud", "not a folder");
    {
        Dialog_System_Options options(m_window.get());
        options.show();
        ModalScript script;
        script.then("ZTUIExMessageBox", pressOk);
        options.findChild<QPushButton*>("pushButton_ok")->click();
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].text, text("Options_Save_Failed"));
        EXPECT_TRUE(options.isVisible());
        EXPECT_NE(options.result(), QDialog::Accepted);
    }
}

TEST_F(OperationsTest, ARememberedSiteIsListedAndForgottenAtOnce)
{
    ASSERT_EQ(writeUserList("WebBridge", "RememberedAllowedSites", {"https://bank.example", "http://127.0.0.1:8080"}), 0u);
    ASSERT_EQ(writeUserList("WebBridge", "RememberedDeniedSites", {"https://evil.example"}), 0u);
    ASSERT_TRUE(startWindow());
    Dialog_System_Options options(m_window.get());
    auto* list = options.findChild<QListWidget*>("listWidget_rememberedSites");
    auto* forget = options.findChild<QPushButton*>("pushButton_forgetSite");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(forget, nullptr);
    std::vector<std::string> shown;
    for (int i = 0; i < list->count(); ++i)
        shown.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(shown, (std::vector<std::string> {"https://bank.example — allowed", "http://127.0.0.1:8080 — allowed",
                                                "https://evil.example — refused"}));
    EXPECT_FALSE(forget->isEnabled()) << "nothing chosen yet";

    list->setCurrentRow(0);
    forget->click();
    EXPECT_EQ(readUserList("WebBridge", "RememberedAllowedSites"), QStringList {"http://127.0.0.1:8080"});
    list->setCurrentRow(1);
    forget->click();
    EXPECT_TRUE(readUserList("WebBridge", "RememberedDeniedSites").isEmpty());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), "http://127.0.0.1:8080 — allowed");
}
