// The daemon killed at a random moment of an enumeration pass, a hundred
// times, under a running manager: each restarted daemon must publish exactly
// the plugged keys and the manager's tree must follow it without a restart.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "DaemonHarness.h"
#include "QtWait.h"
#include "common/SystemConfig.h"
#include "TestRoot.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "manager/MainWindow.h"
#include "common/global_def_var.h"
#include "ui_MainWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Key {
    std::string serial, label;
    bool plugged = false;
};

std::set<std::string> treeNodes(QTreeWidget* tree)
{
    std::set<std::string> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out.insert(tree->topLevelItem(i)->text(0).toStdString());
    return out;
}

}  // namespace

TEST(DaemonKilled, AHundredKillsMidPassEachRestartPublishesThePluggedKeysAndTheTreeFollows)
{
    DaemonHarness h;
    std::vector<Key> keys(3);
    for (size_t i = 0; i < keys.size(); ++i) {
        keys[i].label = "Kill" + std::to_string(i);
        keys[i].serial = h.createKey(keys[i].label);
    }
    pid_t daemon = h.startDaemon({"-sys"});
    ASSERT_TRUE(h.waitRegistry(15000)) << h.daemonOutput(daemon);
    ASSERT_TRUE(LoadZTUtilLib());
    ASSERT_EQ(initSystemPath(g_szLanguageDirPath, g_szConfigFilePath), 0u);
    ASSERT_EQ(getLanguageFileName(g_szLanguageQmFileName), 0);
    std::unique_ptr<UKeyMainWindow> window(new UKeyMainWindow(nullptr));
    ASSERT_EQ(window->initDialog(), 0);
    QTreeWidget* tree = window->form()->treeWidget;

    const unsigned seed = 18;
    std::mt19937 random(seed);
    const int kKills = 100;
    int registryMatched = 0, treeFollowed = 0;
    std::vector<double> recoveryMs;
    for (int kill = 0; kill < kKills; ++kill) {
        // A change starts a pass; the kill lands anywhere in it (the pass
        // waits about 1.2 s before it publishes).
        Key& key = keys[std::uniform_int_distribution<size_t>(0, keys.size() - 1)(random)];
        if (key.plugged)
            h.unplugKey(key.serial);
        else
            ASSERT_GE(h.plugKey(key.serial), 0);
        key.plugged = !key.plugged;
        waitUntil([] { return false; }, std::uniform_int_distribution<int>(0, 1600)(random));
        const ino_t old = h.registryInode();
        h.killDaemon(daemon);
        const auto restarted = Clock::now();
        daemon = h.startDaemon({"-sys"});
        // Generous: an ASan daemon on a loaded machine may take a while to start.
        ASSERT_TRUE(h.waitRegistryReplaced(old, 30000)) << h.daemonOutput(daemon);

        std::set<std::string> devices, nodes;
        for (const Key& k : keys) {
            if (k.plugged) {
                devices.insert("ZVIT VKey " + k.serial);
                nodes.insert(k.label + "(" + k.serial + ")");
            }
        }
        const bool registryOk = waitUntil([&] { return h.presentDevices() == devices; }, 15000);
        registryMatched += registryOk;
        EXPECT_TRUE(registryOk) << "kill " << kill << ": the restarted daemon published " << h.presentDevices().size()
                                << " of " << devices.size() << " keys\n"
                                << h.daemonOutput(daemon);
        const bool treeOk = waitUntil([&] { return treeNodes(tree) == nodes; }, 15000);
        treeFollowed += treeOk;
        EXPECT_TRUE(treeOk) << "kill " << kill << ": the tree shows " << treeNodes(tree).size() << " of "
                            << nodes.size() << " keys";
        recoveryMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - restarted).count());
        if (!registryOk || !treeOk)
            break;
    }
    std::sort(recoveryMs.begin(), recoveryMs.end());
    printf("daemon kills: seed %u, %d kills, registry matched %d, tree followed %d, "
           "restart to tree median %.0f ms, max %.0f ms\n",
           seed, kKills, registryMatched, treeFollowed, recoveryMs[recoveryMs.size() / 2], recoveryMs.back());
    EXPECT_EQ(kKills, registryMatched);
    EXPECT_EQ(kKills, treeFollowed);

    window.reset();
    FreeZTUIExtendLib();
    FreeZTTokenLib();
    h.killDaemon(daemon);
}
