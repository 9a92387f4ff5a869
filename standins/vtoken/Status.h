#pragma once
// Outcome of every virtual key store operation.

namespace vtoken {

enum class Status {
    Ok,
    NotFound,       // no such key
    Exists,         // a key with that serial number is already there
    Damaged,        // the key's record cannot be trusted
    IoError,        // the store folder or a file cannot be read or written
    BadArgument,
    PinIncorrect,
    PinLocked,
    PinLength,      // PIN outside the length rule or with control bytes
    NotPlugged,
    NoFreeSlot,     // four keys are plugged already
    ContainerFull,  // a key holds at most 8 containers
    NoContainer,
    NoCert,
    BadCert,
    Busy,           // a shared lock could not be taken in time
};

// Short English text for messages and log lines.
const char* statusText(Status status);

}  // namespace vtoken
