// The sample bank page in a real headless Chromium and Firefox ESR against the
// real bridge, the SKF stand-in and a virtual key: from this computer, and
// from a site the browser takes for a public one, with and without the
// browser settings tarn-browser-policy writes.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include "BridgeServerFixture.h"
#include "browser/PrivateBrowserSettings.h"
#include "zvit_build_config.h"

namespace {

const char kBlocked[] = "Your browser blocked this page from reaching programs on this computer";

class BankPageBrowser : public BridgeServerTest
{
protected:
    void SetUp() override
    {
        BridgeServerTest::SetUp();
        m_node = QStandardPaths::findExecutable(QStringLiteral("node"));
        if (m_node.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/chromium")))
            GTEST_SKIP() << "node or /usr/bin/chromium missing (scripts/install-deps.sh installs them)";
        m_private = privateBrowserSettingsAvailable(&m_whyNotPrivate);
        keys.addKey("BANK2025001", "135791");
        keys.addContainer("BANK2025001", "sign", certFixture("rsa2048"), {});
        m_httpPort = freePortRange(1);
    }
    std::string pageOrigin(const char* scheme, const char* host = "bank.test") const
    {
        return std::string(scheme) + "://" + host + ":" + std::to_string(m_httpPort);
    }
    void needPrivateSettings()
    {
        if (!m_private)
            GTEST_SKIP() << "browser settings of the test's own: " << m_whyNotPrivate.toStdString();
    }
    BrowserSettings noSettings()
    {
        const QString base = QString::fromStdString(keys.root().path("tmp/no-settings/"));
        QDir().mkpath(base + "chromium");
        QDir().mkpath(base + "firefox-esr");
        return {base + "chromium", base + "firefox-esr"};
    }
    // What tarn-browser-policy writes for this root's AllowedOrigins.
    BrowserSettings writtenSettings()
    {
        const QString root = QString::fromStdString(keys.root().path("tmp/policy-root"));
        const QString filesRoot = root + QStringLiteral(ZVIT_FILES_ROOT);
        QDir().mkpath(QFileInfo(filesRoot.chopped(1)).path());
        EXPECT_TRUE(QFile::link(QString::fromStdString(keys.root().root()), filesRoot.chopped(1)));
        QProcess command;
        command.start(QStringLiteral(ZVIT_BROWSER_POLICY_COMMAND), {QStringLiteral("--root"), root});
        EXPECT_TRUE(command.waitForFinished(30000));
        EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();
        const QString etc = root + QStringLiteral(ZVIT_SYSTEM_ROOT) + QStringLiteral("etc/");
        EXPECT_TRUE(QFile::exists(etc + "chromium/policies/managed/tarn-ukey.json"));
        return {etc + "chromium", etc + "firefox-esr"};
    }

    // Runs the page once; options as bank-page.mjs takes them.
    QJsonObject visit(const QStringList& options, const BrowserSettings* settings = nullptr)
    {
        if (server)
            m_bridgePort = server->serverPort();
        QString program = m_node;
        QStringList args = {QStringLiteral(ZVIT_BROWSER_TEST_DIR "/bank-page.mjs"),
                            QStringLiteral(ZVIT_TEST_SOURCE_DIR "/examples/bank-page"),
                            QString::number(m_bridgePort), QStringLiteral("135791"),
                            QStringLiteral("24681357"),
                            QString::fromStdString(keys.root().path("tmp/profile-" + std::to_string(m_visits++))),
                            QString::number(m_httpPort)};
        args << options;
        const BrowserSettings none = m_private ? noSettings() : BrowserSettings();
        if (settings || m_private)
            runWithBrowserSettings(settings ? *settings : none, &program, &args);
        QProcess browser;
        browser.setWorkingDirectory(QStringLiteral(ZVIT_BROWSER_TEST_DIR));
        browser.start(program, args);
        EXPECT_TRUE(browser.waitForStarted());
        // The server lives on this thread: keep serving while the browser works.
        EXPECT_TRUE(waitUntil([&] { return browser.state() == QProcess::NotRunning; }, 120000))
            << browser.readAllStandardError().toStdString();
        const QByteArray out = browser.readAllStandardOutput();
        EXPECT_EQ(browser.exitCode(), 0) << out.toStdString() << browser.readAllStandardError().toStdString();
        const QJsonObject shown = QJsonDocument::fromJson(out.trimmed().split('\n').last()).object();
        EXPECT_FALSE(shown.isEmpty()) << out.toStdString() << browser.readAllStandardError().toStdString();
        return shown;
    }

    void expectEveryReply(const QJsonObject& shown)
    {
        const std::string all = QJsonDocument(shown).toJson().toStdString();
        EXPECT_TRUE(shown["status"].toString().startsWith("Connected")) << all;
        EXPECT_EQ(shown["keyCount"].toString(), "1");
        EXPECT_EQ(shown["serial"].toString(), "BANK2025001");
        EXPECT_EQ(shown["subject"].toString(), "C=CN, ST=Beijing, L=Haidian, O=Zvit Test Bank, OU=Retail, "
                                               "CN=RSA 2048 Holder, emailAddress=holder@example.com");
        EXPECT_EQ(shown["certSerial"].toString(), "1002");
        EXPECT_EQ(shown["validFrom"].toString(), "2025-1-1 4:0:0");
        EXPECT_EQ(shown["version"].toString(), "1.0");
        EXPECT_EQ(shown["wrongPin"].toString(), "Wrong PIN: 9 tries left.");
        EXPECT_EQ(shown["rightPin"].toString(), "PIN verified.");
        EXPECT_EQ(shown["mismatch"].toString(), "The new PINs differ.");
        EXPECT_EQ(shown["change"].toString(), "PIN changed.");
        EXPECT_EQ(shown["newPin"].toString(), "PIN verified.");
        EXPECT_TRUE(shown["pinFieldEmpty"].toBool());
        // The key itself now has the new PIN, as the manager's dialogs will see it.
        EXPECT_EQ(keys.store().verifyPin("BANK2025001", vtoken::PinKind::User, "24681357").status,
                  vtoken::Status::Ok);
    }
    static bool sawStatus(const QJsonObject& shown, const char* text)
    {
        for (const QJsonValue& status : shown["statuses"].toArray()) {
            if (status.toString().contains(QLatin1String(text)))
                return true;
        }
        return false;
    }

    QString m_node;
    bool m_private = false;
    QString m_whyNotPrivate;
    quint16 m_httpPort = 0;
    quint16 m_bridgePort = 0;  // kept when the server is gone
    int m_visits = 0;
};

TEST_F(BankPageBrowser, ReadsTheKeyAndWorksWithThePin)
{
    setConfig("AllowedOrigins", pageOrigin("http", "127.0.0.1"));
    startServer();
    ASSERT_NE(server->serverPort(), 0);
    expectEveryReply(visit({}));

    const std::string log = keys.bridgeLog();
    EXPECT_EQ(log.find("135791"), std::string::npos);
    EXPECT_EQ(log.find("24681357"), std::string::npos);
}

TEST_F(BankPageBrowser, APublicSiteWithoutThePolicyIsToldItsBrowserBlockedIt)
{
    needPrivateSettings();
    // Listed for the bridge: only the browser stands between page and manager.
    setConfig("AllowedOrigins", pageOrigin("https") + ";" + pageOrigin("http"));
    startServer();

    QJsonObject shown = visit({"host=bank.test", "scheme=https", "public=1", "connectOnly=1"});
    EXPECT_TRUE(shown["status"].toString().startsWith(kBlocked)) << shown["status"].toString().toStdString();
    EXPECT_TRUE(shown["status"].toString().contains("site's settings"));
    EXPECT_EQ(shown["permissionAfter"].toString(), "denied");
    EXPECT_EQ(shown["serial"].toString(), "-");
    EXPECT_TRUE(QJsonDocument(shown["console"].toArray()).toJson().contains("ERR_BLOCKED_BY_LOCAL_NETWORK_ACCESS"));

    // A plain-http page is blocked with no question, whatever the settings say.
    shown = visit({"host=bank.test", "scheme=http", "public=1", "connectOnly=1"});
    EXPECT_TRUE(shown["status"].toString().startsWith(kBlocked)) << shown["status"].toString().toStdString();
    EXPECT_TRUE(shown["status"].toString().contains("https address"));
}

TEST_F(BankPageBrowser, APublicSiteInThePolicyGetsEveryReplyWithoutAQuestion)
{
    needPrivateSettings();
    setConfig("AllowedOrigins", pageOrigin("https"));
    startServer();
    const BrowserSettings policy = writtenSettings();

    QJsonObject shown = visit({"host=bank.test", "scheme=https", "public=1"}, &policy);
    expectEveryReply(shown);
    EXPECT_EQ(shown["permissionBefore"].toString(), "granted");
    EXPECT_FALSE(sawStatus(shown, "browser asks"));

    // Allowed by the browser and nobody listening: the manager is missing, and the page says so.
    server.reset();
    shown = visit({"host=bank.test", "scheme=https", "public=1", "connectOnly=1"}, &policy);
    EXPECT_TRUE(shown["status"].toString().startsWith("No key manager answers on this computer"))
        << shown["status"].toString().toStdString();
}

TEST_F(BankPageBrowser, FirefoxGetsEveryReply)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/firefox-esr")))
        GTEST_SKIP() << "/usr/bin/firefox-esr missing (scripts/install-deps.sh installs it)";
    setConfig("AllowedOrigins", pageOrigin("https"));
    startServer();
    expectEveryReply(visit({"browser=firefox", "host=bank.test", "scheme=https", "public=1"}));
}

TEST_F(BankPageBrowser, FirefoxCheckingWebSocketsGetsEveryReplyWithThePolicy)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/firefox-esr")))
        GTEST_SKIP() << "/usr/bin/firefox-esr missing (scripts/install-deps.sh installs it)";
    needPrivateSettings();
    setConfig("AllowedOrigins", pageOrigin("https"));
    startServer();
    const QStringList options = {"browser=firefox", "host=bank.test", "scheme=https", "public=1",
                                 "firefoxWebsocketChecks=1"};

    // Without it Firefox holds the connection for its question, and the page says so.
    QJsonObject shown = visit(options + QStringList {"connectOnly=1", "stopAt=browser asks"});
    EXPECT_TRUE(sawStatus(shown, "Your browser asks whether this page may reach programs on this computer"))
        << QJsonDocument(shown).toJson().toStdString();
    EXPECT_EQ(shown["serial"].toString(), "-");

    const BrowserSettings policy = writtenSettings();
    shown = visit(options, &policy);
    expectEveryReply(shown);
    EXPECT_FALSE(sawStatus(shown, "browser asks"));
}

}  // namespace
