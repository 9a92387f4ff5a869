#pragma once
// The daemon's stop flag (defined with the slot registry, which also reads
// it), set from the signal handler and read by the watch.
#include "Pkcs11SlotManager.h"
