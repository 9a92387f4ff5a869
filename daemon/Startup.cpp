// Resource set-up of the daemon: the maker's libraries, the slot registry, the
// supported-device table and settings, then the worker threads.
#include <cstdlib>
#include <pthread.h>

#include "registry/Pkcs11SlotManager.h"
#include "common/SystemConfig.h"
#include "common/UserSettings.h"
#include "Daemon.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "bindings/ZTUIExtend_fundef.h"
#include "bindings/ZTUtil_fundef.h"
#include "common/global_def_var.h"

namespace {

// The table is the token library's business; a count it cannot mean (more
// records than fit a sane allocation) is refused rather than allocated.
const uint64_t kMaxEnumInfoCount = 4096;
// libusb's start takes milliseconds; the bound only keeps a stuck start from
// holding back the keys already plugged.
const int kHotplugReadyMs = 5000;

}  // namespace

DWORD InitResource()
{
    if (!LoadZTUtilLib()) {
        ZTLog::DaemonWriteLog(ZT_LOG_TRACE, "VUVUdoRizari", __LINE__, "LoadZTUtilLib() failed!");
        return ZT_ERR_LOAD_LIBRARY;
    }
    if (!LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON)) {
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__, "LoadZTTokenLib() Failed!");
        return ZT_ERR_LOAD_LIBRARY;
    }
    if (!LoadZTUIExtendLib()) {
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__, "LoadZTUIExtendLib() Failed!");
        return ZT_ERR_LOAD_LIBRARY;
    }
    // The token library's certificate store outlives a daemon that was
    // stopped with keys plugged. The new registry starts with every slot
    // empty, so must the store: else the next key given such a slot would
    // show the old key's certificates beside its own. Done before the
    // registry exists, so no consumer reads the slots in between.
    for (uint64_t slot = 0; slot < ZT_SLOT_COUNT; ++slot)
        ZTToken_ClearMemInfo(slot, ZTTOKEN_MEMINFO_CERTS);
    DWORD rc = SlotManagerInitialize();
    if (rc != 0)
        return rc;

    rc = ZTToken_GetCCIDDeviceInfoFromConfigFile(nullptr, &g_dwEnumInfoCount);
    if (rc != 0)
        return rc;
    if (g_dwEnumInfoCount > kMaxEnumInfoCount)
        return ZT_ERR_NO_MEMORY;
    if (g_dwEnumInfoCount != 0) {
        g_pEnumInfo = static_cast<unsigned char*>(calloc(g_dwEnumInfoCount, ZT_ENUM_INFO_RECORD_LEN));
        if (!g_pEnumInfo)
            return ZT_ERR_NO_MEMORY;
    }
    const uint64_t capacity = g_dwEnumInfoCount;
    rc = ZTToken_GetCCIDDeviceInfoFromConfigFile(g_pEnumInfo, &g_dwEnumInfoCount);
    if (rc != 0)
        return rc;
    // Never believe a count beyond what was allocated.
    if (g_dwEnumInfoCount > capacity)
        g_dwEnumInfoCount = capacity;

    getLanguageFileName(g_szLanguageQmFileName);
    g_canAutoShowManager =
        configUIntSetting("UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", 0) != 0;
    runEnumDevice();

    g_pfnDeviceEvent = startEnumDeviceThread;
    // The first pass starts only once arrivals are heard: a key plugged
    // after that pass has looked but before the callbacks existed would
    // otherwise stay unpublished until some other key came or went.
    if (!startHotplugWatch(kHotplugReadyMs))
        ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__,
                              "hot-plug watch not ready after %d ms; the first pass runs without it", kHotplugReadyMs);
    startEnumDeviceThread(&g_nPostions_init);
    return 0;
}
