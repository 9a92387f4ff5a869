#include "SkfStore.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

#include "FileVersion.h"
#include "StandinRoot.h"
#include "SkfWatch.h"
#include "StoreConfig.h"

namespace skfstub {

const char* const kApplicationName = "ZVITAPP";

namespace {

// Where the store is, as read from one version of Config.ini. Every SKF call
// needs it and a page's request makes a dozen calls: reading and parsing the
// file each time was most of the stand-in's cost.
struct StoreFolderRecord {
    bool valid = false;
    uint64_t version = 0;  // of the watched folder of Config.ini; 0 = checked by stat
    std::string key;  // config path and the environment the default folder comes from
    struct stat info {};
    std::string folder;
};

// One lock for every record here and for the folder watch they rely on.
std::mutex g_cacheMutex;
StoreFolderRecord g_folder;

// File times move only as finely as the kernel's clock ticks: a record of a
// file is trusted only once the file's last change is well older than the
// read, so a change within the same tick is never missed.
constexpr long kTickMarginNs = 50L * 1000 * 1000;

bool olderThanMargin(const struct timespec& changed, const struct timespec& now)
{
    const long long changedNs = static_cast<long long>(changed.tv_sec) * 1000000000LL + changed.tv_nsec;
    const long long nowNs = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    return nowNs - changedNs > kTickMarginNs;
}

bool settled(const struct stat& info)
{
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return olderThanMargin(info.st_mtim, now) && olderThanMargin(info.st_ctim, now);
}

std::string environmentKey(const std::string& configPath)
{
    const char* xdg = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    return configPath + '\n' + (xdg ? xdg : "") + '\n' + (home ? home : "");
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

vtoken::Store store()
{
    const std::string configPath = ztStandinConfigPath();
    const std::string key = environmentKey(configPath);
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    const uint64_t version = folderVersion(folderOf(configPath));
    if (version != 0) {
        if (!(g_folder.valid && g_folder.version == version && g_folder.key == key)) {
            g_folder.folder = vtoken::configuredStoreFolder();
            g_folder.key = key;
            g_folder.version = version;
            g_folder.valid = true;
        }
        return vtoken::Store(g_folder.folder);
    }
    // Not watched: the file's own times tell.
    struct stat info {};
    const bool present = stat(configPath.c_str(), &info) == 0;
    if (present && g_folder.valid && g_folder.version == 0 && g_folder.key == key &&
        vtoken::sameFileVersion(g_folder.info, info))
        return vtoken::Store(g_folder.folder);
    const bool trusted = present && settled(info);
    // A change after that stat is read next time: the record keeps the version seen before.
    g_folder.folder = vtoken::configuredStoreFolder();
    g_folder.valid = trusted;
    g_folder.version = 0;
    g_folder.key = key;
    g_folder.info = info;
    return vtoken::Store(g_folder.folder);
}

SKF_ULONG resultOf(vtoken::Status status)
{
    using vtoken::Status;
    switch (status) {
    case Status::Ok:
        return SAR_OK;
    case Status::NotFound:
    case Status::NotPlugged:
        return SAR_DEVICE_REMOVED;
    case Status::PinIncorrect:
        return SAR_PIN_INCORRECT;
    case Status::PinLocked:
        return SAR_PIN_LOCKED;
    case Status::PinLength:
        return SAR_PIN_LEN_RANGE;
    case Status::BadArgument:
        return SAR_INVALIDPARAMERR;
    case Status::NoContainer:
        return SAR_INVALIDPARAMERR;
    case Status::NoCert:
        return SAR_CERTNOTFOUNTERR;
    case Status::Damaged:
    case Status::IoError:
        return SAR_FILEERR;
    default:
        return SAR_FAIL;
    }
}

vtoken::Store storeOf(const HandleInfo& handle)
{
    return vtoken::Store(handle.folder);
}

namespace {

// Records by key, kept while their folder's version holds.
struct CachedKey {
    uint64_t version = 0;
    vtoken::Status status = vtoken::Status::Ok;
    KeyPtr record;
};

// The record files of one version of the store folder.
struct FolderListing {
    std::string folder;
    uint64_t version = 0;  // 0 = checked by stat
    struct stat info {};
    bool trusted = false;
    std::vector<std::string> serials;
};

std::map<std::string, CachedKey> g_keys;
FolderListing g_listing;
constexpr size_t kMaxCachedKeys = 256;

// With the lock held and the folder's version known (0: not watched).
vtoken::Status loadKeyAt(uint64_t version, const vtoken::Store& keys, const std::string& serial, KeyPtr* key)
{
    if (version == 0) {
        // Not watched: the store's own record cache checks the file's stat.
        auto record = std::make_shared<vtoken::KeyRecord>();
        const vtoken::Status status = keys.load(serial, record.get());
        *key = std::move(record);
        return status;
    }
    const std::string path = keys.recordPath(serial);
    auto it = g_keys.find(path);
    if (it == g_keys.end() || it->second.version != version) {
        if (g_keys.size() >= kMaxCachedKeys)
            g_keys.clear();
        auto record = std::make_shared<vtoken::KeyRecord>();
        CachedKey& entry = g_keys[path];
        entry.version = version;
        entry.status = keys.load(serial, record.get());
        entry.record = std::move(record);
        it = g_keys.find(path);
    }
    *key = it->second.record;
    return it->second.status;
}

vtoken::Status loadKey(const vtoken::Store& keys, const std::string& serial, KeyPtr* key)
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    return loadKeyAt(folderVersion(keys.folder()), keys, serial, key);
}

// With the lock held and the folder's version known (0: not watched).
std::vector<std::string> serialsAt(uint64_t version, const vtoken::Store& keys)
{
    if (version != 0) {
        if (g_listing.version != version || g_listing.folder != keys.folder()) {
            g_listing.serials = keys.serials();
            g_listing.folder = keys.folder();
            g_listing.version = version;
        }
        return g_listing.serials;
    }
    struct stat info {};
    if (stat(keys.folder().c_str(), &info) != 0)
        return keys.serials();
    if (g_listing.trusted && g_listing.version == 0 && g_listing.folder == keys.folder() &&
        vtoken::sameFileVersion(g_listing.info, info))
        return g_listing.serials;
    g_listing.trusted = settled(info);
    g_listing.serials = keys.serials();
    g_listing.folder = keys.folder();
    g_listing.version = 0;
    g_listing.info = info;
    return g_listing.serials;
}

}  // namespace

SKF_ULONG loadPluggedKey(const HandleInfo& handle, KeyPtr* key)
{
    const vtoken::Status status = loadKey(storeOf(handle), handle.serial, key);
    if (status != vtoken::Status::Ok)
        return resultOf(status);
    return (*key)->plugged ? SAR_OK : SAR_DEVICE_REMOVED;
}

std::vector<KeyPtr> pluggedKeys(const vtoken::Store& keys)
{
    std::vector<KeyPtr> out;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    const uint64_t version = folderVersion(keys.folder());
    for (const std::string& serial : serialsAt(version, keys)) {
        KeyPtr key;
        if (loadKeyAt(version, keys, serial, &key) == vtoken::Status::Ok && key->plugged)
            out.push_back(std::move(key));
    }
    std::sort(out.begin(), out.end(), [](const KeyPtr& a, const KeyPtr& b) { return a->slot < b->slot; });
    return out;
}

std::string serialOfDevice(const vtoken::Store& keys, const std::string& deviceName)
{
    if (deviceName.empty())
        return std::string();
    for (const KeyPtr& key : pluggedKeys(keys)) {
        if (key->deviceName == deviceName)
            return key->serial;
    }
    return std::string();
}

SKF_ULONG writeNameList(const std::vector<std::string>& givenNames, char* list, SKF_ULONG* size)
{
    if (!size)
        return SAR_INVALIDPARAMERR;
#ifdef SKF_STANDIN_TEST_LONG_LISTS
    // A library whose lists outgrow what callers usually reserve.
    std::vector<std::string> names = givenNames;
    names.push_back(std::string(1100, 'L'));
#else
    const std::vector<std::string>& names = givenNames;
#endif
    size_t needed = 1;
    for (const std::string& name : names)
        needed += name.size() + 1;
    if (!list) {
        *size = static_cast<SKF_ULONG>(needed);
        return SAR_OK;
    }
    if (*size < needed) {
        *size = static_cast<SKF_ULONG>(needed);
        return SAR_BUFFER_TOO_SMALL;
    }
    char* out = list;
    for (const std::string& name : names) {
        memcpy(out, name.c_str(), name.size() + 1);
        out += name.size() + 1;
    }
    *out = '\0';
    *size = static_cast<SKF_ULONG>(needed);
    return SAR_OK;
}

void copyText(char* out, size_t size, const std::string& text)
{
    if (size == 0)
        return;
    const size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace skfstub
