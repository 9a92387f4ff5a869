// tarnvkey run-daemon: the tool's plug and unplug reach a running daemon
// through the simulated USB bus, exactly as a real key does.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "DaemonHarness.h"
#include "PollWait.h"
#include "TestRoot.h"

using namespace std::chrono_literals;

namespace {

const int kPassMs = 8000;

int tool(DaemonHarness& h, const std::vector<std::string>& args, std::string* out = nullptr)
{
    std::vector<std::string> all = {"--store", h.storeFolder()};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    const int rc = runProgram(ZVIT_TARNVKEY, all, &output);
    if (out)
        *out = output;
    return rc;
}

}  // namespace

TEST(RunDaemon, PlugAndUnplugReachTheDaemonAsARealKeyWould)
{
    DaemonHarness h;
    ASSERT_EQ(0, tool(h, {"create", "EARLY", "--label", "Early", "--pin", "12345678", "--pin-changed"}));
    ASSERT_EQ(0, tool(h, {"create", "LATE", "--label", "Late", "--pin", "12345678", "--pin-changed"}));
    std::string out;
    ASSERT_EQ(0, tool(h, {"plug", "EARLY"}, &out)) << out;

    const pid_t demo = h.startProgram({ZVIT_TARNVKEY, "--store", h.storeFolder(), "run-daemon", "--", "-sys"});
    ASSERT_TRUE(h.waitRegistry(15000)) << h.daemonOutput(demo);
    // The key plugged before the start sits on the bus already: the start-up pass finds it.
    ASSERT_TRUE(h.waitSlotPresent(0, true, kPassMs)) << h.daemonOutput(demo);
    EXPECT_STREQ("ZVIT VKey EARLY", h.registry()->slotRecords[0].deviceName);
    EXPECT_TRUE(h.bus().notifications().empty());

    ASSERT_EQ(0, tool(h, {"plug", "LATE"}, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("plugged in slot 1"));
    ASSERT_TRUE(h.waitSlotPresent(1, true, kPassMs)) << h.daemonOutput(demo);
    EXPECT_STREQ("ZVIT VKey LATE", h.registry()->slotRecords[1].deviceName);
    auto notes = h.bus().waitNotifications(1, 5000);
    ASSERT_EQ(1u, notes.size());
    EXPECT_EQ(DaemonHarness::englishText("Device_Insert"), notes[0].body);

    ASSERT_EQ(0, tool(h, {"unplug", "LATE"}, &out)) << out;
    ASSERT_TRUE(h.waitSlotPresent(1, false, kPassMs));
    EXPECT_EQ(1, h.registry()->slotRecords[0].present);
    notes = h.bus().waitNotifications(2, 5000);
    ASSERT_EQ(2u, notes.size());
    EXPECT_EQ(DaemonHarness::englishText("Device_Remove"), notes[1].body);

    // A second run-daemon on the same store is refused; the first goes on.
    std::string second;
    EXPECT_EQ(1, tool(h, {"run-daemon"}, &second));
    EXPECT_NE(std::string::npos, second.find("another run-daemon already serves this store")) << second;

    // Ending the demo ends its daemon and removes the socket.
    ASSERT_EQ(0, kill(demo, SIGTERM));
    EXPECT_EQ(0, h.waitDaemonExit(demo, 15000)) << h.daemonOutput(demo);
    EXPECT_NE(0, access((h.storeFolder() + "/run-daemon.sock").c_str(), F_OK));
    EXPECT_TRUE(pollUntil([&] { return !h.daemonAlive(demo); }, 1000ms));
}

TEST(RunDaemon, WithoutRunDaemonPlugAndUnplugOnlyUpdateTheStore)
{
    DaemonHarness h;
    ASSERT_EQ(0, tool(h, {"create", "ALONE", "--label", "Alone", "--pin", "12345678"}));
    // A socket left behind by a run-daemon that died answers nobody.
    const std::string stale = h.storeFolder() + "/run-daemon.sock";
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof(address.sun_path), "%s", stale.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    close(fd);

    std::string out;
    EXPECT_EQ(0, tool(h, {"plug", "ALONE"}, &out)) << out;
    EXPECT_NE(std::string::npos, out.find("plugged in slot 0"));
    EXPECT_EQ(0, tool(h, {"list"}, &out));
    EXPECT_NE(std::string::npos, out.find("ALONE")) << out;
    EXPECT_EQ(0, tool(h, {"unplug", "ALONE"}, &out)) << out;
    EXPECT_EQ(0, h.usb().deviceCount());
}
