#pragma once
// The tray icon and its menu.
#include <QDBusConnection>

class QMenu;
class StatusNotifierItem;
class QSystemTrayIcon;
class UKeyMainWindow;

// Builds the icon (parented to the window) and its menu from the
// configuration's "SupportProgramID": values beginning with "0300" get no
// quit entry. The menu lives until the process ends.
QSystemTrayIcon* createTrayIcon(UKeyMainWindow* window, QMenu** menuOut);

// Our session-bus item with the icon's name, activation and menu; owned by
// the window.
StatusNotifierItem* createStatusNotifierItem(UKeyMainWindow* window, QMenu* menu,
                                             QDBusConnection bus = QDBusConnection::sessionBus());
