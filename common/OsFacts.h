#pragma once
// What the system check and the language choice read of the OS.
#include "ZTCommonDef.h"

#define ZT_OS_LANGUAGE_FILE_LEN 8  // "2052.qm" and its terminator

// Appends the first line of the OS issue file to text (size bytes in all).
bool getOSversion_Linux(char* text, unsigned long size);
// The translation file of the system's locale: "2052.qm", "1028.qm" or "1033.qm".
DWORD GetOSLanguage(char* fileName);
