#pragma once
// Whole-file reads and crash-safe replacement of small files shared between
// processes (ini files, the virtual key store).
#include <string>
#include <sys/types.h>

namespace ztfile {

// Advisory lock (flock) on "<path>.lock", held while alive. The lock file is
// never removed: unlinking it would let two writers lock different inodes.
class LockGuard
{
public:
    explicit LockGuard(const std::string& path, bool exclusive = true);
    ~LockGuard();
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Reads a whole file; false when missing/unreadable (errno tells which).
bool readAll(const std::string& path, std::string* data);
// Writes a temporary file in the same folder, fsync, rename over path, fsync
// the folder. Readers see the old or the new content, never a mix. An existing
// file keeps its owner where the writer may keep it.
bool writeAtomically(const std::string& path, const std::string& data, mode_t mode = 0644,
                     std::string* error = nullptr);
// Prefix of the temporary files writeAtomically leaves behind when killed.
std::string temporaryPrefix(const std::string& path);

}  // namespace ztfile
