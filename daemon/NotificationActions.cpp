#include "NotificationActions.h"

#include <QDBusConnection>
#include <QProcess>
#include <atomic>
#include <deque>
#include <mutex>

#include "Daemon.h"
#include "common/ZTLog.h"

namespace {

// Other programs' notifications raise the same signal; only ours open the
// manager. A few recent ids are enough: older ones have long expired.
const size_t kRememberedIds = 16;

std::atomic<NotificationActions*> g_listener {nullptr};
std::mutex g_idsMutex;
std::deque<uint> g_ids;

bool isOurs(uint id)
{
    std::lock_guard<std::mutex> lock(g_idsMutex);
    for (uint known : g_ids) {
        if (known == id)
            return true;
    }
    return false;
}

}  // namespace

NotificationActions::NotificationActions(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() &&
        bus.connect("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                    "org.freedesktop.Notifications", "ActionInvoked", this, SLOT(actionInvoked(uint, QString))))
        g_listener = this;
}

NotificationActions::~NotificationActions()
{
    NotificationActions* self = this;
    g_listener.compare_exchange_strong(self, nullptr);
}

bool NotificationActions::listening()
{
    return g_listener.load() != nullptr;
}

void NotificationActions::remember(uint id)
{
    std::lock_guard<std::mutex> lock(g_idsMutex);
    g_ids.push_back(id);
    while (g_ids.size() > kRememberedIds)
        g_ids.pop_front();
}

void NotificationActions::actionInvoked(uint id, const QString& action)
{
    if (action != QLatin1String("default") || !isOurs(id))
        return;
    // Without "-sys": a manager already running is asked to show itself.
    const QString script = managerLaunchScript();
    ZTLog::DaemonWriteLog(ZT_LOG_STEP, "VUVUdoRizari", __LINE__, "notification clicked, running %s",
                          script.toUtf8().constData());
    QProcess::startDetached(script, QStringList());
}
