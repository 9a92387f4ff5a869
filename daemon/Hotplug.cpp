// USB hot-plug watch: one thread services libusb's events until the exit flag
// is set and turns every arrival or departure of the supported key into an
// enumeration pass.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <libusb.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

#include "Daemon.h"
#include "StopFlag.h"
#include "common/ZTLog.h"

namespace {

// Guards the default context between the watch (which exits it) and
// stopHotplugWatch (which interrupts it from the main thread).
std::mutex s_watchMutex;
bool s_watchRunning = false;
// Set once the watch has its callbacks registered or has given up.
bool s_watchSettled = false;
std::condition_variable s_watchSettledChanged;

void settleWatch(bool running)
{
    std::lock_guard<std::mutex> lock(s_watchMutex);
    s_watchRunning = running;
    s_watchSettled = true;
    s_watchSettledChanged.notify_all();
}

bool isSupportedKey(libusb_device* device)
{
    libusb_device_descriptor desc {};
    if (libusb_get_device_descriptor(device, &desc) != 0) {
        fprintf(stderr, "Error getting device descriptor\n");
        return false;
    }
    return desc.idVendor == ZT_USB_VENDOR_ID && desc.idProduct == ZT_USB_PRODUCT_ID;
}

void dispatch(const uint64_t* position)
{
    // A watch that was told to stop reports nothing more, even for an event
    // that libusb had already queued.
    if (g_nThreadExit)
        return;
    DeviceEventHandler handler = g_pfnDeviceEvent;
    if (handler)
        handler(position);
}

}  // namespace

int hotplug_callback(libusb_context*, libusb_device* device, libusb_hotplug_event, void*)
{
    if (isSupportedKey(device)) {
        ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "---------runThreadEnumDevice(ADD)");
        dispatch(&g_nPostions_add);
    }
    return 0;
}

int hotplug_callback_detach(libusb_context*, libusb_device* device, libusb_hotplug_event, void*)
{
    if (isSupportedKey(device)) {
        ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "---------runThreadEnumDevice(DEL)");
        dispatch(&g_nPostions_del);
    }
    return 0;
}

void* threadLinuxKernelDeviceHotplugEvent(void*)
{
    pthread_detach(pthread_self());
    int rc = libusb_init(nullptr);
    if (rc < 0) {
        printf("failed to initialise libusb: %s\n", libusb_error_name(rc));
        fflush(stdout);
        settleWatch(false);
        return nullptr;
    }
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        printf("Hotplug capabilites are not supported on this platform\n");
        fflush(stdout);
        libusb_exit(nullptr);
        settleWatch(false);
        return nullptr;
    }
    libusb_hotplug_callback_handle handles[2];
    if (libusb_hotplug_register_callback(nullptr, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_NO_FLAGS,
                                         ZT_USB_VENDOR_ID, ZT_USB_PRODUCT_ID, LIBUSB_HOTPLUG_MATCH_ANY,
                                         hotplug_callback, nullptr, &handles[0]) != LIBUSB_SUCCESS) {
        fprintf(stderr, "Error registering callback 0\n");
        settleWatch(false);
        return nullptr;
    }
    if (libusb_hotplug_register_callback(nullptr, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, LIBUSB_HOTPLUG_NO_FLAGS,
                                         ZT_USB_VENDOR_ID, ZT_USB_PRODUCT_ID, LIBUSB_HOTPLUG_MATCH_ANY,
                                         hotplug_callback_detach, nullptr, &handles[1]) != LIBUSB_SUCCESS) {
        fprintf(stderr, "Error registering callback 1\n");
        settleWatch(false);
        return nullptr;
    }
    settleWatch(true);
    rc = 0;
    while (!g_nThreadExit) {
        rc = libusb_handle_events(nullptr);
        if (rc < 0) {
            printf("libusb_handle_events() failed: %s\n", libusb_error_name(rc));
            fflush(stdout);
            // A failure that repeats must not turn the watch into a busy loop.
            usleep(100 * 1000);
        }
    }
    std::lock_guard<std::mutex> lock(s_watchMutex);
    s_watchRunning = false;
    if (rc >= 0)
        libusb_exit(nullptr);
    return nullptr;
}

bool startHotplugWatch(int readyTimeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(s_watchMutex);
        s_watchSettled = false;
    }
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadLinuxKernelDeviceHotplugEvent, nullptr) != 0)
        return false;
    std::unique_lock<std::mutex> lock(s_watchMutex);
    s_watchSettledChanged.wait_for(lock, std::chrono::milliseconds(readyTimeoutMs), [] { return s_watchSettled; });
    return s_watchRunning;
}

void stopHotplugWatch()
{
    std::lock_guard<std::mutex> lock(s_watchMutex);
    if (s_watchRunning)
        libusb_interrupt_event_handler(nullptr);
}

bool hotplugWatchRunning()
{
    std::lock_guard<std::mutex> lock(s_watchMutex);
    return s_watchRunning;
}
