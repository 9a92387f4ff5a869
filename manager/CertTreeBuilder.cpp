// Certificate nodes of one device node, read back from the memory store.
#include "registry/Pkcs11SlotManager.h"

#include <QIcon>
#include <QTreeWidgetItem>
#include <cstring>

#include "CertManager.h"
#include "CertReader.h"
#include "WindowAccess.h"
#include "common/ZTLog.h"
#include "bindings/ZTTokenExp_fundef.h"
#include "MainWindow.h"

#define LOG_SOURCE "NEWZUdeVovavadErudsDlg.cpp"

void UKeyMainWindow::addCertificatesToUI(char* deviceName, QTreeWidgetItem* deviceNode)
{
    if (!deviceNode)
        return;
    char name[ZT_PATH_LEN] = {0};
    if (deviceName)
        strncpy(name, deviceName, sizeof(name) - 1);
    int slot = 0;
    if (SlotManagerGetSlotByName(&slot, name, ZT_SLOT_COUNT) != 0 || slot < 0 || slot >= ZT_SLOT_COUNT)
        slot = 0;

    for (int index = 1; index <= static_cast<int>(ZTTOKEN_MAX_CERT_INDEX); ++index) {
        unsigned char cert[ZTTOKEN_MAX_CERT_LEN] = {0};
        char commonName[ZT_PATH_LEN] = {0};
        uint64_t length = sizeof(cert);
        if (ZTToken_ReadMemCertByIndex(static_cast<uint64_t>(slot), static_cast<uint64_t>(index), cert, &length) != 0 ||
            length == 0 || length > sizeof(cert))
            continue;
        certCommonName(cert, static_cast<unsigned long>(length), commonName);
        ZTLog::WriteLog(ZT_LOG_STEP, LOG_SOURCE, __LINE__, "addCertificatesToUI(), dwSlotID = %d, i = %d, GetCertName = %s.",
                        slot, index, commonName);
        const QString text = QString::fromUtf8(commonName);
        QTreeWidgetItem* node = new QTreeWidgetItem(deviceNode);
        node->setText(0, text);
        node->setIcon(0, QIcon(":/Image/Res/cert.png"));
        node->setData(0, Qt::UserRole, index);
        if (certTypeOf(text + QString("+%1").arg(index)) == 2)
            node->setIcon(0, QIcon(":/Image/Res/SM2Cert.png"));
        struct tm notBefore = {};
        struct tm notAfter = {};
        m_certManager->GetCertExpireDate(cert, static_cast<unsigned long>(length), &notBefore, &notAfter);
        describeCertificateNode(node, index, notAfter);
    }
}
