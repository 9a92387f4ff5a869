#include "SkfStore.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

#include "StandinRoot.h"
#include "StoreConfig.h"

namespace skfstub {

const char* const kApplicationName = "ZVITAPP";

namespace {

// Where the store is, as read from one version of Config.ini. Every SKF call
// needs it and a page's request makes a dozen calls: reading and parsing the
// file each time was most of the stand-in's cost.
struct StoreFolderRecord {
    bool valid = false;
    std::string key;  // config path and the environment the default folder comes from
    struct stat info {};
    std::string folder;
};

std::mutex g_folderMutex;
StoreFolderRecord g_folder;

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

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

}  // namespace

vtoken::Store store()
{
    const std::string configPath = ztStandinConfigPath();
    const std::string key = environmentKey(configPath);
    struct stat info {};
    const bool present = stat(configPath.c_str(), &info) == 0;
    {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        if (present && g_folder.valid && g_folder.key == key && sameFile(g_folder.info, info))
            return vtoken::Store(g_folder.folder);
    }
    const bool trusted = present && settled(info);
    std::string folder = vtoken::configuredStoreFolder();
    // The file may have changed while it was read: the record keeps the
    // version seen before, so a change after that stat is read next time.
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_folder.valid = trusted;
    g_folder.key = key;
    g_folder.info = info;
    g_folder.folder = folder;
    return vtoken::Store(std::move(folder));
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

SKF_ULONG loadPluggedKey(const HandleInfo& handle, vtoken::KeyRecord* record)
{
    const vtoken::Status status = storeOf(handle).load(handle.serial, record);
    if (status != vtoken::Status::Ok)
        return resultOf(status);
    return record->plugged ? SAR_OK : SAR_DEVICE_REMOVED;
}

namespace {

// The record files of one version of the store folder (every rename into it
// changes its times).
struct FolderListing {
    std::string folder;
    struct stat info {};
    bool trusted = false;
    std::vector<std::string> serials;
};

std::mutex g_listingMutex;
FolderListing g_listing;

std::vector<std::string> serialsOf(const vtoken::Store& keys)
{
    struct stat info {};
    if (stat(keys.folder().c_str(), &info) != 0)
        return keys.serials();
    {
        std::lock_guard<std::mutex> lock(g_listingMutex);
        if (g_listing.trusted && g_listing.folder == keys.folder() && sameFile(g_listing.info, info))
            return g_listing.serials;
    }
    const bool trusted = settled(info);
    std::vector<std::string> serials = keys.serials();
    std::lock_guard<std::mutex> lock(g_listingMutex);
    g_listing.folder = keys.folder();
    g_listing.info = info;
    g_listing.trusted = trusted;
    g_listing.serials = serials;
    return serials;
}

}  // namespace

std::vector<vtoken::KeyRecord> pluggedKeys(const vtoken::Store& keys)
{
    std::vector<vtoken::KeyRecord> out;
    for (const std::string& serial : serialsOf(keys)) {
        vtoken::KeyRecord record;
        if (keys.load(serial, &record) == vtoken::Status::Ok && record.plugged)
            out.push_back(std::move(record));
    }
    std::sort(out.begin(), out.end(),
              [](const vtoken::KeyRecord& a, const vtoken::KeyRecord& b) { return a.slot < b.slot; });
    return out;
}

std::string serialOfDevice(const vtoken::Store& keys, const std::string& deviceName)
{
    if (deviceName.empty())
        return std::string();
    for (const vtoken::KeyRecord& key : pluggedKeys(keys)) {
        if (key.deviceName == deviceName)
            return key.serial;
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
