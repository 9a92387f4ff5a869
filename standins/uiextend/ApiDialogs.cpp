// The dialogs the programs call. Each checks everything it can before a
// window opens: a locked or unformatted key gets its code, not a dialog.
#include <QPointer>
#include <cstring>

#include "ChangePinDialog.h"
#include "Export.h"
#include "FormatDialog.h"
#include "KeyAccess.h"
#include "MessageDialog.h"
#include "SetPinDialog.h"
#include "TokenLink.h"
#include "UiContext.h"
#include "UiLanguage.h"
#include "VerifyPinDialog.h"

namespace {

// Longest translation key or text we take from a caller.
constexpr size_t kMaxTextBytes = 4096;

struct Target {
    std::string serial;
    uiex::PinState state;
};

uint32_t findKey(void* device, uint32_t pinKind, Target* target)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    if (pinKind != ZTUIEX_PIN_USER)
        return ZTUIEX_ERR_INVALID_ARG;
    if (uint32_t rc = uiex::serialOfHandle(device, &target->serial))
        return rc;
    return uiex::KeyAccess(target->serial).readPinState(&target->state);
}

// A key a PIN dialog may act on: initialised, not locked and, for a dialog
// that asks for no old PIN, still on its initial PIN.
uint32_t findUsableKey(void* device, uint32_t pinKind, bool initialPinOnly, Target* target)
{
    if (uint32_t rc = findKey(device, pinKind, target))
        return rc;
    if (!target->state.initialised)
        return ZTUIEX_ERR_NOT_INITIALISED;
    if (initialPinOnly && target->state.changed)
        return ZTUIEX_ERR_ALREADY_SET;
    if (target->state.attemptsLeft <= 0)
        return ZTUIEX_ERR_PIN_LOCKED;
    return 0;
}

// Shows a dialog made by make, modal, and hands back its result. The dialog
// may die with its parent while it is open; then it counts as cancelled.
template <typename Dialog, typename Make>
uint32_t runDialog(Make make, uint32_t cancelled)
{
    QPointer<Dialog> dialog = make(uiex::parentWindow());
    dialog->exec();
    if (!dialog)
        return cancelled;
    uint32_t code = dialog->resultCode();
    delete dialog.data();
    return code;
}

// What a PIN dialog is made from.
struct PinDialogParts {
    const uiex::Texts& texts;
    QString serial;
    int attemptsLeft;
    const uiex::KeyAccess& key;
    QWidget* parent;
};

// The PIN dialogs: a usable key and the one dialog slot first, then the
// dialog make builds, run as runDialog runs it.
template <typename Dialog, typename Make>
uint32_t runPinDialog(void* device, uint32_t pinKind, bool initialPinOnly, uint32_t cancelled, Make make)
{
    Target target;
    if (uint32_t rc = findUsableKey(device, pinKind, initialPinOnly, &target))
        return rc;
    uiex::DialogSlot slot;
    if (!slot.acquired())
        return ZTUIEX_ERR_BUSY;
    uiex::Texts texts;
    uiex::KeyAccess key(target.serial);
    return runDialog<Dialog>(
        [&](QWidget* parent) {
            return make(PinDialogParts {texts, QString::fromStdString(target.serial), target.state.attemptsLeft, key,
                                        parent});
        },
        cancelled);
}

}  // namespace

ZTUIEX_EXPORT uint32_t ZTUIEx_VerifyPin(void* device, uint32_t pinKind)
{
    return runPinDialog<uiex::VerifyPinDialog>(
        device, pinKind, false, ZTUIEX_ERR_VERIFY_CANCELLED, [](const PinDialogParts& p) {
            const uiex::KeyAccess& key = p.key;
            return new uiex::VerifyPinDialog(
                p.texts, p.serial, p.attemptsLeft, [&key](const std::string& pin) { return key.verifyPin(pin); },
                p.parent);
        });
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_VerifyPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_ChangePin(void* device, uint32_t pinKind)
{
    return runPinDialog<uiex::ChangePinDialog>(
        device, pinKind, false, ZTUIEX_ERR_CHANGE_CANCELLED, [](const PinDialogParts& p) {
            const uiex::KeyAccess& key = p.key;
            return new uiex::ChangePinDialog(
                p.texts, p.serial, p.attemptsLeft,
                [&key](const std::string& oldPin, const std::string& newPin) { return key.changePin(oldPin, newPin); },
                p.parent);
        });
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_ChangePin);

ZTUIEX_EXPORT uint32_t ZTUIEx_SetPin(void* device, uint32_t pinKind)
{
    return runPinDialog<uiex::SetPinDialog>(
        device, pinKind, true, ZTUIEX_ERR_SET_CANCELLED, [](const PinDialogParts& p) {
            const uiex::KeyAccess& key = p.key;
            return new uiex::SetPinDialog(
                p.texts, p.serial, [&key](const std::string& pin) { return key.setInitialPin(pin); }, p.parent);
        });
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_SetPin);

ZTUIEX_EXPORT uint32_t ZTUIEx_InitTokenWithDefConfig(void* device, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    std::string serial;
    if (uint32_t rc = uiex::serialOfHandle(device, &serial))
        return rc;
    uiex::DialogSlot slot;
    if (!slot.acquired())
        return ZTUIEX_ERR_BUSY;
    uiex::Texts texts;
    uiex::KeyAccess key(serial);
    QPointer<uiex::FormatDialog> dialog = new uiex::FormatDialog(
        texts, QString::fromStdString(serial), [key] { return key.format(); }, uiex::parentWindow());
    uint32_t code = dialog->run();
    delete dialog.data();
    return code;
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_InitTokenWithDefConfig);

ZTUIEX_EXPORT uint32_t ZTUIEx_MessageBox(const char* text, const char* title, uint32_t flags, uint32_t)
{
    if (uint32_t rc = uiex::checkGui())
        return rc;
    if ((text && strnlen(text, kMaxTextBytes + 1) > kMaxTextBytes) ||
        (title && strnlen(title, kMaxTextBytes + 1) > kMaxTextBytes))
        return ZTUIEX_ERR_INVALID_ARG;
    uiex::Texts texts;
    QString shownText = text ? texts.message(QByteArray(text)) : QString();
    QString shownTitle = title ? texts.message(QByteArray(title)) : QString();
    return runDialog<uiex::MessageDialog>(
        [&](QWidget* parent) { return new uiex::MessageDialog(texts, shownText, shownTitle, flags, parent); },
        ZTUIEX_ID_CANCEL);
}
ZTUIEX_CHECK_SIGNATURE(ZTUIEx_MessageBox);
