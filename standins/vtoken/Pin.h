#pragma once
// PIN rules and the salted hash the store keeps instead of the PIN.
//
// A PIN is 6 to 16 bytes with no control byte (0x00-0x1f, 0x7f). A new key
// gets the user PIN given at creation and the admin PIN "88888888"; a
// formatted key gets the user PIN "12345678" and must have it changed.
#include <string>

#include "Record.h"

namespace vtoken {

constexpr size_t kMinPinLen = 6;
constexpr size_t kMaxPinLen = 16;
extern const char* const kDefaultAdminPin;
extern const char* const kDefaultUserPin;

bool validPin(const std::string& pin);
// Fresh salt and hash; attempts are set to the secret's maximum.
Status setPinSecret(PinSecret* secret, const std::string& pin, uint32_t iterations = kPinIterations);
// Compares in constant time; says nothing about attempts.
bool pinMatches(const PinSecret& secret, const std::string& pin);

}  // namespace vtoken
