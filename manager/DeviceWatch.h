#pragma once
// The watch thread and the update passes that keep the tree in step with the
// slot registry.
#include <cstdint>

class UKeyMainWindow;

// Waits for registry changes of this process until stopWatchThread().
void* threadWaitForSlotChangedNew(void* window);
// One update pass; position points at g_nPostions_init/add/del.
void runUpdatePass(UKeyMainWindow* window, const uint64_t* position);
// Starts a detached thread for one pass; false when no thread could be made.
bool startUpdateThread(UKeyMainWindow* window, int position);
bool startWatchThread(UKeyMainWindow* window);
// Asks the watch threads to end and blocks until they have (within a second).
void stopWatchThread();
// Blocks until every started update pass has finished.
void waitForUpdatePasses();
