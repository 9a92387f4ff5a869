// The sample bank page in a real headless Chromium against the real bridge,
// the SKF stand-in and a virtual key.
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include "BridgeServerFixture.h"

namespace {

class BankPageBrowser : public BridgeServerTest
{
};

TEST_F(BankPageBrowser, ReadsTheKeyAndWorksWithThePin)
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty() || !QFile::exists(QStringLiteral("/usr/bin/chromium")))
        GTEST_SKIP() << "node or /usr/bin/chromium missing (scripts/install-deps.sh installs them)";

    keys.addKey("BANK2025001", "135791");
    keys.addContainer("BANK2025001", "sign", certFixture("rsa2048"), {});
    const quint16 httpPort = freePortRange(1);
    setConfig("AllowedOrigins", "http://127.0.0.1:" + std::to_string(httpPort));
    startServer();
    ASSERT_NE(server->serverPort(), 0);

    QProcess browser;
    browser.setWorkingDirectory(QStringLiteral(ZVIT_BROWSER_TEST_DIR));
    browser.setProcessChannelMode(QProcess::SeparateChannels);
    browser.start(node, {QStringLiteral(ZVIT_BROWSER_TEST_DIR "/bank-page.mjs"),
                         QStringLiteral(ZVIT_TEST_SOURCE_DIR "/examples/bank-page"),
                         QString::number(server->serverPort()), QStringLiteral("135791"),
                         QStringLiteral("24681357"), QString::fromStdString(keys.root().path("tmp/profile")),
                         QString::number(httpPort)});
    ASSERT_TRUE(browser.waitForStarted());
    // The server lives on this thread: keep serving while the browser works.
    ASSERT_TRUE(waitUntil([&] { return browser.state() == QProcess::NotRunning; }, 120000))
        << browser.readAllStandardError().toStdString();
    const QByteArray out = browser.readAllStandardOutput();
    ASSERT_EQ(browser.exitCode(), 0) << out.toStdString() << browser.readAllStandardError().toStdString();

    const QJsonObject shown = QJsonDocument::fromJson(out.trimmed().split('\n').last()).object();
    ASSERT_FALSE(shown.isEmpty()) << out.toStdString();
    EXPECT_TRUE(shown["status"].toString().startsWith("Connected")) << out.toStdString();
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
    EXPECT_EQ(keys.store().verifyPin("BANK2025001", vtoken::PinKind::User, "24681357").status, vtoken::Status::Ok);
    const std::string log = keys.bridgeLog();
    EXPECT_EQ(log.find("135791"), std::string::npos);
    EXPECT_EQ(log.find("24681357"), std::string::npos);
}

}  // namespace
