#include "DeviceWatch.h"

#include <atomic>
#include <pthread.h>

#include "DeviceModel.h"
#include "common/PlatformApi.h"
#include "common/ZTLog.h"
#include "registry/Pkcs11SlotManager.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

namespace {

pthread_t g_watchThread;
pthread_t g_followThread;
bool g_watchStarted = false;
// Set when the window goes; the watch threads and the registry's wait read it.
std::atomic<bool> g_watchStop{false};

bool watchStopRequested()
{
    return g_watchStop.load();
}

}  // namespace

void* threadWaitForSlotChangedNew(void* raw)
{
    DeviceModel* model = static_cast<DeviceModel*>(raw);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "~~~~~     ~~~~~g_nThreadExit %d\n", watchStopRequested() ? 1 : 0);
    while (!watchStopRequested()) {
        int changeType = 0;
        int slot = 0;
        DWORD ret = SlotManagerGetSlotChanged(&changeType, &slot, watchStopRequested);
        if (watchStopRequested())
            break;
        if (ret != 0) {
            // A registry that cannot be read now is tried again, not spun on.
            Sleep(1000);
            continue;
        }
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                        "SlotManagerGetSlotChanged~~~~~      ~~~~~~runThreadUpdateUI\n");
        const bool oneKey = changeType == ZT_KEY_EVENT_ADDED || changeType == ZT_KEY_EVENT_REMOVED;
        model->startUpdatePass(oneKey ? static_cast<ZTKeyEvent>(changeType) : ZT_KEY_EVENT_INIT);
    }
    return nullptr;
}

// A restarted daemon makes its registry anew under the same name, and the
// change wait above would go on listening to the old one. Once a second this
// looks whether the name moved and, if so, joins the new registry and reads
// every slot again, so the window follows the new daemon without a restart.
void* threadFollowRegistry(void* raw)
{
    DeviceModel* model = static_cast<DeviceModel*>(raw);
    DWORD lastError = 0;
    while (!watchStopRequested()) {
        for (int i = 0; i < 10 && !watchStopRequested(); ++i)
            Sleep(100);
        if (watchStopRequested())
            break;
        BOOL16 rejoined = FALSE;
        const DWORD ret = SlotManagerRejoinRegistry(&rejoined);
        // A half-made registry fails for a moment; say so once, not each second.
        if (ret != 0 && ret != lastError)
            ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "SlotManagerRejoinRegistry failed, dwRet = 0x%x",
                            static_cast<unsigned>(ret));
        lastError = ret;
        if (rejoined) {
            ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "registry rejoined, runThreadUpdateUI(INIT)");
            model->startUpdatePass(ZT_KEY_EVENT_INIT);
        }
    }
    return nullptr;
}

bool startWatchThread(DeviceModel* model)
{
    if (g_watchStarted)
        return false;
    g_watchStop = false;
    if (pthread_create(&g_watchThread, nullptr, threadWaitForSlotChangedNew, model) != 0)
        return false;
    if (pthread_create(&g_followThread, nullptr, threadFollowRegistry, model) != 0) {
        g_watchStop = true;
        pthread_join(g_watchThread, nullptr);
        return false;
    }
    g_watchStarted = true;
    return true;
}

void stopWatchThread()
{
    g_watchStop = true;
    if (!g_watchStarted)
        return;
    pthread_join(g_watchThread, nullptr);
    pthread_join(g_followThread, nullptr);
    g_watchStarted = false;
}
