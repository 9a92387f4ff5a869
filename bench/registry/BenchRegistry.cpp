// Cost of the registry operations next to the lock's own floor: one uncontended
// sem_trywait + sem_post pair on the registry's semaphore. Each operation's
// time is printed as a ratio to that floor (on stderr, after the table).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <semaphore.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "tests/support/TestRoot.h"
#include "bindings/ZTUtil_fundef.h"

namespace {

std::unique_ptr<TestRoot> g_root;
std::string g_lockName;
std::string g_shmName;

bool setUp()
{
    g_root = std::make_unique<TestRoot>();
    if (!LoadZTUtilLib() || SlotManagerInitialize() != 0)
        return false;
    const std::string base = simplifiedCspName(g_root->cspName());
    g_lockName = base + "P11SHMLOCK";
    g_shmName = base + "P11X64";
    TokenInfo64 info;
    memset(&info, 0, sizeof(info));
    memcpy(info.serialNumber, "BENCH0000000001", 15);
    unsigned char label[ZT_LABEL_LEN];
    memset(label, ' ', sizeof(label));
    memcpy(label, "B\0e\0n\0c\0h\0", 10);
    return SlotManagerAddSlotInfo(0, "ZT-VKEY-BENCH0000000001", reinterpret_cast<unsigned char*>(&info),
                                  reinterpret_cast<void*>(0x1234), label) == 0;
}

void tearDown()
{
    DetachFromSharedMemory();
    DestroyWinProcLock();
    DestroySharedMemory();
    sem_unlink(g_lockName.c_str());
    shm_unlink(("/" + g_lockName + ".holder").c_str());
    g_root.reset();
}

void BM_Floor_SemTryWaitPost(benchmark::State& state)
{
    sem_t* sem = sem_open(g_lockName.c_str(), 0);
    if (sem == SEM_FAILED) {
        state.SkipWithError("semaphore not open");
        return;
    }
    for (auto _ : state) {
        if (sem_trywait(sem) == 0)
            sem_post(sem);
    }
    sem_close(sem);
}
BENCHMARK(BM_Floor_SemTryWaitPost);

void BM_ReadSlot(benchmark::State& state)
{
    void* handle = nullptr;
    char name[ZT_PATH_LEN];
    unsigned char label[ZT_LABEL_LEN];
    unsigned char serial[ZT_SERIAL_LEN];
    unsigned long flags = 0;
    for (auto _ : state) {
        DWORD rv = SlotManagerGetSlotInfoBySlotNo(0, &handle, name, label, serial, &flags);
        benchmark::DoNotOptimize(rv);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReadSlot);

void BM_Publish(benchmark::State& state)
{
    TokenInfo64 info;
    memset(&info, 0x5A, sizeof(info));
    unsigned char label[ZT_LABEL_LEN];
    memset(label, ' ', sizeof(label));
    for (auto _ : state) {
        DWORD rv = SlotManagerAddSlotInfo(1, "ZT-VKEY-BENCH0000000002", reinterpret_cast<unsigned char*>(&info),
                                          reinterpret_cast<void*>(0x5678), label);
        benchmark::DoNotOptimize(rv);
    }
}
BENCHMARK(BM_Publish);

// Marking walks all 100 entries and, as the PKCS#11 side expects, pauses one
// millisecond for each process it tells: this measures that walk.
void BM_MarkWith100Processes(benchmark::State& state)
{
    ZTSlotRegistry* reg = static_cast<ZTSlotRegistry*>(g_pSharedMemory);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < ZT_PROC_COUNT; ++i) {
            reg->procs[i].inUse = 1;
            reg->procs[i].pid = getpid();
            reg->procs[i].slotmap = -1;
        }
        state.ResumeTiming();
        DWORD rv = SlotManagerSetSlotChanged(ZT_KEY_EVENT_ADDED, 0);
        benchmark::DoNotOptimize(rv);
    }
    for (int i = 0; i < ZT_PROC_COUNT; ++i)
        reg->procs[i].inUse = 0;
}
BENCHMARK(BM_MarkWith100Processes)->Unit(benchmark::kNanosecond);

// Forwards to the usual reporter and keeps each run's time for the ratios.
class RatioReporter : public benchmark::BenchmarkReporter
{
public:
    explicit RatioReporter(benchmark::BenchmarkReporter* inner) : m_inner(inner) {}
    bool ReportContext(const Context& context) override
    {
        m_inner->SetOutputStream(&GetOutputStream());
        m_inner->SetErrorStream(&GetErrorStream());
        return m_inner->ReportContext(context);
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime() *
                                                benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                                benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        m_inner->ReportRuns(runs);
    }
    void Finalize() override
    {
        m_inner->Finalize();
        double floor = 0;
        for (const auto& entry : m_times) {
            if (entry.first.find("Floor") != std::string::npos)
                floor = entry.second;
        }
        if (floor <= 0)
            return;
        fprintf(stderr, "\nratio to the floor (%.1f ns):\n", floor);
        for (const auto& entry : m_times)
            fprintf(stderr, "  %-32s %12.1f ns  %10.2fx\n", entry.first.c_str(), entry.second, entry.second / floor);
        fprintf(stderr, "  target: BM_ReadSlot within 3x\n");
    }

private:
    std::unique_ptr<benchmark::BenchmarkReporter> m_inner;
    std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv)
{
    bool json = false;
    for (int i = 1; i < argc; ++i)
        json = json || strcmp(argv[i], "--benchmark_format=json") == 0;
    benchmark::Initialize(&argc, argv);
    if (!setUp()) {
        fprintf(stderr, "registry set-up failed\n");
        tearDown();
        return 1;
    }
    benchmark::BenchmarkReporter* inner = json ? static_cast<benchmark::BenchmarkReporter*>(new benchmark::JSONReporter)
                                               : new benchmark::ConsoleReporter;
    RatioReporter reporter(inner);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    tearDown();
    return 0;
}
