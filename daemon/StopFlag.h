#pragma once
// The daemon's stop flag, set from the signal handler and read by the watch.
extern volatile int g_nThreadExit;
