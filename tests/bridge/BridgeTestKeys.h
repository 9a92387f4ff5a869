#pragma once
// A test installation root with its own virtual key store, filled through the
// store's API, and the certificate fixtures of the build.
#include <cstdint>
#include <string>
#include <vector>

#include "standins/vtoken/Store.h"
#include "TestRoot.h"

class BridgeTestKeys
{
public:
    BridgeTestKeys();

    TestRoot& root() { return m_root; }
    const vtoken::Store& store() const { return m_store; }

    // A plugged key with the user PIN given (changed already).
    void addKey(const std::string& serial, const std::string& pin, bool plugged = true);
    void addContainer(const std::string& serial, const std::string& name, const std::vector<uint8_t>& signCert,
                      const std::vector<uint8_t>& exchangeCert);
    void setRetries(const std::string& serial, int attempts);
    int attemptsLeft(const std::string& serial);
    // Places the build's TLS files where the server looks for them.
    void installServerCert();
    // Text of the bridge's log file ("" when none was written).
    std::string bridgeLog() const;

private:
    TestRoot m_root;
    vtoken::Store m_store;
};

// DER bytes of a certificate fixture (tests/data/README.md lists the names).
std::vector<uint8_t> certFixture(const std::string& name);
