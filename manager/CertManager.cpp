#include "CertManager.h"

#include <QMessageBox>

#include <cstring>
#include <memory>

#include "certs/CertDecode.h"
#include "DialogCertificateViewer.h"
#include "KeySelection.h"
#include "certs/x509/ZvitCert.h"

CCertManager::CCertManager(const KeySelection* selection, QWidget* parent) : QObject(parent), m_selection(selection)
{
}

short CCertManager::GetCertName(unsigned char* der, unsigned long len, char* subjectName, char* issuerName,
                                char* subjectName2)
{
    return GetCertName_linux(der, len, subjectName, issuerName, subjectName2);
}

short CCertManager::GetCertName_linux(unsigned char* der, unsigned long len, char* subjectName, char* issuerName,
                                      char* subjectName2)
{
    return certCommonNames(der, len, subjectName, issuerName, subjectName2);
}

int CCertManager::GetCertExpireDate(unsigned char* der, unsigned long len, tm* notBefore, tm* notAfter)
{
    return GetCertExpireDate_linux(der, len, notBefore, notAfter);
}

int CCertManager::GetCertExpireDate_linux(unsigned char* der, unsigned long len, tm* notBefore, tm* notAfter)
{
    ZvitCert cert;
    zvitCertInit(&cert);
    if (der && len)
        zvitCertParseDer(&cert, der, len);
    if (notBefore)
        *notBefore = getNotBeforTime(&cert.crt);
    if (notAfter)
        *notAfter = getNotAfterTime(&cert.crt);
    zvitCertFree(&cert);
    return 1;
}

void CCertManager::clickedViewCert()
{
    if (!m_selection || !m_selection->hasKey()) {
        QMessageBox::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("Please select Certificate"),
                             QMessageBox::Yes, QMessageBox::Yes);
        return;
    }
    // A key node of its own stands for its first certificate, as before.
    const int index = m_selection->certIndex < 0 ? 0 : m_selection->certIndex;

    unsigned char buffer[ZT_CERT_DATA_LEN];
    std::memset(buffer, 0, sizeof buffer);
    unsigned long length = sizeof buffer;
    readCertFromMemByIndex(buffer, &length, index);
    // A store that reports more than the buffer holds is not believed.
    if (length > sizeof buffer)
        length = sizeof buffer;

    char subjectName[ZT_CERT_NAME_LEN] = {};
    char issuerName[ZT_CERT_NAME_LEN] = {};
    GetCertName(buffer, length, subjectName, issuerName, nullptr);

    std::unique_ptr<_common_cert_info> record(new _common_cert_info);
    std::memset(record.get(), 0, sizeof *record);
    std::memcpy(record->certData, buffer, length);
    record->certLen = length;
    std::memcpy(record->certName, subjectName, sizeof record->certName);

    std::unique_ptr<CDialogCertificateViewer> viewer(new CDialogCertificateViewer(nullptr));
    viewer->showCertificate(record.get());
    viewer->exec();
}

int CCertManager::ShowCert_linux(_common_cert_info* record)
{
    std::unique_ptr<CDialogCertificateViewer> viewer(new CDialogCertificateViewer(nullptr));
    viewer->showCertificate(record);
    viewer->exec();
    return 1;
}
