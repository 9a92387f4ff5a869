// Application functions: each key has one application holding its containers
// and its PINs. PINs are checked and counted by the store itself, so the
// manager's dialogs and the web pages share one attempt counter.
#include <cstring>
#include <string.h>

#include "SkfExport.h"
#include "SkfHandles.h"
#include "SkfStore.h"

using namespace skfstub;

namespace {

bool pinKindOf(SKF_ULONG type, vtoken::PinKind* kind)
{
    if (type == SKF_USER_TYPE)
        *kind = vtoken::PinKind::User;
    else if (type == SKF_ADMIN_TYPE)
        *kind = vtoken::PinKind::Admin;
    else
        return false;
    return true;
}

// A PIN copied out of the caller's text and wiped when done.
struct PinText {
    explicit PinText(const char* pin) : text(pin, strnlen(pin, kLongest)) {}
    ~PinText() { explicit_bzero(&text[0], text.size()); }
    // Longer PINs are read only this far; the store refuses them anyway.
    static constexpr size_t kLongest = 256;
    std::string text;
};

SKF_ULONG pinResult(const vtoken::PinResult& result, SKF_ULONG* pulRetryCount)
{
    if (pulRetryCount)
        *pulRetryCount = static_cast<SKF_ULONG>(result.attemptsLeft > 0 ? result.attemptsLeft : 0);
    return resultOf(result.status);
}

}  // namespace

SKF_EXPORT SKF_ULONG SKF_EnumApplication(DEVHANDLE hDev, char* szAppName, SKF_ULONG* pulSize)
{
    HandleInfo handle;
    if (!lookupHandle(hDev, HandleKind::Device, &handle))
        return SAR_INVALIDHANDLEERR;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    return writeNameList({kApplicationName}, szAppName, pulSize);
}
SKF_CHECK_SIGNATURE(SKF_EnumApplication);

SKF_EXPORT SKF_ULONG SKF_OpenApplication(DEVHANDLE hDev, const char* szAppName, HAPPLICATION* phApplication)
{
    if (!szAppName || !phApplication)
        return SAR_INVALIDPARAMERR;
    *phApplication = nullptr;
    HandleInfo handle;
    if (!lookupHandle(hDev, HandleKind::Device, &handle))
        return SAR_INVALIDHANDLEERR;
    if (strcmp(szAppName, kApplicationName) != 0)
        return SAR_APPLICATION_NOT_EXISTS;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    handle.kind = HandleKind::Application;
    *phApplication = openHandle(handle);
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_OpenApplication);

SKF_EXPORT SKF_ULONG SKF_CloseApplication(HAPPLICATION hApplication)
{
    return closeHandle(hApplication, HandleKind::Application) ? SAR_OK : SAR_INVALIDHANDLEERR;
}
SKF_CHECK_SIGNATURE(SKF_CloseApplication);

SKF_EXPORT SKF_ULONG SKF_VerifyPIN(HAPPLICATION hApplication, SKF_ULONG ulPINType, const char* szPIN,
                                   SKF_ULONG* pulRetryCount)
{
    if (!szPIN)
        return SAR_INVALIDPARAMERR;
    HandleInfo handle;
    if (!lookupHandle(hApplication, HandleKind::Application, &handle))
        return SAR_INVALIDHANDLEERR;
    vtoken::PinKind kind;
    if (!pinKindOf(ulPINType, &kind))
        return SAR_USER_TYPE_INVALID;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    PinText pin(szPIN);
    return pinResult(storeOf(handle).verifyPin(handle.serial, kind, pin.text), pulRetryCount);
}
SKF_CHECK_SIGNATURE(SKF_VerifyPIN);

SKF_EXPORT SKF_ULONG SKF_ChangePIN(HAPPLICATION hApplication, SKF_ULONG ulPINType, const char* szOldPin,
                                   const char* szNewPin, SKF_ULONG* pulRetryCount)
{
    if (!szOldPin || !szNewPin)
        return SAR_INVALIDPARAMERR;
    HandleInfo handle;
    if (!lookupHandle(hApplication, HandleKind::Application, &handle))
        return SAR_INVALIDHANDLEERR;
    vtoken::PinKind kind;
    if (!pinKindOf(ulPINType, &kind))
        return SAR_USER_TYPE_INVALID;
    KeyPtr key;
    SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    PinText oldPin(szOldPin);
    PinText newPin(szNewPin);
    vtoken::PinResult result = storeOf(handle).changePin(handle.serial, kind, oldPin.text, newPin.text);
    if (result.status == vtoken::Status::PinLength && result.attemptsLeft == 0) {
        // A refused new PIN costs nothing: report the attempts still left.
        const vtoken::PinSecret& secret = kind == vtoken::PinKind::User ? key->userPin : key->adminPin;
        result.attemptsLeft = secret.attemptsLeft;
    }
    return pinResult(result, pulRetryCount);
}
SKF_CHECK_SIGNATURE(SKF_ChangePIN);

SKF_EXPORT SKF_ULONG SKF_GetPINInfo(HAPPLICATION hApplication, SKF_ULONG ulPINType, SKF_ULONG* pulMaxRetryCount,
                                    SKF_ULONG* pulRemainRetryCount, SKF_BOOL* pbDefaultPin)
{
    if (!pulMaxRetryCount || !pulRemainRetryCount || !pbDefaultPin)
        return SAR_INVALIDPARAMERR;
    HandleInfo handle;
    if (!lookupHandle(hApplication, HandleKind::Application, &handle))
        return SAR_INVALIDHANDLEERR;
    vtoken::PinKind kind;
    if (!pinKindOf(ulPINType, &kind))
        return SAR_USER_TYPE_INVALID;
    KeyPtr key;
    const SKF_ULONG rv = loadPluggedKey(handle, &key);
    if (rv != SAR_OK)
        return rv;
    const vtoken::PinSecret& secret = kind == vtoken::PinKind::User ? key->userPin : key->adminPin;
    *pulMaxRetryCount = static_cast<SKF_ULONG>(secret.maxAttempts);
    *pulRemainRetryCount = static_cast<SKF_ULONG>(secret.attemptsLeft > 0 ? secret.attemptsLeft : 0);
    *pbDefaultPin = kind == vtoken::PinKind::User && !key->pinChanged ? TRUE : FALSE;
    return SAR_OK;
}
SKF_CHECK_SIGNATURE(SKF_GetPINInfo);
