#pragma once
// Calling convention of the maker's UI extension library (PIN, format and
// message dialogs), shared by the binding and by our stand-in of the library.
//
// Device handles are the token library's handles (ZTToken_OpenDevice...), used
// in the same process. Dialog functions run on the thread of the process's
// QApplication; without one they return ZTUIEX_ERR_NO_GUI and show nothing.
#include <cstddef>
#include <cstdint>

// Results shared with the callers (0 = success).
#define ZTUIEX_OK 0x00000000u
#define ZTUIEX_ERR_PIN_LOCKED 0x10000412u          // the key is or became locked
#define ZTUIEX_ERR_VERIFY_CANCELLED 0x30002003u    // ZTUIEx_VerifyPin dialog cancelled
#define ZTUIEX_ERR_CHANGE_CANCELLED 0x30003003u    // ZTUIEx_ChangePin dialog cancelled
#define ZTUIEX_ERR_SET_CANCELLED 0x30004003u       // ZTUIEx_SetPin dialog cancelled

// The library's own failures. Failures of the key store come back with the
// token library's codes (ZTTOKEN_ERR_NO_DEVICE, _DAMAGED, _STORE_IO, _BUSY, ...).
#define ZTUIEX_ERR_NO_GUI 0x30000101u          // no QApplication, or not on its thread
#define ZTUIEX_ERR_INVALID_HANDLE 0x30000102u  // null or unknown device handle
#define ZTUIEX_ERR_INVALID_ARG 0x30000103u     // bad PIN kind, null text, ...
#define ZTUIEX_ERR_NOT_INITIALISED 0x30000106u // the key must be formatted first
#define ZTUIEX_ERR_ALREADY_SET 0x30000107u     // SetPin on a key whose PIN was already changed
#define ZTUIEX_ERR_NO_TOKEN_LIBRARY 0x30000108u // the token library is not loaded in this process
#define ZTUIEX_ERR_BUSY 0x30000109u            // a dialog of this library is already open

// Functions the stand-in does not implement answer with this base plus their
// position in the resolution order (1 = InitCtx ... 26 = SetSignalFlag).
#define ZTUIEX_ERR_NOT_SUPPORTED_BASE 0x300F0000u
#define ZTUIEX_ERR_NOT_SUPPORTED(position) (ZTUIEX_ERR_NOT_SUPPORTED_BASE + (position))

// PIN kinds.
#define ZTUIEX_PIN_USER 1u

// ZTUIEx_MessageBox flags: low four bits the buttons, next four the icon.
#define ZTUIEX_MB_OK 0x00u
#define ZTUIEX_MB_OKCANCEL 0x01u
#define ZTUIEX_MB_ICONERROR 0x10u
#define ZTUIEX_MB_ICONQUESTION 0x20u
#define ZTUIEX_MB_ICONEXCLAMATION 0x30u
#define ZTUIEX_MB_ICONINFORMATION 0x40u
// ZTUIEx_MessageBox results.
#define ZTUIEX_ID_OK 1u
#define ZTUIEX_ID_CANCEL 2u

extern "C" {
// Non-zero when the library is ready. Creates no widget and needs no display.
typedef int32_t (*PFN_ZTUIEx_InitCtx)(void);
typedef uint32_t (*PFN_ZTUIEx_FreeCtx)(void);
typedef uint32_t (*PFN_ZTUIEx_SetSignatureVerificationFlag)(uint32_t flag);
// PIN dialogs over an opened device handle; pinKind 1 = user PIN.
typedef uint32_t (*PFN_ZTUIEx_VerifyPin)(void* device, uint32_t pinKind);
typedef uint32_t (*PFN_ZTUIEx_ChangePin)(void* device, uint32_t pinKind);
typedef uint32_t (*PFN_ZTUIEx_SetPin)(void* device, uint32_t pinKind);
typedef uint32_t (*PFN_ZTUIEx_UnlockPin)(void* device, uint32_t pinKind);
// *size: in = capacity of name in bytes, out = bytes written without terminator.
typedef uint32_t (*PFN_ZTUIEx_SelectDevice)(char* name, size_t* size);
typedef uint32_t (*PFN_ZTUIEx_ChangeDevName)(void* device);
typedef uint32_t (*PFN_ZTUIEx_GenKeyPair)(void* device, const char* container, uint32_t keyType);
typedef uint32_t (*PFN_ZTUIEx_ShowDevInfo)(void* device);
// Formats the key with the default configuration (see standins/uiextend/README.md).
typedef uint32_t (*PFN_ZTUIEx_InitTokenWithDefConfig)(void* device, uint32_t flags);
typedef uint32_t (*PFN_ZTUIEx_InitToken)(void* device, const void* config, size_t configSize);
typedef uint32_t (*PFN_ZTUIEx_InitTokenWithPin)(void* device, const char* pin, uint32_t flags);
typedef uint32_t (*PFN_ZTUIEx_TransDataSign)(void* device, const uint8_t* data, size_t dataSize,
                                              uint8_t* signature, size_t* signatureSize);
typedef uint32_t (*PFN_ZTUIEx_SuperInitToken)(void* device);
typedef uint32_t (*PFN_ZTUIEx_ParseTransData)(const uint8_t* data, size_t dataSize, char* text, size_t* size);
// Folder of the language files (with or without final slash) or a .qm file;
// null or empty returns to the installation's language choice.
typedef uint32_t (*PFN_ZTUIEx_SetSysLangPath)(const char* path);
// Text and title are translation keys (UTF-8). Returns ZTUIEX_ID_OK or
// ZTUIEX_ID_CANCEL, or an error code above when no box could be shown.
typedef uint32_t (*PFN_ZTUIEx_MessageBox)(const char* text, const char* title, uint32_t flags, uint32_t reserved);
typedef uint32_t (*PFN_ZTUIEx_OverRideContainer)(void* device, const char* container);
typedef uint32_t (*PFN_ZTUIEx_ChangePinForCSPKCS)(void* device, uint32_t pinKind, const char* oldPin,
                                                   const char* newPin);
typedef uint32_t (*PFN_ZTUIEx_VerifyPinForCSPKCS)(void* device, uint32_t pinKind, char* pin, size_t* size);
// The parent is one of the caller's windows: its QWidget* (also when passed as
// QObject*) or its native window id. Later dialogs are modal over it; null
// clears it; anything else is refused. The library notices when it is destroyed.
typedef uint32_t (*PFN_ZTUIEx_SetParentHwnd)(void* parent);
typedef uint32_t (*PFN_ZTUIEx_ImportCert)(void* device, const char* container, const uint8_t* cert,
                                           size_t certSize, uint32_t usage);
typedef uint32_t (*PFN_ZTUIEx_EraseKeyPairs)(void* device);
typedef uint32_t (*PFN_ZTUIEx_SetSignalFlag)(uint32_t flag);
}
