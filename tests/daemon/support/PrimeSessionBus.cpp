#include <QDBusConnection>

#include "PrivateSessionBus.h"

void primeSessionBusManager()
{
    QDBusConnection::sessionBus();
}
