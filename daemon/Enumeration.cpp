// Enumeration pass: brings the slot registry in line with the plugged keys and
// reports removed and added slots to every registered consumer.
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

#include "registry/Pkcs11SlotManager.h"
#include "Daemon.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"

#define ENUM_LOG(...) ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, __VA_ARGS__)

namespace {

// Overlapping passes (two keys at once, a quick replug) would otherwise race
// on the device name table and the registry.
std::mutex s_passMutex;

// The expected key count follows the events as they come, not the passes: a
// pass queued behind others must see every arrival and removal announced
// before it runs. Counted under the pass lock, it lagged the bus, so each
// queued pass waited out all its attempts, later events queued behind it,
// and the queue (a thread each) grew for as long as keys kept coming.
std::mutex s_countMutex;

void countEvent(uint64_t position)
{
    std::lock_guard<std::mutex> lock(s_countMutex);
    if (position == g_nPostions_add)
        ++g_dwDevCount;
    else if (position == g_nPostions_del && g_dwDevCount > 0)
        --g_dwDevCount;
}

uint64_t expectedCount()
{
    std::lock_guard<std::mutex> lock(s_countMutex);
    return g_dwDevCount;
}

const unsigned kNotifySettleMs = 1000;
const unsigned kAttemptPauseMs = 200;
const size_t kTokenInfoLen = sizeof(TokenInfo64);
const size_t kLabelLen = 256;

void sleepMs(unsigned ms)
{
    usleep(ms * 1000u);
}

bool validSlot(uint64_t slot)
{
    return slot <= ZT_MAX_SLOT_NO;
}

// Step 2: enumerate until the token library agrees with the expected count.
// Returns false when the pass must skip to the change report.
bool enumerateUntilAgreed(uint64_t position, uint64_t& devCount, void** handles)
{
    uint64_t allCount = ZT_MAX_ENUM_DEVICES;
    uint64_t expected = 0;
    DWORD rc = 0;
    const bool add = position == g_nPostions_add;
    for (int attempt = 0; attempt < ZT_MAX_ENUM_ATTEMPTS; ++attempt) {
        sleepMs(kAttemptPauseMs);
        devCount = ZT_MAX_ENUM_DEVICES;
        memset(handles, 0, sizeof(void*) * ZT_MAX_ENUM_DEVICES);
        rc = ZTToken_EnumDeviceWithAllCount(&devCount, handles, &allCount);
        // The handle array holds ten; a larger count must not walk past it.
        if (devCount > ZT_MAX_ENUM_DEVICES)
            devCount = ZT_MAX_ENUM_DEVICES;
        expected = expectedCount();
        ENUM_LOG(add ? "ADD threadEnumDevice()=======%d======= dwRet=%x,g_dwDevCount %d dwDevCount %d dwDevAllCount %d\n\n"
                     : "INIT/DEL threadEnumDevice()=======%d======= dwRet=%x,g_dwDevCount %d dwDevCount %d dwDevAllCount "
                       "%d\n\n",
                 attempt, rc, static_cast<int>(expected), static_cast<int>(devCount), static_cast<int>(allCount));
        if (add) {
            if (rc == 0 && expected == allCount)
                break;
        } else if (expected == allCount || expected == devCount) {
            break;
        }
    }
    if (!add && rc != 0 && expected == allCount) {
        ENUM_LOG("threadEnumDevice()->ZTToken_EnumDevice() failed dwRet=%x", rc);
        return false;
    }
    if (rc != 0)
        devCount = 0;  // a failed call lists nothing we could trust
    return true;
}

// Step 4 for one key; returns the key's result (0 = published) and sets
// published when it was.
DWORD publishKey(int i, void* handle, bool& published)
{
    published = false;
    DWORD rc = ZTToken_OpenDeviceByHandle(handle);
    if (rc != 0) {
        ENUM_LOG("threadEnumDevice()->ZTToken_OpenDeviceByHandle failed  i=%d,dwRet=%x", i, rc);
        return rc;
    }
    char* name = g_szDeviceName[i];
    memset(name, 0, ZT_PATH_LEN);
    uint64_t length = ZT_PATH_LEN;
    rc = ZTToken_GetDeviceAttr(handle, ZTTOKEN_DEVATTR_NAME, name, &length);
    name[ZT_PATH_LEN - 1] = '\0';
    if (rc != 0 || length == 0) {
        ENUM_LOG("DthreadEnumDevice()->CToken_GetDeviceName i=%d,dwRet=%x", i, rc);
        ZTToken_CloseDevice(handle);
        return rc;
    }
    ENUM_LOG("threadEnumDevice()->g_szDeviceName[i]=%s", name);

    unsigned char tokenInfo[kTokenInfoLen] = {};
    length = kTokenInfoLen;
    rc = ZTToken_GetTokenInfo(handle, tokenInfo, &length);
    if (rc != 0) {
        ENUM_LOG("threadEnumDevice()->ZTToken_GetTokenInfo i=%d,dwRet=%x", i, rc);
        ZTToken_CloseDevice(handle);
        return rc;
    }
    uint16_t label[kLabelLen / 2] = {};
    length = kLabelLen;
    rc = ZTToken_GetTokenLabel(handle, label, &length);
    if (rc != 0) {
        ENUM_LOG("threadEnumDevice()->pfn_ZTToken_GetTokenLabel  dwRet=%x", rc);
        ZTToken_CloseDevice(handle);
        return rc;
    }
    uint64_t slot = 0;
    length = sizeof(slot);
    rc = ZTToken_GetDeviceAttr(handle, ZTTOKEN_DEVATTR_SLOT, &slot, &length);
    if (rc == 0 && !validSlot(slot))
        rc = ZT_ERR_INVALID_ARG;  // the registry has four slots; anything else must not reach it
    if (rc != 0) {
        ENUM_LOG("threadEnumDevice()->ZTToken_GetDeviceSlotNO i=%d,dwRet=%x", i, rc);
        ZTToken_CloseDevice(handle);
        return rc;
    }
    rc = SlotManagerAddSlotInfo(static_cast<int>(slot & 0xFFFFFFFFu), name, tokenInfo, handle,
                                reinterpret_cast<const unsigned char*>(label));
    if (rc != 0) {
        ENUM_LOG("threadEnumDevice()->SlotManagerAddSlotInfo i=%d,dwRet=%x", i, rc);
        ZTToken_CloseDevice(handle);
        return rc;
    }
    ZTToken_CloseDevice(handle);
    published = true;
    return 0;
}

// Steps 6 and 7: one change query; returns the number of valid slots reported.
uint64_t reportChanges(uint32_t kind)
{
    const bool removed = kind == ZT_KEY_EVENT_REMOVED;
    uint64_t list[ZT_MAX_ENUM_DEVICES];
    memset(list, 0xFF, sizeof(list));
    uint64_t count = ZT_MAX_ENUM_DEVICES;
    const DWORD rc = ZTToken_GetDeviceChange(kind, list, &count);
    ENUM_LOG(removed ? "DEL~~ ZTToken_GetDeviceChange=%d and dwDevChangeSlotCount = %d"
                     : "ADD~~ ZTToken_GetDeviceChange=%d and dwDevChangeSlotCount = %d",
             rc, static_cast<int>(count));
    if (rc != 0 || count == 0)
        return 0;
    if (count > ZT_MAX_ENUM_DEVICES)
        count = ZT_MAX_ENUM_DEVICES;
    ENUM_LOG(removed ? "DEL dwDevChangeSlotCount=%d" : "ADD dwDevChangeSlotCount=%d", static_cast<int>(count));
    uint64_t valid = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (!validSlot(list[i]))
            continue;
        const int slot = static_cast<int>(list[i]);
        ENUM_LOG("SlotManagerSetSlotChanged() : dwSoltID=%d", slot);
        SlotManagerSetSlotChanged(static_cast<int>(kind), slot);
        if (removed)
            ZTToken_ClearMemInfo(list[i], ZTTOKEN_MEMINFO_CERTS);
        ++valid;
    }
    return valid;
}

// One whole pass after the announcement; returns the number of added slots.
uint64_t runPass(uint64_t position)
{
    std::lock_guard<std::mutex> lock(s_passMutex);
    ENUM_LOG("#############----enter threadEnumDevice *pPostion=%d----############", static_cast<int>(position));

    void* handles[ZT_MAX_ENUM_DEVICES] = {};
    uint64_t devCount = 0;
    int published = 0;
    DWORD lastResult = 0;
    try {
        if (enumerateUntilAgreed(position, devCount, handles)) {
            ENUM_LOG("threadEnumDevice()->ZTToken_EnumDevice() sucessed g_dwDevCount=%d dwDevCount=%d",
                     static_cast<int>(expectedCount()), static_cast<int>(devCount));
            if (devCount == 0) {
                ENUM_LOG("threadEnumDevice()->ZTToken_EnumDevice() dwDevCount == 0 ");
                ZTToken_DestroyEnum();
            } else {
                ENUM_LOG("threadEnumDevice()->for() start-------->%d", static_cast<int>(devCount));
                for (uint64_t i = 0; i < devCount; ++i) {
                    bool ok = false;
                    lastResult = publishKey(static_cast<int>(i), handles[i], ok);
                    published += ok ? 1 : 0;
                }
                ENUM_LOG("threadEnumDevice()->for() end<--------");
                ZTToken_DestroyEnum();
            }
        }
    } catch (...) {
        published = 0;
    }
    reportChanges(ZT_KEY_EVENT_REMOVED);
    const uint64_t added = reportChanges(ZT_KEY_EVENT_ADDED);
    if (published > 0 && lastResult != 0)
        SlotManagerClearSlotInfo();
    ENUM_LOG("#############----leave threadEnumDevice()----############\n\n\n");
    return added;
}

}  // namespace

void* threadEnumDevice(void* arg)
{
    const uint64_t position = *static_cast<const uint64_t*>(arg);
    // The announcement, its pause and the count stay outside the lock: every
    // event is shown and counted at once, even while another pass runs.
    if (position == g_nPostions_add || position == g_nPostions_del) {
        if (position == g_nPostions_add)
            sendSystemNotification("Device_Insert", true);
        else
            sendSystemNotification("Device_Remove");
        sleepMs(kNotifySettleMs);
        countEvent(position);
    }
    if (runPass(position) != 0)
        startLauncherThread(LaunchRequest {g_nPostions_add, g_canAutoShowManager});
    return nullptr;
}

void startEnumDeviceThread(const uint64_t* position)
{
    pthread_t thread;
    if (pthread_create(&thread, nullptr, threadEnumDevice, const_cast<uint64_t*>(position)) == 0)
        pthread_detach(thread);
}
