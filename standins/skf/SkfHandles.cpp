#include "SkfHandles.h"

#include <map>
#include <memory>
#include <mutex>

namespace skfstub {

namespace {

std::mutex g_mutex;
// Destroyed when the library is unloaded, with the handles still open.
std::map<void*, std::unique_ptr<HandleInfo>>& table()
{
    static std::map<void*, std::unique_ptr<HandleInfo>> handles;
    return handles;
}

}  // namespace

void* openHandle(const HandleInfo& info)
{
    auto object = std::make_unique<HandleInfo>(info);
    void* handle = object.get();
    std::lock_guard<std::mutex> lock(g_mutex);
    table().emplace(handle, std::move(object));
    return handle;
}

bool lookupHandle(void* handle, HandleKind kind, HandleInfo* info)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = table().find(handle);
    if (it == table().end() || it->second->kind != kind)
        return false;
    *info = *it->second;
    return true;
}

bool closeHandle(void* handle, HandleKind kind)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = table().find(handle);
    if (it == table().end() || it->second->kind != kind)
        return false;
    table().erase(it);
    return true;
}

}  // namespace skfstub
