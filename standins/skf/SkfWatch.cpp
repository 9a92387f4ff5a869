#include "SkfWatch.h"

#include <cerrno>
#include <map>
#include <sys/inotify.h>
#include <unistd.h>

namespace skfstub {

namespace {

constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY |
                              IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
// Folders watched at most; beyond them the files are looked at directly.
constexpr size_t kMaxFolders = 64;

struct Watch {
    int fd = -1;
    bool unavailable = false;
    uint64_t version = 1;
    std::map<std::string, int> byFolder;
    std::map<int, std::string> byDescriptor;
    // The library may be unloaded and loaded again: no descriptor is left behind.
    ~Watch()
    {
        if (fd >= 0)
            close(fd);
    }
};

Watch g_watch;

void forgetAll()
{
    for (const auto& entry : g_watch.byFolder)
        inotify_rm_watch(g_watch.fd, entry.second);
    g_watch.byFolder.clear();
    g_watch.byDescriptor.clear();
}

// Reads every queued notification: any of them is a change.
void drain()
{
    alignas(struct inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(g_watch.fd, buffer, sizeof(buffer));
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            return;
        }
        ++g_watch.version;
        for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(struct inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
            if (event->mask & IN_Q_OVERFLOW) {
                forgetAll();
            } else if (event->mask & IN_IGNORED) {
                // The folder went away: watched anew if it comes back.
                const auto it = g_watch.byDescriptor.find(event->wd);
                if (it != g_watch.byDescriptor.end()) {
                    g_watch.byFolder.erase(it->second);
                    g_watch.byDescriptor.erase(it);
                }
            }
            offset += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
        }
    }
}

}  // namespace

uint64_t folderVersion(const std::string& folder)
{
    if (g_watch.unavailable || folder.empty())
        return 0;
    if (g_watch.fd < 0) {
        g_watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (g_watch.fd < 0) {
            g_watch.unavailable = true;
            return 0;
        }
    }
    drain();
    if (!g_watch.byFolder.count(folder)) {
        if (g_watch.byFolder.size() >= kMaxFolders)
            forgetAll();
        const int wd = inotify_add_watch(g_watch.fd, folder.c_str(), kChanges | IN_ONLYDIR);
        if (wd < 0)
            return 0;
        g_watch.byFolder[folder] = wd;
        g_watch.byDescriptor[wd] = folder;
        // What was read before the watch began is not vouched for.
        ++g_watch.version;
    }
    return g_watch.version;
}

}  // namespace skfstub
