#include "BridgeRequest.h"

#include "BridgeCommandTable.h"
#include "PinBuffer.h"

namespace {

const QString kFieldSeparator = QStringLiteral("#&");
const QString kEndMarker = QStringLiteral("&#end");

}  // namespace

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

BridgeRequest::BridgeRequest(const QString& message)
    : m_command(bridgeMatchCommand(message)), m_tooLarge(bridgeMessageTooLarge(message)), m_size(message.size())
{
    if (m_tooLarge || !m_command || (m_command->parts <= 1 && !m_command->exactParts))
        return;
    m_partCount = bridgePartCount(message);
    if (m_command->parts > 1 && m_partCount == m_command->parts)
        m_parts = bridgeSplitParts(message);
}

BridgeRequest::~BridgeRequest()
{
    for (QString& part : m_parts)
        wipeString(part);
}

bool BridgeRequest::partsFit() const
{
    return m_command && m_partCount == m_command->parts;
}

QString BridgeRequest::replyPrefix() const
{
    return bridgeReplyPrefix(m_command);
}
