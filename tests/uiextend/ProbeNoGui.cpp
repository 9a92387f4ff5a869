// A windowless program as the daemon is: no Qt application object, no display.
// Loads the library through the binding and tries a dialog.
// Exit 0 when loading worked and the dialog was refused with the no-GUI code.
#include <cstdio>
#include <cstring>

#include "bindings/ZTUIExtend_fundef.h"
#include "common/global_def_var.h"

int main(int argc, char** argv)
{
    if (argc != 2 || strlen(argv[1]) >= ZT_PATH_LEN)
        return 2;
    strcpy(g_szFilesRoot, argv[1]);
    if (!LoadZTUIExtendLib()) {
        fprintf(stderr, "LoadZTUIExtendLib failed\n");
        return 3;
    }
    uint32_t box = fn_ZTUIEx_MessageBox("Pin_Locked", "MessageBox_Title_Notice", 0x10, 0);
    uint32_t verify = fn_ZTUIEx_VerifyPin(nullptr, 1);
    FreeZTUIExtendLib();
    printf("box=%x verify=%x\n", box, verify);
    return box == ZTUIEX_ERR_NO_GUI && verify == ZTUIEX_ERR_NO_GUI ? 0 : 4;
}
