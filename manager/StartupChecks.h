#pragma once
// What the manager needs before its window can work, and how it says so when
// something is missing: never by ending silently.
#include <QString>

// Attaches the slot registry. When there is none, starts the key service as
// its autostart entry does and waits up to waitMs for its registry.
// 0 or the registry's failure code.
unsigned long attachKeyService(int waitMs);

// Tells the user why the manager cannot start: on stderr and in a message box
// in the chosen language (textKey with %1 = detail). Returns the exit status.
int reportStartupFailure(const char* textKey, const QString& detail);

// The installed key library file under Librarys/.
QString keyLibraryPath(const char* fileName);
// The key service program the autostart entry runs.
QString keyServiceProgram();
