// Request syntax and the configuration rules, without a server.
#include <gtest/gtest.h>

#include "BridgeConfig.h"
#include "BridgePeerUser.h"
#include "BridgeRequest.h"
#include "PinBuffer.h"
#include "zvit_build_config.h"

namespace {

TEST(BridgeRequest, CommandsAreMatchedByPrefixInProtocolOrder)
{
    EXPECT_EQ(bridgeMatchCommand("GetSNX"), BridgeCommand::GetSN);
    EXPECT_EQ(bridgeMatchCommand("GetCertSN#&"), BridgeCommand::GetCertSN);
    EXPECT_EQ(bridgeMatchCommand("GetCertTypeGetSN"), BridgeCommand::GetCertType);
    EXPECT_EQ(bridgeMatchCommand("InitializeFinalize"), BridgeCommand::Initialize);
    EXPECT_EQ(bridgeMatchCommand(" GetSN"), BridgeCommand::None);
    EXPECT_EQ(bridgeMatchCommand("GetS"), BridgeCommand::None);
    EXPECT_EQ(bridgeReplyPrefix(BridgeCommand::GetCntlVersion), "GetCntlVersion&&");
    EXPECT_EQ(bridgeReplyPrefix(BridgeCommand::None), "");
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

// Rows as the kernel prints them on a little-endian host: each 32-bit word of
// the address in host order, the port in plain hexadecimal.
TEST(BridgePeerUser, FindsThePeersOwnRowInBothTables)
{
    const QByteArray tcp =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 0100007F:CAF9 0100007F:CAEB 06 00000000:00000000 03:00000000 00000000     0        0 0 3\n"
        "   1: 0100007F:CAF9 0100007F:CAEB 01 00000000:00000000 00:00000000 00000000  1000        0 111 1\n"
        "   2: 0100007F:CAEB 0100007F:CAF9 01 00000000:00000000 00:00000000 00000000     0        0 112 1\n";
    const QHostAddress v4(QStringLiteral("127.0.0.1"));
    uid_t uid = 99;
    // The peer's row (its local end is the peer), not our own side's.
    ASSERT_TRUE(bridgeSocketOwnerIn(tcp, v4, 0xCAF9, v4, 0xCAEB, &uid));
    EXPECT_EQ(uid, 1000u) << "the established row wins over a lingering one";
    ASSERT_TRUE(bridgeSocketOwnerIn(tcp, v4, 0xCAEB, v4, 0xCAF9, &uid));
    EXPECT_EQ(uid, 0u);
    EXPECT_FALSE(bridgeSocketOwnerIn(tcp, v4, 0xCAFA, v4, 0xCAEB, &uid));
    EXPECT_FALSE(bridgeSocketOwnerIn(tcp, QHostAddress(QStringLiteral("127.0.0.2")), 0xCAF9, v4, 0xCAEB, &uid));

    const QByteArray tcp6 =
        "  sl  local_address                         remote_address                        st tx_queue rx_queue tr "
        "tm->when retrnsmt   uid  timeout inode\n"
        "   0: 00000000000000000000000001000000:D431 00000000000000000000000001000000:CAEB 01 00000000:00000000 "
        "00:00000000 00000000  1001        0 113 1\n"
        "   1: 0000000000000000FFFF00000100007F:D432 0000000000000000FFFF00000100007F:CAEB 01 00000000:00000000 "
        "00:00000000 00000000  1002        0 114 1\n"
        "   2: garbage\n";
    ASSERT_TRUE(bridgeSocketOwnerIn(tcp6, QHostAddress::LocalHostIPv6, 0xD431, QHostAddress::LocalHostIPv6, 0xCAEB,
                                    &uid));
    EXPECT_EQ(uid, 1001u);
    // An IPv6 client reaching our IPv4 socket: the kernel lists it mapped.
    ASSERT_TRUE(bridgeSocketOwnerIn(tcp6, v4, 0xD432, v4, 0xCAEB, &uid));
    EXPECT_EQ(uid, 1002u);
    ASSERT_TRUE(bridgeSocketOwnerIn(tcp6, QHostAddress(QStringLiteral("::ffff:127.0.0.1")), 0xD432, v4, 0xCAEB, &uid));
    EXPECT_FALSE(bridgeSocketOwnerIn(tcp6, v4, 0xD431, v4, 0xCAEB, &uid)) << "::1 is not 127.0.0.1";
}

}  // namespace
