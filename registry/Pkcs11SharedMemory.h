#pragma once
// The slot registry's POSIX shared-memory segment.
#include <cstddef>

#include "common/ZTCommonDef.h"

#define ZT_P11_SHM_SIZE 57472

extern int g_handleShm;         // descriptor of the opened segment; 0 = none
extern void* g_pSharedMemory;   // mapped segment; null = not attached

DWORD CreateSharedMemory();
// 0 when open, 1 when the segment does not exist (yet) or cannot be opened.
DWORD OpenSharedMemory();
// 0x10000007 with no segment open; 0x10000003 when the segment has the wrong
// size (made by someone else, or truncated) or cannot be mapped.
DWORD AttachToSharedMemeory();
void DetachFromSharedMemory();
// True when the name the open segment was found under now refers to another
// segment: a restarted daemon made the registry anew. False when it is gone.
bool SharedMemoryReplaced();
// Opens and maps the segment now under that name in place of the current one.
// The old mapping stays readable until the next reattach or detach, for
// readers that took the pointer before it moved. Codes as above.
DWORD ReattachToSharedMemory();
void DestroySharedMemory();

// Same steps with the name and size given by the caller.
int CreateSharedMemory_Nix(int* descriptor, size_t size, const char* name);
int OpenSharedMemory_Nix(int* descriptor, const char* name);
int DestroySharedMemory_Nix(const char* name);
