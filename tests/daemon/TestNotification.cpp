// Desktop notifications sent to a recording notification service on a private
// session bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "PrivateSessionBus.h"
#include "TestRoot.h"
#include "daemon/Daemon.h"
#include "LaunchRecorder.h"
#include "daemon/NotificationActions.h"
#include "common/global_def_var.h"

namespace {

class Notification : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = new TestRoot();
        s_bus = new PrivateSessionBus(s_root->tempDir() + "/bus");
        // Qt takes the address once, at the first use of the session bus.
        setenv("DBUS_SESSION_BUS_ADDRESS", s_bus->address().c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete s_bus;
        delete s_root;
    }
    void SetUp() override
    {
        snprintf(g_szLanguageQmFileName, sizeof(g_szLanguageQmFileName), "%s", ZVIT_DAEMON_TEST_QM);
        unlink((s_root->tempDir() + "/bus/notify.jsonl").c_str());
        unlink(logFile().c_str());
    }
    static std::string logFile() { return s_root->tempDir() + "/zvittarn/ztdaemon_log.log"; }
    static void enableLog() { mkdir((s_root->tempDir() + "/zvittarn").c_str(), 0700); }

    static TestRoot* s_root;
    static PrivateSessionBus* s_bus;
};
TestRoot* Notification::s_root = nullptr;
PrivateSessionBus* Notification::s_bus = nullptr;

}  // namespace

TEST_F(Notification, NoSessionBusIsLoggedWithoutCrash)
{
    enableLog();
    // A fresh process, because Qt keeps the first bus it connected to; this
    // test runs first so the parent has not touched the bus yet.
    pid_t child = forkChild([] {
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + s_root->tempDir() + "/no-bus-here").c_str(), 1);
        sendSystemNotification("Device_Insert");
        return 0;
    });
    ASSERT_EQ(0, waitChild(child));
    EXPECT_NE(std::string::npos,
              readFile(logFile()).find(
                  "-->sendSystemNotification failed, DBus connection error: Session bus is not connected.\n"));
}

TEST_F(Notification, CarriesAppNameIconTranslatedTextsAndExpiry)
{
    ASSERT_TRUE(s_bus->startNotificationServer());
    sendSystemNotification("Device_Insert");
    auto list = s_bus->waitNotifications(1, 5000);
    ASSERT_EQ(1u, list.size());
    const RecordedNotification& n = list[0];
    EXPECT_EQ("susssasa{sv}i", n.signature);
    EXPECT_EQ("ZEZudo Zavazor", n.appName);
    EXPECT_EQ(0, n.replacesId);
    EXPECT_EQ("", n.appIcon);
    EXPECT_EQ("Hinweis", n.summary);
    EXPECT_EQ("Schlüssel eingesteckt", n.body);
    EXPECT_EQ(0u, n.actionCount);
    EXPECT_EQ(1u, n.hintCount);
    EXPECT_EQ(s_root->path("Resources/notifyIcon.png"), n.imagePath);
    EXPECT_EQ("String", n.imagePathType);
    EXPECT_EQ(3000, n.expireTimeout);
    s_bus->stopNotificationServer();
}

TEST_F(Notification, KeysWithoutTranslationOrLanguageFileShowAsKeys)
{
    ASSERT_TRUE(s_bus->startNotificationServer());
    sendSystemNotification("Device_Remove");
    snprintf(g_szLanguageQmFileName, sizeof(g_szLanguageQmFileName), "%s", s_root->path("Languages/9999.qm").c_str());
    sendSystemNotification("Device_Insert");
    auto list = s_bus->waitNotifications(2, 5000);
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("Hinweis", list[0].summary);
    EXPECT_EQ("Device_Remove", list[0].body);
    EXPECT_EQ("MessageBox_Title_Notice", list[1].summary);
    EXPECT_EQ("Device_Insert", list[1].body);
    s_bus->stopNotificationServer();
}

TEST_F(Notification, ServiceErrorIsLoggedAndReturns)
{
    enableLog();
    ASSERT_TRUE(s_bus->startNotificationServer(true));
    sendSystemNotification("Device_Insert");
    EXPECT_EQ(1u, s_bus->waitNotifications(1, 5000).size());
    EXPECT_NE(std::string::npos,
              readFile(logFile()).find("-->sendSystemNotification failed, DBus error: recorder refuses"));
    s_bus->stopNotificationServer();
    // Nobody owns the name now: also an error reply, also only logged.
    unlink(logFile().c_str());
    sendSystemNotification("Device_Remove");
    EXPECT_NE(std::string::npos, readFile(logFile()).find("sendSystemNotification failed, DBus error: "));
}

TEST_F(Notification, AClickOnTheInsertionNoticeOpensTheManagerWhereTheServerHasActions)
{
    LaunchRecorder recorder(s_root->root(), s_root->tempDir() + "/launch");
    NotificationActions listener;
    ASSERT_TRUE(NotificationActions::listening());
    ASSERT_TRUE(s_bus->startNotificationServer(false, true));
    sendSystemNotification("Device_Remove");
    sendSystemNotification("Device_Insert", true);
    auto list = s_bus->waitNotifications(2, 5000);
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(0u, list[0].actionCount);
    EXPECT_EQ(2u, list[1].actionCount);
    EXPECT_NE(std::string::npos, list[1].line.find("\"actions\": [\"default\", \"Schlüsselverwaltung öffnen\"]"));
    EXPECT_NE(std::string::npos, list[1].line.find("\"desktop-entry\": \"tarnukey\""));

    // The recorder clicks it; the window opens through the launch script, not hidden.
    QElapsedTimer timer;
    timer.start();
    while (recorder.calls().empty() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    auto calls = recorder.calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(calls[0].args.empty());
    s_bus->stopNotificationServer();

    // A server without actions gets the notice as before.
    ASSERT_TRUE(s_bus->startNotificationServer());
    unlink((s_root->tempDir() + "/bus/notify.jsonl").c_str());
    sendSystemNotification("Device_Insert", true);
    list = s_bus->waitNotifications(1, 5000);
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(0u, list[0].actionCount);
    EXPECT_EQ(1u, list[0].hintCount);
    s_bus->stopNotificationServer();
}
