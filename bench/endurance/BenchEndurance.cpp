// Weeks of use in one run: the installed daemon on a simulated USB bus, the
// manager's window (offscreen, in this process) with its web page bridge and
// one page connected to it. Each cycle plugs or pulls one to four of four
// virtual keys in random order with random pauses, then waits until the slot
// registry, the manager's tree and the bridge's CheckToken all show exactly
// the plugged keys. Reports missed and ghost keys, the growth of resident
// memory and open descriptors of daemon and manager, and the cycle times.
//
//   bench_endurance [--cycles N] [--seed S]
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/daemon/support/DaemonHarness.h"
#include "tests/bridge/PageClient.h"
#include "standins/vtoken/Store.h"
#include "common/SystemConfig.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "bridge/ZTWebSocketServer.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
const int kKeys = 4;
// Longest a cycle may take to settle before what is missing counts as missed:
// the daemon's pass (about 1.2 s), the manager's poll (1 s) and its pass.
const int kSettleMs = 30000;

// The figures go to a copy of the original standard output; the process's
// own standard output (the manager's diagnostics) goes to a file.
FILE* g_results = stdout;

void result(const char* name, double value, const char* unit, const std::string& note = std::string())
{
    fprintf(g_results, "RESULT %s %.1f %s%s%s\n", name, value, unit, note.empty() ? "" : " ", note.c_str());
    fflush(g_results);
}

long statusKb(pid_t pid, const char* field)
{
    return procField("/proc/" + std::to_string(pid) + "/status", field);
}

int openDescriptors(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return -1;
    int n = 0;
    while (dirent* entry = readdir(dir))
        n += entry->d_name[0] != '.';
    closedir(dir);
    return n - 1;  // the directory's own descriptor
}

struct Sample {
    long daemonKb = 0, managerKb = 0;
    int daemonFds = 0, managerFds = 0;
};

Sample sample(pid_t daemon)
{
    Sample s;
    s.daemonKb = statusKb(daemon, "VmRSS:");
    s.managerKb = statusKb(getpid(), "VmRSS:");
    s.daemonFds = openDescriptors(daemon);
    s.managerFds = openDescriptors(getpid());
    return s;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t i = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

// Sleeps in the event loop rather than spinning, so the daemon is not short
// of a core.
void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Key {
    std::string serial, label;
    bool plugged = false;
};

class Run
{
public:
    Run(QTreeWidget* tree, PageClient& page) : m_tree(tree), m_page(page) {}

    std::set<std::string> treeKeys()
    {
        std::set<std::string> out;
        for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
            out.insert(m_tree->topLevelItem(i)->text(0).toStdString());
        return out;
    }
    int bridgeCount()
    {
        const QString reply = m_page.request("CheckToken");
        bool ok = false;
        const int n = reply.section("&&", 1).toInt(&ok);
        return ok ? n : 0;
    }

    QTreeWidget* m_tree;
    PageClient& m_page;
};

}  // namespace

int main(int argc, char** argv)
{
    int cycles = 1000;
    unsigned seed = 18;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!strcmp(argv[i], "--cycles"))
            cycles = std::max(1, atoi(argv[++i]));
        else if (!strcmp(argv[i], "--seed"))
            seed = static_cast<unsigned>(strtoul(argv[++i], nullptr, 10));
    }
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    try {
        DaemonHarness h;
        // Keep the figures apart from whatever the manager prints.
        const int resultsFd = dup(STDOUT_FILENO);
        g_results = fdopen(resultsFd, "w");
        fflush(stdout);
        const std::string managerOut = h.workDir() + "/manager.out";
        if (!freopen(managerOut.c_str(), "w", stdout))
            return 1;
        fprintf(g_results, "endurance: %d cycles, seed %u\n", cycles, seed);
        fflush(g_results);

        std::vector<Key> keys(kKeys);
        const std::vector<uint8_t> der = [] {
            std::ifstream in(ZVIT_BENCH_CERT_DIR "/rsa2048.der", std::ios::binary);
            return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
        }();
        for (int i = 0; i < kKeys; ++i) {
            keys[i].label = "Endure" + std::to_string(i);
            keys[i].serial = h.createKey(keys[i].label);
            // One certificate each, so every pass reads certificates too.
            vtoken::Store(h.storeFolder()).update(keys[i].serial, [&](vtoken::KeyRecord& record) {
                vtoken::Container c;
                c.name = "c1";
                c.signatureCert = der;
                record.containers.push_back(c);
                return der.empty() ? vtoken::Status::BadCert : vtoken::Status::Ok;
            });
        }
        const pid_t daemon = h.startDaemon({"-sys"});
        if (!h.waitRegistry(15000)) {
            fprintf(stderr, "the daemon published no registry:\n%s\n", h.daemonOutput(daemon).c_str());
            return 1;
        }
        if (!LoadZTUtilLib() || initSystemPath(g_szLanguageDirPath, g_szConfigFilePath) != 0 ||
            getLanguageFileName(g_szLanguageQmFileName) != 0) {
            fprintf(stderr, "the installation cannot be read\n");
            return 1;
        }
        std::unique_ptr<UKeyMainWindow> window(new UKeyMainWindow(nullptr));
        if (window->initDialog() != 0) {
            fprintf(stderr, "the manager's window did not start\n");
            return 1;
        }
        const quint16 port = freePortRange();
        std::unique_ptr<ZTWebSocketServer> bridge(new ZTWebSocketServer(port, nullptr));
        PageClient page;
        if (port == 0 || !page.open(bridge->serverPort()) || page.request("Initialize") != "Initialize&&") {
            fprintf(stderr, "the page cannot reach the bridge\n");
            return 1;
        }
        Run run(window->form()->treeWidget, page);

        std::mt19937 random(seed);
        std::vector<double> cycleMs;
        int missed = 0, ghosts = 0;
        const int baselineCycle = cycles >= 200 ? 100 : std::max(1, cycles / 2);
        Sample baseline = sample(daemon);
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            std::vector<int> order = {0, 1, 2, 3};
            std::shuffle(order.begin(), order.end(), random);
            order.resize(std::uniform_int_distribution<size_t>(1, kKeys)(random));
            const auto started = Clock::now();
            for (size_t n = 0; n < order.size(); ++n) {
                Key& key = keys[order[n]];
                if (key.plugged)
                    h.unplugKey(key.serial);
                else if (h.plugKey(key.serial) < 0)
                    fprintf(stderr, "cycle %d: the store refused to plug %s\n", cycle, key.serial.c_str());
                key.plugged = !key.plugged;
                if (n + 1 < order.size())
                    runEvents(std::uniform_int_distribution<int>(0, 400)(random));
            }
            std::set<std::string> devices, nodes;
            for (const Key& key : keys) {
                if (key.plugged) {
                    devices.insert("ZVIT VKey " + key.serial);
                    nodes.insert(key.label + "(" + key.serial + ")");
                }
            }
            const auto deadline = started + std::chrono::milliseconds(kSettleMs);
            bool agreed = false;
            int bridgeSaw = -1;
            while (!agreed && Clock::now() < deadline) {
                runEvents(20);
                if (h.presentDevices() == devices && run.treeKeys() == nodes) {
                    bridgeSaw = run.bridgeCount();
                    agreed = bridgeSaw == static_cast<int>(devices.size());
                }
            }
            cycleMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
            if (!agreed) {
                const std::set<std::string> inRegistry = h.presentDevices(), inTree = run.treeKeys();
                const int inBridge = run.bridgeCount();
                int cycleMissed = 0, cycleGhosts = 0;
                for (const std::string& d : devices)
                    cycleMissed += !inRegistry.count(d);
                for (const std::string& d : inRegistry)
                    cycleGhosts += !devices.count(d);
                for (const std::string& n : nodes)
                    cycleMissed += !inTree.count(n);
                for (const std::string& n : inTree)
                    cycleGhosts += !nodes.count(n);
                const int want = static_cast<int>(devices.size());
                cycleMissed += std::max(0, want - inBridge);
                cycleGhosts += std::max(0, inBridge - want);
                missed += cycleMissed;
                ghosts += cycleGhosts;
                fprintf(stderr, "cycle %d: %zu keys plugged; registry %zu, tree %zu, bridge %d: %d missed, %d ghost\n",
                        cycle, devices.size(), inRegistry.size(), inTree.size(), inBridge, cycleMissed, cycleGhosts);
            }
            if (cycle == baselineCycle)
                baseline = sample(daemon);
            if (cycle % 50 == 0) {
                // Memory and descriptors too, so that a run cut short still tells.
                const Sample now = sample(daemon);
                fprintf(g_results,
                        "endurance: cycle %d, median %.0f ms, %d missed, %d ghost; daemon %ld KiB %d fds, "
                        "manager %ld KiB %d fds\n",
                        cycle, percentile(cycleMs, 0.5), missed, ghosts, now.daemonKb, now.daemonFds, now.managerKb,
                        now.managerFds);
                fflush(g_results);
            }
        }
        // The last pass's threads are done with their memory.
        runEvents(1500);
        const Sample end = sample(daemon);
        const std::string span = "(cycle " + std::to_string(baselineCycle) + " to " + std::to_string(cycles) + ")";
        result("endurance_seed", seed, "seed");
        result("endurance_cycles", cycles, "cycles");
        result("endurance_missed_keys", missed, "keys", "target 0");
        result("endurance_ghost_keys", ghosts, "keys", "target 0");
        result("endurance_daemon_rss_growth", static_cast<double>(end.daemonKb - baseline.daemonKb), "KiB",
               "target <1024 KiB " + span);
        result("endurance_manager_rss_growth", static_cast<double>(end.managerKb - baseline.managerKb), "KiB",
               "target <1024 KiB " + span);
        result("endurance_daemon_fd_growth", end.daemonFds - baseline.daemonFds, "fds", "target 0 " + span);
        result("endurance_manager_fd_growth", end.managerFds - baseline.managerFds, "fds", "target 0 " + span);
        result("endurance_cycle_median", percentile(cycleMs, 0.5), "ms");
        result("endurance_cycle_p99", percentile(cycleMs, 0.99), "ms");

        page.socket().close();
        bridge.reset();
        window.reset();
        FreeZTUIExtendLib();
        FreeZTTokenLib();
        h.killDaemon(daemon);
        return missed == 0 && ghosts == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        fprintf(stderr, "bench_endurance: %s\n", e.what());
        return 1;
    }
}
