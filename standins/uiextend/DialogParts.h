#pragma once
// Pieces every dialog of the library is built from. Each widget gets a stable
// object name: tests and accessibility tools find them by it.
#include <QString>

class QBoxLayout;
class QDialog;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace uiex {

class Texts;

// Modal over the caller's window when one was set, else over the application.
void prepareDialog(QDialog* dialog, const char* objectName, const QString& title);
QLabel* makeLabel(QWidget* parent, const char* objectName, const QString& text = QString());
QLineEdit* makePinEdit(QWidget* parent, const char* objectName);
// A form row whose field is named for assistive tools by its label.
void addLabelledRow(QFormLayout* form, QLabel* label, QWidget* field);
QPushButton* makeButton(QWidget* parent, const char* objectName, const QString& text);
// OK (the default button) and Cancel at the end of layout; Cancel rejects the
// dialog. Returns OK for the caller to connect.
QPushButton* addOkCancelButtons(QDialog* dialog, QBoxLayout* layout, const Texts& texts);
// Error line of a dialog: empty and hidden until there is something to say.
QLabel* makeMessageLabel(QWidget* parent);
void showMessage(QLabel* label, const QString& text);
// Overwrites and clears a PIN field so the text does not linger in memory.
void wipe(QLineEdit* edit);
void wipe(std::string& text);

}  // namespace uiex
