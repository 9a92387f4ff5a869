#pragma once
// The key (and certificate) chosen in the tree, as the PIN, format and
// certificate actions need it: the window writes it, the actions read it.
#include <QByteArray>

struct KeySelection {
    QByteArray deviceName;  // empty: nothing chosen
    int certIndex = -1;     // index in the key's memory store; -1: the key itself

    bool hasKey() const { return !deviceName.isEmpty(); }
    bool hasCertificate() const { return hasKey() && certIndex >= 0; }
};
