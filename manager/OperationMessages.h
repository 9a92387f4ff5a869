#pragma once
// Notices of the key operations: the UI extension library's message box under
// the title "MessageBox_Title_Notice".
#include <QString>
#include <cstdint>

#include "PinOutcome.h"

QString localizedText(const char* key);
long showNotice(const char* textKey, unsigned flags);
long showNoticeText(const QString& text, unsigned flags);
// "ChangePin_Success" carries byte 0 of the PIN record read before the dialog.
void reportPinDialog(PinDialogKind kind, uint32_t result, uint8_t pinCount);
// The text between the first pair of parentheses of a device node, "" if none.
QByteArray serialOfNodeText(const QString& text);
