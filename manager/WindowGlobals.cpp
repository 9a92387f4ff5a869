#include "WindowGlobals.h"

#include <QtGlobal>

QObject* g_hWndNew = nullptr;
UKeyMainWindow* g_pMainDlg = nullptr;

// The images live in a static library: their registration must be pulled in.
void zvitInitImages()
{
    Q_INIT_RESOURCE(zvit_images);
}
