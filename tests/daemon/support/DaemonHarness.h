#pragma once
// Runs the installed tarndaemon as a real program: on a simulated USB bus,
// with a private session bus and recording notification service, a recording
// launch script, its own virtual key store and its own CSPName written into
// the installation root's Config.ini (restored afterwards). Tests that use it
// must not run concurrently with each other (CTest RESOURCE_LOCK).
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

#include "LaunchRecorder.h"
#include "PrivateSessionBus.h"
#include "registry/Pkcs11SlotManager.h"
#include "standins/usbsim/UsbTestbed.h"

class DaemonHarness
{
public:
    struct Options {
        bool autoShow = false;
        bool notificationServer = true;
        bool sessionBus = true;
        std::string language = "1033";
    };
    DaemonHarness();
    explicit DaemonHarness(const Options& options);
    ~DaemonHarness();
    DaemonHarness(const DaemonHarness&) = delete;
    DaemonHarness& operator=(const DaemonHarness&) = delete;

    static std::string installedRoot();
    // A text of the installed English translation (the harness's language).
    static std::string englishText(const char* key);
    std::string workDir() const { return m_work; }
    std::string cspName() const { return m_csp; }

    // Starts a daemon; its standard output and error go to a file of its own.
    pid_t startDaemon(const std::vector<std::string>& args = {});
    // Starts any program in the daemon's environment (a wrapper of it, say);
    // it is ended with SIGKILL at the latest when the harness ends.
    pid_t startProgram(const std::vector<std::string>& argv);
    std::string storeFolder() const { return m_store; }
    std::string daemonOutput(pid_t pid) const;
    bool daemonAlive(pid_t pid) const;
    // Waits for a daemon to end and returns its status (-1 on time-out).
    int waitDaemonExit(pid_t pid, int timeoutMs);
    void killDaemon(pid_t pid);

    // Virtual keys: created unplugged in the store.
    std::string createKey(const std::string& label);
    // Plugs in the store and on the USB bus at once, as a real insertion
    // would; quiet plugs raise no uevent (keys present before the daemon).
    int plugKey(const std::string& serial, bool quiet = false);
    // The two halves of plugKey, for timing the uevent alone.
    int plugInStore(const std::string& serial);
    void plugOnBus(const std::string& serial, bool quiet = false);
    void unplugKey(const std::string& serial);

    // The registry as the daemon published it (null until it exists).
    const ZTSlotRegistry* registry();
    // Device names of the slots the registry shows present (none without a registry).
    std::set<std::string> presentDevices();
    bool waitRegistry(int timeoutMs);
    // Identity of the registry published under the name now (0 = none). A
    // killed daemon leaves its registry linked, so a restart is seen only
    // once the name refers to another segment.
    ino_t registryInode() const;
    // Unmaps, waits until the name refers to a registry other than old and maps it.
    bool waitRegistryReplaced(ino_t old, int timeoutMs);
    bool waitSlotPresent(int slot, bool present, int timeoutMs);
    // Forgets the mapping, for a registry that a new daemon made again.
    void unmapRegistry();

    // A registered consumer in this process that collects its changes.
    bool startConsumer();
    std::vector<std::pair<int, int>> consumerChanges() const;
    std::vector<std::pair<int, int>> waitConsumerChanges(size_t count, int timeoutMs) const;
    void stopConsumer();

    UsbTestbed& usb() { return *m_usb; }
    PrivateSessionBus& bus() { return *m_bus; }
    LaunchRecorder& launches() { return *m_launch; }
    // XDG_CONFIG_HOME of the daemons it starts.
    std::string userConfigHome() const { return m_work + "/config"; }

private:
    void writeConfig(const Options& options);

    Options m_options;
    std::string m_work, m_csp, m_store;
    std::string m_savedConfig, m_savedLanguage;
    std::unique_ptr<UsbTestbed> m_usb;
    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<LaunchRecorder> m_launch;
    std::map<std::string, int> m_usbIds;
    std::vector<pid_t> m_daemons;  // still to be reaped
    std::map<pid_t, std::string> m_outputs;
    void* m_map = nullptr;
    struct Consumer;
    std::unique_ptr<Consumer> m_consumer;
};

// Slot records compared field by field with what a key should have.
std::string utf16le(const std::string& ascii);
