#pragma once
// Message boxes of the manager. Flags: low four bits the buttons (0 OK,
// 1 OK and Cancel), next four the icon (0x10 error, 0x20 question,
// 0x30 exclamation, 0x40 information). A result of 1 means confirmed.
#include <QString>

class QWidget;

// The UI extension library's box; text and title are text keys.
long DisplayMsg(QString* text, QString* title, unsigned flags, short extra);
// Our own box, translated from the chosen language file; 2 when the second
// button (Cancel) was pressed, otherwise 1.
int MessageBox(QWidget* parent, const char* text, const char* title, unsigned flags, const char* confirmText);
