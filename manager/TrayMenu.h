#pragma once
// The tray icon and its menu.
class QMenu;
class QSystemTrayIcon;
class UKeyMainWindow;

// Builds the icon (parented to the window) and its menu from the
// configuration's "SupportProgramID": values beginning with "0300" get no
// quit entry. The menu lives until the process ends.
QSystemTrayIcon* createTrayIcon(UKeyMainWindow* window, QMenu** menuOut);
