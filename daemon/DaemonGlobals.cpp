#include "Daemon.h"
#include "StopFlag.h"

volatile int g_nThreadExit = 0;
uint64_t g_dwDevCount = 0;
bool g_canAutoShowManager = false;
uint64_t g_dwEnumInfoCount = 0;
unsigned char* g_pEnumInfo = nullptr;
char g_szDeviceName[ZT_MAX_ENUM_DEVICES][ZT_PATH_LEN] = {};
DeviceEventHandler g_pfnDeviceEvent = nullptr;
