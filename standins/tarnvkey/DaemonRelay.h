#pragma once
// The link between plug/unplug and a running "tarnvkey run-daemon": a Unix
// socket in the store folder over which one request line ("plug SERIAL" or
// "unplug SERIAL") is answered by one line ("ok" or "error ...").
#include <string>

namespace tarnvkey {

constexpr size_t kRelayLineMax = 128;

std::string relaySocketPath(const std::string& storeFolder);
// Tells a running run-daemon; true when none runs (nothing to tell) or it
// answered "ok". A failure leaves a message in error.
bool relayToRunningDaemon(const std::string& storeFolder, const std::string& verb, const std::string& serial,
                          std::string* error);

}  // namespace tarnvkey
