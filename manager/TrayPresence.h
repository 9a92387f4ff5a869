#pragma once
// Where the main window goes when it is put away. With a tray showing our
// icon it is hidden; without one (no tray host, or not yet) it is minimized
// so it stays in the task bar, and the window's own menu bar offers the tray
// menu's entries. A tray that appears later gets the icon without a restart.
// With our own item registered on the session bus, the XEmbed icon stays
// hidden so a panel that hosts both does not show it twice.
#include <QObject>
#include <QTimer>

class QMainWindow;
class QSystemTrayIcon;
class StatusNotifierItem;
class QWidget;

class TrayPresence : public QObject
{
    Q_OBJECT

public:
    // The icon's context menu must be set; its actions are shared with the
    // window's menu bar.
    TrayPresence(QMainWindow* window, QSystemTrayIcon* tray, StatusNotifierItem* item = nullptr,
                 QObject* parent = nullptr);
    ~TrayPresence() override;

    // Whether the live presence currently has a tray; false without one.
    static bool trayShown();
    // Hidden with a tray, minimized without.
    static void putAway(QWidget* window);

    // Asks the desktop again now instead of at the next poll.
    void check();

signals:
    void trayChanged(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // windowPlaced: the window was shown or put away before.
    void apply(bool windowPlaced);
    bool itemRegistered() const;
    bool xembedAvailable() const;

    QMainWindow* m_window;
    QSystemTrayIcon* m_tray;
    StatusNotifierItem* m_item;
    QTimer m_poll;
    bool m_shown = false;
    bool m_iconShown = false;
};
