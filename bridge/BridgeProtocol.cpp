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

QString pinOutcome(const char* what, SKF_ULONG code, SKF_ULONG retryCount, bool* refused)
{
    if (code == SAR_OK)
        return QStringLiteral("0");
    *refused = true;
    return pinFailure(what, code, retryCount);
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
    const BridgeRequest request(message);
    return handle(session, request, closeSender);
}

QString BridgeProtocol::handle(BridgeSession* session, const BridgeRequest& request, bool* closeSender)
{
    *closeSender = false;
    BridgeLogScope logScope;
    if (request.tooLarge()) {
        BRIDGE_LOG("request of %d characters refused", request.size());
        return request.replyPrefix() + QString::fromUtf8(kResultBadFormat);
    }
    const BridgeCommandRow* command = request.command();
    if (!command || !session)
        return QString();
    if (command->pin) {
        BridgePinRequest pin;
        QString reply;
        if (!preparePin(session, request, &pin, &reply))
            return reply;
        bool refused = false;
        return runPin(session, pin, &refused);
    }
    if (command->exactParts && !request.partsFit())
        return request.replyPrefix() + QString::fromUtf8(kResultBadFormat);
    BridgeCall call;
    call.request = &request;
    const QString result = (this->*command->handler)(*session, call);
    *closeSender = call.closeSender;
    return request.replyPrefix() + result;
}

QString BridgeProtocol::runInitialize(BridgeSession& s, BridgeCall& call)
{
    const QString path = call.request->part(1);
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

QString BridgeProtocol::runFinalize(BridgeSession& s, BridgeCall& call)
{
    call.closeSender = true;
    finalize(s);
    return QStringLiteral("0");
}

QString BridgeProtocol::runCheckToken(BridgeSession& s, BridgeCall& call)
{
    if (!m_loaded || !s.initialized || !enumerateDevices(s, s.devNameList, sizeof(s.devNameList))) {
        const QString reply = call.request->replyPrefix() + QString::fromUtf8(kResultEnumFailed);
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

QString BridgeProtocol::runGetSN(BridgeSession& s, BridgeCall&)
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

QString BridgeProtocol::certificateText(BridgeSession& s, QString BridgeSession::*text)
{
    const QString result = searchCertificate(s);
    if (result != QLatin1String(kResultSuccess))
        return result;
    return s.*text;
}

QString BridgeProtocol::runGetCertDN(BridgeSession& s, BridgeCall&)
{
    return certificateText(s, &BridgeSession::certSubjectText);
}

QString BridgeProtocol::runGetCertSN(BridgeSession& s, BridgeCall&)
{
    return certificateText(s, &BridgeSession::certSerialText);
}

QString BridgeProtocol::runGetCertNA(BridgeSession& s, BridgeCall&)
{
    return certificateText(s, &BridgeSession::certNotBeforeText);
}

QString BridgeProtocol::runGetCertType(BridgeSession&, BridgeCall&)
{
    return QStringLiteral("1");
}

QString BridgeProtocol::runGetCntlVersion(BridgeSession&, BridgeCall&)
{
    return bridgeProductVersion();
}

bool BridgeProtocol::preparePin(BridgeSession* session, const BridgeRequest& request, BridgePinRequest* pin,
                                QString* reply)
{
    const BridgeCommandRow* command = request.command();
    const QString prefix = request.replyPrefix();
    if (!session || !command || !command->pin || request.tooLarge() || !request.partsFit()) {
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    // Part 2 is the PIN, or the old one when part 3 is a new PIN.
    const bool change = command->parts > 3;
    // A new PIN the key would get cut or garbled is never sent: the page
    // would believe in a PIN that does not open the key.
    if (change && !PinBuffer::fitsWhole(request.part(3))) {
        BRIDGE_LOG("%s refused a new PIN of more than %d bytes or not UTF-8", command->name,
                   static_cast<int>(PinBuffer::kBytes));
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    // Nor is a PIN to check cut to fit: its first 16 bytes would open the key.
    if (!PinBuffer::fitsWhole(request.part(2))) {
        BRIDGE_LOG("%s refused a PIN of more than %d bytes or not UTF-8", command->name,
                   static_cast<int>(PinBuffer::kBytes));
        *reply = prefix + QString::fromUtf8(kResultBadFormat);
        return false;
    }
    pin->command = command;
    pin->pin = std::make_unique<PinBuffer>(request.part(2));
    if (change)
        pin->newPin = std::make_unique<PinBuffer>(request.part(3));
    if (change)
        BRIDGE_LOG("changePIN");  // the PINs themselves never reach the log
    if (!m_loaded || !session->initialized || !session->hApplication) {
        BRIDGE_LOG("%s before CheckToken opened an application on this connection", command->name);
        pin->pin.reset();
        pin->newPin.reset();
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
    if (!session || !m_loaded || !session->hApplication || !request.pin || !request.command)
        return prefix + QStringLiteral("-1");
    BridgeCall call;
    call.pin = &request;
    const QString result = (this->*request.command->handler)(*session, call);
    *refused = call.refused;
    return prefix + result;
}

QString BridgeProtocol::runVerifyUserPin(BridgeSession& s, BridgeCall& call)
{
    SKF_ULONG retryCount = 0;
    const SKF_ULONG rv = SKF_VerifyPIN(s.hApplication, SKF_USER_TYPE, call.pin->pin->c_str(), &retryCount);
    return pinOutcome("SKF_VerifyPIN", rv, retryCount, &call.refused);
}

QString BridgeProtocol::runChangeUserPin(BridgeSession& s, BridgeCall& call)
{
    if (!call.pin->newPin)
        return runVerifyUserPin(s, call);
    SKF_ULONG retryCount = 0;
    const SKF_ULONG rv = SKF_ChangePIN(s.hApplication, SKF_USER_TYPE, call.pin->pin->c_str(),
                                       call.pin->newPin->c_str(), &retryCount);
    return pinOutcome("SKF_ChangePIN", rv, retryCount, &call.refused);
}

QString BridgeProtocol::pinNotSentReply(const BridgePinRequest& request, int attemptsLeft)
{
    return bridgeReplyPrefix(request.command) +
           (attemptsLeft <= 0 ? QStringLiteral("-1") : QString::number(attemptsLeft));
}
