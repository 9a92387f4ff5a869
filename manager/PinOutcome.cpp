#include "PinOutcome.h"

#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_api.h"

bool readUserPinInfo(void* handle, uint8_t record[ZTTOKEN_PININFO_LEN])
{
    if (!handle || !ZTToken_GetPinInfo)
        return false;
    uint64_t length = ZTTOKEN_PININFO_LEN;
    if (ZTToken_GetPinInfo(handle, ZTTOKEN_PIN_USER, record, &length) != 0)
        return false;
    // A shorter record would leave the bytes we read stale.
    return length >= ZTTOKEN_PININFO_LEN;
}

PinReport pinDialogReport(PinDialogKind kind, uint32_t result)
{
    const unsigned kError = 0x10;
    if (result == 0) {
        const char* key = kind == PinDialogKind::Verify ? "SignatureTest_Success" : "ChangePin_Success";
        return {key, 0x40, true};
    }
    if (result == ZTUIEX_ERR_PIN_LOCKED)
        return {"Pin_Locked", kError, false};
    switch (kind) {
    case PinDialogKind::Verify:
        if (result == 0x10000001u || result == ZTUIEX_ERR_VERIFY_CANCELLED)
            return {nullptr, 0, false};
        return {"VerifyPin_Failed", kError, false};
    case PinDialogKind::Change:
        if (result == 0x10000001u || result == ZTUIEX_ERR_CHANGE_CANCELLED || result == ZTUIEX_ERR_SET_CANCELLED)
            return {nullptr, 0, false};
        return {"ChangePin_Failed", kError, false};
    case PinDialogKind::SetPrompt:
        if (result == ZTUIEX_ERR_SET_CANCELLED)
            return {nullptr, 0, false};
        return {"SetPin_Failed", kError, false};
    }
    return {nullptr, 0, false};
}
