#pragma once
// Process-wide state of the library: the parent window of the dialogs and the
// language the caller chose. Touched only on the GUI thread, except for the
// language path, which is guarded.
#include <cstdint>
#include <string>

class QWidget;

namespace uiex {

// 0 when a dialog may be shown here and now (a QApplication exists and this is
// its thread), else ZTUIEX_ERR_NO_GUI.
uint32_t checkGui();

void setParentWindow(QWidget* parent);
// Null when none was set or that window is gone.
QWidget* parentWindow();

// Empty: the installation's language choice.
void setLanguagePath(const std::string& path);
std::string languagePath();

// One PIN or format dialog at a time: a second one started from a nested event
// loop would act on a key the first is still working on.
class DialogSlot
{
public:
    DialogSlot();
    ~DialogSlot();
    DialogSlot(const DialogSlot&) = delete;
    DialogSlot& operator=(const DialogSlot&) = delete;
    bool acquired() const { return m_acquired; }

private:
    bool m_acquired;
};

}  // namespace uiex
