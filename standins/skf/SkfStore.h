#pragma once
// The virtual key store as the SKF functions see it: keys by device name,
// one application per key, the store's own PIN accounting.
#include <memory>
#include <string>
#include <vector>

#include "bindings/SkfApi.h"
#include "SkfHandles.h"
#include "Store.h"

namespace skfstub {

// The one application every virtual key carries.
extern const char* const kApplicationName;

// The configured store (Config.ini read again only when it changed).
vtoken::Store store();
// The store a handle's key was connected in.
vtoken::Store storeOf(const HandleInfo& handle);
// Result code of a store status.
SKF_ULONG resultOf(vtoken::Status status);
// A key's record as read last; shared, never changed once read.
using KeyPtr = std::shared_ptr<const vtoken::KeyRecord>;
// The handle's key when plugged with a valid record; SAR_DEVICE_REMOVED otherwise.
SKF_ULONG loadPluggedKey(const HandleInfo& handle, KeyPtr* key);
// Plugged keys ordered by slot, as Store::pluggedKeys.
std::vector<KeyPtr> pluggedKeys(const vtoken::Store& keys);
// The serial of the plugged key with that device name, empty when none.
std::string serialOfDevice(const vtoken::Store& keys, const std::string& deviceName);

// Writes a list of NUL-terminated names ended by an empty name, with the
// standard's size protocol: a null list asks for the size; a list smaller
// than needed gets SAR_BUFFER_TOO_SMALL and the size.
SKF_ULONG writeNameList(const std::vector<std::string>& names, char* list, SKF_ULONG* size);
// Copies at most size-1 bytes of text and terminates it.
void copyText(char* out, size_t size, const std::string& text);

}  // namespace skfstub
