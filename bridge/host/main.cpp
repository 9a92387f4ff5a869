// Runs the web page bridge without the manager's window:
//   zvitbridgehost [--port N]
// The installation root comes from ZVIT_FILES_ROOT when set.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/PlatformApi.h"
#include "common/SystemConfig.h"
#include "bindings/ZTUtil_fundef.h"
#include "ZTWebSocketServer.h"
#include "common/global_def_var.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    quint16 port = 51913;
    const QStringList args = app.arguments();
    const int portIndex = args.indexOf(QStringLiteral("--port"));
    if (portIndex > 0 && portIndex + 1 < args.size())
        port = static_cast<quint16>(args.at(portIndex + 1).toUShort());
    const char* root = getenv("ZVIT_FILES_ROOT");
    if (root && *root && strlen(root) < sizeof(g_szFilesRoot))
        zt_strlcpy(g_szFilesRoot, root, sizeof(g_szFilesRoot));
    initSystemPath(g_szLanguageDirPath, g_szConfigFilePath);
    if (!LoadZTUtilLib())
        fprintf(stderr, "utility library not loaded: configuration defaults apply\n");

    ZTWebSocketServer server(port);
    if (server.serverPort() == 0) {
        fprintf(stderr, "bridge is not listening\n");
        return 1;
    }
    printf("listening on %u\n", server.serverPort());
    fflush(stdout);
    return app.exec();
}
