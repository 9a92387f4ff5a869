#pragma once
// What the bridge knows of one command: its syntax and the handler that
// serves it. The list of commands is BridgeCommandTable; the protocol needs
// only this shape, so it does not depend on which commands exist.
#include <QLatin1String>
#include <QString>

class BridgeProtocol;
struct BridgeCall;
struct BridgeSession;

struct BridgeCommandRow {
    const char* name;
    // Parts of a well-formed request, the command's own name included.
    int parts;
    // Another count is a format error; otherwise the request is served as
    // if it had no parts beyond the name.
    bool exactParts;
    // Waits for the site's PIN turn, its back-off and, on the last attempt,
    // the user's word before its handler sends the PIN to the key.
    bool pin;
    QString (BridgeProtocol::*handler)(BridgeSession&, BridgeCall&);
};

// The reply prefix: the command name followed by "&&" ("" for none).
inline QString bridgeReplyPrefix(const BridgeCommandRow* command)
{
    return command ? QString::fromLatin1(command->name) + QStringLiteral("&&") : QString();
}
