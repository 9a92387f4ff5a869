#pragma once
// Syntax of one request from a web page: "Command#&arg1#&arg2&#end". Pure
// functions over the text, bounded so that any page input is safe to parse.
#include <QString>
#include <QStringList>

struct BridgeCommandRow;

// Largest request the bridge handles, in UTF-8 bytes.
constexpr int kBridgeMaxMessageBytes = 64 * 1024;
// No command takes more parts than this; longer requests are never split.
constexpr int kBridgeMaxParts = 4;

// Number of "#&"-separated parts (empty parts count).
int bridgePartCount(const QString& message);
// Splits a message of at most kBridgeMaxParts parts; the last part is cut at
// its first "&#end". Returns an empty list for longer messages.
QStringList bridgeSplitParts(const QString& message);
// True when the message is above kBridgeMaxMessageBytes of UTF-8.
bool bridgeMessageTooLarge(const QString& message);

// One request read once: its command, its size verdict and the parts its
// command reads. The parts may hold PINs and are wiped with the request.
class BridgeRequest
{
public:
    explicit BridgeRequest(const QString& message);
    ~BridgeRequest();
    BridgeRequest(const BridgeRequest&) = delete;
    BridgeRequest& operator=(const BridgeRequest&) = delete;

    // nullptr when no command starts the message.
    const BridgeCommandRow* command() const { return m_command; }
    bool tooLarge() const { return m_tooLarge; }
    int size() const { return m_size; }
    // Counted only for a command that reads parts or insists on their count; 1 otherwise.
    int partCount() const { return m_partCount; }
    // True when the count is what the command takes.
    bool partsFit() const;
    // Part i (0 is the name), split only when the parts fit; "" otherwise.
    QString part(int i) const { return m_parts.value(i); }
    // The command's reply prefix ("" for none).
    QString replyPrefix() const;

private:
    const BridgeCommandRow* m_command = nullptr;
    bool m_tooLarge = false;
    int m_size = 0;
    int m_partCount = 1;
    QStringList m_parts;
};
