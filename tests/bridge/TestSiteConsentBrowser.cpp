// A page of a site that is not in the bridge's allowed list, in a real
// headless Chromium, against the bridge and the manager's own consent dialog
// answered through its widgets: refused, allowed and remembered across a
// restart, forgotten in the options dialog, and left unanswered.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "manager/BridgeQuestions.h"
#include "BridgeServerFixture.h"
#include "manager/DialogSystemOptions.h"
#include "QtWait.h"
#include "common/UserSettings.h"
#include "browser/PrivateBrowserSettings.h"

namespace {

enum class Answer { Allow, AllowAndRemember, Refuse, None };

QDialog* consentDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog->isVisible() && dialog->objectName() == BridgeQuestions::kConsentDialogName)
            return dialog;
    }
    return nullptr;
}

class SiteConsentBrowser : public BridgeServerTest
{
protected:
    void SetUp() override
    {
        BridgeServerTest::SetUp();
        m_node = QStandardPaths::findExecutable(QStringLiteral("node"));
        keys.addKey("BANK2025001", "135791");
        keys.addContainer("BANK2025001", "sign", certFixture("rsa2048"), {});
        m_httpPort = freePortRange(1);
    }
    void startBridge()
    {
        m_questions.reset(new BridgeQuestions);
        startServer();
        server->setPrompts(m_questions.get());
        server->setConsentTimeoutMs(4000);
    }
    void restartBridge()
    {
        server.reset();
        m_questions.reset();
        startBridge();
    }
    std::string origin() const { return "http://bank-consent.test:" + std::to_string(m_httpPort); }

    // Runs the page once; the consent dialog, when it comes, gets answer.
    QJsonObject visit(Answer answer, int* dialogsSeen)
    {
        QString program = m_node;
        QStringList args = {QStringLiteral(ZVIT_BROWSER_TEST_DIR "/consent-page.mjs"),
                            QStringLiteral(ZVIT_TEST_SOURCE_DIR "/examples/bank-page"),
                            QString::number(server->serverPort()),
                            QString::fromStdString(keys.root().path("tmp/profile")), QString::number(m_httpPort),
                            QStringLiteral("bank-consent.test")};
        // The machine's own browser policies stay out of the answer.
        QString whyNot;
        if (privateBrowserSettingsAvailable(&whyNot)) {
            const QString none = QString::fromStdString(keys.root().path("tmp/no-settings"));
            QDir().mkpath(none);
            runWithBrowserSettings({none, none}, &program, &args);
        }
        QProcess browser;
        browser.setWorkingDirectory(QStringLiteral(ZVIT_BROWSER_TEST_DIR));
        browser.start(program, args);
        EXPECT_TRUE(browser.waitForStarted());
        QDialog* handled = nullptr;
        QElapsedTimer shownFor;
        *dialogsSeen = 0;
        EXPECT_TRUE(waitUntil(
            [&] {
                QDialog* dialog = consentDialog();
                if (dialog && dialog != handled && !shownFor.isValid()) {
                    shownFor.start();
                    ++*dialogsSeen;
                }
                // The user takes a moment, long enough for the page to say it waits.
                if (dialog && dialog != handled && shownFor.isValid() && shownFor.elapsed() > 2000) {
                    handled = dialog;
                    shownFor.invalidate();
                    EXPECT_EQ(dialog->findChild<QLabel*>("label_origin")->text().toStdString(), origin());
                    if (answer == Answer::AllowAndRemember)
                        dialog->findChild<QCheckBox*>("checkBox_remember")->setChecked(true);
                    if (answer == Answer::Allow || answer == Answer::AllowAndRemember)
                        dialog->findChild<QPushButton*>("pushButton_allow")->click();
                    else if (answer == Answer::Refuse)
                        dialog->findChild<QPushButton*>("pushButton_deny")->click();
                }
                return browser.state() == QProcess::NotRunning;
            },
            150000))
            << browser.readAllStandardError().toStdString();
        const QByteArray out = browser.readAllStandardOutput();
        EXPECT_EQ(browser.exitCode(), 0) << out.toStdString() << browser.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(out.trimmed().split('\n').last()).object();
    }

    QString m_node;
    quint16 m_httpPort = 0;
    std::unique_ptr<BridgeQuestions> m_questions;
};

}  // namespace

TEST_F(SiteConsentBrowser, AnUnknownSiteWaitsForTheUsersAnswerInTheManager)
{
    if (m_node.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/chromium")))
        GTEST_SKIP() << "node or /usr/bin/chromium missing (scripts/install-deps.sh installs them)";
    startBridge();
    int dialogs = 0;

    QJsonObject shown = visit(Answer::Refuse, &dialogs);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(shown["sawWaiting"].toBool()) << "the page says it waits for permission";
    EXPECT_TRUE(shown["status"].toString().contains("not allowed")) << shown["status"].toString().toStdString();
    EXPECT_EQ(shown["serial"].toString(), "-") << "nothing is answered to a refused site";

    // A refused site is not asked again for a while; a new run starts afresh.
    restartBridge();
    shown = visit(Answer::AllowAndRemember, &dialogs);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(shown["status"].toString().startsWith("Connected")) << shown["status"].toString().toStdString();
    EXPECT_EQ(shown["serial"].toString(), "BANK2025001");
    EXPECT_EQ(readUserList("WebBridge", "RememberedAllowedSites"), QStringList {QString::fromStdString(origin())});

    // The remembered answer outlives the manager's run.
    restartBridge();
    shown = visit(Answer::None, &dialogs);
    EXPECT_EQ(dialogs, 0) << "a remembered site is not asked again";
    EXPECT_EQ(shown["serial"].toString(), "BANK2025001");

    // Forgotten in the options dialog: asked again, and without an answer refused in time.
    {
        Dialog_System_Options options(nullptr);
        auto* list = options.findChild<QListWidget*>("listWidget_rememberedSites");
        ASSERT_EQ(list->count(), 1);
        list->setCurrentRow(0);
        options.findChild<QPushButton*>("pushButton_forgetSite")->click();
        EXPECT_EQ(list->count(), 0);
    }
    shown = visit(Answer::None, &dialogs);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(shown["sawWaiting"].toBool());
    EXPECT_TRUE(shown["status"].toString().contains("not allowed")) << shown["status"].toString().toStdString();
    EXPECT_TRUE(waitUntil([] { return consentDialog() == nullptr; }, 5000)) << "the question goes with the page";
}
