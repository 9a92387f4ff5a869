// The tray icon's menu per "SupportProgramID" and its activation.
#include "registry/Pkcs11SlotManager.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <memory>

#include <csignal>

#include "WindowGlobals.h"
#include "ManagerFixture.h"
#include "ProcessSignals.h"
#include "TrayMenu.h"
#include "MainWindow.h"

namespace {

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

}  // namespace

class TrayTest : public ManagerTest
{
protected:
    QStringList menuFor(const std::string& programId)
    {
        setConfig("ZTTokenInfo", "SupportProgramID", programId);
        QMenu* menu = nullptr;
        std::unique_ptr<QSystemTrayIcon> tray(createTrayIcon(m_window.get(), &menu));
        std::unique_ptr<QMenu> owned(menu);
        EXPECT_EQ(tray->contextMenu(), menu);
        return menuTexts(menu);
    }
};

TEST_F(TrayTest, QuitIsOfferedUnlessTheProgramIdBeginsWith0300)
{
    ASSERT_TRUE(startWindow());
    // Without the application translator the entries show their keys.
    EXPECT_EQ(menuFor(""), QStringList({"About_Action", "Quit_Action"}));
    EXPECT_EQ(menuFor("0300"), QStringList({"About_Action"}));
    EXPECT_EQ(menuFor("03001234"), QStringList({"About_Action"}));
    EXPECT_EQ(menuFor("030"), QStringList({"About_Action", "Quit_Action"}));
    EXPECT_EQ(menuFor("03301"), QStringList({"About_Action", "Quit_Action"}));
}

TEST_F(TrayTest, AnyActivationShowsTheHiddenWindow)
{
    ASSERT_TRUE(startWindow());
    QMenu* menu = nullptr;
    std::unique_ptr<QSystemTrayIcon> tray(createTrayIcon(m_window.get(), &menu));
    std::unique_ptr<QMenu> owned(menu);
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick}) {
        m_window->hide();
        emit tray->activated(reason);
        EXPECT_TRUE(m_window->isVisible()) << reason;
    }
}

TEST_F(ManagerTest, TheSmallProgramVariantGetsTheSmallWindow)
{
    setConfig("ZTTokenInfo", "SupportProgramID", "033015");
    ASSERT_TRUE(startWindow());
    EXPECT_EQ(m_window->size(), QSize(400, 450));
    stopWindow();
    setConfig("ZTTokenInfo", "SupportProgramID", "0330");
    ASSERT_TRUE(startWindow());
    EXPECT_NE(m_window->size(), QSize(400, 450));
}

TEST_F(ManagerTest, FormatButtonFollowsTheConfiguration)
{
    setConfig("ZTTokenInfo", "IsSupportFormat", "2");
    ASSERT_TRUE(startWindow());
    EXPECT_FALSE(m_window->findChild<QWidget*>("pushButton_Format")->isHidden());
}

TEST_F(ManagerTest, ShowAndHideSignalsReachTheWindowOnlyOnceItIsAttached)
{
    ASSERT_TRUE(startWindow());
    ASSERT_TRUE(installProcessSignalHandlers());
    ProcessSignalReceiver receiver;
    g_pMainDlg = m_window.get();
    m_window->hide();

    // Before the window is attached a request is dropped, not kept for later.
    raise(SIGUSR2);
    waitUntil([] { return false; }, 200);
    EXPECT_FALSE(m_window->isVisible());
    receiver.attachWindow();
    waitUntil([] { return false; }, 200);
    EXPECT_FALSE(m_window->isVisible());

    raise(SIGUSR2);
    EXPECT_TRUE(waitUntil([&] { return m_window->isVisible(); }, 5000));
    raise(SIGUSR1);
    EXPECT_TRUE(waitUntil([&] { return !m_window->isVisible(); }, 5000));
    // Ignored signals leave the window as it is.
    raise(SIGXFSZ);
    raise(SIGWINCH);
    waitUntil([] { return false; }, 200);
    EXPECT_FALSE(m_window->isVisible());

    receiver.detachWindow();
    g_pMainDlg = nullptr;
}
