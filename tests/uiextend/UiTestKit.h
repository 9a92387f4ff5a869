#pragma once
// A test installation with one virtual key, the token and UI extension
// libraries bound as the manager binds them, and a driver for the library's
// modal dialogs.
#include <functional>
#include <memory>
#include <string>

#include "standins/vtoken/Record.h"
#include "standins/vtoken/Store.h"
#include "TestRoot.h"

class QWidget;

struct KeySetup {
    std::string serial = "VK0000001";
    std::string pin = "Pin12345";
    bool pinChanged = true;
    int attempts = vtoken::kDefaultAttempts;
};

class UiKeyEnvironment
{
public:
    explicit UiKeyEnvironment(const KeySetup& setup = KeySetup());
    ~UiKeyEnvironment();

    bool ready() const { return m_ready; }
    void* handle() const { return m_handle; }
    const std::string& serial() const { return m_serial; }
    const TestRoot& root() const { return *m_root; }
    std::string storeFolder() const { return m_storeFolder; }
    vtoken::Store store() const { return vtoken::Store(m_storeFolder); }
    vtoken::KeyRecord record() const;
    // The key's record file as it is on disk.
    std::string recordBytes() const;

private:
    std::unique_ptr<TestRoot> m_root;
    std::string m_storeFolder;
    std::string m_serial;
    void* m_handle = nullptr;
    bool m_ready = false;
};

// Runs action on the modal dialog with that object name as soon as it is the
// active modal widget. Fails the test and closes every dialog when none shows
// within the time limit, so a test never hangs on a dialog.
class DialogDriver
{
public:
    using Action = std::function<void(QWidget* dialog)>;
    DialogDriver(const char* objectName, Action action, int timeoutMs = 10000);
    ~DialogDriver();
    bool ran() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Widgets of a dialog by object name; fails the test when missing.
template <typename T>
T* child(QWidget* dialog, const char* objectName);

// Types text into a line edit of the dialog and clicks a button.
void typeInto(QWidget* dialog, const char* editName, const std::string& text);
void clickButton(QWidget* dialog, const char* buttonName);
std::string labelText(QWidget* dialog, const char* labelName);
// Fields (first word of each line) of a record file whose lines differ
// between two versions, sorted and comma-separated.
std::string changedFields(const std::string& before, const std::string& after);
