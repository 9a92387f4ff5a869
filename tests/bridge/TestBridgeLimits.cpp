// What keeps the key safe from pages and programs that are let in: the PIN on
// its last attempt, the wait after failed PINs, the number of connections,
// idle connections, and programs of other users.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <unistd.h>

#include "BridgeServerFixture.h"

namespace {

class BridgeLimits : public BridgeServerTest
{
protected:
    // A page's request and the milliseconds its reply took.
    std::pair<QString, qint64> timed(PageClient& page, const QString& request)
    {
        QElapsedTimer clock;
        clock.start();
        QString reply = page.request(request);
        return {reply, clock.elapsed()};
    }
};

const QString kWrongPin = QStringLiteral("VerifyUserPin#&#&000000&#end");
const QString kRightPin = QStringLiteral("VerifyUserPin#&#&111111&#end");

TEST_F(BridgeLimits, TheLastAttemptGoesToTheKeyOnlyWhenTheUserSaysSo)
{
    keys.addKey("LAST001", "111111");
    setConfig("AllowedOrigins", "https://bank.example");
    startServer();
    PageClient& page = connectPage(QStringLiteral("https://bank.example"));
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
    EXPECT_EQ(page.request("CheckToken"), "CheckToken&&1");
    keys.setRetries("LAST001", 1);

    // Refused: the reply of a failed verification, the key untouched.
    page.send(kRightPin);
    page.send(QStringLiteral("GetCertType#&&#end"));
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    EXPECT_TRUE(prompts.questions[0].lastPinAttempt);
    EXPECT_EQ(prompts.questions[0].origin, "https://bank.example");
    EXPECT_TRUE(page.takeReplies(1, 200).isEmpty()) << "nothing is answered while the user decides";
    prompts.confirm(0, false);
    EXPECT_EQ(page.takeReplies(2), QStringList({"VerifyUserPin&&1", "GetCertType&&1"}));
    EXPECT_EQ(keys.attemptsLeft("LAST001"), 1);
    page.send(QStringLiteral("ChangeUserPin#&#&111111#&22222222&#end"));
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 2; }, 3000));
    prompts.confirm(1, false);
    EXPECT_EQ(page.takeReplies(1), QStringList({"ChangeUserPin&&1"}));
    EXPECT_EQ(keys.attemptsLeft("LAST001"), 1);

    // Confirmed: sent, and a right PIN gives every attempt back.
    prompts.confirmAtOnce = true;
    EXPECT_EQ(page.request(kRightPin), "VerifyUserPin&&0");
    EXPECT_EQ(keys.attemptsLeft("LAST001"), 10);
    EXPECT_EQ(page.request(kRightPin), "VerifyUserPin&&0");
    EXPECT_EQ(prompts.questions.size(), 3u) << "only the last attempt is asked about";

    // Nobody to ask: not sent.
    keys.setRetries("LAST001", 1);
    server->setPrompts(nullptr);
    EXPECT_EQ(page.request(kRightPin), "VerifyUserPin&&1");
    EXPECT_EQ(keys.attemptsLeft("LAST001"), 1);
}

TEST_F(BridgeLimits, ALastAttemptQuestionGoesWithItsPage)
{
    keys.addKey("LAST002", "111111");
    startServer();
    PageClient& page = readyPage();
    keys.setRetries("LAST002", 1);
    page.send(kWrongPin);
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    page.socket().close();
    EXPECT_TRUE(waitUntil([&] { return prompts.questions[0].withdrawn; }, 3000));
    EXPECT_EQ(keys.attemptsLeft("LAST002"), 1);
}

// New prompts end the open question unanswered; a late answer to it sends
// nothing, not even the page's next request, which the new prompts ask about.
TEST_F(BridgeLimits, ALateAnswerToAWithdrawnQuestionSendsNoPin)
{
    keys.addKey("LAST003", "111111");
    startServer();
    PageClient& page = readyPage();
    keys.setRetries("LAST003", 1);
    page.send(kRightPin);
    page.send(kRightPin);
    ASSERT_TRUE(waitUntil([&] { return prompts.questions.size() == 1; }, 3000));
    ScriptedPrompts next;
    server->setPrompts(&next);
    EXPECT_TRUE(prompts.questions[0].withdrawn);
    EXPECT_EQ(page.takeReplies(1), QStringList({"VerifyUserPin&&1"}));
    ASSERT_TRUE(waitUntil([&] { return next.questions.size() == 1; }, 3000));
    prompts.confirm(0, true);
    EXPECT_TRUE(page.takeReplies(1, 200).isEmpty());
    EXPECT_EQ(keys.attemptsLeft("LAST003"), 1);
    next.confirm(0, true);
    EXPECT_EQ(page.takeReplies(1), QStringList({"VerifyUserPin&&0"}));
    server->setPrompts(&prompts);
}

TEST_F(BridgeLimits, AFailedPinMakesTheSitesNextPinRequestWait)
{
    keys.addKey("WAIT001", "111111");
    startServer();
    server->setPinBackoffMs(1000, 60000);
    PageClient& page = readyPage();
    EXPECT_EQ(page.request(kWrongPin), "VerifyUserPin&&9");
    // The next PIN request waits; so does what the page sent after it.
    page.send(kWrongPin);
    page.send(QStringLiteral("GetCertType#&&#end"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(page.takeReplies(2), QStringList({"VerifyUserPin&&8", "GetCertType&&1"}));
    EXPECT_GE(clock.elapsed(), 1000);
    // Requests without a PIN do not wait.
    EXPECT_LT(timed(page, QStringLiteral("GetCertType#&&#end")).second, 1000);

    // Doubling, capped, and reset by a right PIN (short times for the test).
    server->setPinBackoffMs(200, 450);
    PageClient& other = readyPage();  // the same site: no Origin
    other.request(kRightPin);
    EXPECT_EQ(timed(other, kWrongPin).first, "VerifyUserPin&&9");
    const auto second = timed(other, kWrongPin);
    EXPECT_EQ(second.first, "VerifyUserPin&&8");
    EXPECT_GE(second.second, 200);
    EXPECT_GE(timed(other, kWrongPin).second, 400);
    const auto capped = timed(other, kRightPin);
    EXPECT_EQ(capped.first, "VerifyUserPin&&0");
    EXPECT_GE(capped.second, 450);
    EXPECT_LT(capped.second, 900) << "the wait stops growing";
    EXPECT_LT(timed(other, kWrongPin).second, 200) << "a right PIN starts over";
}

// Many connections of one page, one wrong PIN each: still one at a time,
// each waiting after the failure before it.
TEST_F(BridgeLimits, ParallelWrongPinsOfOneSiteWaitTheirTurn)
{
    keys.addKey("WAIT003", "111111");
    setConfig("AllowedOrigins", "https://bank.example");
    startServer();
    server->setPinBackoffMs(1500, 60000);
    std::vector<PageClient*> pages;
    for (int i = 0; i < 8; ++i) {
        pages.push_back(&connectPage(QStringLiteral("https://bank.example")));
        pages.back()->request("Initialize");
        pages.back()->request("CheckToken");
    }
    for (PageClient* page : pages)
        page->send(kWrongPin);
    QStringList replies;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (PageClient* page : pages)
                replies += page->takeReplies(1, 0);
            return replies.size() >= 2;
        },
        5000));
    EXPECT_EQ(keys.attemptsLeft("WAIT003"), 8) << "the third waits 3 s after the second";
    EXPECT_EQ(replies.size(), 2);
}

TEST_F(BridgeLimits, OtherSitesDoNotWaitForOnesFailures)
{
    keys.addKey("WAIT002", "111111");
    setConfig("AllowedOrigins", "https://a.example;https://b.example");
    startServer();
    server->setPinBackoffMs(5000, 5000);
    PageClient& a = connectPage(QStringLiteral("https://a.example"));
    PageClient& b = connectPage(QStringLiteral("https://b.example"));
    for (PageClient* page : {&a, &b}) {
        page->request("Initialize");
        page->request("CheckToken");
    }
    EXPECT_EQ(a.request(kWrongPin), "VerifyUserPin&&9");
    const auto reply = timed(b, kRightPin);
    EXPECT_EQ(reply.first, "VerifyUserPin&&0");
    EXPECT_LT(reply.second, 2500);
}

TEST_F(BridgeLimits, AtMost32ConnectionsAtOnceAndEachSiteItsShare)
{
    keys.addKey("MANY001", "111111");
    QStringList listed;
    for (int i = 0; i < 5; ++i)
        listed << QStringLiteral("https://bank%1.example").arg(i);
    setConfig("AllowedOrigins", listed.join(';').toStdString());
    startServer();
    std::vector<std::unique_ptr<PageClient>> flood;
    auto openAll = [&](const QString& origin, int count) {
        int open = 0;
        for (int i = 0; i < count; ++i) {
            flood.push_back(std::make_unique<PageClient>(origin));
            // A page over its site's share is closed right after its handshake.
            if (flood.back()->open(server->serverPort()) && !flood.back()->waitClosed(100))
                ++open;
        }
        return open;
    };
    EXPECT_EQ(openAll(QString(), 12), BridgeSiteLimits::kConnectionsPerSite) << "local programs are one site";
    EXPECT_NE(keys.bridgeLog().find("refused: the site has all its places"), std::string::npos);
    int open = BridgeSiteLimits::kConnectionsPerSite;
    for (const QString& origin : listed)
        open += openAll(origin, 6);
    EXPECT_EQ(open, ZTWebSocketServer::kMaxConnections);
    EXPECT_NE(keys.bridgeLog().find("connection refused: 32 connections open"), std::string::npos);
    // A page among them is served at once.
    PageClient* served = nullptr;
    for (auto& page : flood) {
        if (page->isOpen())
            served = page.get();
    }
    ASSERT_NE(served, nullptr);
    EXPECT_EQ(served->request("Initialize"), "Initialize&&");
    EXPECT_EQ(served->request("CheckToken"), "CheckToken&&1");
    EXPECT_EQ(timed(*served, QStringLiteral("GetSN")).first, "GetSN&&MANY001");

    // Places freed by closed pages are given again.
    for (auto& page : flood) {
        if (page.get() != served && page->isOpen()) {
            page->socket().close();
            break;
        }
    }
    ASSERT_TRUE(waitUntil([&] { return server->clientCount() < ZTWebSocketServer::kMaxConnections; }, 3000));
    PageClient& late = connectPage(listed.first());
    EXPECT_EQ(late.request("Initialize"), "Initialize&&");
}

// Handshakes that never end have places of their own: a page still gets in.
TEST_F(BridgeLimits, HalfOpenHandshakesDoNotKeepPagesOut)
{
    setConfig("AllowedOrigins", "https://bank.example");
    startServer();
    std::vector<std::unique_ptr<QTcpSocket>> halfOpen;
    for (int i = 0; i < 32; ++i) {
        halfOpen.push_back(std::make_unique<QTcpSocket>());
        halfOpen.back()->connectToHost(QHostAddress::LocalHost, server->serverPort());
        halfOpen.back()->write("GET / HTTP/1.1\r\n");
    }
    ASSERT_TRUE(waitUntil([&] { return keys.bridgeLog().find("oldest of 8 handshakes under way dropped") != std::string::npos; }, 5000))
        << keys.bridgeLog();
    QElapsedTimer clock;
    clock.start();
    PageClient page(QStringLiteral("https://bank.example"));
    ASSERT_TRUE(page.open(server->serverPort()));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(page.request("Initialize"), "Initialize&&");
}

TEST_F(BridgeLimits, IdleConnectionsAreClosed)
{
    startServer();
    server->setIdleTimeoutMs(400);
    PageClient& idle = connectPage();
    PageClient& busy = connectPage();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 900)
        EXPECT_EQ(busy.request("GetCertType#&&#end"), "GetCertType&&1");
    EXPECT_FALSE(idle.isOpen());
    EXPECT_TRUE(busy.isOpen()) << "each request restarts the time";
    EXPECT_TRUE(busy.waitClosed(3000));
    EXPECT_TRUE(waitUntil([&] { return server->clientCount() == 0; }, 3000));
}

// A program of another local account is refused before the handshake ends,
// whatever it claims to be.
TEST_F(BridgeLimits, AProgramOfAnotherUserIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a client as another user";
    if (!QFile::exists(QStringLiteral("/usr/bin/setpriv")) || !QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "setpriv or /usr/bin/python3 missing";
    startServer();
    const char* client = R"(
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
          b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
data = b""
while b"\r\n" not in data:
    chunk = s.recv(1024)
    if not chunk:
        break
    data += chunk
print(data.split(b"\r\n")[0].decode() or "closed")
)";
    auto run = [&](const QStringList& prefix) {
        QProcess process;
        process.start(prefix.first(), prefix.mid(1) + QStringList {QStringLiteral("/usr/bin/python3"),
                                                                   QStringLiteral("-c"), QString::fromUtf8(client),
                                                                   QString::number(server->serverPort())});
        EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000));
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    };
    const QString other = run({QStringLiteral("/usr/bin/setpriv"), QStringLiteral("--reuid=65534"),
                               QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")});
    EXPECT_TRUE(other.startsWith("HTTP/1.1 403")) << other.toStdString();
    EXPECT_NE(keys.bridgeLog().find("of user 65534 refused"), std::string::npos);

    // Blind requests on a socket closed before the manager looks at it: the
    // kernel keeps the closed socket, under root's name in its tables.
    keys.addKey("BLIND01", "111111");
    const char* blind = R"(
import os, socket, sys
def frame(text):
    data = text.encode()
    return bytes([0x81, 0x80 | len(data), 0, 0, 0, 0]) + data
for _ in range(10):
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
    s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n"
              + frame("Initialize") + frame("CheckToken") + frame("VerifyUserPin#&#&99999999&#end"))
    s.close()
print("sent")
)";
    QProcess blinder;
    blinder.start(QStringLiteral("/usr/bin/setpriv"),
                  {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                   QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"), QString::fromUtf8(blind),
                   QString::number(server->serverPort())});
    ASSERT_TRUE(waitUntil([&] { return blinder.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(blinder.readAllStandardOutput().trimmed(), "sent");
    PageClient& own = readyPage();
    EXPECT_EQ(own.request("GetSN"), "GetSN&&BLIND01") << "handled after the blind connections";
    EXPECT_EQ(keys.attemptsLeft("BLIND01"), 10);
    // The same client as this user gets its handshake.
    EXPECT_EQ(run({QStringLiteral("/usr/bin/env")}), "HTTP/1.1 101 Switching Protocols");
    EXPECT_EQ(connectPage().request("GetCertType#&&#end"), "GetCertType&&1");
}

}  // namespace

namespace {

// A client that sends for a while and never reads, with a tiny receive
// buffer: what the bridge answers piles up at the bridge.
const char* kNeverReads = R"(
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
s.connect(("127.0.0.1", int(sys.argv[1])))
s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
          b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
payload = b"GetCertType#&&#end" if sys.argv[2] == "text" else b"p" * 125
frame = bytes([0x81 if sys.argv[2] == "text" else 0x89, 0x80 | len(payload), 0, 0, 0, 0]) + payload
s.setblocking(False)
sent, start = 0, time.time()
while time.time() - start < float(sys.argv[3]):
    try:
        sent += s.send(frame * 64)
    except BlockingIOError:
        time.sleep(0.01)
    except OSError:
        break
print(sent)
)";

TEST_F(BridgeLimits, AClientThatDoesNotReadIsDropped)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "/usr/bin/python3 missing";
    keys.addKey("READ001", "111111");
    startServer();
    server->setDrainTimeoutMs(300);
    PageClient& page = readyPage();
    // Pings are answered by the socket itself, requests by the bridge.
    for (const char* mode : {"text", "ping"}) {
        QProcess flood;
        flood.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kNeverReads),
                                                         QString::number(server->serverPort()), QString(mode), "20"});
        qint64 worstMs = 0, mostUnsent = 0;
        while (flood.state() != QProcess::NotRunning) {
            QElapsedTimer slowest;
            slowest.start();
            EXPECT_EQ(page.request(QStringLiteral("GetSN")), "GetSN&&READ001");
            worstMs = std::max(worstMs, slowest.elapsed());
            mostUnsent = std::max(mostUnsent, server->unsentBytes());
        }
        EXPECT_LT(mostUnsent, 4 * ZTWebSocketServer::kSocketMessageLimit) << mode;
        EXPECT_LT(worstMs, 1000) << mode << ": the other page waited";
        EXPECT_EQ(server->clientCount(), 1) << mode;
    }
    const std::string log = keys.bridgeLog();
    EXPECT_NE(log.find("connection closed: its replies were not read"), std::string::npos);
}

}  // namespace
