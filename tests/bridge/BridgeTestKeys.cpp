#include "BridgeTestKeys.h"

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

#include "standins/vtoken/Pin.h"

namespace fs = std::filesystem;

BridgeTestKeys::BridgeTestKeys() : m_store(m_root.path("tmp/store"))
{
    setIniValue(m_root.configPath(), "VirtualToken", "StorePath", m_root.path("tmp/store"));
    if (m_store.prepare() != vtoken::Status::Ok)
        throw std::runtime_error("cannot prepare the key store");
    // The log folder switches logging on.
    fs::create_directories(m_root.tempDir() + "/zvittarn");
}

void BridgeTestKeys::addKey(const std::string& serial, const std::string& pin, bool plugged)
{
    vtoken::KeyRecord record;
    if (vtoken::newKeyRecord(serial, "Key " + serial, pin, true, &record) != vtoken::Status::Ok ||
        m_store.create(record) != vtoken::Status::Ok)
        throw std::runtime_error("cannot create key " + serial);
    if (plugged && m_store.plug(serial) != vtoken::Status::Ok)
        throw std::runtime_error("cannot plug key " + serial);
}

void BridgeTestKeys::addContainer(const std::string& serial, const std::string& name,
                                  const std::vector<uint8_t>& signCert, const std::vector<uint8_t>& exchangeCert)
{
    const vtoken::Status status = m_store.update(serial, [&](vtoken::KeyRecord& record) {
        vtoken::Container container;
        container.name = name;
        container.signatureCert = signCert;
        container.exchangeCert = exchangeCert;
        record.containers.push_back(container);
        return vtoken::Status::Ok;
    });
    if (status != vtoken::Status::Ok)
        throw std::runtime_error("cannot add container " + name);
}

void BridgeTestKeys::setRetries(const std::string& serial, int attempts)
{
    if (m_store.setRetries(serial, attempts) != vtoken::Status::Ok)
        throw std::runtime_error("cannot set retries");
}

int BridgeTestKeys::attemptsLeft(const std::string& serial)
{
    vtoken::KeyRecord record;
    if (m_store.load(serial, &record) != vtoken::Status::Ok)
        throw std::runtime_error("cannot load key " + serial);
    return record.userPin.attemptsLeft;
}

void BridgeTestKeys::installServerCert()
{
    fs::create_directories(m_root.path("cert"));
    for (const char* name : {"server.crt", "server.key"})
        fs::copy_file(std::string(ZVIT_TEST_BINARY_DIR "/cert/") + name, m_root.path("cert/") + name,
                      fs::copy_options::overwrite_existing);
}

std::string BridgeTestKeys::bridgeLog() const
{
    return readFile(m_root.tempDir() + "/zvittarn/ztdaemon_log.log");
}

std::vector<uint8_t> certFixture(const std::string& name)
{
    const std::string text = readFile(std::string(ZVIT_TEST_BINARY_DIR "/tests/data/certs/") + name + ".der");
    if (text.empty())
        throw std::runtime_error("missing certificate fixture " + name);
    return std::vector<uint8_t>(text.begin(), text.end());
}
