#include "Pin.h"

#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>
#include <sys/random.h>

namespace vtoken {

const char* const kDefaultAdminPin = "88888888";
const char* const kDefaultUserPin = "12345678";

namespace {

bool derive(const std::string& pin, const std::vector<uint8_t>& salt, uint32_t iterations, uint8_t out[32])
{
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    int rc = mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), 1);
    if (rc == 0)
        rc = mbedtls_pkcs5_pbkdf2_hmac(&md, reinterpret_cast<const unsigned char*>(pin.data()), pin.size(),
                                       salt.data(), salt.size(), iterations, 32, out);
    mbedtls_md_free(&md);
    return rc == 0;
}

}  // namespace

bool validPin(const std::string& pin)
{
    if (pin.size() < kMinPinLen || pin.size() > kMaxPinLen)
        return false;
    for (unsigned char c : pin) {
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

Status setPinSecret(PinSecret* secret, const std::string& pin, uint32_t iterations)
{
    if (!validPin(pin))
        return Status::PinLength;
    if (iterations < 1)
        return Status::BadArgument;
    std::vector<uint8_t> salt(16);
    if (getrandom(salt.data(), salt.size(), 0) != static_cast<ssize_t>(salt.size()))
        return Status::IoError;
    uint8_t hash[32];
    if (!derive(pin, salt, iterations, hash))
        return Status::IoError;
    secret->iterations = iterations;
    secret->salt = salt;
    secret->hash.assign(hash, hash + sizeof(hash));
    secret->attemptsLeft = secret->maxAttempts;
    return Status::Ok;
}

bool pinMatches(const PinSecret& secret, const std::string& pin)
{
    uint8_t hash[32];
    if (secret.hash.size() != sizeof(hash) || !derive(pin, secret.salt, secret.iterations, hash))
        return false;
    uint8_t diff = 0;
    for (size_t i = 0; i < sizeof(hash); ++i)
        diff |= static_cast<uint8_t>(hash[i] ^ secret.hash[i]);
    return diff == 0;
}

}  // namespace vtoken
