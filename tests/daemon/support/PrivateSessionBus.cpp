#include "PrivateSessionBus.h"

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestRoot.h"

namespace {

bool waitForFile(const std::string& path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (access(path.c_str(), F_OK) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return access(path.c_str(), F_OK) == 0;
}

void stopChild(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitChild(pid);
    pid = -1;
}

// Reads a JSON string or number starting at pos (after the colon).
std::string jsonValueAt(const std::string& json, size_t pos)
{
    while (pos < json.size() && json[pos] == ' ')
        ++pos;
    if (pos >= json.size())
        return "";
    if (json[pos] == '"') {
        std::string out;
        for (size_t i = pos + 1; i < json.size(); ++i) {
            if (json[i] == '\\' && i + 1 < json.size()) {
                out.push_back(json[++i]);
                continue;
            }
            if (json[i] == '"')
                return out;
            out.push_back(json[i]);
        }
        return out;
    }
    size_t end = json.find_first_of(",}", pos);
    return json.substr(pos, end - pos);
}

}  // namespace

std::string jsonField(const std::string& json, const std::string& key)
{
    const std::string needle = "\"" + key + "\":";
    size_t pos = json.find(needle);
    if (pos == std::string::npos)
        return "";
    return jsonValueAt(json, pos + needle.size());
}

PrivateSessionBus::PrivateSessionBus(const std::string& folder) : m_folder(folder)
{
    mkdir(folder.c_str(), 0700);
    const std::string socket = folder + "/bus";
    m_address = "unix:path=" + socket;
    m_busPid = spawnProgram("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=" + m_address});
    if (!waitForFile(socket, 10000))
        throw std::runtime_error("private dbus-daemon did not start");
}

PrivateSessionBus::~PrivateSessionBus()
{
    stopNotificationServer();
    stopChild(m_busPid);
}

bool PrivateSessionBus::startNotificationServer(bool refuse, bool actions)
{
    stopNotificationServer();
    const std::string ready = m_folder + "/notify.ready";
    unlink(ready.c_str());
    std::vector<std::string> args = {ZVIT_DAEMON_TEST_DIR "/notify_recorder.py", m_folder + "/notify.jsonl", ready};
    if (refuse)
        args.push_back("--fail");
    if (actions)
        args.push_back("--actions");
    m_serverPid = spawnProgram("/usr/bin/python3", args, {environment()});
    return waitForFile(ready, 15000);
}

void PrivateSessionBus::stopNotificationServer()
{
    stopChild(m_serverPid);
}

std::vector<RecordedNotification> PrivateSessionBus::notifications() const
{
    std::vector<RecordedNotification> out;
    const std::string text = readFile(m_folder + "/notify.jsonl");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break;  // a line still being written
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        RecordedNotification n;
        n.line = line;
        n.signature = jsonField(line, "signature");
        n.appName = jsonField(line, "app_name");
        n.appIcon = jsonField(line, "app_icon");
        n.summary = jsonField(line, "summary");
        n.body = jsonField(line, "body");
        n.imagePath = jsonField(line, "image-path");
        n.replacesId = std::stoll("0" + jsonField(line, "replaces_id"));
        const std::string expire = jsonField(line, "expire_timeout");
        n.expireTimeout = expire.empty() ? 0 : std::stoll(expire);
        const size_t types = line.find("\"hint_types\":");
        if (types != std::string::npos)
            n.imagePathType = jsonField(line.substr(types), "image-path");
        const size_t actions = line.find("\"actions\": [");
        if (actions != std::string::npos) {
            size_t quotes = 0;
            for (size_t i = actions + 12; i < line.size() && line[i] != ']'; ++i)
                quotes += line[i] == '"';
            n.actionCount = quotes / 2;  // texts without quotes of their own
        }
        const size_t hints = line.find("\"hints\": {");
        if (hints != std::string::npos) {
            const size_t close = line.find('}', hints);
            const std::string body = line.substr(hints, close - hints);
            size_t colons = 0;
            for (char c : body)
                colons += c == ':';
            n.hintCount = colons - 1;  // the one after "hints"
        }
        out.push_back(n);
    }
    return out;
}

std::vector<RecordedNotification> PrivateSessionBus::waitNotifications(size_t count, int timeoutMs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto list = notifications();
        if (list.size() >= count || std::chrono::steady_clock::now() >= end)
            return list;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
