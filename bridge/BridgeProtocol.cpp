#include "BridgeProtocol.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "BridgeResults.h"
#include "SkfBinding.h"
#include "zvit_build_config.h"

using namespace zvitskf;

namespace {

QString pinFailure(const char* what, SKF_ULONG code, SKF_ULONG retryCount)
{
    BRIDGE_LOG("%s failed: 0x%08X, retry count: %d\n", what, code, static_cast<int>(retryCount));
    return retryCount == 0 ? QStringLiteral("-1") : QString::number(retryCount);
}

// The split parts hold the PINs: wiped before the list goes.
void wipeParts(QStringList& parts)
{
    for (QString& part : parts)
        wipeString(part);
    parts.clear();
}

}  // namespace

BridgeProtocol::BridgeProtocol() = default;

BridgeProtocol::~BridgeProtocol()
{
    unloadSKFLib();
    for (BridgeSession* session : m_sessions)
        delete session;
}

BridgeSession* BridgeProtocol::openSession()
{
    auto* session = new BridgeSession;
    m_sessions.insert(session);
    return session;
}

void BridgeProtocol::closeSession(BridgeSession* session)
{
    if (!session || !m_sessions.count(session))
        return;
    finalize(*session);
    m_sessions.erase(session);
    delete session;
}

bool BridgeProtocol::loadSKFLib(const char* path)
{
    void* handle = dlopen(path ? path : ZVIT_SKF_LIBRARY, RTLD_LAZY);
    if (!handle) {
        printf("Load SKF Lib error\n");
        fflush(stdout);
        return false;
    }
    if (m_loaded && handle == skfLibHandle) {
        // The library in use: every page's handles stay valid.
        dlclose(handle);
        return true;
    }
    SkfTable next;
    if (!resolveTableInto(handle, &next)) {
        // The table still points into the library loaded before, if any.
        dlclose(handle);
        return false;
    }
    // The pages' handles belong to the library in use: closed by its own
    // functions before the table points into the new one.
    for (BridgeSession* session : m_sessions)
        closeHandles(&session->hApplication, &session->hDev);
    commitTable(next);
    if (skfLibHandle)
        dlclose(skfLibHandle);
    skfLibHandle = handle;
    m_loaded = true;
    return true;
}

void BridgeProtocol::unloadSKFLib()
{
    for (BridgeSession* session : m_sessions)
        closeHandles(&session->hApplication, &session->hDev);
    if (skfLibHandle)
        dlclose(skfLibHandle);
    skfLibHandle = nullptr;
    m_loaded = false;
}

void BridgeProtocol::releaseLibrary(BridgeSession& s)
{
    if (!s.initialized)
        return;
    s.initialized = false;
    for (const BridgeSession* other : m_sessions) {
        if (other->initialized)
            return;
    }
    unloadSKFLib();
}

void BridgeProtocol::finalize(BridgeSession& s)
{
    closeHandles(&s.hApplication, &s.hDev);
    s.singleDevice = false;
    s.devCount = 0;
    memset(s.devNameList, 0, sizeof(s.devNameList));
    releaseLibrary(s);
}

QString BridgeProtocol::handleMessage(BridgeSession* session, const QString& message, bool* closeSender)
{
    *closeSender = false;
    BridgeLogScope logScope;
    const BridgeCommand command = bridgeMatchCommand(message);
    if (bridgeMessageTooLarge(message)) {
        BRIDGE_LOG("request of %d characters refused", static_cast<int>(message.size()));
        return bridgeReplyPrefix(command) + QString::fromUtf8(kResultBadFormat);
    }
    if (command == BridgeCommand::None || !session)
        return QString();
    if (isPinCommand(command)) {
        BridgePinRequest request;
        QString reply;
        if (!preparePin(session, message, command, &request, &reply))
            return reply;
        bool refused = false;
        return runPin(session, request, &refused);
    }
    return bridgeReplyPrefix(command) + runCommand(*session, command, message, closeSender);
}

QString BridgeProtocol::runCommand(BridgeSession& s, BridgeCommand command, const QString& message,
                                   bool* closeSender)
{
    switch (command) {
    case BridgeCommand::Initialize:
        return initialize(s, message);
    case BridgeCommand::Finalize:
        *closeSender = true;
        finalize(s);
        return QStringLiteral("0");
    case BridgeCommand::CheckToken:
        return checkToken(s);
    case BridgeCommand::GetSN:
        return getSerialNumber(s);
    case BridgeCommand::GetCertDN:
    case BridgeCommand::GetCertSN:
    case BridgeCommand::GetCertNA:
        return certificateText(s, command, message);
    case BridgeCommand::GetCertType:
        return bridgePartCount(message) == 2 ? QStringLiteral("1") : QString::fromUtf8(kResultBadFormat);
    case BridgeCommand::GetCntlVersion:
        return bridgeProductVersion();
    default:
        break;
    }
    return QString();
}

QString BridgeProtocol::initialize(BridgeSession& s, const QString& message)
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
    s.initialized = true;
    return QString();
}

QString BridgeProtocol::checkToken(BridgeSession& s)
{
    const QString prefix = bridgeReplyPrefix(BridgeCommand::CheckToken);
    if (!m_loaded || !s.initialized || !enumerateDevices(s, s.devNameList, sizeof(s.devNameList))) {
        const QString reply = prefix + QString::fromUtf8(kResultEnumFailed);
        BRIDGE_LOG("%s", reply.toUtf8().constData());
        return QString::fromUtf8(kResultEnumFailed);
    }
    closeHandles(&s.hApplication, &s.hDev);
    char containers[kNameListSize] = {};
    SKF_ULONG containerLength = sizeof(containers);
    QString result;
    if (openApplication(s.devNameList, containers, &containerLength, &s.hApplication, &s.hDev)) {
        result = QString::number(s.devCount);
    } else {
        // Half-opened handles are not left for a PIN command to use.
        closeHandles(&s.hApplication, &s.hDev);
        result = QString::fromUtf8(kResultOpenAppFailed);
        s.singleDevice = false;
    }
    BRIDGE_LOG("CheckToken %d", static_cast<int>(s.devCount));
    return result;
}

QString BridgeProtocol::getSerialNumber(BridgeSession& s)
{
    if (!s.singleDevice)
        return QString::fromUtf8(kResultKeepOneDevice);
    if (!m_loaded || !s.initialized)
        return QString::fromUtf8(kResultConnectFailed);
    DEVHANDLE device = nullptr;
    SKF_ULONG rv = SKF_ConnectDev(s.devNameList, &device);
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

QString BridgeProtocol::certificateText(BridgeSession& s, BridgeCommand command, const QString& message)
{
    if (bridgePartCount(message) != 2)
        return QString::fromUtf8(kResultBadFormat);
    const QString result = searchCertificate(s);
    if (result != QLatin1String(kResultSuccess))
        return result;
    switch (command) {
    case BridgeCommand::GetCertDN:
        return s.certSubjectText;
    case BridgeCommand::GetCertSN:
        return s.certSerialText;
    default:
        return s.certNotBeforeText;
    }
}

bool BridgeProtocol::preparePin(BridgeSession* session, const QString& message, BridgeCommand command,
                                BridgePinRequest* request, QString* reply)
{
    const QString prefix = bridgeReplyPrefix(command);
    const bool change = command == BridgeCommand::ChangeUserPin;
    if (!session || !isPinCommand(command) || bridgePartCount(message) != (change ? 4 : 3)) {
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    QStringList parts = bridgeSplitParts(message);
    // A new PIN the key would get cut or garbled is never sent: the page
    // would believe in a PIN that does not open the key.
    if (change && !PinBuffer::fitsWhole(parts.value(3))) {
        wipeParts(parts);
        BRIDGE_LOG("ChangeUserPin refused a new PIN of more than %d bytes or not UTF-8",
                   static_cast<int>(PinBuffer::kBytes));
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    // Nor is a PIN to check cut to fit: its first 16 bytes would open the key.
    if (!PinBuffer::fitsWhole(parts.value(2))) {
        wipeParts(parts);
        BRIDGE_LOG("%s refused a PIN of more than %d bytes or not UTF-8", change ? "ChangeUserPin" : "VerifyUserPin",
                   static_cast<int>(PinBuffer::kBytes));
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    request->command = command;
    request->pin = std::make_unique<PinBuffer>(parts.value(2));
    if (change)
        request->newPin = std::make_unique<PinBuffer>(parts.value(3));
    wipeParts(parts);
    if (change)
        BRIDGE_LOG("changePIN");  // the PINs themselves never reach the log
    if (!m_loaded || !session->initialized || !session->hApplication) {
        BRIDGE_LOG("%s before CheckToken opened an application on this connection",
                   change ? "ChangeUserPin" : "VerifyUserPin");
        request->pin.reset();
        request->newPin.reset();
        *reply = prefix + QStringLiteral("-1");
        return false;
    }
    return true;
}

int BridgeProtocol::pinAttemptsLeft(BridgeSession* session)
{
    if (!session || !m_loaded || !session->hApplication)
        return -1;
    SKF_ULONG maxRetries = 0;
    SKF_ULONG remaining = 0;
    SKF_BOOL defaultPin = FALSE;
    const SKF_ULONG rv = SKF_GetPINInfo(session->hApplication, SKF_USER_TYPE, &maxRetries, &remaining, &defaultPin);
    if (rv != SAR_OK) {
        BRIDGE_LOG("SKF_GetPINInfo failed: 0x%08X\n", rv);
        return -1;
    }
    return static_cast<int>(remaining);
}

QString BridgeProtocol::runPin(BridgeSession* session, const BridgePinRequest& request, bool* refused)
{
    *refused = false;
    const QString prefix = bridgeReplyPrefix(request.command);
    // The library may have changed or the page's application gone meanwhile.
    if (!session || !m_loaded || !session->hApplication || !request.pin)
        return prefix + QStringLiteral("-1");
    SKF_ULONG retryCount = 0;
    SKF_ULONG rv;
    const char* what;
    if (request.command == BridgeCommand::ChangeUserPin && request.newPin) {
        what = "SKF_ChangePIN";
        rv = SKF_ChangePIN(session->hApplication, SKF_USER_TYPE, request.pin->c_str(), request.newPin->c_str(),
                           &retryCount);
    } else {
        what = "SKF_VerifyPIN";
        rv = SKF_VerifyPIN(session->hApplication, SKF_USER_TYPE, request.pin->c_str(), &retryCount);
    }
    if (rv == SAR_OK)
        return prefix + QStringLiteral("0");
    *refused = true;
    return prefix + pinFailure(what, rv, retryCount);
}

QString BridgeProtocol::pinNotSentReply(const BridgePinRequest& request, int attemptsLeft)
{
    return bridgeReplyPrefix(request.command) +
           (attemptsLeft <= 0 ? QStringLiteral("-1") : QString::number(attemptsLeft));
}
