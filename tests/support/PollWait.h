#pragma once
// Waits for a condition that other processes or threads make true, without
// an event loop (for tests that run none).
#include <chrono>
#include <functional>

// Polls done() every 10 ms; true once it holds, false when timeout passes.
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
