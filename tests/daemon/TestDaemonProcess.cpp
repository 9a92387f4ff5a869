// The installed daemon as a real program: simulated USB keys, the real slot
// registry, a recording notification service and a recording launch script.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <thread>

#include "DaemonHarness.h"
#include "PollWait.h"
#include "standins/vtoken/MemCertStore.h"
#include "standins/vtoken/Record.h"
#include "standins/vtoken/StoreConfig.h"
#include "TestRoot.h"

using namespace std::chrono_literals;

namespace {

const int kPassMs = 8000;  // one pass with its waits, on a loaded machine

std::string text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

// What a consumer and the PKCS#11 library read for a published key.
void expectPublished(const ZTSlotRegistry* reg, int slot, const std::string& serial, const std::string& label)
{
    ASSERT_NE(nullptr, reg);
    const ZTSlotRecord& rec = reg->slotRecords[slot];
    EXPECT_EQ(static_cast<uint64_t>(slot), rec.slotId);
    EXPECT_EQ(1, rec.present);
    EXPECT_EQ(3u, rec.flags);
    EXPECT_EQ(vtoken::deviceNameFor(serial), text(rec.deviceName, sizeof(rec.deviceName)));
    EXPECT_EQ("The Cryptographic Device", text(rec.slotDescription, sizeof(rec.slotDescription)));
    EXPECT_EQ("Zenvit Co.,Ltd.", text(rec.manufacturerID, sizeof(rec.manufacturerID)));
    EXPECT_EQ(1, rec.hardwareMajor);
    EXPECT_EQ(1, rec.firmwareMajor);
    const TokenInfo64* info = reinterpret_cast<const TokenInfo64*>(rec.tokenInfo);
    EXPECT_EQ(serial, std::string(reinterpret_cast<const char*>(info->serialNumber), serial.size()));
    EXPECT_EQ(label, std::string(reinterpret_cast<const char*>(info->label), label.size()));
    const std::string wide = utf16le(label);
    EXPECT_EQ(wide, std::string(reinterpret_cast<const char*>(rec.label), wide.size()));
}

void expectNotification(const RecordedNotification& n, const char* bodyKey)
{
    EXPECT_EQ("susssasa{sv}i", n.signature);
    EXPECT_EQ("ZEZudo Zavazor", n.appName);
    EXPECT_EQ(DaemonHarness::englishText("MessageBox_Title_Notice"), n.summary);
    EXPECT_EQ(DaemonHarness::englishText(bodyKey), n.body);
    EXPECT_EQ(DaemonHarness::installedRoot() + "Resources/notifyIcon.png", n.imagePath);
    EXPECT_EQ(3000, n.expireTimeout);
}

}  // namespace

TEST(DaemonProcess, KeysPluggedBeforeStartArePublishedReportedAndLaunchTheManager)
{
    DaemonHarness h;
    const std::string a = h.createKey("First Key");
    const std::string b = h.createKey("Second");
    const int slotA = h.plugKey(a, true);
    const int slotB = h.plugKey(b, true);
    h.usb().addQuietly(0x046D, 0xC077);
    ASSERT_GE(slotA, 0);
    ASSERT_GE(slotB, 0);

    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    ASSERT_TRUE(h.startConsumer());
    ASSERT_TRUE(h.waitSlotPresent(slotA, true, kPassMs)) << h.daemonOutput(daemon);
    ASSERT_TRUE(h.waitSlotPresent(slotB, true, kPassMs));
    expectPublished(h.registry(), slotA, a, "First Key");
    expectPublished(h.registry(), slotB, b, "Second");
    EXPECT_EQ(2, h.registry()->slotCount);

    // One change pending per consumer: the first added slot reaches it.
    auto changes = h.waitConsumerChanges(1, 5000);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(2, changes[0].first);
    EXPECT_TRUE(changes[0].second == slotA || changes[0].second == slotB);

    auto launches = h.launches().waitCalls(1, 10000);
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ(std::vector<std::string>({"-sys"}), launches[0].args);
    EXPECT_TRUE(pollUntil([&] { return h.launches().runningManagers() == 1; }, 5000ms));
    // The start-up pass announces nothing on the desktop.
    EXPECT_TRUE(h.bus().notifications().empty());
    EXPECT_TRUE(h.daemonAlive(daemon));
}

TEST(DaemonProcess, InsertionAndRemovalGoThroughRegistryDesktopAndLauncher)
{
    DaemonHarness h;
    const std::string a = h.createKey("Bank Key");
    const std::string b = h.createKey("Spare");
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    ASSERT_TRUE(h.startConsumer());
    std::this_thread::sleep_for(1500ms);  // the start-up pass found nothing
    EXPECT_TRUE(h.consumerChanges().empty());
    EXPECT_TRUE(h.launches().calls().empty());

    const int slotA = h.plugKey(a);
    ASSERT_TRUE(h.waitSlotPresent(slotA, true, kPassMs)) << h.daemonOutput(daemon);
    expectPublished(h.registry(), slotA, a, "Bank Key");
    auto changes = h.waitConsumerChanges(1, 5000);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(std::make_pair(2, slotA), changes[0]);
    auto notes = h.bus().waitNotifications(1, 5000);
    ASSERT_EQ(1u, notes.size());
    expectNotification(notes[0], "Device_Insert");
    auto launches = h.launches().waitCalls(1, 10000);
    ASSERT_EQ(1u, launches.size());
    EXPECT_EQ(std::vector<std::string>({"-sys"}), launches[0].args);
    ASSERT_TRUE(pollUntil([&] { return h.launches().runningManagers() == 1; }, 5000ms));

    // A second key while the manager runs: reported, but no second manager.
    const int slotB = h.plugKey(b);
    ASSERT_TRUE(h.waitSlotPresent(slotB, true, kPassMs));
    changes = h.waitConsumerChanges(2, 5000);
    ASSERT_EQ(2u, changes.size());
    EXPECT_EQ(std::make_pair(2, slotB), changes[1]);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(1u, h.launches().calls().size());
    EXPECT_EQ(1, h.launches().runningManagers());

    h.unplugKey(a);
    ASSERT_TRUE(h.waitSlotPresent(slotA, false, kPassMs));
    changes = h.waitConsumerChanges(3, 5000);
    ASSERT_EQ(3u, changes.size());
    EXPECT_EQ(std::make_pair(3, slotA), changes[2]);
    EXPECT_EQ(2u, h.registry()->slotRecords[slotA].flags);
    expectPublished(h.registry(), slotB, b, "Spare");
    notes = h.bus().waitNotifications(3, 5000);
    ASSERT_EQ(3u, notes.size());
    expectNotification(notes[1], "Device_Insert");
    expectNotification(notes[2], "Device_Remove");
    EXPECT_TRUE(h.daemonAlive(daemon));
}

TEST(DaemonProcess, SecondStartExitsAndLeavesTheFirstRunning)
{
    DaemonHarness h;
    const pid_t first = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(first);
    struct stat before {};
    const std::string segment = "/dev/shm/" + simplifiedCspName(h.cspName()) + "P11X64";
    ASSERT_EQ(0, stat(segment.c_str(), &before));

    const pid_t second = h.startDaemon({"-sys"});
    EXPECT_EQ(1, h.waitDaemonExit(second, 20000)) << "a start that did not happen is no success";
    const std::string said = h.daemonOutput(second);
    EXPECT_NE(std::string::npos, said.find("+DEBUG: main.cpp proess_id(" + std::to_string(first) + ") already exist\n"))
        << said << "\n----\n" << h.daemonOutput(first);
    // Which process was taken for a daemon, so a look-alike can be found.
    EXPECT_NE(std::string::npos, said.find("a key service already runs: pid " + std::to_string(first) + ", user "))
        << said;
    struct stat after {};
    ASSERT_EQ(0, stat(segment.c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino) << "the registry was made again";
    EXPECT_TRUE(h.daemonAlive(first));

    // The first one still serves keys.
    const int slot = h.plugKey(h.createKey("After"));
    EXPECT_TRUE(h.waitSlotPresent(slot, true, kPassMs));
}

TEST(DaemonProcess, TheUsersOwnSettingDecidesHowTheManagerIsLaunched)
{
    DaemonHarness h;  // the installed file says: start it hidden
    const std::string folder = h.userConfigHome() + "/org.zvit.zevudazivud";
    ASSERT_EQ(0, system(("mkdir -p -m 700 '" + folder + "'").c_str()));
    writeFile(folder + "/Config.ini", "[UkeyManage]\nShowZUdeVovavadErudWhenInsertDev=1\n");
    chmod((folder + "/Config.ini").c_str(), 0600);
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    h.plugKey(h.createKey("Shown"));
    auto launches = h.launches().waitCalls(1, kPassMs + 10000);
    ASSERT_EQ(1u, launches.size()) << h.daemonOutput(daemon);
    EXPECT_TRUE(launches[0].args.empty()) << "the user asked for the window";
}

TEST(DaemonProcess, RestartUnderARunningConsumerPublishesAgain)
{
    DaemonHarness::Options options;
    options.autoShow = true;
    DaemonHarness h(options);
    const std::string a = h.createKey("Kept");
    const int slotA = h.plugKey(a, true);
    const pid_t first = h.startDaemon();
    ASSERT_TRUE(h.waitSlotPresent(slotA, true, kPassMs + 10000)) << h.daemonOutput(first);
    ASSERT_TRUE(h.startConsumer());
    // Auto-show: the manager is started with its window.
    auto launches = h.launches().waitCalls(1, 10000);
    ASSERT_EQ(1u, launches.size());
    EXPECT_TRUE(launches[0].args.empty());

    const ino_t oldRegistry = h.registryInode();
    h.killDaemon(first);
    const pid_t second = h.startDaemon();
    ASSERT_TRUE(h.waitRegistryReplaced(oldRegistry, 10000)) << h.daemonOutput(second);
    ASSERT_TRUE(h.waitSlotPresent(slotA, true, kPassMs + 10000)) << h.daemonOutput(second);
    expectPublished(h.registry(), slotA, a, "Kept");
    EXPECT_EQ(1, h.registry()->slotCount);

    // A consumer that joins the new registry follows the next insertion.
    ASSERT_TRUE(h.startConsumer());
    const int slotB = h.plugKey(h.createKey("New"));
    auto changes = h.waitConsumerChanges(1, kPassMs);
    ASSERT_EQ(1u, changes.size());
    EXPECT_EQ(std::make_pair(2, slotB), changes[0]);
    // The manager from before still runs: nothing started twice.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(1u, h.launches().calls().size());
}

TEST(DaemonProcess, CertificatesLeftByAnEarlierRunDoNotShowUnderTheNextKey)
{
    DaemonHarness h;
    // An earlier daemon ended while a key with certificates sat in slot 0;
    // its entries are still in the token library's store.
    const std::string csp = vtoken::simplifyCspName(h.cspName());
    std::unique_ptr<vtoken::MemCertStore> mem;
    ASSERT_EQ(vtoken::Status::Ok, vtoken::MemCertStore::open(csp + "CSPX64", csp + "TKSHMLOCK", &mem));
    const std::vector<uint8_t> stale(600, 0x30);
    for (int slot = 0; slot < vtoken::kMemSlots; ++slot)
        ASSERT_EQ(vtoken::Status::Ok, mem->put(slot, 1, stale.data(), stale.size()));
    ASSERT_EQ(vtoken::Status::Ok, mem->put(0, 4, stale.data(), stale.size()));

    // The next key has no certificate at all.
    const int slot = h.plugKey(h.createKey("Next"), true);
    ASSERT_EQ(0, slot);
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitSlotPresent(slot, true, kPassMs)) << h.daemonOutput(daemon);
    std::vector<uint8_t> der;
    for (int s = 0; s < vtoken::kMemSlots; ++s) {
        for (int index = 1; index <= vtoken::kMemIndices; ++index)
            EXPECT_EQ(vtoken::Status::NoCert, mem->get(s, index, &der)) << "slot " << s << " index " << index;
    }
}

TEST(DaemonProcess, HandledSignalsStopTheWatchButNotTheProcess)
{
    DaemonHarness h;
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    std::this_thread::sleep_for(500ms);
    for (int signum : {SIGINT, SIGQUIT, SIGABRT, 31}) {
        ASSERT_EQ(0, kill(daemon, signum));
        const std::string line = "+DEBUG: main.cpp receSignal(). signum = " + std::to_string(signum) + "\n";
        EXPECT_TRUE(pollUntil([&] { return h.daemonOutput(daemon).find(line) != std::string::npos; }, 5000ms))
            << h.daemonOutput(daemon);
        EXPECT_TRUE(h.daemonAlive(daemon));
    }
    // The watch is over: a key plugged now is neither announced nor published.
    const int slot = h.plugKey(h.createKey("Late"));
    std::this_thread::sleep_for(3000ms);
    EXPECT_TRUE(h.bus().notifications().empty());
    EXPECT_EQ(0, h.registry()->slotRecords[slot].present);
    EXPECT_TRUE(h.daemonAlive(daemon));
}

TEST(DaemonProcess, FailingLaunchScriptIsRetriedWithGrowingPausesWhileKeysKeepWorking)
{
    DaemonHarness h;
    h.launches().setStartsManager(false);
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    const int slotA = h.plugKey(h.createKey("One"));
    auto launches = h.launches().waitCalls(3, kPassMs + 10000);
    ASSERT_GE(launches.size(), 3u);
    EXPECT_GE(launches[1].timeMs - launches[0].timeMs, 900);
    EXPECT_GE(launches[2].timeMs - launches[1].timeMs, 1900);
    EXPECT_TRUE(h.waitSlotPresent(slotA, true, 1000));
    // Meanwhile the daemon still follows the keys.
    const std::string b = h.createKey("Two");
    const int slotB = h.plugKey(b);
    EXPECT_TRUE(h.waitSlotPresent(slotB, true, kPassMs));
    EXPECT_TRUE(h.daemonAlive(daemon));
}

TEST(DaemonProcess, WithoutASessionBusKeysAreStillPublished)
{
    DaemonHarness::Options options;
    options.sessionBus = false;
    DaemonHarness h(options);
    const pid_t daemon = h.startDaemon();
    ASSERT_TRUE(h.waitRegistry(10000)) << h.daemonOutput(daemon);
    const std::string a = h.createKey("No Bus");
    const int slot = h.plugKey(a);
    ASSERT_TRUE(h.waitSlotPresent(slot, true, kPassMs)) << h.daemonOutput(daemon);
    expectPublished(h.registry(), slot, a, "No Bus");
    h.unplugKey(a);
    EXPECT_TRUE(h.waitSlotPresent(slot, false, kPassMs));
    EXPECT_TRUE(h.daemonAlive(daemon));
    EXPECT_TRUE(h.bus().notifications().empty());
}
