#pragma once
// A registry of its own for each test: own root and "CSPName", peers run as
// real processes, every shared object removed again at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "TestRoot.h"

// The tests' change waits end when this is set (see registryWaitStopped).
extern std::atomic<bool> g_registryWaitStop;
bool registryWaitStopped();

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::string shmName() const { return m_shmName; }
    std::string lockName() const { return m_lockName; }

    // The peer program run to completion; returns its exit code.
    int peer(const std::vector<std::string>& args);
    // The peer program started in the background.
    pid_t spawnPeer(const std::vector<std::string>& args);
    // A daemon peer makes the registry; this process joins and registers in
    // it the way the manager does.
    void joinAsManager();
    // The segment's bytes as a separate process maps them.
    std::string dumpSegment();
    std::string tempFile(const std::string& name) const { return m_root->tempDir() + "/" + name; }

    std::unique_ptr<TestRoot> m_root;

private:
    std::string m_shmName;
    std::string m_lockName;
    std::vector<pid_t> m_children;
};

// Waits up to timeoutMs for a file to exist; false on time-out.
bool waitForFile(const std::string& path, int timeoutMs);
// Little-endian readers over the dumped bytes.
uint64_t le64(const std::string& bytes, size_t offset);
uint32_t le32(const std::string& bytes, size_t offset);
// True when bytes[offset, offset+count) all equal value.
bool allBytes(const std::string& bytes, size_t offset, size_t count, unsigned char value);

// Offsets of the shared layout, written out independently of the code.
constexpr size_t kSlotBase = 96;
constexpr size_t kSlotSize = 13144;
constexpr size_t kProcBase = 52672;
constexpr size_t kProcSize = 48;
constexpr size_t slotAt(int n) { return kSlotBase + static_cast<size_t>(n) * kSlotSize; }
constexpr size_t procAt(int i) { return kProcBase + static_cast<size_t>(i) * kProcSize; }
