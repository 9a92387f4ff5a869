#include "Status.h"

namespace vtoken {

const char* statusText(Status status)
{
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NotFound: return "no such key";
    case Status::Exists: return "a key with this serial number exists already";
    case Status::Damaged: return "the key's record is damaged";
    case Status::IoError: return "the key store cannot be read or written";
    case Status::BadArgument: return "invalid argument";
    case Status::PinIncorrect: return "wrong PIN";
    case Status::PinLocked: return "the PIN is locked";
    case Status::PinLength: return "a PIN has 6 to 16 bytes and no control characters";
    case Status::NotPlugged: return "the key is not plugged";
    case Status::NoFreeSlot: return "all four slots are in use: unplug a key first";
    case Status::ContainerFull: return "a key holds at most 8 containers";
    case Status::NoContainer: return "no such container";
    case Status::NoCert: return "no such certificate";
    case Status::BadCert: return "not a DER certificate of at most 4096 bytes";
    case Status::Busy: return "a lock could not be taken in time";
    }
    return "unknown status";
}

}  // namespace vtoken
