#include "DeviceModel.h"

#include <cstring>

#include "CertReader.h"
#include "common/PlatformApi.h"
#include "common/UserSettings.h"
#include "common/ZTLog.h"
#include "registry/Pkcs11SlotManager.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

namespace {

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
int serialLength(const char* row)
{
    int length = static_cast<int>(strnlen(row, DeviceModel::kSerialLen));
    while (length > 0 && row[length - 1] == ' ')
        --length;
    return length;
}

bool openWebPageAtStartup()
{
    return configUIntSetting("UkeyManage", "OpenWebPageAtStartup", 1) != 0;
}

struct PassArgs {
    DeviceModel* model;
    ZTKeyEvent event;
};

}  // namespace

DeviceModel::DeviceModel(QObject* parent) : QObject(parent)
{
    pthread_mutex_init(&m_passLock, nullptr);
}

DeviceModel::~DeviceModel()
{
    waitForUpdatePasses();
    pthread_mutex_destroy(&m_passLock);
}

bool DeviceModel::passSlot(int slot, int* slotNeedSetPin)
{
    void* slotValue = nullptr;
    unsigned long pinStatusFlags = 0;
    unsigned char serial[ZT_SERIAL_LEN] = {0};
    DWORD ret = SlotManagerGetSlotInfoBySlotNo(slot, &slotValue, m_deviceName[slot], m_labelUtf16[slot], serial,
                                               &pinStatusFlags);
    if (ret == 0) {
        memset(m_serial[slot], 0, kSerialLen);
        memcpy(m_serial[slot], serial, ZT_SERIAL_LEN);
    }
    const QString label = labelOfRow(m_labelUtf16[slot]);
    const QString serialText = QString::fromLatin1(m_serial[slot], serialLength(m_serial[slot]));
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "SlotManagerGetSlotInfo, slot = %d, dwRet = %d, g_szLabelUtf16 = %s g_szSN = %s", slot,
                    static_cast<int>(ret), label.toUtf8().constData(), serialText.toUtf8().constData());
    if (ret != 0)
        return false;
    m_deviceName[slot][ZT_PATH_LEN - 1] = '\0';

    m_nodeText[slot] = QString("%1(%2)").arg(label, serialText);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "===================== g_qstrLabel = %s g_szSN = %s",
                    m_nodeText[slot].toUtf8().constData(), serialText.toUtf8().constData());
    emit keyFound(m_nodeText[slot], QByteArray(m_deviceName[slot]));

    readDeviceCerts(static_cast<unsigned long>(slot));

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadUpdateUI uPinStatusFlag:%lu, %lu", pinStatusFlags,
                    pinStatusFlags & 0x80000ul);
    if ((pinStatusFlags & 0x00080000ul) && m_forceModifyPin)
        *slotNeedSetPin = slot;
    return true;
}

void DeviceModel::runUpdatePass(ZTKeyEvent event)
{
    if (event == ZT_KEY_EVENT_ADDED || event == ZT_KEY_EVENT_REMOVED)
        Sleep(500);

    pthread_mutex_lock(&m_passLock);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "enter threadUpdateUI *pPostion=%d----########################",
                    static_cast<int>(event));
    emit keysCleared();

    memset(m_labelUtf16, 0, sizeof(m_labelUtf16));
    int deviceCount = 0;
    int slotNeedSetPin = -1;
    // Tree position of each slot's node: empty slots leave no node, so a
    // slot number is not a position in the tree.
    int positionOfSlot[ZT_SLOT_COUNT] = {0};
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadUpdateUI()->for() start-------->");
    for (int slot = 0; slot < ZT_SLOT_COUNT; ++slot) {
        positionOfSlot[slot] = deviceCount;
        if (passSlot(slot, &slotNeedSetPin))
            ++deviceCount;
    }
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "threadEnumDevice()->for() end<----DeviceNum--%d--\n",
                    deviceCount);

    if (deviceCount > 0) {
        if (!m_hasOpened && openWebPageAtStartup()) {
            m_hasOpened = true;
            emit openBankPage();
            ZTLog::WriteLog(ZT_LOG_TRACE, LOG_SOURCE, __LINE__, "OpenWebBank\xEF\xBC\x81");
        }
        emit certificatesRead();
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Device num >0 enable button");
        emit keysPresent(true);
    } else {
        emit statusText(QStringLiteral("Enum_NotFoundDev"));
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "Device num = 0  unable button");
        emit keysPresent(false);
    }

    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__,
                    "threadUpdateUI *pPostion=%d*****slotNeedSetPin=%d, g_i_slotNeedSetPin=%d", static_cast<int>(event),
                    slotNeedSetPin, m_slotNeedSetPin);
    if (slotNeedSetPin < 0) {
        emit selectNode(0);
    } else {
        emit selectNode(positionOfSlot[slotNeedSetPin]);
        if (slotNeedSetPin != m_slotNeedSetPin) {
            m_slotNeedSetPin = slotNeedSetPin;
            emit setPinRequested(slotNeedSetPin);
        }
    }
    if (event == ZT_KEY_EVENT_REMOVED)
        m_slotNeedSetPin = -1;

    pthread_mutex_unlock(&m_passLock);
    ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "leave threadUpdateUI()----######################\n\n\n");
}

bool DeviceModel::startUpdatePass(ZTKeyEvent event)
{
    PassArgs* args = new PassArgs{this, event};
    m_livePasses.fetch_add(1);
    pthread_t thread;
    auto main = [](void* raw) -> void* {
        PassArgs pass = *static_cast<PassArgs*>(raw);
        delete static_cast<PassArgs*>(raw);
        pass.model->runUpdatePass(pass.event);
        pass.model->m_livePasses.fetch_sub(1);
        return nullptr;
    };
    if (pthread_create(&thread, nullptr, main, args) != 0) {
        m_livePasses.fetch_sub(1);
        delete args;
        return false;
    }
    pthread_detach(thread);
    return true;
}

void DeviceModel::waitForUpdatePasses()
{
    while (m_livePasses.load() > 0)
        Sleep(10);
}

QVector<DeviceModel::Key> DeviceModel::pluggedKeys() const
{
    QVector<Key> keys;
    pthread_mutex_lock(&m_passLock);
    for (int i = 0; i < kRows; ++i) {
        const int length = serialLength(m_serial[i]);
        // An emptied slot before a plugged one must not hide it, and a pulled
        // key's row may still hold its serial.
        char name[ZT_PATH_LEN] = {0};
        if (length == 0 || (i < ZT_SLOT_COUNT && SlotManagerGetSlotName(i, name) != 0))
            continue;
        keys.append({QByteArray(m_serial[i], length),
                     QByteArray(m_deviceName[i], static_cast<int>(strnlen(m_deviceName[i], ZT_PATH_LEN)))});
    }
    pthread_mutex_unlock(&m_passLock);
    return keys;
}
