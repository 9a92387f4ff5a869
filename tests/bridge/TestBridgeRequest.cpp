// Request syntax and the configuration rules, without a server.
#include <gtest/gtest.h>

#include "BridgeConfig.h"
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

TEST(BridgeConfig, OriginsCompareWithoutCaseOrFinalSlash)
{
    const QStringList allowed {"https://bank.example.com", "http://localhost:8080/"};
    EXPECT_TRUE(bridgeOriginAllowed("https://Bank.Example.com/", allowed));
    EXPECT_TRUE(bridgeOriginAllowed("http://localhost:8080", allowed));
    EXPECT_FALSE(bridgeOriginAllowed("http://localhost:8081", allowed));
    EXPECT_FALSE(bridgeOriginAllowed("https://bank.example.com.evil.net", allowed));
    EXPECT_FALSE(bridgeOriginAllowed("", allowed));
    EXPECT_TRUE(bridgeOriginAllowed("", {}));
}

TEST(BridgeConfig, OnlyTheDefaultOrAListedLibraryIsAllowed)
{
    EXPECT_TRUE(bridgeLibraryAllowed(QStringLiteral(ZVIT_SKF_LIBRARY), {}));
    EXPECT_FALSE(bridgeLibraryAllowed("/tmp/x.so", {}));
    EXPECT_TRUE(bridgeLibraryAllowed("/opt/x.so", {"/opt/x.so"}));
    EXPECT_FALSE(bridgeLibraryAllowed("/opt/./x.so", {"/opt/x.so"})) << "exact text, no path games";
    EXPECT_FALSE(bridgeLibraryAllowed(QStringLiteral("/opt/x.so") + QChar(0) + "y", {"/opt/x.so"}));
}

}  // namespace
