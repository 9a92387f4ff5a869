#include "LogFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ztlogfile {

namespace {

std::atomic<bool> g_noted{false};

// Once per process (per copy of this library, that is: each stand-in library
// has its own), so a refused folder does not flood stderr line by line.
void noteOnce(const std::string& what, const std::string& why)
{
    if (g_noted.exchange(true))
        return;
    const std::string text = std::string(program_invocation_short_name) + ": not logging into " + what + ": " +
                             why + "\n";
    ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
    (void)ignored;
}

std::string remakeHint(const std::string& folder)
{
    return "remove it; mkdir -m 700 " + folder + " switches logging on";
}

// Why a folder with these attributes may not hold our logs, or "".
std::string folderProblem(const std::string& folder, const struct stat& st)
{
    if (S_ISLNK(st.st_mode))
        return "it is a symbolic link; " + remakeHint(folder);
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder; " + remakeHint(folder);
    if (st.st_uid != geteuid() && st.st_uid != 0)
        return "it belongs to another user (uid " + std::to_string(st.st_uid) + "); " + remakeHint(folder);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return "group or others can write to it; chmod go-w " + folder;
    return std::string();
}

int openIn(const std::string& folder, const char* fileName)
{
    struct stat before {};
    if (lstat(folder.c_str(), &before) != 0) {
        if (errno != ENOENT)
            noteOnce(folder, std::string("cannot examine it: ") + strerror(errno));
        return -1;
    }
    std::string problem = folderProblem(folder, before);
    if (!problem.empty()) {
        noteOnce(folder, problem);
        return -1;
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        noteOnce(folder, std::string("cannot open it: ") + strerror(errno));
        return -1;
    }
    // The folder checked above must be the one opened, not one swapped in since.
    struct stat opened {};
    if (fstat(dir, &opened) != 0 || opened.st_dev != before.st_dev || opened.st_ino != before.st_ino) {
        close(dir);
        noteOnce(folder, "it was replaced while being opened");
        return -1;
    }
    problem = folderProblem(folder, opened);
    if (!problem.empty()) {
        close(dir);
        noteOnce(folder, problem);
        return -1;
    }
    // O_NONBLOCK: a FIFO without a reader fails here instead of blocking.
    const int fd = openat(dir, fileName, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int openError = errno;
    close(dir);
    const std::string path = folder + "/" + fileName;
    if (fd < 0) {
        noteOnce(path, openError == ELOOP ? std::string("it is a symbolic link") : strerror(openError));
        return -1;
    }
    struct stat file {};
    if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        close(fd);
        noteOnce(path, "it is not a regular file");
        return -1;
    }
    return fd;
}

}  // namespace

std::string folderIn(const std::string& base)
{
    return base + "zvittarn";
}

LogFile::LogFile(const std::string& folder, const char* fileName)
{
    const int savedErrno = errno;
    m_fd = openIn(folder, fileName);
    errno = savedErrno;
}

LogFile::~LogFile()
{
    if (m_fd >= 0) {
        const int savedErrno = errno;
        close(m_fd);
        errno = savedErrno;
    }
}

bool LogFile::write(const std::string& text)
{
    if (m_fd < 0)
        return false;
    const int savedErrno = errno;
    const ssize_t written = ::write(m_fd, text.data(), text.size());
    errno = savedErrno;
    return written == static_cast<ssize_t>(text.size());
}

bool appendText(const std::string& folder, const char* fileName, const std::string& text)
{
    LogFile file(folder, fileName);
    return file.write(text);
}

void resetRefusalNote()
{
    g_noted = false;
}

}  // namespace ztlogfile
