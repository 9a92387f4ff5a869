// Token information, label and PIN calls.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Pin.h"
#include "TokenState.h"
#include "common/utf/Utf.h"
#include "common/ZTCommonDef.h"

using namespace zttk;

namespace {

// PKCS#11 token flags.
constexpr uint64_t CKF_RNG = 0x1;
constexpr uint64_t CKF_LOGIN_REQUIRED = 0x4;
constexpr uint64_t CKF_USER_PIN_INITIALIZED = 0x8;
constexpr uint64_t CKF_TOKEN_INITIALIZED = 0x400;
constexpr uint64_t CKF_USER_PIN_COUNT_LOW = 0x10000;
constexpr uint64_t CKF_USER_PIN_FINAL_TRY = 0x20000;
constexpr uint64_t CKF_USER_PIN_LOCKED = 0x40000;
constexpr uint64_t CKF_USER_PIN_TO_BE_CHANGED = 0x80000;
constexpr uint64_t CK_UNAVAILABLE_INFORMATION = ~0ull;

void padded(uint8_t* field, size_t size, const std::string& text)
{
    memset(field, ' ', size);
    memcpy(field, text.data(), std::min(size, text.size()));
}

void fillTokenInfo(const vtoken::KeyRecord& r, TokenInfo64* info)
{
    memset(info, 0, sizeof(*info));
    padded(info->label, sizeof(info->label), r.label);
    padded(info->manufacturerID, sizeof(info->manufacturerID), r.manufacturer);
    padded(info->model, sizeof(info->model), r.model);
    padded(info->serialNumber, sizeof(info->serialNumber), r.serial);
    uint64_t flags = CKF_RNG | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED;
    if (r.initialised)
        flags |= CKF_TOKEN_INITIALIZED;
    if (!r.pinChanged)
        flags |= CKF_USER_PIN_TO_BE_CHANGED;
    if (r.userPin.attemptsLeft == 0)
        flags |= CKF_USER_PIN_LOCKED;
    else if (r.userPin.attemptsLeft == 1)
        flags |= CKF_USER_PIN_FINAL_TRY;
    if (r.userPin.attemptsLeft < r.userPin.maxAttempts)
        flags |= CKF_USER_PIN_COUNT_LOW;
    info->flags = flags;
    info->ulMaxSessionCount = CK_UNAVAILABLE_INFORMATION;
    info->ulSessionCount = CK_UNAVAILABLE_INFORMATION;
    info->ulMaxRwSessionCount = CK_UNAVAILABLE_INFORMATION;
    info->ulRwSessionCount = CK_UNAVAILABLE_INFORMATION;
    info->ulMaxPinLen = vtoken::kMaxPinLen;
    info->ulMinPinLen = vtoken::kMinPinLen;
    info->ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
    info->hardwareVersion = {r.hardwareVersion[0], r.hardwareVersion[1]};
    info->firmwareVersion = {r.firmwareVersion[0], r.firmwareVersion[1]};
    memset(info->utcTime, ' ', sizeof(info->utcTime));
}

uint32_t pinKindOf(uint32_t kind, vtoken::PinKind* out)
{
    if (kind == ZTTOKEN_PIN_USER)
        *out = vtoken::PinKind::User;
    else if (kind == ZTTOKEN_PIN_ADMIN)
        *out = vtoken::PinKind::Admin;
    else
        return ZTTOKEN_ERR_INVALID_ARG;
    return ZTTOKEN_OK;
}

// The key behind device and which of its PINs a call means; an unknown device
// is reported before an unknown PIN kind, as every PIN call did on its own.
uint32_t keyAndPinKind(void* device, uint32_t pinKind, vtoken::KeyRecord* key, vtoken::PinKind* kind)
{
    uint32_t rv = deviceRecord(device, nullptr, key);
    if (rv != ZTTOKEN_OK)
        return rv;
    return pinKindOf(pinKind, kind);
}

// A caller's PIN, read no further than any PIN can be long.
std::string pinText(const char* pin)
{
    return std::string(pin, strnlen(pin, 64));
}

uint32_t pinOutcome(const vtoken::PinResult& result, uint64_t* retries)
{
    if (retries && result.status != vtoken::Status::NotFound && result.status != vtoken::Status::Damaged &&
        result.status != vtoken::Status::IoError && result.status != vtoken::Status::BadArgument)
        *retries = static_cast<uint64_t>(result.attemptsLeft);
    return codeOf(result.status);
}

}  // namespace

ZTTK_EXPORT uint32_t ZTToken_GetTokenInfo(void* device, void* info, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, nullptr, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    TokenInfo64 out;
    fillTokenInfo(record, &out);
    return copyOut(&out, sizeof(out), info, length);
}
ZTTK_CHECK(ZTToken_GetTokenInfo);

ZTTK_EXPORT uint32_t ZTToken_GetTokenLabel(void* device, uint16_t* label, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, nullptr, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    std::u16string text;
    if (!zvitutf::utf8ToUtf16(record.label, &text))
        return ZTTOKEN_ERR_DAMAGED;
    uint64_t bytes = text.size() * 2;
    if (!length)
        return ZTTOKEN_ERR_INVALID_ARG;
    if (!label || *length < bytes) {
        *length = bytes;
        return ZTTOKEN_ERR_BUFFER_TOO_SMALL;
    }
    uint8_t* out = reinterpret_cast<uint8_t*>(label);
    memset(out, 0, *length);
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xff);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    *length = bytes;
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_GetTokenLabel);

ZTTK_EXPORT uint32_t ZTToken_SetTokenLabel(void* device, const uint16_t* label, uint64_t length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord record;
    uint32_t rv = deviceRecord(device, nullptr, &record);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!label || length == 0 || length % 2 != 0 || length > 64)
        return ZTTOKEN_ERR_INVALID_ARG;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(label);
    std::u16string text;
    for (uint64_t i = 0; i < length; i += 2)
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    std::string utf8;
    if (!zvitutf::utf16ToUtf8(text, &utf8) || !vtoken::validLabel(utf8))
        return ZTTOKEN_ERR_INVALID_ARG;
    return codeOf(state().store->update(record.serial, [&](vtoken::KeyRecord& r) {
        r.label = utf8;
        return vtoken::Status::Ok;
    }));
}
ZTTK_CHECK(ZTToken_SetTokenLabel);

ZTTK_EXPORT uint32_t ZTToken_GetPinInfo(void* device, uint32_t pinKind, uint8_t* record, uint64_t* length)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord key;
    vtoken::PinKind kind;
    if (uint32_t rv = keyAndPinKind(device, pinKind, &key, &kind))
        return rv;
    const vtoken::PinSecret& pin = kind == vtoken::PinKind::User ? key.userPin : key.adminPin;
    uint8_t out[ZTTOKEN_PININFO_LEN] = {};
    out[ZTTOKEN_PININFO_MAX_RETRIES] = static_cast<uint8_t>(pin.maxAttempts);
    out[ZTTOKEN_PININFO_RETRIES] = static_cast<uint8_t>(pin.attemptsLeft);
    out[ZTTOKEN_PININFO_CHANGED] = kind == vtoken::PinKind::User ? (key.pinChanged ? 1 : 0) : 1;
    out[ZTTOKEN_PININFO_MIN_LEN] = vtoken::kMinPinLen;
    out[ZTTOKEN_PININFO_MAX_LEN] = vtoken::kMaxPinLen;
    out[ZTTOKEN_PININFO_INITIALISED] = key.initialised ? 1 : 0;
    return copyOut(out, sizeof(out), record, length);
}
ZTTK_CHECK(ZTToken_GetPinInfo);

ZTTK_EXPORT uint32_t ZTToken_GetPinRetryNum(void* device, uint32_t pinKind, uint64_t* retries)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord key;
    vtoken::PinKind kind;
    if (uint32_t rv = keyAndPinKind(device, pinKind, &key, &kind))
        return rv;
    if (!retries)
        return ZTTOKEN_ERR_INVALID_ARG;
    *retries = static_cast<uint64_t>(kind == vtoken::PinKind::User ? key.userPin.attemptsLeft
                                                                   : key.adminPin.attemptsLeft);
    return ZTTOKEN_OK;
}
ZTTK_CHECK(ZTToken_GetPinRetryNum);

ZTTK_EXPORT uint32_t ZTToken_VerifyPin(void* device, uint32_t pinKind, const char* pin, uint64_t* retries)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord key;
    vtoken::PinKind kind;
    if (uint32_t rv = keyAndPinKind(device, pinKind, &key, &kind))
        return rv;
    if (!pin)
        return ZTTOKEN_ERR_INVALID_ARG;
    return pinOutcome(state().store->verifyPin(key.serial, kind, pinText(pin)), retries);
}
ZTTK_CHECK(ZTToken_VerifyPin);

ZTTK_EXPORT uint32_t ZTToken_ChangePin(void* device, uint32_t pinKind, const char* oldPin, const char* newPin,
                                       uint64_t* retries)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord key;
    vtoken::PinKind kind;
    if (uint32_t rv = keyAndPinKind(device, pinKind, &key, &kind))
        return rv;
    if (!oldPin || !newPin)
        return ZTTOKEN_ERR_INVALID_ARG;
    return pinOutcome(state().store->changePin(key.serial, kind, pinText(oldPin), pinText(newPin)), retries);
}
ZTTK_CHECK(ZTToken_ChangePin);

ZTTK_EXPORT uint32_t ZTToken_UnlockPin(void* device, const char* adminPin, const char* newUserPin, uint64_t* retries)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    vtoken::KeyRecord key;
    uint32_t rv = deviceRecord(device, nullptr, &key);
    if (rv != ZTTOKEN_OK)
        return rv;
    if (!adminPin || !newUserPin)
        return ZTTOKEN_ERR_INVALID_ARG;
    return pinOutcome(state().store->unlockPin(key.serial, pinText(adminPin), pinText(newUserPin)), retries);
}
ZTTK_CHECK(ZTToken_UnlockPin);
