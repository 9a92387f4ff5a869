#pragma once
// The token library's memory certificate store: certificates by slot (0..3)
// and index (1..16), shared by every process of the user in one POSIX
// shared-memory segment, guarded by one named semaphore.
//
// Segment layout (little-endian, 262720 bytes):
//   0   8  magic "ZVMCERT1"
//   8   4  layout version (1)
//   12  4  segment size
//   16  4  slots (4)          20  4  indices per slot (16)
//   24  4  entry size (4104)  28  4  pid of the lock holder, 0 = none
//   32 32  reserved
//   64     entries, slot-major: entry (slot, index) at 64 + (slot*16 + index-1) * 4104
// Entry: 4 bytes DER length (0 = empty), 4 reserved, 4096 bytes DER.
//
// A writer clears the length first and sets it after the bytes, so a writer
// that dies leaves an empty entry, never a torn certificate. A lock holder
// that died is detected by its pid and the lock is taken over; a live holder
// that keeps the lock for more than a few seconds gives Busy, never a hang.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Status.h"

namespace vtoken {

constexpr int kMemSlots = 4;
constexpr int kMemIndices = 16;
constexpr size_t kMemHeaderSize = 64;
constexpr size_t kMemEntrySize = 8 + 4096;
constexpr size_t kMemSegmentSize = kMemHeaderSize + kMemSlots * kMemIndices * kMemEntrySize;

class MemCertStore
{
public:
    // Opens or creates the segment and the lock (names without the leading
    // '/', mode 0666). A segment of another size or layout is refused, never
    // resized under the processes that map it.
    static Status open(const std::string& segmentName, const std::string& lockName,
                       std::unique_ptr<MemCertStore>* store, std::string* error = nullptr);
    // Removes both names (tests and tools only).
    static void unlinkNames(const std::string& segmentName, const std::string& lockName);
    ~MemCertStore();
    MemCertStore(const MemCertStore&) = delete;
    MemCertStore& operator=(const MemCertStore&) = delete;

    Status put(int slot, int index, const uint8_t* der, size_t length);
    // NoCert for an empty entry.
    Status get(int slot, int index, std::vector<uint8_t>* der);
    Status remove(int slot, int index);
    Status clearSlot(int slot);
    // How long a live holder may keep the lock before callers give up.
    void setLockTimeoutMs(int ms) { m_timeoutMs = ms; }

    // For tests of the recovery: take the lock and keep it.
    Status lockForTest() { return lock(); }

private:
    MemCertStore() = default;
    Status lock();
    void unlock();
    uint8_t* entry(int slot, int index) const;

    void* m_base = nullptr;
    void* m_semaphore = nullptr;
    int m_timeoutMs = 5000;
};

}  // namespace vtoken
