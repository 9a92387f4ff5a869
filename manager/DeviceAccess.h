#pragma once
// Opening the key behind a device name or a tree node, and its PIN state.
#include "common/ZTCommonDef.h"

struct KeySelection;

// *handle: the opened key (bound to the registry's slot of that name), or
// null. The caller closes a non-null handle.
void getDeviceHandleByName(void** handle, const char* deviceName);
void getDeviceHandleBySelectedNode(const KeySelection& selection, void** handle);
// 0, 0x30001036 (initial PIN never changed) or 0x10000001 (unreadable).
unsigned long getCurrentRetryCount(const char* deviceName, unsigned long* retryCount);
