#include "DaemonRelay.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarnvkey {

namespace {

const int kReplyTimeoutMs = 10000;

}  // namespace

std::string relaySocketPath(const std::string& storeFolder)
{
    return storeFolder + "/run-daemon.sock";
}

bool relayToRunningDaemon(const std::string& storeFolder, const std::string& verb, const std::string& serial,
                          std::string* error)
{
    const std::string path = relaySocketPath(storeFolder);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        *error = "store folder path too long for the run-daemon socket";
        return false;
    }
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = strerror(errno);
        return false;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        // No run-daemon (or a stale socket of one that died): the store alone is the truth.
        close(fd);
        return true;
    }
    const std::string request = verb + " " + serial + "\n";
    bool ok = send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::string reply;
    while (ok && reply.find('\n') == std::string::npos && reply.size() < kRelayLineMax) {
        pollfd p {fd, POLLIN, 0};
        if (poll(&p, 1, kReplyTimeoutMs) <= 0) {
            ok = false;
            break;
        }
        char buffer[kRelayLineMax];
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    const std::string line = reply.substr(0, reply.find('\n'));
    if (ok && line == "ok")
        return true;
    *error = line.empty() ? "run-daemon did not answer" : "run-daemon: " + line;
    return false;
}

}  // namespace tarnvkey
