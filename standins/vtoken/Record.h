#pragma once
// One virtual key as the store keeps it, and its text form on disk
// (FORMAT.md describes the format byte for byte).
#include <cstdint>
#include <string>
#include <vector>

#include "Status.h"

namespace vtoken {

enum class KeyType { Rsa = 1, Sm2 = 2 };
enum class PinKind { Admin = 0, User = 1 };

constexpr size_t kMaxSerialLen = 16;     // CK_TOKEN_INFO serialNumber
constexpr size_t kMaxLabelBytes = 32;    // CK_TOKEN_INFO label, UTF-8
constexpr size_t kMaxContainerName = 64;
constexpr size_t kMaxContainers = 8;
constexpr size_t kMaxCertLen = 4096;
constexpr int kSlotCount = 4;
constexpr int kDefaultAttempts = 10;
constexpr int kMaxAttempts = 255;        // fits the one byte of the PIN record

// PBKDF2 rounds of a PIN secret the store writes.
constexpr uint32_t kPinIterations = 10000;

struct PinSecret {
    uint32_t iterations = 0;
    std::vector<uint8_t> salt;  // 16 bytes
    std::vector<uint8_t> hash;  // 32 bytes of PBKDF2-HMAC-SHA256
    int attemptsLeft = kDefaultAttempts;
    int maxAttempts = kDefaultAttempts;
};

struct Container {
    std::string name;
    KeyType type = KeyType::Rsa;
    std::vector<uint8_t> exchangeCert;  // DER, empty = none
    std::vector<uint8_t> signatureCert;
};

struct KeyRecord {
    std::string serial;
    std::string deviceName;
    std::string label;  // UTF-8
    std::string manufacturer = "Zenvit Co.,Ltd.";
    std::string model = "Virtual Key";
    uint8_t hardwareVersion[2] = {1, 0};
    uint8_t firmwareVersion[2] = {1, 0};
    PinSecret userPin;
    PinSecret adminPin;
    bool pinChanged = false;
    bool initialised = true;
    bool plugged = false;
    int slot = -1;  // 0..3 while plugged
    std::vector<Container> containers;
};

// Rules of the fields that cross process boundaries.
bool validSerial(const std::string& serial);
bool validLabel(const std::string& label);
bool validContainerName(const std::string& name);
// The token library's device name of a key.
std::string deviceNameFor(const std::string& serial);

std::string serializeRecord(const KeyRecord& record);
// Damaged for anything that is not exactly a record this code would write
// (wrong magic or version, missing or extra line, bad checksum, a field
// outside its rule).
Status parseRecord(const std::string& text, KeyRecord* record);

}  // namespace vtoken
