#include "BridgeRequest.h"

namespace {

const QString kFieldSeparator = QStringLiteral("#&");
const QString kEndMarker = QStringLiteral("&#end");

struct CommandName {
    BridgeCommand command;
    const char* name;
};

// Protocol order matters: the first prefix match wins.
const CommandName kCommands[] = {
    {BridgeCommand::Initialize, "Initialize"},     {BridgeCommand::Finalize, "Finalize"},
    {BridgeCommand::CheckToken, "CheckToken"},     {BridgeCommand::GetSN, "GetSN"},
    {BridgeCommand::GetCertDN, "GetCertDN"},       {BridgeCommand::GetCertSN, "GetCertSN"},
    {BridgeCommand::GetCertNA, "GetCertNA"},       {BridgeCommand::GetCertType, "GetCertType"},
    {BridgeCommand::VerifyUserPin, "VerifyUserPin"}, {BridgeCommand::ChangeUserPin, "ChangeUserPin"},
    {BridgeCommand::GetCntlVersion, "GetCntlVersion"},
};

}  // namespace

BridgeCommand bridgeMatchCommand(const QString& message)
{
    for (const CommandName& entry : kCommands) {
        if (message.startsWith(QLatin1String(entry.name)))
            return entry.command;
    }
    return BridgeCommand::None;
}

QString bridgeCommandName(BridgeCommand command)
{
    for (const CommandName& entry : kCommands) {
        if (entry.command == command)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

QString bridgeReplyPrefix(BridgeCommand command)
{
    if (command == BridgeCommand::None)
        return QString();
    return bridgeCommandName(command) + QStringLiteral("&&");
}

int bridgePartCount(const QString& message)
{
    return message.count(kFieldSeparator) + 1;
}

QStringList bridgeSplitParts(const QString& message)
{
    if (bridgePartCount(message) > kBridgeMaxParts)
        return QStringList();
    QStringList parts = message.split(kFieldSeparator, Qt::KeepEmptyParts);
    QString& last = parts.last();
    const int end = last.indexOf(kEndMarker);
    if (end >= 0)
        last.truncate(end);
    return parts;
}

bool bridgeMessageTooLarge(const QString& message)
{
    // A UTF-16 unit never gives fewer than one UTF-8 byte.
    if (message.size() > kBridgeMaxMessageBytes)
        return true;
    if (message.size() * 3 <= kBridgeMaxMessageBytes)
        return false;
    // Counted in place: a UTF-8 copy would be one more copy of a PIN.
    int bytes = 0;
    for (const QChar c : message) {
        const ushort u = c.unicode();
        // A surrogate pair is four bytes, two per half.
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : c.isSurrogate() ? 2 : 3;
    }
    return bytes > kBridgeMaxMessageBytes;
}
