// What the manager does when what it needs is missing: it starts the key
// service itself, and otherwise says what is wrong instead of ending silently.
#include "registry/Pkcs11SlotManager.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ManagerFixture.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "manager/StartupChecks.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"

namespace fs = std::filesystem;

namespace {

class ManagerStartup : public ManagerTest
{
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        // No key service yet: the registry the fixture made is gone.
        DetachFromSharedMemory();
        DestroyWinProcLock();
        DestroySharedMemory();
        m_root->removeSharedObjects();
        m_started = m_root->tempDir() + "/service.started";
        // The key service the manager starts: records that it ran, and
        // leaves making the registry to the test.
        writeFile(m_root->path("bin/tarndaemon"), "#!/bin/sh\necho started >> '" + m_started + "'\n");
        chmod(m_root->path("bin/tarndaemon").c_str(), 0755);
    }
    std::string m_started;
};

}  // namespace

TEST_F(ManagerStartup, AKeyServiceThatNeverComesUpIsReportedWithHowToStartIt)
{
    ASSERT_FALSE(startWindow());
    EXPECT_EQ(readFile(m_started), "started\n") << "the manager starts the key service once";
    ASSERT_NE(m_window->startupFailureKey(), nullptr);
    EXPECT_STREQ(m_window->startupFailureKey(), "Startup_KeyServiceMissing");
    EXPECT_EQ(m_window->startupFailureDetail().toStdString(), m_root->path("bin/tarndaemon"));

    QString shown;
    QTimer::singleShot(0, [&] {
        QTimer* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
                poll->deleteLater();
            }
        });
        poll->start(20);
    });
    const int status = reportStartupFailure(m_window->startupFailureKey(), m_window->startupFailureDetail());
    EXPECT_NE(status, 0) << "an end that is no success";
    EXPECT_TRUE(shown.startsWith("The key service is not running")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromStdString(m_root->path("bin/tarndaemon")))) << shown.toStdString();
}

TEST_F(ManagerStartup, AKeyServiceThatComesUpInTimeIsJoined)
{
    // Plays the key service: makes the registry a moment after being started.
    std::atomic<bool> stop {false};
    std::thread service([&] {
        while (!stop && access(m_started.c_str(), F_OK) != 0)
            usleep(20000);
        if (!stop) {
            usleep(300000);
            SlotManagerInitialize();
        }
    });
    const bool started = startWindow();
    stop = true;
    service.join();
    EXPECT_TRUE(started);
    EXPECT_EQ(m_window->startupFailureKey(), nullptr);
}

TEST_F(ManagerStartup, AMissingKeyLibraryIsNamed)
{
    // The token library alone is missing from the installation.
    fs::remove(m_root->path("Librarys"));
    fs::create_directory(m_root->path("Librarys"));
    for (const char* name : {"libZTUtil.so", "libZTUIExtend.so", "libZTSoftAlg.so"})
        fs::create_symlink(std::string(ZVIT_TEST_LIBRARY_DIR) + "/" + name, m_root->path("Librarys/") + name);
    SlotManagerInitialize();
    ASSERT_FALSE(startWindow());
    ASSERT_NE(m_window->startupFailureKey(), nullptr);
    EXPECT_STREQ(m_window->startupFailureKey(), "Startup_LibraryMissing");
    EXPECT_EQ(m_window->startupFailureDetail().toStdString(), m_root->path("Librarys/libZTTokenKernel.so"));
    EXPECT_FALSE(fs::exists(m_started)) << "no key service is started for a missing library";
}
