#pragma once
// Stand-in for the token's memory store read of the certificate manager.
#include <functional>

struct FakeCertStore {
    // Called by CCertManager::readCertFromMemByIndex; null means "empty index".
    static std::function<unsigned long(unsigned char* buffer, unsigned long* length, int index)> read;
    static int calls;
    static int lastIndex;
    static unsigned long lastLengthIn;
    static void reset();
};
