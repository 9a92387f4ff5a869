// The tray icon's menu per "SupportProgramID" and its activation.
#include "registry/Pkcs11SlotManager.h"

#include <QAction>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <memory>

#include <csignal>

#include "manager/WindowGlobals.h"
#include "ManagerFixture.h"
#include "PrivateSessionBus.h"
#include "manager/ProcessSignals.h"
#include "manager/StatusNotifierItem.h"
#include "manager/TrayMenu.h"
#include "manager/TrayPresence.h"
#include "manager/MainWindow.h"

namespace {

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

// The panel's side: records the items that register.
class RecordingWatcher : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit RecordingWatcher(QObject* owner) : QDBusAbstractAdaptor(owner) {}
    QStringList items;

public slots:
    void RegisterStatusNotifierItem(const QString& service) { items << service; }
};

// Asynchronous: the item answers on this thread's event loop.
QVariant itemProperty(QDBusConnection bus, const QString& service, const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, "/StatusNotifierItem",
                                                       "org.freedesktop.DBus.Properties", "Get");
    call << QStringLiteral("org.kde.StatusNotifierItem") << name;
    QDBusPendingCall pending = bus.asyncCall(call);
    waitUntil([&] { return pending.isFinished(); }, 10000);
    QDBusPendingReply<QDBusVariant> reply = pending;
    return reply.isValid() ? reply.value().variant() : QVariant();
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
        m_window->showMinimized();
        emit tray->activated(reason);
        EXPECT_FALSE(m_window->isMinimized()) << reason;
    }
}

TEST_F(TrayTest, WithoutATrayTheWindowMinimizesAndOffersTheTrayMenu)
{
    setConfig("ZTTokenInfo", "SupportProgramID", "");
    ASSERT_TRUE(startWindow());
    QMenu* menu = nullptr;
    std::unique_ptr<QSystemTrayIcon> tray(createTrayIcon(m_window.get(), &menu));
    std::unique_ptr<QMenu> owned(menu);
    m_window->hide();
    {
        TrayPresence presence(m_window.get(), tray.get());
        ASSERT_FALSE(TrayPresence::trayShown());
        // Placing the window is the caller's: a normal start must not come up minimized.
        EXPECT_TRUE(m_window->isHidden());
        EXPECT_FALSE(tray->isVisible());
        EXPECT_TRUE(m_window->menuBar()->isVisibleTo(m_window.get()));
        EXPECT_EQ(m_window->menuBar()->actions(), menu->actions());

        m_window->show();
        EXPECT_FALSE(m_window->close());
        EXPECT_TRUE(m_window->isVisible());
        EXPECT_TRUE(m_window->isMinimized());
        // The bar fits in: the window grew rather than cut its content.
        EXPECT_GE(m_window->height(), m_window->minimumSizeHint().height());
    }
    // Once gone, closing hides as before.
    m_window->showNormal();
    EXPECT_TRUE(m_window->close());
    EXPECT_FALSE(m_window->isVisible());
}

TEST_F(ManagerTest, TheSmallProgramVariantGetsTheSmallWindow)
{
    setConfig("ZTTokenInfo", "SupportProgramID", "033015");
    ASSERT_TRUE(startWindow());
    // Its designed size, grown where its texts need more.
    const QSize size = m_window->size();
    EXPECT_EQ(size, size.expandedTo(QSize(400, 450)).expandedTo(m_window->minimumSizeHint()));
    EXPECT_EQ(m_window->findChild<QWidget*>("label_logoJPG")->width(), m_window->centralWidget()->width() - 2);
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
    // Offscreen has no tray: put away is minimized.
    raise(SIGUSR1);
    EXPECT_TRUE(waitUntil([&] { return m_window->isMinimized(); }, 5000));
    // Ignored signals leave the window as it is.
    raise(SIGXFSZ);
    raise(SIGWINCH);
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(m_window->isMinimized());

    receiver.detachWindow();
    g_pMainDlg = nullptr;
}

TEST_F(TrayTest, OurItemRegistersWithAWatcherStartedLaterAndReplacesTheXEmbedIcon)
{
    setConfig("ZTTokenInfo", "SupportProgramID", "");
    ASSERT_TRUE(startWindow());
    PrivateSessionBus privateBus(m_root->path("bus"));
    const QString address = QString::fromStdString(privateBus.address());
    QDBusConnection itemBus = QDBusConnection::connectToBus(address, "sni-item");
    QDBusConnection panelBus = QDBusConnection::connectToBus(address, "sni-panel");
    ASSERT_TRUE(itemBus.isConnected() && panelBus.isConnected());
    {
        QMenu* menu = nullptr;
        std::unique_ptr<QSystemTrayIcon> tray(createTrayIcon(m_window.get(), &menu));
        std::unique_ptr<QMenu> owned(menu);
        std::unique_ptr<StatusNotifierItem> item(createStatusNotifierItem(m_window.get(), menu, itemBus));
        ASSERT_FALSE(item->serviceName().isEmpty());
        TrayPresence presence(m_window.get(), tray.get(), item.get());
        EXPECT_FALSE(TrayPresence::trayShown());

        QObject panel;
        auto* watcher = new RecordingWatcher(&panel);
        ASSERT_TRUE(panelBus.registerObject("/StatusNotifierWatcher", &panel));
        ASSERT_TRUE(panelBus.registerService("org.kde.StatusNotifierWatcher"));
        ASSERT_TRUE(waitUntil([&] { return TrayPresence::trayShown(); }, 10000));
        EXPECT_EQ(watcher->items, QStringList({item->serviceName()}));
        EXPECT_FALSE(tray->isVisible());
        EXPECT_FALSE(m_window->menuBar()->isVisibleTo(m_window.get()));

        // Without the application translator the name shows its key.
        EXPECT_EQ(itemProperty(panelBus, item->serviceName(), "Id").toString(), "Product_Name");
        EXPECT_EQ(itemProperty(panelBus, item->serviceName(), "Title").toString(), "Product_Name");

        m_window->showMinimized();
        QDBusMessage activate = QDBusMessage::createMethodCall(item->serviceName(), "/StatusNotifierItem",
                                                               "org.kde.StatusNotifierItem", "Activate");
        activate << 0 << 0;
        panelBus.asyncCall(activate);
        EXPECT_TRUE(waitUntil([&] { return m_window->isVisible() && !m_window->isMinimized(); }, 10000));

        // The panel goes away: the window is reachable again without it.
        panelBus.unregisterService("org.kde.StatusNotifierWatcher");
        EXPECT_TRUE(waitUntil([&] { return !TrayPresence::trayShown(); }, 10000));
        EXPECT_TRUE(m_window->menuBar()->isVisibleTo(m_window.get()));
    }
    QDBusConnection::disconnectFromBus("sni-item");
    QDBusConnection::disconnectFromBus("sni-panel");
}

#include "TestTrayMenu.moc"
