#include "KeyAccess.h"

#include "Pin.h"
#include "Store.h"
#include "bindings/ZTToken_api.h"
#include "bindings/ZTUIExtend_api.h"

namespace uiex {
namespace {

// The token library's codes where the store means the same thing, so callers
// and logs see one code per cause whichever library reported it.
uint32_t codeOf(vtoken::Status status)
{
    switch (status) {
    case vtoken::Status::Ok: return ZTUIEX_OK;
    case vtoken::Status::NotFound:
    case vtoken::Status::NotPlugged: return ZTTOKEN_ERR_NO_DEVICE;
    case vtoken::Status::Damaged: return ZTTOKEN_ERR_DAMAGED;
    case vtoken::Status::IoError: return ZTTOKEN_ERR_STORE_IO;
    case vtoken::Status::Busy: return ZTTOKEN_ERR_BUSY;
    case vtoken::Status::PinIncorrect: return ZTTOKEN_ERR_PIN_INCORRECT;
    case vtoken::Status::PinLocked: return ZTUIEX_ERR_PIN_LOCKED;
    case vtoken::Status::PinLength: return ZTTOKEN_ERR_PIN_LENGTH;
    default: break;
    }
    return ZTUIEX_ERR_INVALID_ARG;
}

PinOutcome outcomeOf(const vtoken::PinResult& result)
{
    PinOutcome outcome;
    outcome.code = codeOf(result.status);
    outcome.attemptsLeft = result.attemptsLeft;
    if (result.status == vtoken::Status::PinIncorrect) {
        outcome.wrongPin = true;
        // The last wrong attempt locks the key: report it as locked.
        if (result.attemptsLeft <= 0)
            outcome.code = ZTUIEX_ERR_PIN_LOCKED;
    }
    return outcome;
}

}  // namespace

size_t minPinLength()
{
    return vtoken::kMinPinLen;
}

size_t maxPinLength()
{
    return vtoken::kMaxPinLen;
}

bool pinAcceptable(const std::string& pin)
{
    return vtoken::validPin(pin);
}

uint32_t KeyAccess::readPinState(PinState* state) const
{
    vtoken::KeyRecord record;
    vtoken::Status status = vtoken::Store::configured().load(m_serial, &record);
    if (status != vtoken::Status::Ok)
        return codeOf(status);
    if (!record.plugged)
        return ZTTOKEN_ERR_NO_DEVICE;
    state->attemptsLeft = record.userPin.attemptsLeft;
    state->changed = record.pinChanged;
    state->initialised = record.initialised;
    return ZTUIEX_OK;
}

PinOutcome KeyAccess::verifyPin(const std::string& pin) const
{
    return outcomeOf(vtoken::Store::configured().verifyPin(m_serial, vtoken::PinKind::User, pin));
}

PinOutcome KeyAccess::changePin(const std::string& oldPin, const std::string& newPin) const
{
    return outcomeOf(vtoken::Store::configured().changePin(m_serial, vtoken::PinKind::User, oldPin, newPin));
}

PinOutcome KeyAccess::setInitialPin(const std::string& newPin) const
{
    PinOutcome outcome;
    if (!vtoken::validPin(newPin)) {
        outcome.code = ZTTOKEN_ERR_PIN_LENGTH;
        return outcome;
    }
    bool same = false;
    vtoken::Status status = vtoken::Store::configured().update(m_serial, [&](vtoken::KeyRecord& record) {
        if (!record.plugged)
            return vtoken::Status::NotPlugged;
        // Checked under the key's lock: another process may have set it meanwhile.
        if (record.pinChanged)
            return vtoken::Status::Exists;
        if (record.userPin.attemptsLeft <= 0)
            return vtoken::Status::PinLocked;
        if (vtoken::pinMatches(record.userPin, newPin)) {
            same = true;
            return vtoken::Status::BadArgument;
        }
        vtoken::Status hashed = vtoken::setPinSecret(&record.userPin, newPin);
        if (hashed == vtoken::Status::Ok)
            record.pinChanged = true;
        return hashed;
    });
    if (same) {
        outcome.samePin = true;
        outcome.code = ZTUIEX_ERR_INVALID_ARG;
        return outcome;
    }
    outcome.code = status == vtoken::Status::Exists ? ZTUIEX_ERR_ALREADY_SET : codeOf(status);
    return outcome;
}

uint32_t KeyAccess::format() const
{
    // One atomic update: a format cut short leaves the key as it was, never half wiped.
    vtoken::Status status = vtoken::Store::configured().update(m_serial, [](vtoken::KeyRecord& record) {
        if (!record.plugged)
            return vtoken::Status::NotPlugged;
        record.containers.clear();
        record.userPin.maxAttempts = vtoken::kDefaultAttempts;
        vtoken::Status hashed = vtoken::setPinSecret(&record.userPin, vtoken::kDefaultUserPin);
        if (hashed != vtoken::Status::Ok)
            return hashed;
        record.pinChanged = false;
        record.initialised = true;
        return vtoken::Status::Ok;
    });
    return codeOf(status);
}

}  // namespace uiex
