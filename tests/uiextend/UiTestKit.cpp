#include "UiTestKit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"

UiKeyEnvironment::UiKeyEnvironment(const KeySetup& setup) : m_root(new TestRoot), m_serial(setup.serial)
{
    m_storeFolder = m_root->tempDir() + "/store";
    setIniValue(m_root->configPath(), "VirtualToken", "StorePath", m_storeFolder);
    vtoken::Store s = store();
    vtoken::KeyRecord key;
    if (s.prepare() != vtoken::Status::Ok ||
        vtoken::newKeyRecord(setup.serial, "Test key", setup.pin, setup.pinChanged, &key) != vtoken::Status::Ok ||
        s.create(key) != vtoken::Status::Ok || s.plug(setup.serial) != vtoken::Status::Ok)
        return;
    if (setup.attempts != vtoken::kDefaultAttempts && s.setRetries(setup.serial, setup.attempts) != vtoken::Status::Ok)
        return;
    if (!LoadZTTokenLib(ZTTOKEN_CALLER_MANAGER) || !LoadZTUIExtendLib())
        return;
    if (ZTToken_OpenDeviceByName(vtoken::deviceNameFor(setup.serial).c_str(), &m_handle) != ZTTOKEN_OK)
        return;
    m_ready = true;
}

UiKeyEnvironment::~UiKeyEnvironment()
{
    if (m_handle)
        ZTToken_CloseDevice(m_handle);
    FreeZTUIExtendLib();
    FreeZTTokenLib();
}

vtoken::KeyRecord UiKeyEnvironment::record() const
{
    vtoken::KeyRecord key;
    EXPECT_EQ(store().load(m_serial, &key), vtoken::Status::Ok);
    return key;
}

std::string UiKeyEnvironment::recordBytes() const
{
    return readFile(store().recordPath(m_serial));
}

struct DialogDriver::Impl {
    QTimer timer;
    QElapsedTimer clock;
    bool ran = false;
};

DialogDriver::DialogDriver(const char* objectName, Action action, int timeoutMs) : m_impl(new Impl)
{
    Impl* impl = m_impl.get();
    impl->clock.start();
    impl->timer.setInterval(20);
    std::string name = objectName;
    QObject::connect(&impl->timer, &QTimer::timeout, [impl, name, action, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        // Keys typed before the dialog is active would reach no widget.
        if (modal && modal->objectName().toStdString() == name && modal->isVisible() && modal->isActiveWindow()) {
            impl->timer.stop();
            impl->ran = true;
            action(modal);
            return;
        }
        if (impl->clock.elapsed() > timeoutMs) {
            impl->timer.stop();
            ADD_FAILURE() << "dialog " << name << " did not show; active modal widget: "
                          << (modal ? modal->objectName().toStdString() : std::string("none"));
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(widget))
                    if (dialog->isVisible())
                        dialog->done(QDialog::Rejected);
        }
    });
    impl->timer.start();
}

DialogDriver::~DialogDriver() = default;

bool DialogDriver::ran() const
{
    return m_impl->ran;
}

template <typename T>
T* child(QWidget* dialog, const char* objectName)
{
    T* widget = dialog->findChild<T*>(objectName);
    EXPECT_NE(widget, nullptr) << "no " << objectName << " in " << dialog->objectName().toStdString();
    return widget;
}
template QLabel* child<QLabel>(QWidget*, const char*);
template QLineEdit* child<QLineEdit>(QWidget*, const char*);
template QPushButton* child<QPushButton>(QWidget*, const char*);
template QWidget* child<QWidget>(QWidget*, const char*);

void typeInto(QWidget* dialog, const char* editName, const std::string& text)
{
    if (QLineEdit* edit = child<QLineEdit>(dialog, editName)) {
        edit->clear();
        QTest::keyClicks(edit, QString::fromStdString(text));
    }
}

void clickButton(QWidget* dialog, const char* buttonName)
{
    if (QPushButton* button = child<QPushButton>(dialog, buttonName))
        QTest::mouseClick(button, Qt::LeftButton);
}

std::string labelText(QWidget* dialog, const char* labelName)
{
    QLabel* label = child<QLabel>(dialog, labelName);
    return label ? label->text().toStdString() : std::string();
}

std::string changedFields(const std::string& before, const std::string& after)
{
    // Field name (first word of a line) -> its lines, in order.
    auto fields = [](const std::string& text) {
        std::map<std::string, std::vector<std::string>> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            out[line.substr(0, line.find(' '))].push_back(line);
        return out;
    };
    auto a = fields(before), b = fields(after);
    std::set<std::string> names;
    for (const auto& entry : a)
        names.insert(entry.first);
    for (const auto& entry : b)
        names.insert(entry.first);
    std::string out;
    for (const std::string& name : names)
        if (a[name] != b[name])
            out += (out.empty() ? "" : ",") + name;
    return out;
}
