#pragma once
// Certificates of the plugged keys: read into the token library's memory
// store during an update pass, and the container type of each one.
#include <QMap>
#include <QString>

#include "common/ZTCommonDef.h"

// Subject common name + "+" + store index -> container type (2 = SM2). Only
// through the two functions below: update passes write while the GUI reads.
extern QMap<QString, unsigned long> g_certType;
void certTypeInsert(const QString& key, unsigned long type);
// The recorded type, or 0 when the key is unknown.
unsigned long certTypeOf(const QString& key);

DWORD readDeviceCerts(unsigned long slot);
DWORD readCertAndWriteItToMemory(void* device);

// The subject common name of a DER certificate into a 260-byte buffer;
// false for an empty certificate.
bool certCommonName(const unsigned char* der, unsigned long length, char* name);
