#include "TrayMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <cstring>

#include "bindings/ZTUtil_fundef.h"
#include "MainWindow.h"
#include "StatusNotifierItem.h"
#include "common/global_def_var.h"

namespace {

QString tr(const char* key)
{
    return QCoreApplication::translate("QObject", key);
}

bool quitAllowed()
{
    char value[ZT_PATH_LEN] = {0};
    size_t size = sizeof(value);
    if (!ZTUtil_GetIniStringA ||
        ZTUtil_GetIniStringA("ZTTokenInfo", "SupportProgramID", "", value, &size, g_szConfigFilePath) != 0)
        value[0] = '\0';
    value[ZT_PATH_LEN - 1] = '\0';
    return strncmp(value, "0300", 4) != 0;
}

}  // namespace

namespace {
const char kIconPath[] = ":/Image/Res/logo.ico";
}  // namespace

QSystemTrayIcon* createTrayIcon(UKeyMainWindow* window, QMenu** menuOut)
{
    QSystemTrayIcon* tray = new QSystemTrayIcon(QIcon(kIconPath), window);
    tray->setToolTip(tr("Product_Name"));

    QMenu* menu = new QMenu();
    QAction* mainWindowAction = new QAction(tr("Main_Window_Action"), menu);
    QAction* aboutAction = new QAction(tr("About_Action"), menu);
    QAction* quitAction = new QAction(tr("Quit_Action"), menu);
    QObject::connect(aboutAction, &QAction::triggered, window, &UKeyMainWindow::slot_showAboutDialog,
                     Qt::DirectConnection);
    QObject::connect(mainWindowAction, &QAction::triggered, window, &UKeyMainWindow::show_MainWindow,
                     Qt::DirectConnection);
    QObject::connect(quitAction, &QAction::triggered, [] { QCoreApplication::exit(0); });

    menu->addAction(aboutAction);
    if (quitAllowed())
        menu->addAction(quitAction);
    tray->setContextMenu(menu);

    // Brings back a minimized window too, not only a hidden one.
    QObject::connect(tray, &QSystemTrayIcon::activated, window, [window](QSystemTrayIcon::ActivationReason) {
        window->show_MainWindow();
    }, Qt::DirectConnection);
    if (menuOut)
        *menuOut = menu;
    return tray;
}

StatusNotifierItem* createStatusNotifierItem(UKeyMainWindow* window, QMenu* menu, QDBusConnection bus)
{
    auto* item = new StatusNotifierItem(tr("Product_Name"), QIcon(kIconPath), bus, window);
    QObject::connect(item, &StatusNotifierItem::activated, window, &UKeyMainWindow::show_MainWindow);
    QObject::connect(item, &StatusNotifierItem::contextMenuRequested, menu, [menu](int x, int y) {
        // Some hosts send no position.
        menu->popup(x || y ? QPoint(x, y) : QCursor::pos());
        menu->activateWindow();
    });
    return item;
}
