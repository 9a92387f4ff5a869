// Desktop notifications of key insertion and removal over the session bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "common/Language.h"
#include "Daemon.h"
#include "NotificationActions.h"
#include "common/ZTLog.h"
#include "common/global_def_var.h"

namespace {

const char kAppName[] = "ZEZudo Zavazor";
const int kExpireMs = 3000;
// The menu entry's basename, so the desktop shows our name and icon.
const char kDesktopEntry[] = "tarnukey";
// A server that does not answer must not hold up the enumeration pass.
const int kCapabilitiesTimeoutMs = 2000;

bool serverOffersActions(QDBusConnection& bus)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                       "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "GetCapabilities");
    QDBusMessage reply = bus.call(call, QDBus::Block, kCapabilitiesTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toStringList().contains(QStringLiteral("actions"));
}

}  // namespace

void sendSystemNotification(const QString& textKey, bool opensManager)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__,
                              "sendSystemNotification failed, DBus connection error: Session bus is not connected.");
        return;
    }
    char iconPath[ZT_PATH_LEN];
    if (!ztFilesPath(iconPath, "Resources/notifyIcon.png"))
        iconPath[0] = '\0';

    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                       "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "Notify");
    QVariantMap hints;
    hints.insert("image-path", QString::fromUtf8(iconPath));
    QStringList actions;
    const bool clickable = opensManager && NotificationActions::listening() && serverOffersActions(bus);
    if (clickable) {
        actions << QStringLiteral("default") << Language_LoadString("Notify_Open_Manager", g_szLanguageQmFileName);
        hints.insert("desktop-entry", QString::fromLatin1(kDesktopEntry));
    }
    call << QString::fromUtf8(kAppName) << static_cast<uint>(0) << QString()
         << Language_LoadString("MessageBox_Title_Notice", g_szLanguageQmFileName)
         << Language_LoadString(textKey, g_szLanguageQmFileName) << actions << hints
         << static_cast<int>(kExpireMs);
    QDBusMessage reply = bus.call(call, QDBus::Block);
    if (clickable && reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        NotificationActions::remember(reply.arguments().first().toUInt());
    if (reply.type() == QDBusMessage::ErrorMessage) {
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__, "sendSystemNotification failed, DBus error: %s",
                              reply.errorMessage().toUtf8().constData());
    }
}
