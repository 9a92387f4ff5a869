// The server's side: ports, the TLS files, who may connect, concurrent pages,
// oversized requests, and which SKF library a page may have loaded.
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "BridgeServerFixture.h"
#include "zvit_build_config.h"

namespace {

class BridgeServer : public BridgeServerTest
{
};

std::unique_ptr<QTcpServer> occupy(quint16 port)
{
    auto blocker = std::make_unique<QTcpServer>();
    EXPECT_TRUE(blocker->listen(QHostAddress::LocalHost, port));
    return blocker;
}

// Runs body with standard output captured into the returned text.
std::string captureStdout(const std::function<void()>& body)
{
    fflush(stdout);
    char path[] = "/tmp/zvit-bridge-stdout-XXXXXX";
    const int fd = mkstemp(path);
    const int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    body();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);
    const std::string text = readFile(path);
    unlink(path);
    return text;
}

TEST_F(BridgeServer, BusyPortMovesToTheNextOne)
{
    auto blocker = occupy(basePort);
    startServer();
    EXPECT_EQ(server->serverPort(), basePort + 1);
    EXPECT_NE(keys.bridgeLog().find("WebSocket server started on port:" + std::to_string(basePort + 1)),
              std::string::npos);
    EXPECT_EQ(connectPage().request("GetCertType#&&#end"), "GetCertType&&1");
}

TEST_F(BridgeServer, AllTenPortsBusyLeavesTheProgramRunning)
{
    std::vector<std::unique_ptr<QTcpServer>> blockers;
    for (int i = 0; i < ZTWebSocketServer::kPortRange; ++i)
        blockers.push_back(occupy(static_cast<quint16>(basePort + i)));
    startServer();
    EXPECT_EQ(server->serverPort(), 0);
    EXPECT_NE(keys.bridgeLog().find("Failed to start WebSocket server on any port in range"), std::string::npos);
    PageClient page;
    EXPECT_FALSE(page.open(static_cast<quint16>(basePort + ZTWebSocketServer::kPortRange), "127.0.0.1", 1000));
}

TEST_F(BridgeServer, MissingTlsFileMeansNoPortAtAll)
{
    std::filesystem::remove(keys.root().path("cert/server.key"));
    startServer();
    EXPECT_EQ(server->serverPort(), 0);
    EXPECT_NE(keys.bridgeLog().find("Failed to open SSL certificate or key file"), std::string::npos);
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, basePort)) << "the first port stays free";
}

TEST_F(BridgeServer, ListensOnLoopbackOnly)
{
    startServer();
    ASSERT_NE(server->serverPort(), 0);
    PageClient v4;
    EXPECT_TRUE(v4.open(server->serverPort(), "127.0.0.1"));
    QTcpServer ipv6Probe;
    if (ipv6Probe.listen(QHostAddress::LocalHostIPv6, 0)) {
        PageClient v6;
        EXPECT_TRUE(v6.open(server->serverPort(), "::1"));
    }
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.isLoopback() || address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        QTcpSocket socket;
        socket.connectToHost(address, server->serverPort());
        EXPECT_FALSE(socket.waitForConnected(1000)) << address.toString().toStdString();
    }
}

TEST_F(BridgeServer, ListedOriginsAndLocalProgramsAreServedUnasked)
{
    setConfig("AllowedOrigins", "https://bank.example.com; http://localhost:8080/");
    startServer();
    server->setPrompts(nullptr);
    PageClient bank(QStringLiteral("https://BANK.example.com:443"));
    ASSERT_TRUE(bank.open(server->serverPort()));
    EXPECT_EQ(bank.request("GetCertType#&&#end"), "GetCertType&&1");
    PageClient local(QStringLiteral("http://localhost:8080"));
    ASSERT_TRUE(local.open(server->serverPort()));
    EXPECT_EQ(local.request("GetCertType#&&#end"), "GetCertType&&1");
    // No Origin header: a program of this user, not a page; a listed origin
    // does not turn it away.
    PageClient none;
    ASSERT_TRUE(none.open(server->serverPort()));
    EXPECT_EQ(none.request("GetCertType#&&#end"), "GetCertType&&1");

    // Nobody to ask: an unknown origin is closed with 1008 and answered nothing.
    PageClient stranger(QStringLiteral("https://evil.example.net"));
    stranger.open(server->serverPort());
    stranger.send(QStringLiteral("GetSN"));
    EXPECT_TRUE(stranger.waitClosed());
    EXPECT_EQ(stranger.closeCode(), 1008);
    EXPECT_TRUE(stranger.takeReplies(1, 200).isEmpty());
    EXPECT_NE(keys.bridgeLog().find("connection from origin https://evil.example.net refused"), std::string::npos);
}

TEST_F(BridgeServer, TwoPagesAtOnceEachGetTheirOwnReplies)
{
    keys.addKey("TWOCLI1", "111111");
    startServer();
    PageClient& a = readyPage();
    PageClient& b = connectPage();
    EXPECT_EQ(server->clientCount(), 2);
    // Interleaved: both pages have requests in flight at the same time.
    for (int i = 0; i < 20; ++i) {
        a.send(QStringLiteral("GetSN"));
        b.send(QStringLiteral("GetCertType#&&#end"));
    }
    EXPECT_EQ(a.takeReplies(20), QStringList(QVector<QString>(20, QStringLiteral("GetSN&&TWOCLI1")).toList()));
    EXPECT_EQ(b.takeReplies(20), QStringList(QVector<QString>(20, QStringLiteral("GetCertType&&1")).toList()));
    EXPECT_TRUE(a.takeReplies(1, 300).isEmpty()) << "one reply per request";
    // Each page has its own session: b never opened an application.
    EXPECT_EQ(b.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&-1");
    EXPECT_EQ(b.request("GetSN"), QString::fromUtf8("GetSN&&请只保留一个设备再重试一次"));
    EXPECT_EQ(keys.attemptsLeft("TWOCLI1"), 10);

    b.socket().close();
    EXPECT_TRUE(waitUntil([&] { return server->clientCount() == 1; }, 3000));
    EXPECT_EQ(a.request("GetCertType#&&#end"), "GetCertType&&1");
}

TEST_F(BridgeServer, OversizedRequestsGetAnErrorNotAnAnswer)
{
    keys.addKey("BIG0001", "111111");
    startServer();
    PageClient& page = readyPage();
    const QString pin = QString(70000, QLatin1Char('1'));
    EXPECT_EQ(page.request("VerifyUserPin#&#&" + pin + "&#end"), QString::fromUtf8("VerifyUserPin&&参数格式不正确"));
    EXPECT_EQ(keys.attemptsLeft("BIG0001"), 10);
    EXPECT_EQ(page.request(QString(70000, QLatin1Char('x'))), QString::fromUtf8("参数格式不正确"));
    // Exactly at the limit is still a request; one byte more is not.
    const QString prefix = QStringLiteral("GetCertType#&");
    EXPECT_EQ(page.request(prefix + QString(65536 - 13, QLatin1Char('a'))), "GetCertType&&1");
    EXPECT_EQ(page.request(prefix + QString(65536 - 12, QLatin1Char('a'))),
              QString::fromUtf8("GetCertType&&参数格式不正确"));
    // Multi-byte text counts in UTF-8 bytes: 21841 three-byte characters fit, 21842 do not.
    EXPECT_EQ(page.request(prefix + QString(21841, QChar(0x4E2D))), "GetCertType&&1");
    EXPECT_EQ(page.request(prefix + QString(21842, QChar(0x4E2D))), QString::fromUtf8("GetCertType&&参数格式不正确"));

    // Far beyond: the socket drops the page, the server serves the others.
    page.socket().sendTextMessage(QString(2 * 1024 * 1024, QLatin1Char('y')));
    EXPECT_TRUE(page.waitClosed(10000));
    EXPECT_EQ(readyPage().request("GetSN"), "GetSN&&BIG0001");
}

TEST_F(BridgeServer, ManySeparatorsAreNotSplitIntoParts)
{
    startServer();
    PageClient& page = connectPage();
    QString many = QStringLiteral("GetCertDN");
    for (int i = 0; i < 10000; ++i)
        many += QStringLiteral("#&");
    EXPECT_EQ(page.request(many), QString::fromUtf8("GetCertDN&&参数格式不正确"));
    EXPECT_EQ(page.request("Initialize" + many.mid(9)), "Initialize&&") << "falls back to the default library";
}

TEST_F(BridgeServer, APageCannotChooseTheLibrary)
{
    keys.addKey("LIB0001", "111111");
    startServer();
    PageClient& page = connectPage();
    const std::string planted = keys.root().path("tmp/planted.so");
    std::filesystem::copy_file(ZVIT_TEST_LIBRARY_DIR "/libtarnZVITSKF.so", planted);

    EXPECT_EQ(page.request(QString::fromStdString("Initialize#&" + planted + "&#end")), "Initialize&&-1");
    EXPECT_NE(keys.bridgeLog().find("Initialize refused the SKF library path " + planted), std::string::npos);
    EXPECT_EQ(page.request("CheckToken"), QString::fromUtf8("CheckToken&&枚举设备失败")) << "nothing was loaded";

    // Listed in the configuration: loaded.
    setConfig("AllowedSKFLibraries", "/nonexistent/libother.so;" + planted);
    EXPECT_EQ(page.request(QString::fromStdString("Initialize#&" + planted + "&#end")), "Initialize&&");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    // A listed library that cannot be opened: "-1", and the loaded one keeps working.
    std::string out = captureStdout([&] {
        EXPECT_EQ(page.request("Initialize#&/nonexistent/libother.so&#end"), "Initialize&&-1");
    });
    EXPECT_NE(out.find("Load SKF Lib error"), std::string::npos);
    EXPECT_NE(keys.bridgeLog().find("loadSKFLib failed!"), std::string::npos);
    EXPECT_EQ(page.request("GetSN"), "GetSN&&LIB0001");

    // The default path needs no listing; an empty path means the default.
    EXPECT_EQ(page.request(QString::fromUtf8("Initialize#&" ZVIT_SKF_LIBRARY "&#end")), "Initialize&&");
    EXPECT_EQ(page.request("Initialize#&&#end"), "Initialize&&");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
}

// The library is shared: another page loading another allowed library ends
// every page's handles, closed by the library that gave them out.
TEST_F(BridgeServer, AnotherLibraryClosesTheOldHandlesThroughTheOldOne)
{
    keys.addKey("LIB0003", "111111");
    const std::string other = keys.root().path("tmp/other.so");
    std::filesystem::copy_file(ZVIT_TEST_LIBRARY_DIR "/libtarnZVITSKF.so", other);
    setConfig("AllowedSKFLibraries", other);
    startServer();
    PageClient& first = readyPage();
    PageClient& second = readyPage();
    EXPECT_EQ(first.request(QString::fromStdString("Initialize#&" + other + "&#end")), "Initialize&&");
    EXPECT_EQ(keys.bridgeLog().find("SKF_CloseApplication failed"), std::string::npos) << keys.bridgeLog();
    EXPECT_EQ(keys.bridgeLog().find("SKF_DisConnectDev failed"), std::string::npos);
    EXPECT_EQ(second.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&-1") << "its handles are gone";
    EXPECT_EQ(second.request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(second.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
    // Loading the library in use again changes nothing for the others.
    EXPECT_EQ(first.request(QString::fromStdString("Initialize#&" + other + "&#end")), "Initialize&&");
    EXPECT_EQ(second.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
}

TEST_F(BridgeServer, ALibraryMissingOneFunctionIsNotHalfLoaded)
{
    keys.addKey("LIB0002", "111111");
    const std::string incomplete = ZVIT_TEST_INCOMPLETE_SKF;
    setConfig("AllowedSKFLibraries", incomplete);
    startServer();
    PageClient& page = readyPage();
    EXPECT_EQ(page.request("GetSN"), "GetSN&&LIB0002");
    std::string out = captureStdout([&] {
        EXPECT_EQ(page.request(QString::fromStdString("Initialize#&" + incomplete + "&#end")), "Initialize&&-1");
    });
    EXPECT_EQ(out, "Failed load SKF_RSADigestSignData\n");
    // The table still points into the library loaded before.
    EXPECT_EQ(page.request("GetSN"), "GetSN&&LIB0002");
    EXPECT_EQ(page.request("VerifyUserPin#&#&111111&#end"), "VerifyUserPin&&0");
}

TEST_F(BridgeServer, NameListsLongerThanTheBuffersAreRefused)
{
    keys.addKey("LONG001", "111111");
    setConfig("AllowedSKFLibraries", ZVIT_TEST_LONG_LISTS_SKF);
    startServer();
    PageClient& page = connectPage();
    EXPECT_EQ(page.request("Initialize#&" ZVIT_TEST_LONG_LISTS_SKF "&#end"), "Initialize&&");
    EXPECT_EQ(page.request("CheckToken"), QString::fromUtf8("CheckToken&&枚举设备失败"));
    EXPECT_EQ(page.request("GetCertDN#&&#end"), QString::fromUtf8("GetCertDN&&枚举设备失败"));
    EXPECT_NE(keys.bridgeLog().find("SKF_EnumDev failed: 0x0A000020"), std::string::npos);
}

TEST_F(BridgeServer, LoadingWithoutAPathUsesTheDefaultLibrary)
{
    startServer();
    std::string out = captureStdout([&] { EXPECT_TRUE(server->loadSKFLib(nullptr)); });
    EXPECT_EQ(out, "");
    out = captureStdout([&] { EXPECT_FALSE(server->loadSKFLib("/nonexistent/lib.so")); });
    EXPECT_EQ(out, "Load SKF Lib error\n");
}

}  // namespace
