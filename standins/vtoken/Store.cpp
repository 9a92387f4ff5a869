#include "Store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "FileVersion.h"
#include "Log.h"
#include "Pin.h"
#include "StoreConfig.h"

namespace vtoken {

namespace {

const char kSuffix[] = ".vkey";
constexpr size_t kMaxRecordSize = 1 << 20;

Status mkdirs(const std::string& folder)
{
    std::string path;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        path = folder.substr(0, pos);
        if (path.empty())
            continue;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return Status::IoError;
    }
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? Status::Ok : Status::IoError;
}

// A plain global under a lock, not a thread-local: this code is also loaded
// with dlopen, where a thread-local with a destructor crashed LeakSanitizer's
// tracer at exit.
std::mutex g_errorMutex;
std::string g_lastError;

void setLastError(const std::string& error)
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    g_lastError = error;
}

PinSecret& secretOf(KeyRecord& record, PinKind kind)
{
    return kind == PinKind::Admin ? record.adminPin : record.userPin;
}

}  // namespace

Store::Store(std::string folder) : m_folder(std::move(folder)) {}

Store Store::configured()
{
    return Store(configuredStoreFolder());
}

std::string Store::recordPath(const std::string& serial) const
{
    return m_folder + "/" + serial + kSuffix;
}

Status Store::checkFolder() const
{
    const std::string problem = storeFolderProblem(m_folder);
    // Pollers ask many times a second: a refusal is logged once, until the
    // folder's state changes.
    static std::mutex loggedMutex;
    static std::string logged;
    bool fresh;
    {
        std::lock_guard<std::mutex> lock(loggedMutex);
        fresh = logged != problem;
        logged = problem;
    }
    if (problem.empty())
        return Status::Ok;
    if (fresh)
        logLine(problem);
    return Status::IoError;
}

Status Store::checkKey(const std::string& serial, bool mustExist) const
{
    if (!validSerial(serial))
        return Status::BadArgument;
    if (checkFolder() != Status::Ok)
        return Status::IoError;
    if (mustExist && access(recordPath(serial).c_str(), F_OK) != 0 && errno == ENOENT)
        return Status::NotFound;
    return Status::Ok;
}

Status Store::prepare() const
{
    Status status = checkFolder();
    if (status != Status::Ok)
        return status;
    status = mkdirs(m_folder);
    // Checked again: someone else may have made the folder meanwhile.
    return status == Status::Ok ? checkFolder() : status;
}

std::vector<std::string> Store::serials() const
{
    std::vector<std::string> out;
    if (checkFolder() != Status::Ok)
        return out;
    DIR* dir = opendir(m_folder.c_str());
    if (!dir)
        return out;
    const size_t suffixLen = sizeof(kSuffix) - 1;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() <= suffixLen || name.compare(name.size() - suffixLen, suffixLen, kSuffix) != 0)
            continue;
        std::string serial = name.substr(0, name.size() - suffixLen);
        if (validSerial(serial))
            out.push_back(serial);
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// Parsed records by file version. Every update renames a new file into
// place, so device, inode, size and times name one content; polling callers
// (the daemon enumerates up to 15 times a pass) then cost one stat per key,
// and a damaged record is logged once per version instead of on every poll.
struct CachedRecord {
    struct stat info;
    Status status;
    KeyRecord record;
};

std::mutex g_cacheMutex;
std::map<std::string, CachedRecord> g_cache;

// Reads the file through one descriptor so the text and its stat agree.
Status readVersion(const std::string& path, std::string* text, struct stat* info)
{
    // A FIFO would block until a writer came, a link may lead anywhere:
    // only a regular file is a record.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ELOOP && lstat(path.c_str(), info) == 0)
            return Status::Damaged;
        return errno == ENOENT ? Status::NotFound : Status::IoError;
    }
    Status status = Status::Ok;
    if (fstat(fd, info) != 0) {
        status = Status::IoError;
    } else if (!S_ISREG(info->st_mode) || static_cast<size_t>(info->st_size) > kMaxRecordSize) {
        status = Status::Damaged;
    } else {
        text->assign(static_cast<size_t>(info->st_size), '\0');
        size_t done = 0;
        while (done < text->size()) {
            ssize_t got = read(fd, &(*text)[done], text->size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        if (done != text->size())
            status = Status::IoError;
    }
    close(fd);
    return status;
}

}  // namespace

Status Store::load(const std::string& serial, KeyRecord* record) const
{
    if (Status status = checkKey(serial, false); status != Status::Ok)
        return status;
    const std::string path = recordPath(serial);
    struct stat now;
    if (stat(path.c_str(), &now) != 0)
        return errno == ENOENT ? Status::NotFound : Status::IoError;
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = g_cache.find(path);
        if (it != g_cache.end() && sameFileVersion(it->second.info, now)) {
            if (it->second.status == Status::Ok)
                *record = it->second.record;
            return it->second.status;
        }
    }
    std::string text;
    struct stat info;
    Status status = readVersion(path, &text, &info);
    if (status == Status::NotFound || status == Status::IoError)
        return status;
    KeyRecord parsed;
    if (status == Status::Ok)
        status = parseRecord(text, &parsed);
    if (status == Status::Ok && parsed.serial != serial)
        status = Status::Damaged;  // a record copied under another name
    if (status != Status::Ok)
        logLine("virtual key " + serial + ": damaged record " + path + ", the key is unusable until it is deleted");
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache[path] = CachedRecord{info, status, status == Status::Ok ? parsed : KeyRecord()};
    }
    if (status != Status::Ok)
        return status;
    *record = std::move(parsed);
    return Status::Ok;
}

std::vector<ListedKey> Store::list() const
{
    std::vector<ListedKey> out;
    for (const std::string& serial : serials()) {
        ListedKey key;
        key.serial = serial;
        key.status = load(serial, &key.record);
        if (key.status == Status::NotFound)
            continue;  // deleted meanwhile
        out.push_back(std::move(key));
    }
    return out;
}

std::vector<KeyRecord> Store::pluggedKeys() const
{
    std::vector<KeyRecord> out;
    for (ListedKey& key : list()) {
        if (key.status == Status::Ok && key.record.plugged)
            out.push_back(std::move(key.record));
    }
    std::sort(out.begin(), out.end(), [](const KeyRecord& a, const KeyRecord& b) { return a.slot < b.slot; });
    return out;
}

void Store::removeStaleTemporaries(const std::string& serial) const
{
    // Called with the key locked: any temporary file of this key belongs to a
    // writer that died before its rename.
    const std::string prefix = ztfile::temporaryPrefix(recordPath(serial));
    DIR* dir = opendir(m_folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> stale;
    while (struct dirent* entry = readdir(dir)) {
        if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            stale.push_back(m_folder + "/" + entry->d_name);
    }
    closedir(dir);
    for (const std::string& path : stale)
        unlink(path.c_str());
}

Status Store::write(const KeyRecord& record) const
{
    // A record no reader would accept is never written: a caller's bad field
    // must not turn a working key into a damaged one.
    const std::string text = serializeRecord(record);
    KeyRecord check;
    if (parseRecord(text, &check) != Status::Ok)
        return Status::BadArgument;
    removeStaleTemporaries(record.serial);
    std::string error;
    if (!ztfile::writeAtomically(recordPath(record.serial), text, 0600, &error)) {
        logLine("virtual key " + record.serial + ": " + error);
        setLastError(error);
        return Status::IoError;
    }
    setLastError(std::string());
    return Status::Ok;
}

Status Store::create(const KeyRecord& record) const
{
    if (!validSerial(record.serial))
        return Status::BadArgument;
    Status status = prepare();
    if (status != Status::Ok)
        return status;
    ztfile::LockGuard lock(recordPath(record.serial));
    if (!lock.ok())
        return Status::IoError;
    if (access(recordPath(record.serial).c_str(), F_OK) == 0)
        return Status::Exists;
    KeyRecord copy = record;
    copy.plugged = false;
    copy.slot = -1;
    return write(copy);
}

Status Store::remove(const std::string& serial) const
{
    if (Status status = checkKey(serial, true); status != Status::Ok)
        return status;
    ztfile::LockGuard storeLock(m_folder + "/store");
    ztfile::LockGuard lock(recordPath(serial));
    if (!storeLock.ok() || !lock.ok())
        return Status::IoError;
    if (unlink(recordPath(serial).c_str()) != 0)
        return errno == ENOENT ? Status::NotFound : Status::IoError;
    return Status::Ok;
}

Status Store::update(const std::string& serial, const std::function<Status(KeyRecord&)>& edit) const
{
    // No lock file is left behind for a key that does not exist.
    if (Status status = checkKey(serial, true); status != Status::Ok)
        return status;
    ztfile::LockGuard lock(recordPath(serial));
    if (!lock.ok())
        return Status::IoError;
    KeyRecord record;
    Status status = load(serial, &record);
    if (status != Status::Ok)
        return status;
    const std::string deviceName = record.deviceName;
    status = edit(record);
    if (status != Status::Ok)
        return status;
    record.serial = serial;
    record.deviceName = deviceName;
    return write(record);
}

Status Store::plug(const std::string& serial, int* slot) const
{
    if (Status status = checkKey(serial, false); status != Status::Ok)
        return status;
    ztfile::LockGuard storeLock(m_folder + "/store");
    if (!storeLock.ok())
        return access(m_folder.c_str(), F_OK) == 0 ? Status::IoError : Status::NotFound;
    bool used[kSlotCount] = {};
    for (const KeyRecord& key : pluggedKeys()) {
        if (key.serial != serial)
            used[key.slot] = true;
    }
    return update(serial, [&](KeyRecord& record) {
        if (!record.plugged) {
            int free = 0;
            while (free < kSlotCount && used[free])
                ++free;
            if (free == kSlotCount)
                return Status::NoFreeSlot;
            record.plugged = true;
            record.slot = free;
        }
        if (slot)
            *slot = record.slot;
        return Status::Ok;
    });
}

Status Store::unplug(const std::string& serial) const
{
    if (Status status = checkKey(serial, false); status != Status::Ok)
        return status;
    ztfile::LockGuard storeLock(m_folder + "/store");
    return update(serial, [](KeyRecord& record) {
        record.plugged = false;
        record.slot = -1;
        return Status::Ok;
    });
}

PinResult Store::countedAttempt(const std::string& serial, PinKind kind, const std::string& pin,
                                const std::function<Status(KeyRecord&)>& onSuccess) const
{
    PinResult result;
    result.status = checkKey(serial, true);
    if (result.status != Status::Ok)
        return result;
    ztfile::LockGuard lock(recordPath(serial));
    if (!lock.ok()) {
        result.status = Status::IoError;
        return result;
    }
    KeyRecord record;
    result.status = load(serial, &record);
    if (result.status != Status::Ok)
        return result;
    PinSecret& secret = secretOf(record, kind);
    result.attemptsLeft = secret.attemptsLeft;
    if (secret.attemptsLeft <= 0) {
        result.status = Status::PinLocked;
        return result;
    }
    // A PIN of a length no key accepts is refused without costing an attempt.
    if (!validPin(pin)) {
        result.status = Status::PinLength;
        return result;
    }
    secret.attemptsLeft -= 1;
    result.status = write(record);
    if (result.status != Status::Ok)
        return result;
    result.attemptsLeft = secret.attemptsLeft;
    if (!pinMatches(secret, pin)) {
        result.status = secret.attemptsLeft == 0 ? Status::PinLocked : Status::PinIncorrect;
        return result;
    }
    secret.attemptsLeft = secret.maxAttempts;
    result.status = onSuccess ? onSuccess(record) : Status::Ok;
    if (result.status != Status::Ok) {
        // The PIN was right: the attempt is given back even when the change is refused.
        Status saved = write(record);
        (void)saved;
        result.attemptsLeft = secretOf(record, kind).attemptsLeft;
        return result;
    }
    result.status = write(record);
    result.attemptsLeft = secretOf(record, kind).attemptsLeft;
    return result;
}

PinResult Store::verifyPin(const std::string& serial, PinKind kind, const std::string& pin) const
{
    return countedAttempt(serial, kind, pin, nullptr);
}

PinResult Store::changePin(const std::string& serial, PinKind kind, const std::string& oldPin,
                           const std::string& newPin) const
{
    if (!validPin(newPin)) {
        PinResult result;
        result.status = Status::PinLength;
        return result;
    }
    return countedAttempt(serial, kind, oldPin, [&](KeyRecord& record) {
        Status status = setPinSecret(&secretOf(record, kind), newPin);
        if (status == Status::Ok && kind == PinKind::User)
            record.pinChanged = true;
        return status;
    });
}

PinResult Store::unlockPin(const std::string& serial, const std::string& adminPin,
                           const std::string& newUserPin) const
{
    if (!validPin(newUserPin)) {
        PinResult result;
        result.status = Status::PinLength;
        return result;
    }
    PinResult result = countedAttempt(serial, PinKind::Admin, adminPin, [&](KeyRecord& record) {
        return setPinSecret(&record.userPin, newUserPin);
    });
    if (result.status == Status::Ok) {
        KeyRecord record;
        if (load(serial, &record) == Status::Ok)
            result.attemptsLeft = record.userPin.attemptsLeft;
    }
    return result;
}

Status Store::setRetries(const std::string& serial, int attempts) const
{
    if (attempts < 0 || attempts > kMaxAttempts)
        return Status::BadArgument;
    return update(serial, [&](KeyRecord& record) {
        record.userPin.attemptsLeft = attempts;
        record.userPin.maxAttempts = std::max(record.userPin.maxAttempts, std::max(attempts, 1));
        return Status::Ok;
    });
}

std::string lastStoreError()
{
    std::lock_guard<std::mutex> lock(g_errorMutex);
    return g_lastError;
}

Status newKeyRecord(const std::string& serial, const std::string& label, const std::string& userPin,
                    bool pinChanged, KeyRecord* record)
{
    if (!validSerial(serial) || !validLabel(label))
        return Status::BadArgument;
    KeyRecord r;
    r.serial = serial;
    r.deviceName = deviceNameFor(serial);
    r.label = label;
    r.pinChanged = pinChanged;
    Status status = setPinSecret(&r.userPin, userPin);
    if (status == Status::Ok)
        status = setPinSecret(&r.adminPin, kDefaultAdminPin);
    if (status == Status::Ok)
        *record = std::move(r);
    return status;
}

}  // namespace vtoken
