#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ztfile {

namespace {

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void setError(std::string* error, const std::string& what, int code)
{
    if (error)
        *error = what + ": " + strerror(code);
}

bool writeFully(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

LockGuard::LockGuard(const std::string& path, bool exclusive)
{
    std::string lockPath = path + ".lock";
    m_fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0 && !exclusive)
        m_fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    int rc;
    do {
        rc = flock(m_fd, exclusive ? LOCK_EX : LOCK_SH);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

LockGuard::~LockGuard()
{
    if (m_fd >= 0)
        close(m_fd);  // releases the flock
}

bool readAll(const std::string& path, std::string* data)
{
    if (!data)
        return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string result;
    char buffer[16384];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            close(fd);
            errno = saved;
            return false;
        }
        if (got == 0)
            break;
        result.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    data->swap(result);
    return true;
}

std::string temporaryPrefix(const std::string& path)
{
    return "." + baseOf(path) + ".tmp";
}

bool writeAtomically(const std::string& path, const std::string& data, mode_t mode, std::string* error)
{
    if (path.empty() || path.back() == '/') {
        setError(error, "bad path '" + path + "'", EINVAL);
        return false;
    }
    std::string folder = folderOf(path);
    std::string pattern = folder + "/" + temporaryPrefix(path) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, "cannot create a temporary file in " + folder, errno);
        return false;
    }
    std::string tempPath(name.data());
    auto fail = [&](const std::string& what) {
        int saved = errno;
        if (fd >= 0)
            close(fd);
        unlink(tempPath.c_str());
        setError(error, what, saved);
        errno = saved;
        return false;
    };
    if (!writeFully(fd, data.data(), data.size()))
        return fail("cannot write " + tempPath);
    if (fchmod(fd, mode) != 0)
        return fail("cannot set the mode of " + tempPath);
    // A privileged writer must not take the file away from its owner.
    struct stat old;
    if (stat(path.c_str(), &old) == 0 && (old.st_uid != geteuid() || old.st_gid != getegid()) &&
        fchown(fd, old.st_uid, old.st_gid) != 0 && geteuid() == 0)
        return fail("cannot keep the owner of " + path);
    if (fsync(fd) != 0)
        return fail("cannot flush " + tempPath);
    if (close(fd) != 0) {
        fd = -1;
        return fail("cannot close " + tempPath);
    }
    fd = -1;
    if (rename(tempPath.c_str(), path.c_str()) != 0)
        return fail("cannot replace " + path);
    // The rename itself must survive a power loss too.
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

}  // namespace ztfile
