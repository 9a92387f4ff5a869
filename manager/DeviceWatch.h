#pragma once
// The watch threads that keep the device model in step with the slot
// registry: one waits for this process's changes, one follows a restarted
// daemon's new registry. Each change starts an update pass of the model.
class DeviceModel;

// Waits for registry changes of this process until stopWatchThread().
void* threadWaitForSlotChangedNew(void* model);
// false when already started or no thread could be made.
bool startWatchThread(DeviceModel* model);
// Asks the watch threads to end and blocks until they have (within a second).
void stopWatchThread();
