#include "registry/Pkcs11SlotManager.h"

#include "DeviceWatch.h"

#include <QString>
#include <atomic>
#include <cstring>
#include <pthread.h>

#include "CertReader.h"
#include "DeviceTables.h"
#include "PlatformApi.h"
#include "UserSettings.h"
#include "ZTLog.h"
#include "MainWindow.h"
#include "global_def_var.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

namespace {

// Read and written by update passes only, under g_mutexEnumDeviceNew.
bool g_hasOpened = false;

pthread_t g_watchThread;
pthread_t g_followThread;
bool g_watchStarted = false;
// Set when the window goes; the watch threads and the registry's wait read it.
std::atomic<bool> g_watchStop{false};

bool watchStopRequested()
{
    return g_watchStop.load();
}
// Update threads started and not yet finished; the window outlives them.
std::atomic<int> g_livePasses{0};

const uint64_t* positionFor(int position)
{
    if (position == ZT_KEY_EVENT_ADDED)
        return &g_nPostions_add;
    if (position == ZT_KEY_EVENT_REMOVED)
        return &g_nPostions_del;
    return &g_nPostions_init;
}

struct PassArgs {
    UKeyMainWindow* window;
    const uint64_t* position;
};

void* updateThreadMain(void* raw)
{
    PassArgs args = *static_cast<PassArgs*>(raw);
    delete static_cast<PassArgs*>(raw);
    runUpdatePass(args.window, args.position);
    g_livePasses.fetch_sub(1);
    return nullptr;
}

// The label as the registry keeps it: UTF-16LE, up to the first zero unit.
QString labelOfRow(const unsigned char* row)
{
    ushort units[32];
    int count = 0;
    for (; count < 32; ++count) {
        units[count] = static_cast<ushort>(row[2 * count] | (row[2 * count + 1] << 8));
        if (units[count] == 0)
            break;
    }
    return QString::fromUtf16(units, count);
}

// Token information pads the serial with blanks; the node shows it without.
QString serialOfRow(const char* row)
{
    int length = static_cast<int>(strnlen(row, ZT_SERIAL_ROW_LEN));
    while (length > 0 && row[length - 1] == ' ')
        --length;
    return QString::fromLatin1(row, length);
}

// One slot of a pass; true when a key is present.
bool passSlot(UKeyMainWindow* window, int slot, int* slotNeedSetPin)
{
    void* slotValue = nullptr;
    unsigned long pinStatusFlags = 0;
    unsigned char serial[ZT_SERIAL_LEN] = {0};
    DWORD ret = SlotManagerGetSlotInfoBySlotNo(slot, &slotValue, g_szDeviceNameNew[slot], g_szLabelUtf16New[slot],
                                               serial, &pinStatusFlags);
    if (ret == 0) {
        memset(g_szSNNew[slot], 0, ZT_SERIAL_ROW_LEN);
        memcpy(g_szSNNew[slot], serial, ZT_SERIAL_LEN);
    }
    const QString label = labelOfRow(g_szLabelUtf16New[slot]);
    const QString serialText = serialOfRow(g_szSNNew[slot]);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "SlotManagerGetSlotInfo, slot = %d, dwRet = %d, g_szLabelUtf16 = %s g_szSN = %s", slot,
                    static_cast<int>(ret), label.toUtf8().constData(), serialText.toUtf8().constData());
    if (ret != 0)
        return false;
    g_szDeviceNameNew[slot][ZT_PATH_LEN - 1] = '\0';

    g_qstrLabelNew[slot] = QString("%1(%2)").arg(label, serialText);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "===================== g_qstrLabel = %s g_szSN = %s",
                    g_qstrLabelNew[slot].toUtf8().constData(), serialText.toUtf8().constData());
    window->sendSignal_addDeviceToUI(1, g_qstrLabelNew[slot], QByteArray(g_szDeviceNameNew[slot]));

    readDeviceCerts(static_cast<unsigned long>(slot));

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadUpdateUI uPinStatusFlag:%lu, %lu", pinStatusFlags,
                    pinStatusFlags & 0x80000ul);
    if ((pinStatusFlags & 0x00080000ul) && g_dwIniForceModifyPin == 1)
        *slotNeedSetPin = slot;
    return true;
}

bool openWebPageAtStartup()
{
    return configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 1) != 0;
}

}  // namespace

void resetWebBankOpenedForTesting()
{
    pthread_mutex_lock(&g_mutexEnumDeviceNew);
    g_hasOpened = false;
    g_i_slotNeedSetPin = -1;
    pthread_mutex_unlock(&g_mutexEnumDeviceNew);
}

void runUpdatePass(UKeyMainWindow* window, const uint64_t* position)
{
    const uint64_t code = position ? *position : g_nPostions_init;
    if (code == g_nPostions_add || code == g_nPostions_del)
        Sleep(500);

    pthread_mutex_lock(&g_mutexEnumDeviceNew);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter threadUpdateUI *pPostion=%d----########################",
                    static_cast<int>(code));
    window->sendSignal_addDeviceToUI(0, QString(), QByteArray());

    memset(g_szLabelUtf16New, 0, sizeof(g_szLabelUtf16New));
    int deviceCount = 0;
    int slotNeedSetPin = -1;
    // Tree position of each slot's node: empty slots leave no node, so a
    // slot number is not a position in the tree.
    int positionOfSlot[ZT_SLOT_COUNT] = {0};
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadUpdateUI()->for() start-------->");
    for (int slot = 0; slot < ZT_SLOT_COUNT; ++slot) {
        positionOfSlot[slot] = deviceCount;
        if (passSlot(window, slot, &slotNeedSetPin))
            ++deviceCount;
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadEnumDevice()->for() end<----DeviceNum--%d--\n",
                    deviceCount);

    if (deviceCount > 0) {
        if (!g_hasOpened && openWebPageAtStartup()) {
            g_hasOpened = true;
            window->sendSignal_openWebBank();
            ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "OpenWebBank\xEF\xBC\x81");
        }
        window->sendSignal_addCertNodeToUI(1, QByteArray());
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Device num >0 enable button");
        window->sendSignal_displayButton(true, 0);
    } else {
        window->sendSignal_setStatusBarText("Enum_NotFoundDev", 0);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Device num = 0  unable button");
        window->sendSignal_displayButton(false, 0);
    }

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "threadUpdateUI *pPostion=%d*****slotNeedSetPin=%d, g_i_slotNeedSetPin=%d", static_cast<int>(code),
                    slotNeedSetPin, g_i_slotNeedSetPin);
    if (slotNeedSetPin < 0) {
        window->sendSignal_selectSpecifiedNode(0);
    } else {
        window->sendSignal_selectSpecifiedNode(positionOfSlot[slotNeedSetPin]);
        if (slotNeedSetPin != g_i_slotNeedSetPin) {
            g_i_slotNeedSetPin = slotNeedSetPin;
            window->sendSignal_setPinBySlotID(slotNeedSetPin);
        }
    }
    if (code == g_nPostions_del)
        g_i_slotNeedSetPin = -1;

    pthread_mutex_unlock(&g_mutexEnumDeviceNew);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave threadUpdateUI()----######################\n\n\n");
}

bool startUpdateThread(UKeyMainWindow* window, int position)
{
    PassArgs* args = new PassArgs{window, positionFor(position)};
    g_livePasses.fetch_add(1);
    pthread_t thread;
    if (pthread_create(&thread, nullptr, updateThreadMain, args) != 0) {
        g_livePasses.fetch_sub(1);
        delete args;
        return false;
    }
    pthread_detach(thread);
    return true;
}

void* threadWaitForSlotChangedNew(void* raw)
{
    UKeyMainWindow* window = static_cast<UKeyMainWindow*>(raw);
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
        startUpdateThread(window, oneKey ? changeType : ZT_KEY_EVENT_INIT);
    }
    return nullptr;
}

// A restarted daemon makes its registry anew under the same name, and the
// change wait above would go on listening to the old one. Once a second this
// looks whether the name moved and, if so, joins the new registry and reads
// every slot again, so the window follows the new daemon without a restart.
void* threadFollowRegistry(void* raw)
{
    UKeyMainWindow* window = static_cast<UKeyMainWindow*>(raw);
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
            startUpdateThread(window, 1);
        }
    }
    return nullptr;
}

bool startWatchThread(UKeyMainWindow* window)
{
    if (g_watchStarted)
        return false;
    g_watchStop = false;
    if (pthread_create(&g_watchThread, nullptr, threadWaitForSlotChangedNew, window) != 0)
        return false;
    if (pthread_create(&g_followThread, nullptr, threadFollowRegistry, window) != 0) {
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

void waitForUpdatePasses()
{
    while (g_livePasses.load() > 0)
        Sleep(10);
}
