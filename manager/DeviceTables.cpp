#include "DeviceTables.h"

#include <QtGlobal>

char g_szDeviceNameNew[ZT_DEVICE_ROWS][ZT_PATH_LEN] = {};
unsigned char g_szLabelUtf16New[ZT_DEVICE_ROWS][64] = {};
char g_szSNNew[ZT_DEVICE_ROWS][ZT_SERIAL_ROW_LEN] = {};
QString g_qstrLabelNew[ZT_DEVICE_ROWS];

int g_i_slotNeedSetPin = -1;

pthread_mutex_t g_mutexEnumDeviceNew = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t g_mutexDeviceEventNew = PTHREAD_MUTEX_INITIALIZER;

uint64_t g_dwIniForceModifyPin = 0;
uint64_t g_dwSoftKBStyle = 0;

QObject* g_hWndNew = nullptr;
UKeyMainWindow* g_pMainDlg = nullptr;

// The images live in a static library: their registration must be pulled in.
void zvitInitImages()
{
    Q_INIT_RESOURCE(zvit_images);
}
