// Fuzz target: any text a page may send, handled by the real protocol over
// the real SKF stand-in and one virtual key with a certificate.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bridge/BridgeProtocol.h"
#include "standins/vtoken/Store.h"
#include "common/global_def_var.h"
#include "zvit_build_config.h"

#include <dlfcn.h>

namespace {

BridgeProtocol* g_protocol = nullptr;
BridgeSession* g_session = nullptr;
vtoken::Store* g_store = nullptr;
const char kSerial[] = "FUZZ0001";

std::vector<uint8_t> readBytes(const char* path)
{
    std::ifstream in(path ? path : "", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void prepareRoot()
{
    char pattern[] = "/tmp/zvit-bridge-fuzz-XXXXXX";
    const std::string root = std::string(mkdtemp(pattern)) + "/";
    mkdir((root + "ConfigFile").c_str(), 0700);
    std::ofstream(root + "ConfigFile/Config.ini")
        << "[ZTTokenInfo]\nProductVersion=9.9\n[VirtualToken]\nStorePath=" << root << "store\n";
    setenv("ZVIT_FILES_ROOT", root.c_str(), 1);
    snprintf(g_szFilesRoot, sizeof(g_szFilesRoot), "%s", root.c_str());
    // No log folder: the fuzzer's speed is not spent on log lines.
    snprintf(g_szLogBaseDir, sizeof(g_szLogBaseDir), "%snolog/", root.c_str());

    g_store = new vtoken::Store(root + "store");
    g_store->prepare();
    vtoken::KeyRecord record;
    vtoken::newKeyRecord(kSerial, "Fuzz", "111111", true, &record);
    vtoken::Container container;
    container.name = "c1";
    container.signatureCert = readBytes(getenv("ZVIT_FUZZ_CERT"));
    record.containers.push_back(container);
    vtoken::Container empty;
    empty.name = "c2";
    record.containers.push_back(empty);
    g_store->create(record);
    g_store->plug(kSerial);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    prepareRoot();
    // "Finalize" unloads the stand-in; its coverage counters must stay mapped.
    dlopen(ZVIT_SKF_LIBRARY, RTLD_LAZY | RTLD_NODELETE);
    g_protocol = new BridgeProtocol();
    g_session = g_protocol->openSession();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static unsigned runs = 0;
    // Keep the PIN usable so the fuzzer reaches past the lock.
    if (++runs % 64 == 0)
        g_store->setRetries(kSerial, 10);
    const QString message = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    bool closeSender = false;
    const QString reply = g_protocol->handleMessage(g_session, message, &closeSender);
    if (reply.size() > 70000)
        abort();
    return 0;
}
