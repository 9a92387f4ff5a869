// Software token costs next to their floors: a daemon enumeration pass over
// four plugged keys against reading their four record files, a PIN
// verification against its PBKDF2 alone, and a memory store read against a
// copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>

#include "standins/inifile/AtomicFile.h"
#include "standins/vtoken/MemCertStore.h"
#include "standins/vtoken/Pin.h"
#include "standins/vtoken/Store.h"
#include "standins/vtoken/StoreConfig.h"
#include "tests/support/TestRoot.h"
#include "bindings/ZTTokenExp_fundef.h"

namespace {

std::unique_ptr<TestRoot> g_root;
std::unique_ptr<vtoken::Store> g_store;
bool g_ready = false;

bool setUp()
{
    if (g_ready)
        return true;
    g_root = std::make_unique<TestRoot>();
    const std::string folder = g_root->tempDir() + "/store";
    setIniValue(g_root->configPath(), "VirtualToken", "StorePath", folder);
    g_store = std::make_unique<vtoken::Store>(folder);
    std::vector<uint8_t> der(2000, 0x41);
    for (const char* serial : {"B0", "B1", "B2", "B3"}) {
        vtoken::KeyRecord record;
        if (vtoken::newKeyRecord(serial, "Bench key", "12345678", true, &record) != vtoken::Status::Ok)
            return false;
        for (int i = 0; i < 4; ++i) {
            vtoken::Container c;
            c.name = "c" + std::to_string(i);
            c.signatureCert = der;
            c.exchangeCert = der;
            record.containers.push_back(c);
        }
        if (g_store->create(record) != vtoken::Status::Ok || g_store->plug(serial) != vtoken::Status::Ok)
            return false;
    }
    g_ready = LoadZTTokenLib(ZTTOKEN_CALLER_DAEMON) != 0;
    return g_ready;
}

void BM_Floor_ReadRecords(benchmark::State& state)
{
    if (!setUp())
        return state.SkipWithError("set-up failed");
    std::string data;
    for (auto _ : state) {
        for (const char* serial : {"B0", "B1", "B2", "B3"})
            ztfile::readAll(g_store->recordPath(serial), &data);
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_Floor_ReadRecords)->Name("Floor/enum");

void BM_EnumerationPass(benchmark::State& state)
{
    if (!setUp())
        return state.SkipWithError("set-up failed");
    for (auto _ : state) {
        uint64_t count = 10, all = 10;
        void* handles[10];
        ZTToken_EnumDeviceWithAllCount(&count, handles, &all);
        for (uint64_t i = 0; i < count; ++i) {
            ZTToken_OpenDeviceByHandle(handles[i]);
            char name[260];
            uint64_t length = sizeof(name);
            ZTToken_GetDeviceAttr(handles[i], ZTTOKEN_DEVATTR_NAME, name, &length);
            uint8_t info[208];
            length = sizeof(info);
            ZTToken_GetTokenInfo(handles[i], info, &length);
            uint16_t label[128];
            length = sizeof(label);
            ZTToken_GetTokenLabel(handles[i], label, &length);
            uint64_t slot = 0;
            length = 8;
            ZTToken_GetDeviceAttr(handles[i], ZTTOKEN_DEVATTR_SLOT, &slot, &length);
            ZTToken_CloseDevice(handles[i]);
        }
        ZTToken_DestroyEnum();
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_EnumerationPass)->Name("EnumerationPass/enum");

void BM_Floor_Pbkdf2(benchmark::State& state)
{
    const std::vector<uint8_t> salt(16, 7);
    uint8_t out[32];
    for (auto _ : state) {
        mbedtls_md_context_t md;
        mbedtls_md_init(&md);
        mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), 1);
        mbedtls_pkcs5_pbkdf2_hmac(&md, reinterpret_cast<const unsigned char*>("12345678"), 8, salt.data(), salt.size(),
                                  vtoken::kPinIterations, sizeof(out), out);
        mbedtls_md_free(&md);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_Floor_Pbkdf2)->Name("Floor/pin")->Unit(benchmark::kMillisecond);

void BM_VerifyPin(benchmark::State& state)
{
    if (!setUp())
        return state.SkipWithError("set-up failed");
    for (auto _ : state) {
        vtoken::PinResult result = g_store->verifyPin("B0", vtoken::PinKind::User, "12345678");
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_VerifyPin)->Name("VerifyPin/pin")->Unit(benchmark::kMillisecond);

void BM_Floor_Copy(benchmark::State& state)
{
    std::vector<uint8_t> from(2000, 1), to(4096);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to);
    }
}
BENCHMARK(BM_Floor_Copy)->Name("Floor/memcert");

void BM_ReadMemCert(benchmark::State& state)
{
    if (!setUp())
        return state.SkipWithError("set-up failed");
    void* device = nullptr;
    ZTToken_OpenDeviceByNameAndSetSlotID("ZVIT VKey B0", &device, 0);
    std::vector<uint8_t> buffer(4096);
    uint64_t length = buffer.size();
    ZTToken_ReadCert(device, 1, buffer.data(), &length);
    ZTToken_CloseDevice(device);
    for (auto _ : state) {
        length = buffer.size();
        ZTToken_ReadMemCertByIndex(0, 1, buffer.data(), &length);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_ReadMemCert)->Name("ReadMemCert/memcert");

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (g_ready)
        FreeZTTokenLib();
    if (g_root)
        vtoken::MemCertStore::unlinkNames(vtoken::memStoreSegmentName(), vtoken::memStoreLockName());
    g_store.reset();
    g_root.reset();
    return 0;
}
