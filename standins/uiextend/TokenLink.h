#pragma once
// From a device handle of the token library to the key it stands for. The
// handle is only meaningful to the token library loaded in this process, so
// we ask that very library (its public ZTToken_GetDeviceAttr) for the serial.
#include <cstdint>
#include <string>

namespace uiex {

// 0 and the key's serial number, ZTUIEX_ERR_INVALID_HANDLE for a null or
// unknown handle, ZTUIEX_ERR_NO_TOKEN_LIBRARY when no token library is loaded,
// else the token library's code (a key unplugged or damaged meanwhile).
uint32_t serialOfHandle(void* device, std::string* serial);

}  // namespace uiex
