#include "BridgeProtocol.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "BridgeRequest.h"
#include "BridgeResults.h"
#include "PinBuffer.h"
#include "SkfBinding.h"
#include "zvit_build_config.h"

using namespace zvitskf;

BridgeProtocol::BridgeProtocol() = default;

BridgeProtocol::~BridgeProtocol()
{
    unloadSKFLib();
}

bool BridgeProtocol::loadSKFLib(const char* path)
{
    void* handle = dlopen(path ? path : ZVIT_SKF_LIBRARY, RTLD_LAZY);
    if (!handle) {
        printf("Load SKF Lib error\n");
        fflush(stdout);
        return false;
    }
    if (!resolveTable(handle)) {
        // The table still points into the library loaded before, if any.
        dlclose(handle);
        return false;
    }
    // Handles of the previous library die with it.
    closeHandles(&hApplication, &hDev);
    if (skfLibHandle)
        dlclose(skfLibHandle);
    skfLibHandle = handle;
    m_loaded = true;
    return true;
}

void BridgeProtocol::unloadSKFLib()
{
    if (m_loaded)
        closeHandles(&hApplication, &hDev);
    hApplication = nullptr;
    hDev = nullptr;
    if (skfLibHandle)
        dlclose(skfLibHandle);
    skfLibHandle = nullptr;
    m_loaded = false;
}

QString BridgeProtocol::handleMessage(const QString& message, bool* closeSender)
{
    *closeSender = false;
    BridgeLogScope logScope;
    const BridgeCommand command = bridgeMatchCommand(message);
    if (bridgeMessageTooLarge(message)) {
        BRIDGE_LOG("request of %d characters refused", static_cast<int>(message.size()));
        return bridgeReplyPrefix(command) + QString::fromUtf8(kResultBadFormat);
    }
    if (command == BridgeCommand::None)
        return QString();
    return bridgeReplyPrefix(command) + runCommand(static_cast<int>(command), message, closeSender);
}

QString BridgeProtocol::runCommand(int command, const QString& message, bool* closeSender)
{
    switch (static_cast<BridgeCommand>(command)) {
    case BridgeCommand::Initialize:
        return initialize(message);
    case BridgeCommand::Finalize:
        *closeSender = true;
        unloadSKFLib();
        return QStringLiteral("0");
    case BridgeCommand::CheckToken:
        return checkToken();
    case BridgeCommand::GetSN:
        return getSerialNumber();
    case BridgeCommand::GetCertDN:
    case BridgeCommand::GetCertSN:
    case BridgeCommand::GetCertNA:
        return certificateText(command, message);
    case BridgeCommand::GetCertType:
        return bridgePartCount(message) == 2 ? QStringLiteral("1") : QString::fromUtf8(kResultBadFormat);
    case BridgeCommand::VerifyUserPin:
        return verifyUserPin(message);
    case BridgeCommand::ChangeUserPin:
        return changeUserPin(message);
    case BridgeCommand::GetCntlVersion:
        return bridgeProductVersion();
    case BridgeCommand::None:
        break;
    }
    return QString();
}

QString BridgeProtocol::initialize(const QString& message)
{
    QString path;
    if (bridgePartCount(message) == 2)
        path = bridgeSplitParts(message).value(1);
    bool loaded;
    if (path.isEmpty()) {
        loaded = loadSKFLib(nullptr);
    } else if (!bridgeLibraryAllowed(path, bridgeConfigList(ZT_BRIDGE_KEY_LIBRARIES))) {
        // A page must never make the manager run code of its choosing.
        BRIDGE_LOG("Initialize refused the SKF library path %s", path.left(256).toUtf8().constData());
        return QStringLiteral("-1");
    } else {
        loaded = loadSKFLib(path.toUtf8().constData());
    }
    if (!loaded) {
        BRIDGE_LOG("loadSKFLib failed!");
        return QStringLiteral("-1");
    }
    return QString();
}

QString BridgeProtocol::checkToken()
{
    const QString prefix = bridgeReplyPrefix(BridgeCommand::CheckToken);
    if (!m_loaded || !enumerateDevices(devNameList, sizeof(devNameList))) {
        const QString reply = prefix + QString::fromUtf8(kResultEnumFailed);
        BRIDGE_LOG("%s", reply.toUtf8().constData());
        return QString::fromUtf8(kResultEnumFailed);
    }
    closeHandles(&hApplication, &hDev);
    char containers[kNameListSize] = {};
    SKF_ULONG containerLength = sizeof(containers);
    QString result;
    if (openApplication(devNameList, containers, &containerLength, &hApplication, &hDev)) {
        result = QString::number(devCount);
    } else {
        result = QString::fromUtf8(kResultOpenAppFailed);
        singleDevice = false;
    }
    BRIDGE_LOG("CheckToken %d", static_cast<int>(devCount));
    return result;
}

QString BridgeProtocol::getSerialNumber()
{
    if (!singleDevice)
        return QString::fromUtf8(kResultKeepOneDevice);
    if (!m_loaded)
        return QString::fromUtf8(kResultConnectFailed);
    DEVHANDLE device = nullptr;
    SKF_ULONG rv = SKF_ConnectDev(devNameList, &device);
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_ConnectDev failed: 0x%08X\n", rv);
        return QString::fromUtf8(kResultConnectFailed);
    }
    DEVINFO info;
    memset(&info, 0, sizeof(info));
    rv = SKF_GetDevInfo(device, &info);
    QString result;
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_GetDevInfo failed: 0x%08X\n", rv);
        result = QString::fromUtf8(kResultDevInfoFailed);
    } else {
        const QByteArray serial(info.SerialNumber, static_cast<int>(strnlen(info.SerialNumber, sizeof(info.SerialNumber))));
        BRIDGE_LOG("GetSN %s", serial.constData());
        result = QString::fromUtf8(serial);
    }
    SKF_DisConnectDev(device);
    return result;
}

QString BridgeProtocol::certificateText(int command, const QString& message)
{
    if (bridgePartCount(message) != 2)
        return QString::fromUtf8(kResultBadFormat);
    const QString result = searchCertificate();
    if (result != QLatin1String(kResultSuccess))
        return result;
    switch (static_cast<BridgeCommand>(command)) {
    case BridgeCommand::GetCertDN:
        return certSubjectText;
    case BridgeCommand::GetCertSN:
        return certSerialText;
    default:
        return certNotBeforeText;
    }
}

QString BridgeProtocol::pinFailure(const char* what, SKF_ULONG code, SKF_ULONG retryCount)
{
    BRIDGE_LOG("%s failed: 0x%08X, retry count: %d\n", what, code, static_cast<int>(retryCount));
    return retryCount == 0 ? QStringLiteral("-1") : QString::number(retryCount);
}

QString BridgeProtocol::verifyUserPin(const QString& message)
{
    if (bridgePartCount(message) != 3)
        return QString::fromUtf8(kResultBadFormat);
    QStringList parts = bridgeSplitParts(message);
    PinBuffer pin(parts.value(2));
    wipeString(parts[2]);
    if (!m_loaded || !hApplication) {
        BRIDGE_LOG("VerifyUserPin before CheckToken opened an application");
        return QStringLiteral("-1");
    }
    SKF_ULONG retryCount = 0;
    const SKF_ULONG rv = SKF_VerifyPIN(hApplication, SKF_USER_TYPE, pin.c_str(), &retryCount);
    if (rv == SAR_OK)
        return QStringLiteral("0");
    return pinFailure("SKF_VerifyPIN", rv, retryCount);
}

QString BridgeProtocol::changeUserPin(const QString& message)
{
    if (bridgePartCount(message) != 4)
        return QString::fromUtf8(kResultBadFormat);
    QStringList parts = bridgeSplitParts(message);
    PinBuffer oldPin(parts.value(2));
    PinBuffer newPin(parts.value(3));
    wipeString(parts[2]);
    wipeString(parts[3]);
    // The PINs themselves never reach the log.
    BRIDGE_LOG("changePIN");
    if (!m_loaded || !hApplication) {
        BRIDGE_LOG("ChangeUserPin before CheckToken opened an application");
        return QStringLiteral("-1");
    }
    SKF_ULONG retryCount = 0;
    const SKF_ULONG rv = SKF_ChangePIN(hApplication, SKF_USER_TYPE, oldPin.c_str(), newPin.c_str(), &retryCount);
    if (rv == SAR_OK)
        return QStringLiteral("0");
    return pinFailure("SKF_ChangePIN", rv, retryCount);
}
