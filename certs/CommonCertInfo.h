#pragma once
// One certificate as the manager and the bridge hand it to the decoder.
#include <cstdint>

#define ZT_CERT_DATA_LEN 4096
#define ZT_CERT_NAME_LEN 512

struct _common_cert_info {
    unsigned char certData[ZT_CERT_DATA_LEN];  // DER from its first byte
    uint64_t certLen;                          // bytes of certData given to the parser
    char certName[ZT_CERT_NAME_LEN];           // subject common name (not shown)
};
