#pragma once
// Our own tray item on the session bus. Qt's looks for a watcher only when it
// starts, so a panel started or restarted later never shows it; this one
// registers whenever a watcher appears and says when it is shown.
#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QString>

class QDBusServiceWatcher;

class StatusNotifierItem : public QObject
{
    Q_OBJECT

public:
    StatusNotifierItem(const QString& title, const QIcon& icon, QDBusConnection bus = QDBusConnection::sessionBus(),
                       QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // The bus name watchers know the item by ("" when the bus refused it).
    QString serviceName() const { return m_service; }
    // A watcher accepted the item.
    bool isRegistered() const { return m_registered; }

    QString title() const { return m_title; }
    QIcon icon() const { return m_icon; }

signals:
    void registeredChanged(bool registered);
    void activated();
    // Where the host asks for the menu, in screen coordinates.
    void contextMenuRequested(int x, int y);

private:
    void registerWithWatcher();
    void setRegistered(bool registered);

    QDBusConnection m_bus;
    QString m_service;
    QString m_title;
    QIcon m_icon;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_registered = false;
};
