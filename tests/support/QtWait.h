#pragma once
// Runs the Qt event loop of the calling thread until a condition holds.
#include <functional>

// True once done() returns true; false when timeoutMs passes first.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000);
