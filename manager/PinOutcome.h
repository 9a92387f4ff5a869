#pragma once
// What the PIN operations tell the user about a key's PIN state and about the
// result of a PIN dialog of the UI extension library.
#include <cstdint>

#include "bindings/ZTToken_api.h"

// The token library's PIN record of the user PIN; false when unreadable.
bool readUserPinInfo(void* handle, uint8_t record[ZTTOKEN_PININFO_LEN]);

enum class PinDialogKind {
    Verify,     // the signature test's verification
    Change,     // change-PIN button (change or first set)
    SetPrompt,  // set-PIN prompt after a format or for an initial PIN
};

struct PinReport {
    const char* textKey;  // null: nothing to show
    unsigned flags;
    bool success;
};

// Only 0 is ever reported as success; cancellations stay silent.
PinReport pinDialogReport(PinDialogKind kind, uint32_t result);
