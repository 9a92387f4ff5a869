#pragma once
// Every command a bank page may send, one row each, in matching order: a
// request is the first row whose name starts it. Adding a command is a row
// here and its handler in BridgeProtocol.
#include <QString>

#include "BridgeCommandRow.h"

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
