#pragma once
// Clicking our insertion notification opens the manager's window. The
// listener lives on the thread with the event loop; notifications are sent
// from enumeration threads and only note their ids here.
#include <QObject>

class NotificationActions : public QObject
{
    Q_OBJECT

public:
    explicit NotificationActions(QObject* parent = nullptr);
    ~NotificationActions() override;

    // Any thread: whether a listener exists to act on a click.
    static bool listening();
    static void remember(uint id);

private slots:
    void actionInvoked(uint id, const QString& action);
};
