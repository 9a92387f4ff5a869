#pragma once
// Process-wide state of the device watch and update passes.
#include <QString>
#include <cstdint>
#include <pthread.h>

#include "ZTCommonDef.h"

#define ZT_DEVICE_ROWS 10
#define ZT_SERIAL_ROW_LEN 20

// Rows 0..3 follow the registry's slots; only update passes write them, under
// g_mutexEnumDeviceNew.
extern char g_szDeviceNameNew[ZT_DEVICE_ROWS][ZT_PATH_LEN];
extern unsigned char g_szLabelUtf16New[ZT_DEVICE_ROWS][64];
extern char g_szSNNew[ZT_DEVICE_ROWS][ZT_SERIAL_ROW_LEN];
extern QString g_qstrLabelNew[ZT_DEVICE_ROWS];

// Slot of the last forced set-PIN request, -1 = none.
extern int g_i_slotNeedSetPin;

// Whole pass, then one slot's certificates: always taken in this order.
extern pthread_mutex_t g_mutexEnumDeviceNew;
extern pthread_mutex_t g_mutexDeviceEventNew;

// Configuration read by initDialog.
extern uint64_t g_dwIniForceModifyPin;
extern uint64_t g_dwSoftKBStyle;

class QObject;
class UKeyMainWindow;
// The main window as a plain object (tray, workers, PIN and certificate code).
extern QObject* g_hWndNew;
// Set by main once initDialog succeeded; signal requests act on it.
extern UKeyMainWindow* g_pMainDlg;

// Forgets that the web bank page was opened (tests start several windows).
void resetWebBankOpenedForTesting();
