#pragma once
// What the dialogs do to a key, all through the virtual key store so that PIN
// attempts are counted in one place, by every process alike.
#include <cstdint>
#include <string>

namespace uiex {

struct PinState {
    int attemptsLeft = 0;
    bool changed = false;
    bool initialised = false;
};

// Result of one PIN operation: a library code (0 = done) and, after a wrong
// PIN, the attempts left.
struct PinOutcome {
    uint32_t code = 0;
    bool wrongPin = false;
    bool samePin = false;  // a new PIN equal to the initial one
    int attemptsLeft = 0;
};

class KeyAccess
{
public:
    explicit KeyAccess(std::string serial) : m_serial(std::move(serial)) {}
    const std::string& serial() const { return m_serial; }

    uint32_t readPinState(PinState* state) const;
    PinOutcome verifyPin(const std::string& pin) const;
    PinOutcome changePin(const std::string& oldPin, const std::string& newPin) const;
    // Only while the PIN was never changed: afterwards it takes the old PIN.
    // The initial PIN itself is refused, or the key would pass as changed.
    PinOutcome setInitialPin(const std::string& newPin) const;
    // The default configuration: see README.md.
    uint32_t format() const;

private:
    std::string m_serial;
};

// PIN length rule of the store, for checks inside the dialogs.
size_t minPinLength();
size_t maxPinLength();
bool pinAcceptable(const std::string& pin);

}  // namespace uiex
