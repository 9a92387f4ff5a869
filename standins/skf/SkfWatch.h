#pragma once
// Tells whether anything in a folder may have changed, from the kernel's file
// notifications instead of a stat of every file on every SKF call.
#include <cstdint>
#include <string>

namespace skfstub {

// A number that stays the same while nothing changed in the watched folders
// (this folder included); 0 when folder cannot be watched, and the caller must
// look at the files themselves. The kernel queues a notification before the
// change's system call returns, so a change made before this call is never
// missed. Call with the caches' lock held.
uint64_t folderVersion(const std::string& folder);

}  // namespace skfstub
