#include "RegistryFixture.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "registry/MutexLock.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "registry/Pkcs11SlotManager.h"
#include "bindings/ZTUtil_fundef.h"

std::atomic<bool> g_registryWaitStop{false};

bool registryWaitStopped()
{
    return g_registryWaitStop.load();
}

void RegistryTest::SetUp()
{
    m_root = std::make_unique<TestRoot>();
    static bool loaded = LoadZTUtilLib();
    ASSERT_TRUE(loaded) << "stand-in utility library did not load";
    std::string base = simplifiedCspName(m_root->cspName());
    m_shmName = base + "P11X64";
    m_lockName = base + "P11SHMLOCK";
    g_MgrProcIndex = 0;
    g_registryWaitStop = false;
}

void RegistryTest::TearDown()
{
    for (pid_t pid : m_children) {
        kill(pid, SIGKILL);
        waitChild(pid);
    }
    DetachFromSharedMemory();
    DestroyWinProcLock();
    DestroySharedMemory();
    shm_unlink(m_shmName.c_str());
    sem_unlink(m_lockName.c_str());
    shm_unlink(("/" + m_lockName + ".holder").c_str());
    for (auto& entry : g_semNameArray)
        entry[0] = '\0';
    g_MgrProcIndex = 0;
    g_registryWaitStop = false;
    m_root.reset();
}

int RegistryTest::peer(const std::vector<std::string>& args)
{
    std::vector<std::string> all{m_root->root()};
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    int rc = runProgram(REGISTRY_PEER, all, &output);
    if (rc != 0)
        ADD_FAILURE() << "peer " << args[0] << " exited " << rc << ": " << output;
    return rc;
}

pid_t RegistryTest::spawnPeer(const std::vector<std::string>& args)
{
    std::vector<std::string> all{m_root->root()};
    all.insert(all.end(), args.begin(), args.end());
    pid_t pid = spawnProgram(REGISTRY_PEER, all);
    m_children.push_back(pid);
    return pid;
}

void RegistryTest::joinAsManager()
{
    ASSERT_EQ(peer({"init"}), 0);
    ASSERT_EQ(OpenSharedMemory(), 0u);
    ASSERT_EQ(AttachToSharedMemeory(), 0u);
    ASSERT_EQ(CreateWinProcLock(), 0u);
    ASSERT_TRUE(SlotManagerRegisterProcess());
}

std::string RegistryTest::dumpSegment()
{
    std::string out = tempFile("dump.bin");
    unlink(out.c_str());
    if (runProgram(REGISTRY_PEER, {m_root->root(), "dump", m_shmName, out}) != 0)
        return std::string();
    return readFile(out);
}

bool waitForFile(const std::string& path, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (access(path.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

uint64_t le64(const std::string& bytes, size_t offset)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + static_cast<size_t>(i)));
    return v;
}

uint32_t le32(const std::string& bytes, size_t offset)
{
    return static_cast<uint32_t>(le64(bytes.substr(offset, 4) + std::string(4, '\0'), 0));
}

bool allBytes(const std::string& bytes, size_t offset, size_t count, unsigned char value)
{
    if (offset + count > bytes.size())
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (static_cast<unsigned char>(bytes[offset + i]) != value)
            return false;
    }
    return true;
}
