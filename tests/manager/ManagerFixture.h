#pragma once
// A manager in process over a throw-away installation: its own registry
// (this test plays the daemon's part in it), virtual keys made with the
// tarnvkey tool and the real token library stand-in.
#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "QtWait.h"
#include "TestRoot.h"

class UKeyMainWindow;
class QTreeWidget;
class QTreeWidgetItem;

// Runs tarnvkey on the fixture's store; fails the test on a non-zero exit.
void vkey(const std::string& store, const std::vector<std::string>& args);
std::string certFixture(const std::string& name);

class ManagerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Before startWindow: configuration edits.
    void setConfig(const std::string& section, const std::string& key, const std::string& value);
    void useLanguage(const std::string& code);

    // Window constructed and initialised; true when initDialog returned 0.
    // beforeInit sees the constructed window before its first pass starts.
    bool startWindow(const std::function<void(UKeyMainWindow*)>& beforeInit = {});
    void stopWindow();

    // A virtual key in the store, with certificates (name, container, type, usage).
    struct Cert {
        std::string fixture, container, type, usage;
    };
    void makeKey(const std::string& serial, const std::string& label, const std::vector<Cert>& certs);
    // Plugs the key and publishes it in the slot registry as the daemon does.
    void plugAndPublish(const std::string& serial, int slot, const std::string& label, uint64_t tokenFlags = 0,
                        bool announce = true);
    void unplugAndUnpublish(const std::string& serial, int slot, bool announce = true);

    QTreeWidget* tree() const;
    QString statusText() const;
    std::vector<std::string> topLevelTexts() const;

    std::unique_ptr<TestRoot> m_root;
    std::string m_store;
    std::unique_ptr<UKeyMainWindow> m_window;
};
