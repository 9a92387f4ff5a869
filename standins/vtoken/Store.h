#pragma once
// The on-disk store of virtual keys: one folder, one record file per key
// ("<serial>.vkey"), shared by every process of the user.
//
// Writers lock the key ("<serial>.vkey.lock"), re-read, change and replace the
// file atomically, so a process killed mid-update leaves the old or the new
// record. Plugging takes the store lock ("store.lock") first, then the key's:
// slots are handed out under it. A damaged record makes that key unusable
// (logged); the other keys keep working.
#include <functional>
#include <string>
#include <vector>

#include "Record.h"

namespace vtoken {

struct ListedKey {
    std::string serial;
    Status status = Status::Ok;  // Ok or Damaged/IoError
    KeyRecord record;            // valid when status is Ok
};

struct PinResult {
    Status status = Status::Ok;
    int attemptsLeft = 0;
};

class Store
{
public:
    explicit Store(std::string folder);
    // The folder of Config.ini's [VirtualToken] StorePath (see StoreConfig.h).
    static Store configured();

    const std::string& folder() const { return m_folder; }
    std::string recordPath(const std::string& serial) const;

    // IoError, logged, when the folder may not hold keys (see
    // storeFolderProblem); every operation checks it first.
    Status checkFolder() const;
    // Creates the folder (mode 0700, parents too) when missing.
    Status prepare() const;
    // Serial numbers of every record file, sorted. Lists are empty when the
    // folder is refused.
    std::vector<std::string> serials() const;
    std::vector<ListedKey> list() const;
    // Plugged keys with a valid record, ordered by slot.
    std::vector<KeyRecord> pluggedKeys() const;

    Status load(const std::string& serial, KeyRecord* record) const;
    Status create(const KeyRecord& record) const;
    Status remove(const std::string& serial) const;
    // Locks the key, loads it, runs edit, and writes the record back when edit
    // returns Ok; edit's result is returned. Serial and device name are kept.
    Status update(const std::string& serial, const std::function<Status(KeyRecord&)>& edit) const;

    Status plug(const std::string& serial, int* slot = nullptr) const;
    Status unplug(const std::string& serial) const;

    // Every attempt is written to the record before the PIN is compared, so a
    // crash never hands out a free attempt.
    PinResult verifyPin(const std::string& serial, PinKind kind, const std::string& pin) const;
    PinResult changePin(const std::string& serial, PinKind kind, const std::string& oldPin,
                        const std::string& newPin) const;
    // Admin PIN verified (and counted), then the user PIN is replaced and unlocked.
    PinResult unlockPin(const std::string& serial, const std::string& adminPin, const std::string& newUserPin) const;
    // Sets the attempts left (0..255); raises the maximum when needed.
    Status setRetries(const std::string& serial, int attempts) const;

private:
    // What every operation on one key checks first: the serial is valid
    // (BadArgument), the folder may hold keys (IoError) and, when asked, the
    // record exists (NotFound).
    Status checkKey(const std::string& serial, bool mustExist) const;
    Status write(const KeyRecord& record) const;
    void removeStaleTemporaries(const std::string& serial) const;
    PinResult countedAttempt(const std::string& serial, PinKind kind, const std::string& pin,
                             const std::function<Status(KeyRecord&)>& onSuccess) const;

    std::string m_folder;
};

// Why the last write of this thread failed (file and system error), for the
// message of an IoError; empty when it has not failed.
std::string lastStoreError();

// A new, unplugged key with the given PINs (validated) and no containers.
Status newKeyRecord(const std::string& serial, const std::string& label, const std::string& userPin,
                    bool pinChanged, KeyRecord* record);

}  // namespace vtoken
