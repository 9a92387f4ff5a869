#pragma once
// Every command a bank page may send, one row each, in matching order: a
// request is the first row whose name starts it. Adding a command is a row
// here and its handler in BridgeProtocol.
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

class BridgeCommandTable
{
public:
    static const BridgeCommandRow* begin();
    static const BridgeCommandRow* end();

private:
    static const BridgeCommandRow kRows[];
};

// The first row whose name starts the message; nullptr when none does.
const BridgeCommandRow* bridgeMatchCommand(const QString& message);
// The reply prefix: the command name followed by "&&" ("" for none).
QString bridgeReplyPrefix(const BridgeCommandRow* command);
