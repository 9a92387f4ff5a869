// Signal handling: the handler does only what is safe inside a signal handler
// (a write to standard output, the flag, a write to a pipe); the main thread
// picks the signal up from the pipe and does the rest.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "Daemon.h"
#include "StopFlag.h"

namespace {

int s_pipe[2] = {-1, -1};

// Decimal digits of a small non-negative number, without the C library.
size_t appendNumber(char* out, int value)
{
    char digits[12];
    size_t n = 0;
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v && n < sizeof(digits));
    for (size_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

}  // namespace

void receSignal(int signum)
{
    const int savedErrno = errno;
    static const char head[] = "+DEBUG: main.cpp receSignal(). signum = ";
    char line[sizeof(head) + 16];
    memcpy(line, head, sizeof(head) - 1);
    size_t len = sizeof(head) - 1;
    len += appendNumber(line + len, signum);
    line[len++] = '\n';
    ssize_t ignored = write(STDOUT_FILENO, line, len);
    (void)ignored;
    g_nThreadExit = 1;
    if (s_pipe[1] >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signum);
        ignored = write(s_pipe[1], &byte, 1);
    }
    errno = savedErrno;
}

bool installSignalHandlers()
{
    if (s_pipe[0] < 0) {
        if (pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            s_pipe[0] = s_pipe[1] = -1;
            return false;
        }
    }
    // The handler stays installed after it ran (no SA_RESETHAND).
    for (int signum : {SIGINT, SIGQUIT, SIGABRT, 31}) {
        struct sigaction action {};
        action.sa_handler = receSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (sigaction(signum, &action, nullptr) != 0)
            return false;
    }
    return true;
}

int signalPipeReadFd()
{
    return s_pipe[0];
}

int takePendingSignal()
{
    int last = 0;
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = read(s_pipe[0], buffer, sizeof(buffer));
        if (n <= 0)
            break;
        last = buffer[n - 1];
    }
    return last;
}
