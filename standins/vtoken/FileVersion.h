#pragma once
// Record files are replaced by rename, never rewritten in place, so device,
// inode, size and both times name one version of a file (or of the folder
// listing): the caches of what was read compare these.
#include <sys/stat.h>

namespace vtoken {

inline bool sameFileVersion(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace vtoken
