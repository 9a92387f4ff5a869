#include "FakeCertStore.h"

#include "manager/CertManager.h"

std::function<unsigned long(unsigned char*, unsigned long*, int)> FakeCertStore::read;
int FakeCertStore::calls = 0;
int FakeCertStore::lastIndex = -1;
unsigned long FakeCertStore::lastLengthIn = 0;

void FakeCertStore::reset()
{
    read = nullptr;
    calls = 0;
    lastIndex = -1;
    lastLengthIn = 0;
}

unsigned long CCertManager::readCertFromMemByIndex(unsigned char* buffer, unsigned long* length, int index)
{
    ++FakeCertStore::calls;
    FakeCertStore::lastIndex = index;
    FakeCertStore::lastLengthIn = length ? *length : 0;
    if (!buffer || !length)
        return ~0ul;
    if (!FakeCertStore::read) {
        *length = 0;
        return 0x10000601;
    }
    return FakeCertStore::read(buffer, length, index);
}
