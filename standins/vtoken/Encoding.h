#pragma once
// Hex text for the store's records.
#include <cstdint>
#include <string>
#include <vector>

namespace vtoken {

std::string toHex(const uint8_t* data, size_t size);
inline std::string toHex(const std::vector<uint8_t>& data) { return toHex(data.data(), data.size()); }
inline std::string toHex(const std::string& data)
{
    return toHex(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}
// Lower-case hex only; false for odd length or another character.
bool fromHex(const std::string& hex, std::vector<uint8_t>* out);
bool fromHex(const std::string& hex, std::string* out);
// SHA-256 of data as lower-case hex.
std::string sha256Hex(const std::string& data);

}  // namespace vtoken
