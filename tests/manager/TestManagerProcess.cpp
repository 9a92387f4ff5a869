// The installed tarnukey as a process: single instance, "-sys", show and
// hide signals. Uses the build's installed root and its registry names.
#include "registry/Pkcs11SlotManager.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "registry/Pkcs11Mutex.h"
#include "common/ProcessScan.h"
#include "TestRoot.h"
#include "registry/Pkcs11SharedMemory.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

namespace {

class ManagerProcess
{
public:
    ManagerProcess(const QStringList& args, const QString& dataHome,
                   const QString& program = QString::fromUtf8(g_szFilesRoot) + "bin/tarnukey",
                   const QString& workDir = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        if (!workDir.isEmpty())
            m_process.setWorkingDirectory(workDir);
        m_process.start(program, args);
    }
    ~ManagerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Waits until the output holds text after the read position, then moves past it.
    bool waitFor(const QByteArray& text, int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            m_output += m_process.readAll();
            const int at = m_output.indexOf(text, m_seen);
            if (at >= 0) {
                m_seen = at + text.size();
                return true;
            }
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
        }
    }
    bool finished(int timeoutMs, int* code)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return false;
        *code = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        return true;
    }
    const QByteArray& output() { return m_output += m_process.readAll(); }

private:
    QProcess m_process;
    QByteArray m_output;
    int m_seen = 0;
};

class ManagerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dataHome.isValid());
        // A registry of our own: other builds on this machine use the default names.
        m_config = std::string(g_szFilesRoot) + "ConfigFile/Config.ini";
        m_savedConfig = readFile(m_config);
        ASSERT_FALSE(m_savedConfig.empty());
        m_csp = "Manager Process Test " + std::to_string(getpid());
        setIniValue(m_config, "ZTTokenInfo", "CSPName", m_csp);
        ASSERT_TRUE(LoadZTUtilLib());
        // The daemon's part: the registry the manager attaches to.
        ASSERT_EQ(SlotManagerInitialize(), 0u);
    }
    void TearDown() override
    {
        SlotManagerFinalize();
        DestroySharedMemory();
        removeSharedObjectsOf(m_csp);
        if (!m_savedConfig.empty())
            writeFile(m_config, m_savedConfig);
    }
    std::unique_ptr<ManagerProcess> start(const QStringList& args, const QString& program = QString(),
                                          const QString& workDir = QString())
    {
        if (program.isEmpty())
            return std::unique_ptr<ManagerProcess>(new ManagerProcess(args, m_dataHome.path()));
        return std::unique_ptr<ManagerProcess>(new ManagerProcess(args, m_dataHome.path(), program, workDir));
    }
    QTemporaryDir m_dataHome;
    std::string m_config, m_savedConfig, m_csp;
};

bool registered(qint64 pid)
{
    const ZTSlotRegistry* reg = static_cast<const ZTSlotRegistry*>(g_pSharedMemory);
    for (const ZTProcEntry& entry : reg->procs) {
        if (__atomic_load_n(&entry.inUse, __ATOMIC_ACQUIRE) && entry.pid == pid)
            return true;
    }
    return false;
}

const QByteArray kShown = "+DEBUG: main.cpp window shown";
// Offscreen has no tray, so a window put away is minimized, never hidden.
const QByteArray kHidden = "+DEBUG: main.cpp window minimized";

}  // namespace

TEST_F(ManagerProcessTest, SysStartsHiddenAndTheSignalsShowAndHideTheWindow)
{
    auto manager = start({"-d", "-sys", "other"});
    ASSERT_TRUE(manager->waitFor(kHidden)) << manager->output().constData();

    kill(static_cast<pid_t>(manager->pid()), SIGUSR2);
    ASSERT_TRUE(manager->waitFor("+DEBUG: main.cpp receSignal() signum == SIGUSR2"));
    ASSERT_TRUE(manager->waitFor(kShown));

    kill(static_cast<pid_t>(manager->pid()), SIGUSR1);
    ASSERT_TRUE(manager->waitFor("+DEBUG: main.cpp receSignal() signum == SIGUSR1"));
    ASSERT_TRUE(manager->waitFor(kHidden));

    // Caught and otherwise ignored.
    kill(static_cast<pid_t>(manager->pid()), SIGXFSZ);
    ASSERT_TRUE(manager->waitFor("+DEBUG: main.cpp receSignal() SIGXFSZ == signum"));
    kill(static_cast<pid_t>(manager->pid()), SIGWINCH);
    QThread::msleep(300);
    EXPECT_TRUE(manager->running());
}

TEST_F(ManagerProcessTest, LogoutAndHangupEndTheManagerAndFreeItsRegistryEntry)
{
    for (int signum : {SIGTERM, SIGHUP}) {
        auto manager = start({"-sys"});
        ASSERT_TRUE(manager->waitFor(kHidden)) << manager->output().constData();
        ASSERT_TRUE(registered(manager->pid()));
        const qint64 pid = manager->pid();
        kill(static_cast<pid_t>(pid), signum);
        int code = -2;
        ASSERT_TRUE(manager->finished(20000, &code)) << signum;
        EXPECT_EQ(code, 0) << signum << manager->output().constData();
        EXPECT_FALSE(registered(pid)) << signum;
    }
}

TEST_F(ManagerProcessTest, ASecondStartByAnySpellingShowsTheRunningManagerAndExits)
{
    auto first = start({"-sys"});
    ASSERT_TRUE(first->waitFor(kHidden)) << first->output().constData();

    const QString bin = QString::fromUtf8(g_szFilesRoot) + "bin";
    const QString link = m_dataHome.path() + "/manager-link";
    ASSERT_TRUE(QFile::link(bin + "/tarnukey", link));
    const struct {
        QString program, workDir;
    } spellings[] = {{bin + "/tarnukey", {}}, {"./tarnukey", bin}, {bin + "//./tarnukey", {}}, {link, {}}};
    for (const auto& spelling : spellings) {
        auto second = start({"-sys"}, spelling.program, spelling.workDir);
        int code = -2;
        ASSERT_TRUE(second->finished(30000, &code)) << spelling.program.toStdString() << second->output().constData();
        EXPECT_EQ(code, 0);
        EXPECT_EQ(second->output().indexOf(kShown), -1) << spelling.program.toStdString();
        EXPECT_EQ(second->output().indexOf(kHidden), -1) << spelling.program.toStdString();
        ASSERT_TRUE(first->waitFor(kShown)) << spelling.program.toStdString() << first->output().constData();
        kill(static_cast<pid_t>(first->pid()), SIGUSR1);
        ASSERT_TRUE(first->waitFor(kHidden));
    }
    EXPECT_TRUE(first->running());
}

TEST_F(ManagerProcessTest, AnotherUsersManagerNeitherStopsNorHearsOurs)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a manager as another user";
    // The other account's manager, with a home of its own.
    QTemporaryDir otherHome;
    ASSERT_TRUE(otherHome.isValid());
    ASSERT_EQ(0, chown(otherHome.path().toUtf8().constData(), 65534, 65534));
    chmod(m_dataHome.path().toUtf8().constData(), 0755);
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", otherHome.path());
    env.insert("XDG_DATA_HOME", otherHome.path());
    env.insert("XDG_CONFIG_HOME", otherHome.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    env.remove("XDG_RUNTIME_DIR");
    other.setProcessEnvironment(env);
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                     QString::fromUtf8(g_szFilesRoot) + "bin/tarnukey", "-sys"});
    QByteArray otherOutput;
    for (int i = 0; i < 300 && !otherOutput.contains(kHidden) && other.state() != QProcess::NotRunning; ++i) {
        other.waitForReadyRead(100);
        otherOutput += other.readAll();
    }
    // Whether it got as far as its window or not, it runs our program as another user.
    ASSERT_EQ(other.state(), QProcess::Running) << otherOutput.constData();

    auto ours = start({"-sys"});
    ASSERT_TRUE(ours->waitFor(kHidden)) << ours->output().constData();
    QThread::msleep(300);
    otherOutput += other.readAll();
    EXPECT_EQ(otherOutput.indexOf("SIGUSR2"), -1) << "our start must not signal another user's manager";
    other.kill();
    other.waitForFinished(5000);
}

TEST_F(ManagerProcessTest, OnlyTheExactSysOptionStartsHidden)
{
    for (const char* option : {"-SYS", "--sys", "sys"}) {
        auto manager = start({option});
        ASSERT_TRUE(manager->waitFor(kShown)) << option << ": " << manager->output().constData();
    }
}

TEST_F(ManagerProcessTest, WithoutTheRegistryTheManagerStartsTheKeyService)
{
    SlotManagerFinalize();
    DestroySharedMemory();
    removeSharedObjectsOf(m_csp);
    const std::string daemon = std::string(g_szFilesRoot) + "bin/tarndaemon";
    ASSERT_TRUE(processesRunningProgram(daemon, geteuid()).empty()) << "a key service of this tree already runs";
    auto manager = start({"-sys"});
    const bool up = manager->waitFor(kHidden, 30000);
    const std::vector<RunningProcess> daemons = processesRunningProgram(daemon, geteuid());
    for (const RunningProcess& p : daemons)
        kill(p.pid, SIGTERM);
    for (const RunningProcess& p : daemons) {
        for (int i = 0; i < 100 && kill(p.pid, 0) == 0; ++i)
            QThread::msleep(50);
    }
    ASSERT_TRUE(up) << manager->output().constData();
    EXPECT_EQ(daemons.size(), 1u) << "the manager starts the key service it needs";
}
