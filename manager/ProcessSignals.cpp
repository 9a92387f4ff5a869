#include "ProcessSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "WindowGlobals.h"
#include "MainWindow.h"

namespace {

int g_signalPipe[2] = {-1, -1};
// Set while a window can take requests; read by the handlers.
volatile sig_atomic_t g_windowAttached = 0;

void writeText(const char* text)
{
    ssize_t ignored = write(STDOUT_FILENO, text, strlen(text));
    (void)ignored;
}

void request(char what)
{
    if (!g_windowAttached || g_signalPipe[1] < 0)
        return;
    // A full pipe already holds enough requests; this one may go.
    ssize_t ignored = write(g_signalPipe[1], &what, 1);
    (void)ignored;
}

void install(int signum, void (*handler)(int))
{
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signum, &action, nullptr);
}

}  // namespace

void traceWindowState(bool shown)
{
    printf(shown ? "+DEBUG: main.cpp window shown\n" : "+DEBUG: main.cpp window hidden\n");
    fflush(stdout);
}

void receSignal(int signum)
{
    const int saved = errno;
    if (signum == SIGUSR1) {
        writeText("+DEBUG: main.cpp receSignal() signum == SIGUSR1\n");
        request('h');
    } else if (signum == SIGUSR2) {
        writeText("+DEBUG: main.cpp receSignal() signum == SIGUSR2\n");
        request('s');
    }
    errno = saved;
}

void updateCert(int signum)
{
    const int saved = errno;
    if (signum == SIGXFSZ)
        writeText("+DEBUG: main.cpp receSignal() SIGXFSZ == signum\n");
    errno = saved;
}

void firefoxChangePin(int) {}

bool installProcessSignalHandlers()
{
    if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_signalPipe[0] = g_signalPipe[1] = -1;
        return false;
    }
    install(SIGUSR1, receSignal);
    install(SIGUSR2, receSignal);
    install(SIGXFSZ, updateCert);
    install(SIGWINCH, firefoxChangePin);
    return true;
}

ProcessSignalReceiver::ProcessSignalReceiver(QObject* parent) : QObject(parent), m_notifier(nullptr)
{
    if (g_signalPipe[0] < 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ProcessSignalReceiver::readPipe);
}

ProcessSignalReceiver::~ProcessSignalReceiver()
{
    detachWindow();
}

void ProcessSignalReceiver::attachWindow()
{
    g_windowAttached = 1;
}

void ProcessSignalReceiver::detachWindow()
{
    g_windowAttached = 0;
}

void ProcessSignalReceiver::readPipe()
{
    char requests[64];
    ssize_t n;
    while ((n = read(g_signalPipe[0], requests, sizeof(requests))) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (!g_windowAttached || !g_pMainDlg)
                continue;
            if (requests[i] == 's') {
                g_pMainDlg->show_MainWindow();
                traceWindowState(true);
                emit showRequested();
            } else if (requests[i] == 'h') {
                g_pMainDlg->hide_MainWindow();
                traceWindowState(false);
                emit hideRequested();
            }
        }
    }
}
