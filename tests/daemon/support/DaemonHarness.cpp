#include "DaemonHarness.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <semaphore.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "common/Language.h"
#include "registry/Pkcs11Mutex.h"
#include "registry/Pkcs11SharedMemory.h"
#include "standins/vtoken/Store.h"
#include "TestRoot.h"
#include "bindings/ZTUtil_fundef.h"
#include "zvit_build_config.h"

namespace fs = std::filesystem;

namespace {

// The consumer thread's wait ends when this is set.
std::atomic<bool> g_consumerStop{false};

bool consumerStopRequested()
{
    return g_consumerStop.load();
}

std::atomic<int> s_counter {0};

std::string makeWorkDir()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zvit-daemon-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    return buf.data();
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string envValue(const char* name)
{
    const char* v = getenv(name);
    return v ? v : "";
}

}  // namespace

std::string utf16le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

struct DaemonHarness::Consumer {
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::pair<int, int>> changes;
};

std::string DaemonHarness::englishText(const char* key)
{
    const std::string qm = installedRoot() + "Languages/1033.qm";
    return Language_LoadString(key, qm.c_str()).toStdString();
}

std::string DaemonHarness::installedRoot()
{
    return ZVIT_FILES_ROOT;
}

DaemonHarness::DaemonHarness() : DaemonHarness(Options()) {}

DaemonHarness::DaemonHarness(const Options& options) : m_options(options)
{
    m_work = makeWorkDir();
    m_store = m_work + "/store";
    m_csp = "Daemon Test " + std::to_string(getpid()) + "." + std::to_string(s_counter++);
    writeConfig(options);
    // The stand-ins loaded by this process (the key store) follow the same root.
    setenv("ZVIT_FILES_ROOT", installedRoot().c_str(), 1);
    m_usb.reset(new UsbTestbed());
    m_bus.reset(new PrivateSessionBus(m_work + "/bus"));
    if (options.notificationServer && !m_bus->startNotificationServer())
        throw std::runtime_error("notification server did not start");
    m_launch.reset(new LaunchRecorder(installedRoot(), m_work + "/launch"));
    vtoken::Store(m_store).prepare();
}

DaemonHarness::~DaemonHarness()
{
    stopConsumer();
    for (pid_t pid : m_daemons)
        killDaemon(pid);
    unmapRegistry();
    m_launch.reset();
    m_bus.reset();
    m_usb.reset();
    // Leave no shared objects of this run behind.
    const std::string simple = simplifiedCspName(m_csp);
    shm_unlink((simple + "P11X64").c_str());
    sem_unlink((simple + "P11SHMLOCK").c_str());
    shm_unlink((simple + "P11SHMLOCK.holder").c_str());
    shm_unlink((simple + "CSPX64").c_str());
    sem_unlink((simple + "TKSHMLOCK").c_str());
    shm_unlink((simple + "TKSHMLOCK.holder").c_str());
    const std::string root = installedRoot();
    writeFile(root + "ConfigFile/Config.ini", m_savedConfig);
    writeFile(root + "Languages/Language.ini", m_savedLanguage);
    std::error_code ec;
    fs::remove_all(m_work, ec);
}

void DaemonHarness::writeConfig(const Options& options)
{
    const std::string root = installedRoot();
    const std::string config = root + "ConfigFile/Config.ini";
    const std::string language = root + "Languages/Language.ini";
    m_savedConfig = readFile(config);
    m_savedLanguage = readFile(language);
    writeFile(config, readFile(ZVIT_TEST_SOURCE_DIR "/config/Config.ini"));
    setIniValue(config, "ZTTokenInfo", "CSPName", m_csp);
    setIniValue(config, "VirtualToken", "StorePath", m_store);
    setIniValue(config, "UkeyManage", "ShowZUdeVovavadErudWhenInsertDev", options.autoShow ? "1" : "0");
    writeFile(language, readFile(ZVIT_TEST_SOURCE_DIR "/config/Language.ini"));
    setIniValue(language, "LanguageDefaultSetting", "language", options.language);
}

pid_t DaemonHarness::startDaemon(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"umockdev-wrapper", installedRoot() + "bin/tarndaemon"};
    argv.insert(argv.end(), args.begin(), args.end());
    return startProgram(argv);
}

pid_t DaemonHarness::startProgram(const std::vector<std::string>& programArgv)
{
    const std::string out = m_work + "/daemon." + std::to_string(m_outputs.size()) + ".out";
    std::vector<std::string> argv = programArgv;
    std::vector<std::string> env = {
        "ASAN_OPTIONS=" + envValue("ASAN_OPTIONS") + (envValue("ASAN_OPTIONS").empty() ? "" : ":") +
            "verify_asan_link_order=0",
        "UMOCKDEV_DIR=" + m_usb->rootDir(),
        "XDG_CONFIG_HOME=" + userConfigHome(),
        m_options.sessionBus ? m_bus->environment()
                             : "DBUS_SESSION_BUS_ADDRESS=unix:path=" + m_work + "/no-session-bus",
    };
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        unsetenv("ZVIT_FILES_ROOT");  // the daemon uses its compiled root only
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
        // Own process group, so the test's signals reach only the daemon.
        setpgid(0, 0);
        // A test program killed on its timeout takes its daemons with it,
        // instead of leaving them to publish into the next test's root.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::vector<char*> cargv;
        for (std::string& a : argv)
            cargv.push_back(&a[0]);
        cargv.push_back(nullptr);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    m_daemons.push_back(pid);
    m_outputs[pid] = out;
    return pid;
}

std::string DaemonHarness::daemonOutput(pid_t pid) const
{
    auto it = m_outputs.find(pid);
    return it == m_outputs.end() ? std::string() : readFile(it->second);
}

bool DaemonHarness::daemonAlive(pid_t pid) const
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

int DaemonHarness::waitDaemonExit(pid_t pid, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            for (pid_t& p : m_daemons) {
                if (p == pid)
                    p = -1;
            }
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        }
        if (r < 0)
            return -1;
        sleepMs(20);
    }
    return -1;
}

void DaemonHarness::killDaemon(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    waitDaemonExit(pid, 5000);
}

std::string DaemonHarness::createKey(const std::string& label)
{
    static std::atomic<int> n {0};
    char serial[17];
    snprintf(serial, sizeof(serial), "DT%06d%05d", static_cast<int>(getpid() % 1000000), n++);
    vtoken::KeyRecord record;
    if (vtoken::newKeyRecord(serial, label, "12345678", true, &record) != vtoken::Status::Ok)
        throw std::runtime_error("key record refused");
    if (vtoken::Store(m_store).create(record) != vtoken::Status::Ok)
        throw std::runtime_error("key cannot be created");
    return serial;
}

int DaemonHarness::plugKey(const std::string& serial, bool quiet)
{
    const int slot = plugInStore(serial);
    if (slot >= 0)
        plugOnBus(serial, quiet);
    return slot;
}

int DaemonHarness::plugInStore(const std::string& serial)
{
    int slot = -1;
    if (vtoken::Store(m_store).plug(serial, &slot) != vtoken::Status::Ok)
        return -1;
    return slot;
}

void DaemonHarness::plugOnBus(const std::string& serial, bool quiet)
{
    m_usbIds[serial] = quiet ? m_usb->addQuietly() : m_usb->plug();
}

void DaemonHarness::unplugKey(const std::string& serial)
{
    vtoken::Store(m_store).unplug(serial);
    auto it = m_usbIds.find(serial);
    if (it != m_usbIds.end()) {
        m_usb->unplug(it->second);
        m_usbIds.erase(it);
    }
}

void DaemonHarness::unmapRegistry()
{
    if (m_map)
        munmap(m_map, ZT_P11_SHM_SIZE);
    m_map = nullptr;
}

const ZTSlotRegistry* DaemonHarness::registry()
{
    if (m_map)
        return static_cast<const ZTSlotRegistry*>(m_map);
    const std::string name = simplifiedCspName(m_csp) + "P11X64";
    int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size != ZT_P11_SHM_SIZE) {
        close(fd);
        return nullptr;
    }
    void* p = mmap(nullptr, ZT_P11_SHM_SIZE, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return nullptr;
    const ZTSlotRegistry* reg = static_cast<const ZTSlotRegistry*>(p);
    // Filled once the library information is written.
    if (reg->info.cryptokiMajor != 2) {
        munmap(p, ZT_P11_SHM_SIZE);
        return nullptr;
    }
    m_map = p;
    return reg;
}

bool DaemonHarness::waitRegistry(int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 2) {
        if (registry())
            return true;
        sleepMs(2);
    }
    return false;
}

std::set<std::string> DaemonHarness::presentDevices()
{
    std::set<std::string> out;
    const ZTSlotRegistry* reg = registry();
    for (int i = 0; reg && i < ZT_SLOT_COUNT; ++i) {
        const ZTSlotRecord& rec = reg->slotRecords[i];
        if (__atomic_load_n(&rec.present, __ATOMIC_ACQUIRE) == 1)
            out.insert(std::string(rec.deviceName, strnlen(rec.deviceName, sizeof(rec.deviceName))));
    }
    return out;
}

ino_t DaemonHarness::registryInode() const
{
    const int fd = shm_open((simplifiedCspName(m_csp) + "P11X64").c_str(), O_RDONLY, 0);
    if (fd < 0)
        return 0;
    struct stat st {};
    const bool ok = fstat(fd, &st) == 0 && st.st_size == ZT_P11_SHM_SIZE;
    close(fd);
    return ok ? st.st_ino : 0;
}

bool DaemonHarness::waitRegistryReplaced(ino_t old, int timeoutMs)
{
    unmapRegistry();
    for (int waited = 0; waited <= timeoutMs; waited += 5) {
        const ino_t now = registryInode();
        if (now != 0 && now != old)
            return waitRegistry(timeoutMs);
        sleepMs(5);
    }
    return false;
}

bool DaemonHarness::waitSlotPresent(int slot, bool present, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        const ZTSlotRegistry* reg = registry();
        if (reg && (reg->slotRecords[slot].present == 1) == present)
            return true;
        sleepMs(10);
    }
    return false;
}

bool DaemonHarness::startConsumer()
{
    stopConsumer();
    static bool loaded = LoadZTUtilLib();
    if (!loaded)
        return false;
    DetachFromSharedMemory();
    if (OpenSharedMemory() != 0 || AttachToSharedMemeory() != 0 || CreateWinProcLock() != 0)
        return false;
    if (!SlotManagerRegisterProcess())
        return false;
    g_consumerStop = false;
    m_consumer.reset(new Consumer());
    Consumer* c = m_consumer.get();
    c->thread = std::thread([c] {
        while (!g_consumerStop) {
            int kind = -1, slot = -1;
            if (SlotManagerGetSlotChanged(&kind, &slot, consumerStopRequested) != 0 || g_consumerStop)
                break;
            std::lock_guard<std::mutex> lock(c->mutex);
            c->changes.push_back({kind, slot});
        }
    });
    return true;
}

std::vector<std::pair<int, int>> DaemonHarness::consumerChanges() const
{
    if (!m_consumer)
        return {};
    std::lock_guard<std::mutex> lock(m_consumer->mutex);
    return m_consumer->changes;
}

std::vector<std::pair<int, int>> DaemonHarness::waitConsumerChanges(size_t count, int timeoutMs) const
{
    for (int waited = 0;; waited += 20) {
        auto list = consumerChanges();
        if (list.size() >= count || waited >= timeoutMs)
            return list;
        sleepMs(20);
    }
}

void DaemonHarness::stopConsumer()
{
    if (!m_consumer)
        return;
    g_consumerStop = true;
    if (m_consumer->thread.joinable())
        m_consumer->thread.join();
    SlotManagerUnRegisterProcess();
    DetachFromSharedMemory();
    m_consumer.reset();
}
