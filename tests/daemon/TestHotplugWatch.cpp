// The hot-plug watch on a simulated USB bus: real libusb, real uevents.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

#include "PollWait.h"
#include "TestRoot.h"
#include "standins/usbsim/UsbTestbed.h"
#include "daemon/Daemon.h"
#include "daemon/StopFlag.h"

using namespace std::chrono_literals;

namespace {

std::mutex s_mutex;
std::condition_variable s_cv;
std::vector<uint64_t> s_events;

void recordEvent(const uint64_t* position)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_events.push_back(*position);
    s_cv.notify_all();
}

// Waits until at least count events arrived (or the time-out) and returns them.
std::vector<uint64_t> waitEvents(size_t count, std::chrono::milliseconds timeout = 5000ms)
{
    std::unique_lock<std::mutex> lock(s_mutex);
    s_cv.wait_for(lock, timeout, [&] { return s_events.size() >= count; });
    return s_events;
}

class HotplugWatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_nThreadExit = 0;
        g_dwDevCount = 0;
        g_pfnDeviceEvent = recordEvent;
        std::lock_guard<std::mutex> lock(s_mutex);
        s_events.clear();
    }
    void TearDown() override
    {
        stopWatch();
        g_pfnDeviceEvent = nullptr;
    }
    void startWatch()
    {
        pthread_t thread;
        ASSERT_EQ(0, pthread_create(&thread, nullptr, threadLinuxKernelDeviceHotplugEvent, nullptr));
        ASSERT_TRUE(pollUntil(hotplugWatchRunning, 5000ms));
    }
    void stopWatch()
    {
        g_nThreadExit = 1;
        stopHotplugWatch();
        pollUntil([] { return !hotplugWatchRunning(); }, 5000ms);
    }

    TestRoot m_root;
    UsbTestbed m_bus;
};

}  // namespace

TEST_F(HotplugWatch, SupportedKeyGivesOneAddThenOneDel)
{
    startWatch();
    const int id = m_bus.plug();
    ASSERT_NE(0, id);
    EXPECT_EQ(std::vector<uint64_t>({g_nPostions_add}), waitEvents(1));
    ASSERT_TRUE(m_bus.unplug(id));
    EXPECT_EQ(std::vector<uint64_t>({g_nPostions_add, g_nPostions_del}), waitEvents(2));
    // Nothing doubled or late.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(2u, waitEvents(2, 0ms).size());
}

TEST_F(HotplugWatch, AKeyPluggedAsSoonAsTheStartReturnsIsHeard)
{
    // The daemon's first pass runs right after this start; a key plugged
    // then must reach a callback, or it would stay unpublished.
    ASSERT_TRUE(startHotplugWatch(5000));
    const int id = m_bus.plug();
    ASSERT_NE(0, id);
    EXPECT_EQ(std::vector<uint64_t>({g_nPostions_add}), waitEvents(1));
    m_bus.unplug(id);
}

TEST_F(HotplugWatch, ForeignDevicesAndPrepluggedKeysReachNoCallback)
{
    m_bus.addQuietly();
    startWatch();
    const int otherVendor = m_bus.plug(0x1234, 0x1001);
    const int otherProduct = m_bus.plug(0x2EC9, 0x1002);
    ASSERT_NE(0, otherVendor);
    ASSERT_NE(0, otherProduct);
    m_bus.unplug(otherVendor);
    // A supported key after them proves the foreign events were processed first.
    const int key = m_bus.plug();
    EXPECT_EQ(std::vector<uint64_t>({g_nPostions_add}), waitEvents(1));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(1u, waitEvents(1, 0ms).size());
    m_bus.unplug(key);
}

TEST_F(HotplugWatch, StartupCountSeesOnlySupportedKeys)
{
    m_bus.addQuietly();
    m_bus.addQuietly(0x2EC9, 0x1002);
    m_bus.addQuietly(0x046D, 0xC077);
    m_bus.addQuietly();
    runEnumDevice();
    EXPECT_EQ(2u, g_dwDevCount);
}

TEST_F(HotplugWatch, StopEndsTheWatchPromptlyAndLaterKeysAreIgnored)
{
    startWatch();
    const auto before = std::chrono::steady_clock::now();
    g_nThreadExit = 1;
    stopHotplugWatch();
    // Without the wake-up the watch would sit in libusb until its own time-out.
    EXPECT_TRUE(pollUntil([] { return !hotplugWatchRunning(); }, 2000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2000ms);
    m_bus.plug();
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(waitEvents(1, 0ms).empty());
}

TEST_F(HotplugWatch, KeysPluggedHundredsOfTimesAreAllHeard)
{
    // libusb reads a device's address as one byte: the bus must reuse
    // addresses as a hub does, or every plug after the 255th is lost.
    startWatch();
    const int kept = m_bus.plug();
    ASSERT_NE(0, kept);
    const int plugs = 300;
    for (int n = 1; n <= plugs; ++n) {
        const int id = m_bus.plug();
        ASSERT_NE(0, id) << "plug " << n;
        ASSERT_EQ(2u * n, waitEvents(2 * n).size()) << "plug " << n << " was not heard";
        ASSERT_TRUE(m_bus.unplug(id));
        ASSERT_EQ(2u * n + 1, waitEvents(2 * n + 1).size()) << "removal " << n << " was not heard";
    }
    // The key plugged all along kept its address: its removal is heard too.
    m_bus.unplug(kept);
    EXPECT_EQ(g_nPostions_del, waitEvents(2 * plugs + 2).back());
}
