#pragma once
// Syntax of one request from a web page: "Command#&arg1#&arg2&#end". Pure
// functions over the text, bounded so that any page input is safe to parse.
#include <QString>
#include <QStringList>

enum class BridgeCommand {
    None,
    Initialize,
    Finalize,
    CheckToken,
    GetSN,
    GetCertDN,
    GetCertSN,
    GetCertNA,
    GetCertType,
    VerifyUserPin,
    ChangeUserPin,
    GetCntlVersion,
};

// Largest request the bridge handles, in UTF-8 bytes.
constexpr int kBridgeMaxMessageBytes = 64 * 1024;
// No command takes more parts than this; longer requests are never split.
constexpr int kBridgeMaxParts = 4;

// Prefix test in protocol order; the first command whose name starts the
// message wins.
BridgeCommand bridgeMatchCommand(const QString& message);
// The command's name as the page sends it ("" for None).
QString bridgeCommandName(BridgeCommand command);
// The reply prefix: the command name followed by "&&".
QString bridgeReplyPrefix(BridgeCommand command);
// Number of "#&"-separated parts (empty parts count).
int bridgePartCount(const QString& message);
// Splits a message of at most kBridgeMaxParts parts; the last part is cut at
// its first "&#end". Returns an empty list for longer messages.
QStringList bridgeSplitParts(const QString& message);
// True when the message is above kBridgeMaxMessageBytes of UTF-8.
bool bridgeMessageTooLarge(const QString& message);
