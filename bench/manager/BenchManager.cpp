// Our own overhead between a registry change and the certificate nodes on
// screen (the watch thread's poll and the pass's 500 ms pause left out), the
// start-up time of the installed program and its idle memory.
#include "registry/Pkcs11SlotManager.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "tests/support/ChildProcess.h"
#include "manager/DeviceModel.h"
#include "manager/WindowGlobals.h"
#include "manager/DeviceWatch.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "common/SystemConfig.h"
#include "tests/support/TestRoot.h"
#include "bindings/ZTUtil_fundef.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace {

// The tool's output is kept out of the benchmark's own standard output.
bool vkey(const std::string& store, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--store", store});
    std::string output;
    if (runProgram(ZVIT_BENCH_BINARY_DIR "/bin/tarnvkey", args, &output) == 0)
        return true;
    fprintf(stderr, "tarnvkey %s failed: %s\n", args[2].c_str(), output.c_str());
    return false;
}

std::string cert(const char* name)
{
    return std::string(ZVIT_BENCH_CERT_DIR) + "/" + name + ".der";
}

bool publishKeyWithFourCertificates(TestRoot& root)
{
    const std::string store = root.path("vtoken");
    if (!vkey(store, {"create", "BENCH01", "--label", "Bench", "--pin", "12345678", "--pin-changed"}))
        return false;
    const char* certs[4][4] = {{"rsa2048", "c1", "rsa", "exch"},
                               {"rsa1024", "c1", "rsa", "sign"},
                               {"sm2", "c2", "sm2", "sign"},
                               {"dn-cn-middle", "c3", "rsa", "sign"}};
    for (auto& c : certs)
        if (!vkey(store, {"import", "BENCH01", cert(c[0]), "--container", c[1], "--type", c[2], "--usage", c[3]}))
            return false;
    if (!vkey(store, {"plug", "BENCH01"}))
        return false;
    TokenInfo64 info;
    memset(&info, 0, sizeof(info));
    memcpy(info.serialNumber, "BENCH01", 7);
    unsigned char label[ZT_LABEL_LEN] = {'B', 0, 'e', 0, 'n', 0, 'c', 0, 'h', 0};
    return SlotManagerAddSlotInfo(0, "ZVIT VKey BENCH01", reinterpret_cast<unsigned char*>(&info), nullptr, label) == 0;
}

void BM_ChangeToCertificateNodes(benchmark::State& state)
{
    TestRoot root;
    setIniValue(root.configPath(), "VirtualToken", "StorePath", "vtoken");
    setIniValue(root.configPath(), "UkeyManage", "OpenWebPageAtStartup", "0");
    if (!LoadZTUtilLib() || initSystemPath(g_szLanguageDirPath, g_szConfigFilePath) != 0 ||
        getLanguageFileName(g_szLanguageQmFileName) != 0 || SlotManagerInitialize() != 0 ||
        !publishKeyWithFourCertificates(root)) {
        state.SkipWithError("cannot set up the installation");
        return;
    }
    QFile::copy(ZVIT_BENCH_BINARY_DIR "/Languages/1033.qm", QString::fromStdString(root.path("Languages/2052.qm")));
    std::unique_ptr<UKeyMainWindow> window(new UKeyMainWindow(nullptr));
    // Connected before the start-up pass can emit; queued behind the
    // window's own slot, so it counts passes whose nodes are on screen.
    int passesShown = 0;
    QObject::connect(window->devices(), &DeviceModel::certificatesRead, window.get(), [&] { ++passesShown; });
    if (window->initDialog() != 0) {
        state.SkipWithError("initDialog failed");
        return;
    }
    QTreeWidget* tree = window->form()->treeWidget;
    auto waitForPass = [&](int target) {
        QElapsedTimer timer;
        timer.start();
        while (passesShown < target && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return passesShown >= target;
    };
    bool ok = waitForPass(1);  // the start-up pass
    for (auto _ : state) {
        const int target = passesShown + 1;
        // An INIT pass is what an ADD pass runs after its prescribed pause.
        window->runThreadUpdateUI(1);
        ok = ok && waitForPass(target);
        if (!ok || tree->topLevelItemCount() != 1 || tree->topLevelItem(0)->childCount() != 4) {
            state.SkipWithError("the tree does not show the key's four certificates");
            break;
        }
    }
    window.reset();
    DetachFromSharedMemory();
    DestroyWinProcLock();
    DestroySharedMemory();
}
BENCHMARK(BM_ChangeToCertificateNodes)->Unit(benchmark::kMillisecond)->UseRealTime();

long residentKb(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Needs the installed tree of the build (cmake --install).
void BM_StartupToWindowShown(benchmark::State& state)
{
    const QString program = QString::fromUtf8(g_szFilesRoot) + "bin/tarnukey";
    QTemporaryDir dataHome;
    // A CSPName of our own for the run: the default names may be those of a
    // real installation on this machine.
    const std::string config = std::string(g_szFilesRoot) + "ConfigFile/Config.ini";
    const std::string savedConfig = readFile(config);
    const std::string csp = "Manager Bench " + std::to_string(getpid());
    if (!savedConfig.empty())
        setIniValue(config, "ZTTokenInfo", "CSPName", csp);
    auto restore = [&] {
        SlotManagerFinalize();
        DestroySharedMemory();
        removeSharedObjectsOf(csp);
        if (!savedConfig.empty())
            writeFile(config, savedConfig);
    };
    if (savedConfig.empty() || !QFile::exists(program) || !LoadZTUtilLib() || SlotManagerInitialize() != 0) {
        restore();
        state.SkipWithError("installed tarnukey or registry missing");
        return;
    }
    long rss = -1;
    for (auto _ : state) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(program, QStringList());
        QByteArray output;
        while (!output.contains("+DEBUG: main.cpp window shown") && timer.elapsed() < 30000) {
            process.waitForReadyRead(20);
            output += process.readAllStandardOutput();
        }
        state.SetIterationTime(timer.elapsed() / 1000.0);
        state.PauseTiming();
        QThread::msleep(2000);  // idle: the first pass is long over
        rss = residentKb(process.processId());
        process.kill();
        process.waitForFinished(5000);
        state.ResumeTiming();
    }
    state.counters["idle_rss_kB"] = static_cast<double>(rss);
    restore();
}
BENCHMARK(BM_StartupToWindowShown)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
