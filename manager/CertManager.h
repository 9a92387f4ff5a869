#pragma once
// Certificate names and dates for the main window's tree, and the viewer for
// the tree's selected certificate.
#include <ctime>

#include <QObject>

#include "certs/CommonCertInfo.h"

struct KeySelection;
class QWidget;

class CCertManager : public QObject
{
    Q_OBJECT

public:
    // selection: the key and certificate the viewer shows; it outlives this.
    CCertManager(const KeySelection* selection, QWidget* parent);

    // Common names of subject, issuer and subject again into the non-null
    // outputs (each at least 260 bytes, zero-filled by the caller). 0 when
    // der is null or len is 0, otherwise 1, also when the certificate did
    // not parse (the names are then empty).
    short GetCertName(unsigned char* der, unsigned long len, char* subjectName, char* issuerName, char* subjectName2);
    short GetCertName_linux(unsigned char* der, unsigned long len, char* subjectName, char* issuerName,
                            char* subjectName2);
    // Validity as UTC+8 wall-clock time (tm_year the full year, tm_mon 1-12).
    int GetCertExpireDate(unsigned char* der, unsigned long len, tm* notBefore, tm* notAfter);
    int GetCertExpireDate_linux(unsigned char* der, unsigned long len, tm* notBefore, tm* notAfter);

    void clickedViewCert();
    int ShowCert_linux(_common_cert_info* record);

    // Reads the certificate at index of the selected key from the token's
    // memory store; *length holds the buffer size on entry.
    unsigned long readCertFromMemByIndex(unsigned char* buffer, unsigned long* length, int index);

private:
    const KeySelection* m_selection;
};
