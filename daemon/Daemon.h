#pragma once
// Process-wide state and thread entries of the device monitor daemon.
#include <QString>
#include <cstdint>

#include "common/ZTCommonDef.h"

// Supported key; fixed, not taken from the supported-device table.
#define ZT_USB_VENDOR_ID 0x2EC9
#define ZT_USB_PRODUCT_ID 0x1001

#define ZT_ENUM_INFO_RECORD_LEN 780
#define ZT_MAX_ENUM_DEVICES 10
#define ZT_MAX_ENUM_ATTEMPTS 15
#define ZT_MAX_SLOT_NO 3

extern uint64_t g_dwDevCount;
extern bool g_canAutoShowManager;
extern uint64_t g_dwEnumInfoCount;
extern unsigned char* g_pEnumInfo;
extern char g_szDeviceName[ZT_MAX_ENUM_DEVICES][ZT_PATH_LEN];

// Where hot-plug events go: the daemon starts an enumeration pass; tests may
// observe the events instead.
typedef void (*DeviceEventHandler)(const uint64_t* position);
extern DeviceEventHandler g_pfnDeviceEvent;

// Start-up (main thread).
DWORD InitResource();
void runEnumDevice();

// Signals: receSignal only sets the exit flag and wakes the main thread through
// a pipe; the main thread then logs and stops the hot-plug watch.
void receSignal(int signum);
bool installSignalHandlers();
int signalPipeReadFd();
// Drains the pipe; returns the last signal number read, or 0.
int takePendingSignal();

// USB hot-plug watch.
void* threadLinuxKernelDeviceHotplugEvent(void* unused);
// Starts the watch and waits up to readyTimeoutMs until its callbacks are
// registered; true when it runs.
bool startHotplugWatch(int readyTimeoutMs);
// Wakes the watch so that it sees the exit flag now rather than at libusb's
// next time-out. Safe to call at any time, from any thread but the watch's.
void stopHotplugWatch();
// True while the watch services libusb events (for tests and diagnostics).
bool hotplugWatchRunning();

// Enumeration passes.
void* threadEnumDevice(void* position);
void startEnumDeviceThread(const uint64_t* position);

// Desktop notification and manager launch.
// opensManager: offers a click that opens the manager, where the
// notification server supports actions and a NotificationActions listens.
void sendSystemNotification(const QString& textKey, bool opensManager = false);
// bin/runukey.sh beside the installed manager.
QString managerLaunchScript();

struct LaunchRequest {
    uint64_t position;
    bool autoShow;
};
void* runManagerLauncher(void* request);
void startLauncherThread(const LaunchRequest& request);

// How often and how patiently the launcher retries a manager that does not
// come up: the pause starts at firstPauseMs and doubles up to maxPauseMs.
struct LaunchPolicy {
    int maxStarts;
    int firstPauseMs;
    int maxPauseMs;
};
extern LaunchPolicy g_launchPolicy;
