// Request syntax and the configuration rules, without a server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bridge/BridgeCommandTable.h"
#include "bridge/BridgeConfig.h"
#include "bridge/BridgePeerUser.h"
#include "bridge/BridgeRequest.h"
#include "bridge/PinBuffer.h"
#include "zvit_build_config.h"

namespace {

QString matched(const QString& message)
{
    const BridgeCommandRow* row = bridgeMatchCommand(message);
    return row ? QString::fromLatin1(row->name) : QString();
}

TEST(BridgeRequest, CommandsAreMatchedByPrefixInProtocolOrder)
{
    EXPECT_EQ(matched("GetSNX"), "GetSN");
    EXPECT_EQ(matched("GetCertSN#&"), "GetCertSN");
    EXPECT_EQ(matched("GetCertTypeGetSN"), "GetCertType");
    EXPECT_EQ(matched("InitializeFinalize"), "Initialize");
    EXPECT_EQ(matched(" GetSN"), "");
    EXPECT_EQ(matched("GetS"), "");
    EXPECT_EQ(bridgeReplyPrefix(bridgeMatchCommand("GetCntlVersion")), "GetCntlVersion&&");
    EXPECT_EQ(bridgeReplyPrefix(nullptr), "");
}

TEST(BridgeCommandTable, EveryRowCanBeReachedAndTakesItsParts)
{
    QStringList names;
    for (const BridgeCommandRow* row = BridgeCommandTable::begin(); row != BridgeCommandTable::end(); ++row) {
        const QString name = QString::fromLatin1(row->name);
        // A name that starts with an earlier one would never be matched.
        for (const QString& earlier : names)
            EXPECT_FALSE(name.startsWith(earlier)) << row->name << " is hidden by " << earlier.toStdString();
        names << name;
        EXPECT_EQ(bridgeMatchCommand(name + "#&x"), row);
        EXPECT_TRUE(row->handler) << row->name;
        EXPECT_TRUE(row->parts >= 1 && row->parts <= kBridgeMaxParts) << row->name;
        // A PIN command must never run on a guessed part layout.
        EXPECT_TRUE(!row->pin || (row->exactParts && row->parts >= 3)) << row->name;
    }
    const auto row = [](const char* name) { return bridgeMatchCommand(QString::fromLatin1(name)); };
    EXPECT_TRUE(row("VerifyUserPin")->pin && row("ChangeUserPin")->pin);
    EXPECT_FALSE(row("GetSN")->pin || row("Initialize")->pin || row("Finalize")->pin);
    EXPECT_EQ(row("VerifyUserPin")->parts, 3);
    EXPECT_EQ(row("ChangeUserPin")->parts, 4);
    EXPECT_EQ(row("GetCertNA")->parts, 2);
    EXPECT_TRUE(row("GetCertType")->exactParts);
    EXPECT_FALSE(row("Initialize")->exactParts) << "a path is optional";
}

TEST(BridgeRequest, IsSplitOnlyWhenItsCommandReadsThatManyParts)
{
    const BridgeRequest verify(QStringLiteral("VerifyUserPin#&#&123456&#end"));
    EXPECT_TRUE(verify.partsFit());
    EXPECT_EQ(verify.part(2), "123456");
    const BridgeRequest extra(QStringLiteral("VerifyUserPin#&#&123456#&x"));
    EXPECT_EQ(extra.partCount(), 4);
    EXPECT_FALSE(extra.partsFit());
    EXPECT_EQ(extra.part(2), "") << "a wrong layout is not read at all";
    const BridgeRequest initialize(QStringLiteral("Initialize#&/a#&/b"));
    EXPECT_EQ(initialize.part(1), "") << "three parts: the default library";
    const BridgeRequest large(QStringLiteral("GetSN") + QString(kBridgeMaxMessageBytes, QChar('x')));
    EXPECT_TRUE(large.tooLarge());
    EXPECT_EQ(large.replyPrefix(), "GetSN&&");
    EXPECT_EQ(BridgeRequest(QStringLiteral("Nothing")).command(), nullptr);
}

TEST(BridgeRequest, PartsKeepEmptyFieldsAndCutOnlyTheLastAtTheEndMarker)
{
    EXPECT_EQ(bridgeSplitParts("VerifyUserPin#&#&123456&#end"), (QStringList {"VerifyUserPin", "", "123456"}));
    // "#&&" is a separator and a "&" that belongs to the next part.
    EXPECT_EQ(bridgeSplitParts("VerifyUserPin#&&123456&#end"), (QStringList {"VerifyUserPin", "&123456"}));
    EXPECT_EQ(bridgeSplitParts("A#&x&#endy#&p&#endq&#end"), (QStringList {"A", "x&#endy", "p"}));
    EXPECT_EQ(bridgeSplitParts("A#&#&#&"), (QStringList {"A", "", "", ""}));
    EXPECT_EQ(bridgeSplitParts("A#&&#end"), (QStringList {"A", ""}));
    EXPECT_EQ(bridgeSplitParts("A"), (QStringList {"A"}));
    EXPECT_EQ(bridgePartCount("A#&#&"), 3);
    // "#&#" then "&": the separator is found left to right without overlap.
    EXPECT_EQ(bridgePartCount("A#&#&#"), 3);
    EXPECT_TRUE(bridgeSplitParts("A#&b#&c#&d#&e").isEmpty()) << "no command takes five parts";
}

TEST(BridgeRequest, PinBufferKeepsSixteenBytesAndTerminates)
{
    PinBuffer longPin(QStringLiteral("1234567890abcdefXYZW"));
    EXPECT_STREQ(longPin.c_str(), "1234567890abcdef");
    PinBuffer empty(QString {});
    EXPECT_STREQ(empty.c_str(), "");
    PinBuffer wide(QString::fromUtf8("中中中中中中"));
    EXPECT_EQ(std::string(wide.c_str()), std::string("中中中中中中").substr(0, 16));
}

TEST(BridgeConfig, OriginsAreComparedNormalised)
{
    const QStringList allowed {"https://bank.example.com", "http://localhost:8080/"};
    EXPECT_TRUE(bridgeOriginListed("https://Bank.Example.com/", allowed));
    EXPECT_TRUE(bridgeOriginListed("HTTPS://bank.example.com:443", allowed)) << "default port";
    EXPECT_TRUE(bridgeOriginListed("http://localhost:8080", allowed));
    EXPECT_FALSE(bridgeOriginListed("http://localhost:8081", allowed));
    EXPECT_FALSE(bridgeOriginListed("http://bank.example.com", allowed)) << "another scheme is another site";
    EXPECT_FALSE(bridgeOriginListed("https://bank.example.com.evil.net", allowed));
    EXPECT_FALSE(bridgeOriginListed("https://bank.example.com:8443", allowed));
    EXPECT_FALSE(bridgeOriginListed("", allowed));
    EXPECT_FALSE(bridgeOriginListed("https://bank.example.com", {})) << "an empty list lets nobody in unasked";

    EXPECT_EQ(bridgeNormaliseOrigin("http://Example.COM:80"), "http://example.com");
    EXPECT_EQ(bridgeNormaliseOrigin("ws://h:80"), "ws://h");
    EXPECT_EQ(bridgeNormaliseOrigin("wss://h:443/"), "wss://h");
    EXPECT_EQ(bridgeNormaliseOrigin("http://h:443"), "http://h:443") << "443 is only https's";
    EXPECT_EQ(bridgeNormaliseOrigin("https://h:080"), "https://h:80");
    EXPECT_EQ(bridgeNormaliseOrigin("http://[::1]:80"), "http://[::1]");
    EXPECT_EQ(bridgeNormaliseOrigin("http://[::1]:8080/"), "http://[::1]:8080");
    EXPECT_EQ(bridgeNormaliseOrigin("http://[::1]"), "http://[::1]");
    EXPECT_EQ(bridgeNormaliseOrigin(" null "), "null");
    EXPECT_EQ(bridgeNormaliseOrigin("file://"), "file://");
    EXPECT_TRUE(bridgeOriginAnonymous(bridgeNormaliseOrigin("NULL")));
    EXPECT_TRUE(bridgeOriginAnonymous(bridgeNormaliseOrigin("file:///home/u/page.html")));
    EXPECT_FALSE(bridgeOriginAnonymous(bridgeNormaliseOrigin("https://nullbank.example")));
}

TEST(BridgePin, ANewPinMustFitWhole)
{
    EXPECT_TRUE(PinBuffer::fitsWhole(QStringLiteral("1234567890abcdef")));
    EXPECT_FALSE(PinBuffer::fitsWhole(QStringLiteral("1234567890abcdefg")));
    // Five three-byte characters are 15 bytes, six are 18.
    EXPECT_TRUE(PinBuffer::fitsWhole(QString::fromUtf8("中中中中中")));
    EXPECT_FALSE(PinBuffer::fitsWhole(QString::fromUtf8("中中中中中中")));
    // A four-byte character (a surrogate pair) counts four.
    EXPECT_TRUE(PinBuffer::fitsWhole(QString::fromUtf8("123456789012\xF0\x9F\x98\x80")));
    EXPECT_FALSE(PinBuffer::fitsWhole(QString::fromUtf8("1234567890123\xF0\x9F\x98\x80")));
    // No UTF-8 form: a lone surrogate, or a NUL that would end the text early.
    EXPECT_FALSE(PinBuffer::fitsWhole(QString(QChar(0xD800)) + "12"));
    EXPECT_FALSE(PinBuffer::fitsWhole(QStringLiteral("12") + QChar(0xDC00)));
    EXPECT_FALSE(PinBuffer::fitsWhole(QStringLiteral("12") + QChar(0) + "34"));
}

TEST(BridgePin, AReceivedTextIsWipedWhereItLies)
{
    QString received = QString::fromUtf8("VerifyUserPin#&#&135791&#end");
    const QString holder = received;  // the socket's own reference
    wipeReceivedText(received);
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(holder, QString(holder.size(), QChar(0))) << "no copy was made and left";
    QString literal = QStringLiteral("GetSN");
    wipeReceivedText(literal);  // read-only data is left as it is
    EXPECT_EQ(QStringLiteral("GetSN"), "GetSN");
}

TEST(BridgeConfig, OnlyTheDefaultOrAListedLibraryIsAllowed)
{
    EXPECT_TRUE(bridgeLibraryAllowed(QStringLiteral(ZVIT_SKF_LIBRARY), {}));
    EXPECT_FALSE(bridgeLibraryAllowed("/tmp/x.so", {}));
    EXPECT_TRUE(bridgeLibraryAllowed("/opt/x.so", {"/opt/x.so"}));
    EXPECT_FALSE(bridgeLibraryAllowed("/opt/./x.so", {"/opt/x.so"})) << "exact text, no path games";
    EXPECT_FALSE(bridgeLibraryAllowed(QStringLiteral("/opt/x.so") + QChar(0) + "y", {"/opt/x.so"}));
}

// A connection of this process to itself, as raw sockets: the kernel's view
// of the client's end decides.
struct LoopbackPair {
    int listener = -1, client = -1, accepted = -1;
    quint16 serverPort = 0, clientPort = 0;
    LoopbackPair(int clientFamily, const char* clientTarget, int serverFamily, const char* serverAddress)
    {
        sockaddr_storage address {};
        socklen_t length = fill(serverFamily, serverAddress, 0, &address);
        listener = socket(serverFamily, SOCK_STREAM, 0);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, 4) != 0)
            return;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        serverPort = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        client = socket(clientFamily, SOCK_STREAM, 0);
        length = fill(clientFamily, clientTarget, serverPort, &address);
        if (::connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0)
            return;
        getsockname(client, reinterpret_cast<sockaddr*>(&address), &length);
        clientPort = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        accepted = accept(listener, nullptr, nullptr);
    }
    ~LoopbackPair()
    {
        for (int fd : {listener, client, accepted})
            if (fd >= 0)
                close(fd);
    }
    static socklen_t fill(int family, const char* text, quint16 port, sockaddr_storage* out)
    {
        if (family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(out);
            v4->sin_family = AF_INET;
            v4->sin_port = htons(port);
            inet_pton(AF_INET, text, &v4->sin_addr);
            return sizeof(*v4);
        }
        auto* v6 = reinterpret_cast<sockaddr_in6*>(out);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        inet_pton(AF_INET6, text, &v6->sin6_addr);
        return sizeof(*v6);
    }
};

TEST(BridgePeerUser, OnlyTheClientsOwnEstablishedSocketCounts)
{
    const QHostAddress v4(QStringLiteral("127.0.0.1"));
    uid_t uid = 99;
    {
        LoopbackPair pair(AF_INET, "127.0.0.1", AF_INET, "127.0.0.1");
        ASSERT_GE(pair.accepted, 0);
        ASSERT_TRUE(bridgePeerUid(v4, pair.clientPort, v4, pair.serverPort, &uid));
        EXPECT_EQ(uid, geteuid());
        EXPECT_FALSE(bridgePeerUid(v4, pair.clientPort + 1, v4, pair.serverPort, &uid));
        EXPECT_FALSE(bridgePeerUid(QHostAddress::LocalHostIPv6, pair.clientPort, QHostAddress::LocalHostIPv6,
                                   pair.serverPort, &uid))
            << "::1 is not 127.0.0.1";
        // A closed client lingers in FIN_WAIT2 with the same ends: not trusted.
        close(pair.client);
        pair.client = -1;
        EXPECT_FALSE(bridgePeerUid(v4, pair.clientPort, v4, pair.serverPort, &uid));
    }
    {
        // An IPv6 client reaching the IPv4 socket through a mapped address.
        LoopbackPair pair(AF_INET6, "::ffff:127.0.0.1", AF_INET, "127.0.0.1");
        ASSERT_GE(pair.accepted, 0);
        EXPECT_TRUE(bridgePeerUid(v4, pair.clientPort, v4, pair.serverPort, &uid));
    }
    LoopbackPair pair(AF_INET6, "::1", AF_INET6, "::1");
    if (pair.accepted < 0)
        GTEST_SKIP() << "no IPv6 loopback";
    EXPECT_TRUE(bridgePeerUid(QHostAddress::LocalHostIPv6, pair.clientPort, QHostAddress::LocalHostIPv6,
                              pair.serverPort, &uid));
}

}  // namespace
