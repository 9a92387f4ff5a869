#pragma once
// The bank page protocol over the SKF library: one request text in, one reply
// text out. All state is shared by every connected page, as the pages expect.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "BridgeCertText.h"
#include "SkfApi.h"

class BridgeProtocol
{
public:
    BridgeProtocol();
    ~BridgeProtocol();
    BridgeProtocol(const BridgeProtocol&) = delete;
    BridgeProtocol& operator=(const BridgeProtocol&) = delete;

    // Handles one request; *closeSender is set when the page asked to end
    // its connection ("Finalize").
    QString handleMessage(const QString& message, bool* closeSender);

    // Loads the SKF library (the default path when path is null) and resolves
    // its table. A failed load keeps the previous library and table.
    bool loadSKFLib(const char* path);
    // Closes the handles the bridge holds and the library.
    void unloadSKFLib();
    bool skfLoaded() const { return m_loaded; }

    static constexpr size_t kNameListSize = 1024;
    static constexpr size_t kCertBufferSize = 4096;
    static constexpr size_t kPinBytes = 16;

private:
    QString runCommand(int command, const QString& message, bool* closeSender);
    QString initialize(const QString& message);
    QString checkToken();
    QString getSerialNumber();
    QString certificateText(int command, const QString& message);
    QString verifyUserPin(const QString& message);
    QString changeUserPin(const QString& message);

    bool enumerateDevices(char* nameList, size_t capacity);
    bool openApplication(const char* deviceName, char* containerList, SKF_ULONG* containerLength,
                         HAPPLICATION* application, DEVHANDLE* device);
    QString searchCertificate();
    bool exportCertificate(HAPPLICATION application, const char* containerName, bool signFlag);
    void closeHandles(HAPPLICATION* application, DEVHANDLE* device);
    QString pinFailure(const char* what, SKF_ULONG code, SKF_ULONG retryCount);

    void* skfLibHandle = nullptr;
    bool m_loaded = false;
    char devNameList[kNameListSize] = {};
    HAPPLICATION hApplication = nullptr;
    DEVHANDLE hDev = nullptr;
    uint32_t devCount = 0;
    bool singleDevice = false;
    QString certSubjectText;
    QString certNotBeforeText;
    QString certSerialText;
    QByteArray lastDecodedCert;
    BridgeCertTexts lastDecodedTexts;
};
