#pragma once
// A private desktop bus for one test: its own dbus-daemon --session and,
// when asked, the recording notification service on it.
#include <string>
#include <sys/types.h>
#include <vector>

struct RecordedNotification {
    std::string line;  // the raw JSON record
    std::string appName, appIcon, summary, body, imagePath, imagePathType, signature;
    long long replacesId = -1, expireTimeout = 0;
    size_t actionCount = 0, hintCount = 0;
};

class PrivateSessionBus
{
public:
    // folder: where the bus socket and the records live.
    explicit PrivateSessionBus(const std::string& folder);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return m_address; }
    std::string environment() const { return "DBUS_SESSION_BUS_ADDRESS=" + m_address; }
    // Starts the recording notification service; refuse makes it answer every
    // Notify with an error, actions makes it offer actions and click each
    // notification's default one. Returns false when it did not come up.
    bool startNotificationServer(bool refuse = false, bool actions = false);
    void stopNotificationServer();
    std::vector<RecordedNotification> notifications() const;
    // Waits until at least count notifications were recorded.
    std::vector<RecordedNotification> waitNotifications(size_t count, int timeoutMs) const;

private:
    std::string m_folder;
    std::string m_address;
    pid_t m_busPid = -1;
    pid_t m_serverPid = -1;
};

// A value of a flat JSON object field as text ("" when missing).
std::string jsonField(const std::string& json, const std::string& key);

// Makes Qt's session bus manager on the calling thread. Qt keeps it until
// exit; made first by a short-lived worker thread it is reported as a leak.
void primeSessionBusManager();
