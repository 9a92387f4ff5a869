// run-daemon: runs tarndaemon in the foreground on a simulated USB bus that
// holds one supported device per plugged virtual key; plug and unplug of this
// tool then reach the daemon as a real key would, through a uevent.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "DaemonRelay.h"
#include "Record.h"
#include "Report.h"
#include "StandinRoot.h"
#include "Store.h"
#include "StoreConfig.h"
#include "UsbTestbed.h"

namespace tarnvkey {

namespace {

std::atomic<int> s_stopSignal {0};

void onStopSignal(int signum)
{
    s_stopSignal = signum;
}

std::vector<std::string> ownCommandLine()
{
    std::vector<std::string> out;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string arg;
    while (std::getline(in, arg, '\0'))
        out.push_back(arg);
    return out;
}

// libusb in the daemon and the uevents of the testbed both need the umockdev
// preload library; run this command again under its wrapper when missing.
void reexecUnderUmockdev(Context& context)
{
    const char* preload = getenv("LD_PRELOAD");
    if ((preload && strstr(preload, "umockdev")) || getenv("ZVIT_RUN_DAEMON_WRAPPED"))
        return;
    setenv("ZVIT_RUN_DAEMON_WRAPPED", "1", 1);
    const char* asan = getenv("ASAN_OPTIONS");
    std::string asanOptions = asan && *asan ? std::string(asan) + ":" : std::string();
    setenv("ASAN_OPTIONS", (asanOptions + "verify_asan_link_order=0").c_str(), 1);
    std::vector<std::string> args = ownCommandLine();
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0 || args.empty())
        return;
    self[n] = '\0';
    args[0] = self;
    args.insert(args.begin(), "umockdev-wrapper");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    fflush(nullptr);
    execvp(argv[0], argv.data());
    *context.err << "tarnvkey: umockdev-wrapper cannot be run (" << strerror(errno) << "); is umockdev installed?\n";
}

std::string daemonProgram()
{
    const std::string installed = ztStandinRoot() + "bin/tarndaemon";
    if (access(installed.c_str(), X_OK) == 0)
        return installed;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n > 0) {
        self[n] = '\0';
        std::string dir(self);
        dir = dir.substr(0, dir.rfind('/'));
        if (access((dir + "/tarndaemon").c_str(), X_OK) == 0)
            return dir + "/tarndaemon";
    }
    return installed;
}

// The simulated bus and which device stands for which key.
class Bus
{
public:
    std::string handle(const std::string& line)
    {
        const size_t blank = line.find(' ');
        if (blank == std::string::npos)
            return "error malformed request";
        const std::string verb = line.substr(0, blank);
        const std::string serial = line.substr(blank + 1);
        if (!vtoken::validSerial(serial))
            return "error invalid serial";
        std::lock_guard<std::mutex> lock(m_mutex);
        if (verb == "plug") {
            if (m_devices.count(serial))
                return "ok";  // already on the bus
            const int id = m_testbed.plug();
            if (!id)
                return "error the simulated device cannot be added";
            m_devices[serial] = id;
            return "ok";
        }
        if (verb == "unplug") {
            auto it = m_devices.find(serial);
            if (it != m_devices.end()) {
                m_testbed.unplug(it->second);
                m_devices.erase(it);
            }
            return "ok";
        }
        return "error unknown request";
    }
    void addPresent(const std::string& serial)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_devices[serial] = m_testbed.addQuietly();
    }
    std::string folder() const { return m_testbed.rootDir(); }

private:
    UsbTestbed m_testbed;
    std::map<std::string, int> m_devices;
    std::mutex m_mutex;
};

int listenOn(const std::string& path, std::string* error)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        *error = "store folder path too long for the run-daemon socket";
        return -1;
    }
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = strerror(errno);
        return -1;
    }
    // A live run-daemon answers; a dead one left only its socket file behind.
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        close(fd);
        *error = "another run-daemon already serves this store";
        return -1;
    }
    close(fd);
    unlink(path.c_str());
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 8) != 0) {
        *error = strerror(errno);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    chmod(path.c_str(), 0600);
    return fd;
}

// One request per connection; a client that sends too much or nothing at all
// is dropped instead of holding the bus up.
void serveOne(int client, Bus& bus)
{
    std::string line;
    char buffer[kRelayLineMax];
    while (line.find('\n') == std::string::npos && line.size() < kRelayLineMax) {
        pollfd p {client, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            return;
        ssize_t n = read(client, buffer, sizeof(buffer));
        if (n <= 0)
            return;
        line.append(buffer, static_cast<size_t>(n));
    }
    const size_t end = line.find('\n');
    const std::string reply =
        (end == std::string::npos ? std::string("error request too long") : bus.handle(line.substr(0, end))) + "\n";
    ssize_t ignored = send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    (void)ignored;
}

}  // namespace

int runRunDaemon(Context& context)
{
    // Everything after "--" goes to the daemon unchanged.
    std::vector<std::string> daemonArgs;
    std::vector<std::string> own;
    bool passOn = false;
    for (const std::string& arg : context.args) {
        if (!passOn && arg == "--") {
            passOn = true;
            continue;
        }
        (passOn ? daemonArgs : own).push_back(arg);
    }
    Context ownContext = context;
    ownContext.args = own;
    ParsedArgs args;
    int code;
    if (!parseCommand(ownContext, "run-daemon", 0, {}, {}, &args, &code))
        return code;

    reexecUnderUmockdev(context);
    const vtoken::Store store(context.storeFolder);
    if (store.prepare() != vtoken::Status::Ok)
        return fail(context, "the store folder " + context.storeFolder + " cannot be used");

    // The daemon's token library must read the same store: give it a root of
    // its own whose configuration differs from the installed one only there.
    const std::string privateRoot = context.storeFolder + "/.run-daemon-root/";
    mkdir(privateRoot.c_str(), 0700);
    mkdir((privateRoot + "ConfigFile").c_str(), 0700);
    {
        std::ifstream in(ztStandinConfigPath());
        std::ofstream out(privateRoot + "ConfigFile/Config.ini", std::ios::trunc);
        std::string line;
        bool inSection = false, written = false;
        while (std::getline(in, line)) {
            if (!line.empty() && line[0] == '[') {
                if (inSection && !written) {
                    out << "StorePath=" << context.storeFolder << '\n';
                    written = true;
                }
                inSection = line.compare(0, 14, "[VirtualToken]") == 0;
            } else if (inSection && line.compare(0, 10, "StorePath=") == 0) {
                out << "StorePath=" << context.storeFolder << '\n';
                written = true;
                continue;
            }
            out << line << '\n';
        }
        if (!written)
            out << (inSection ? "" : "[VirtualToken]\n") << "StorePath=" << context.storeFolder << '\n';
    }

    Bus bus;
    int present = 0;
    for (const vtoken::KeyRecord& key : store.pluggedKeys()) {
        bus.addPresent(key.serial);
        ++present;
    }
    std::string error;
    const std::string socketPath = relaySocketPath(context.storeFolder);
    const int listener = listenOn(socketPath, &error);
    if (listener < 0)
        return fail(context, error);

    const std::string program = daemonProgram();
    *context.out << "run-daemon: simulated USB bus " << bus.folder() << " with " << present
                 << " key(s); store " << context.storeFolder << "; running " << program << std::endl;

    fflush(nullptr);
    pid_t daemon = fork();
    if (daemon == 0) {
        setenv("ZVIT_FILES_ROOT", privateRoot.c_str(), 1);
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), daemonArgs.begin(), daemonArgs.end());
        std::vector<char*> cargv;
        for (std::string& a : argv)
            cargv.push_back(&a[0]);
        cargv.push_back(nullptr);
        execv(cargv[0], cargv.data());
        fprintf(stderr, "tarnvkey: %s cannot be run: %s\n", program.c_str(), strerror(errno));
        _exit(127);
    }
    if (daemon < 0) {
        close(listener);
        unlink(socketPath.c_str());
        return fail(context, "the daemon cannot be started");
    }

    // Ctrl-C or a termination ends the demo and the daemon with it (the daemon
    // itself only stops its watch on SIGINT).
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    int status = 0;
    bool ended = false;
    while (!ended) {
        if (s_stopSignal) {
            kill(daemon, SIGTERM);
            waitpid(daemon, &status, 0);
            ended = true;
            break;
        }
        pid_t r = waitpid(daemon, &status, WNOHANG);
        if (r == daemon) {
            ended = true;
            break;
        }
        pollfd p {listener, POLLIN, 0};
        if (poll(&p, 1, 200) > 0) {
            int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                serveOne(client, bus);
                close(client);
            }
        }
    }
    close(listener);
    unlink(socketPath.c_str());
    if (s_stopSignal)
        return kExitOk;
    if (WIFEXITED(status)) {
        *context.out << "run-daemon: the daemon ended with status " << WEXITSTATUS(status) << std::endl;
        return WEXITSTATUS(status) == 0 ? kExitOk : kExitFailed;
    }
    *context.out << "run-daemon: the daemon was ended by signal " << WTERMSIG(status) << std::endl;
    return kExitFailed;
}

}  // namespace tarnvkey
