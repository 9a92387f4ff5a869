#pragma once
// The bank page protocol over the SKF library: one request text in, one reply
// text out. The library is loaded once for every page; each page has a
// session of its own (its key, its opened application, its last results), so
// one page's "Finalize" or "CheckToken" never changes what another page uses.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <set>

#include "BridgeCertText.h"
#include "BridgeCommandRow.h"
#include "BridgeRequest.h"
#include "PinBuffer.h"
#include "bindings/SkfApi.h"

struct BridgeSession {
    static constexpr size_t kNameListSize = 1024;

    // The page's "Initialize" succeeded: it holds the library loaded.
    bool initialized = false;
    char devNameList[kNameListSize] = {};
    HAPPLICATION hApplication = nullptr;
    DEVHANDLE hDev = nullptr;
    uint32_t devCount = 0;
    bool singleDevice = false;
    QString certSubjectText;
    QString certNotBeforeText;
    QString certSerialText;
};

// A PIN command parsed and checked, waiting to be sent to the key.
struct BridgePinRequest {
    const BridgeCommandRow* command = nullptr;
    std::unique_ptr<PinBuffer> pin;     // the PIN to verify, or the old PIN
    std::unique_ptr<PinBuffer> newPin;  // ChangeUserPin only
};

// What one handler call of the command table reads and tells.
struct BridgeCall {
    const BridgeRequest* request = nullptr;  // the parsed request
    const BridgePinRequest* pin = nullptr;   // PIN commands: the PINs instead
    bool closeSender = false;                // the page asked to end its connection
    bool refused = false;                    // the key turned the PIN down (or was locked)
};

class BridgeProtocol
{
public:
    BridgeProtocol();
    ~BridgeProtocol();
    BridgeProtocol(const BridgeProtocol&) = delete;
    BridgeProtocol& operator=(const BridgeProtocol&) = delete;

    // A page's session, owned by the protocol until closeSession, which
    // releases the page's handles and its hold on the library.
    BridgeSession* openSession();
    void closeSession(BridgeSession* session);

    // Handles one request of the session, PIN commands included (sent to the
    // key at once); *closeSender is set when the page asked to end its
    // connection ("Finalize"). The caller wipes the message.
    QString handleMessage(BridgeSession* session, const QString& message, bool* closeSender);
    // The same for a request parsed already.
    QString handle(BridgeSession* session, const BridgeRequest& request, bool* closeSender);

    // First half of a PIN command: checks it without touching the key. True
    // when *pin is ready for runPin; otherwise *reply is the whole reply to send.
    bool preparePin(BridgeSession* session, const BridgeRequest& request, BridgePinRequest* pin, QString* reply);
    // Attempts left on the session's key, -1 when the key does not say.
    int pinAttemptsLeft(BridgeSession* session);
    // Second half: sends the PIN to the key. *refused tells that the key
    // turned the PIN down (or was locked). Returns the whole reply.
    QString runPin(BridgeSession* session, const BridgePinRequest& request, bool* refused);
    // The reply of a PIN request that was not sent, as if the key had
    // refused it with attemptsLeft left.
    static QString pinNotSentReply(const BridgePinRequest& request, int attemptsLeft);

    // Loads the SKF library (the default path when path is null) and resolves
    // its table. A failed load keeps the previous library and table.
    bool loadSKFLib(const char* path);
    // Closes every page's handles and the library.
    void unloadSKFLib();
    bool skfLoaded() const { return m_loaded; }

    static constexpr size_t kNameListSize = BridgeSession::kNameListSize;
    static constexpr size_t kCertBufferSize = 4096;
    static constexpr size_t kPinBytes = PinBuffer::kBytes;

private:
    friend class BridgeCommandTable;
    // The command table's handlers: the reply after its prefix.
    QString runInitialize(BridgeSession& s, BridgeCall& call);
    QString runFinalize(BridgeSession& s, BridgeCall& call);
    QString runCheckToken(BridgeSession& s, BridgeCall& call);
    QString runGetSN(BridgeSession& s, BridgeCall& call);
    QString runGetCertDN(BridgeSession& s, BridgeCall& call);
    QString runGetCertSN(BridgeSession& s, BridgeCall& call);
    QString runGetCertNA(BridgeSession& s, BridgeCall& call);
    QString runGetCertType(BridgeSession& s, BridgeCall& call);
    QString runVerifyUserPin(BridgeSession& s, BridgeCall& call);
    QString runChangeUserPin(BridgeSession& s, BridgeCall& call);
    QString runGetCntlVersion(BridgeSession& s, BridgeCall& call);

    void finalize(BridgeSession& s);
    QString certificateText(BridgeSession& s, QString BridgeSession::*text);

    bool enumerateDevices(BridgeSession& s, char* nameList, size_t capacity);
    bool openApplication(const char* deviceName, char* containerList, SKF_ULONG* containerLength,
                         HAPPLICATION* application, DEVHANDLE* device);
    QString searchCertificate(BridgeSession& s);
    bool exportCertificate(BridgeSession& s, HAPPLICATION application, const char* containerName, bool signFlag);
    void closeHandles(HAPPLICATION* application, DEVHANDLE* device);
    // A page stops holding the library; the last one out closes it.
    void releaseLibrary(BridgeSession& s);

    void* skfLibHandle = nullptr;
    bool m_loaded = false;
    std::set<BridgeSession*> m_sessions;
    // Pages ask for subject, serial and date one after the other: the same
    // certificate is decoded once, whichever page asks.
    QByteArray lastDecodedCert;
    BridgeCertTexts lastDecodedTexts;
    bool lastDecodedOk = false;
};
