// Desktop notifications of key insertion and removal over the session bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "Language.h"
#include "Daemon.h"
#include "ZTLog.h"
#include "global_def_var.h"

namespace {

const char kAppName[] = "ZEZudo Zavazor";
const int kExpireMs = 3000;

}  // namespace

void sendSystemNotification(const QString& textKey)
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
    call << QString::fromUtf8(kAppName) << static_cast<uint>(0) << QString()
         << Language_LoadString("MessageBox_Title_Notice", g_szLanguageQmFileName)
         << Language_LoadString(textKey, g_szLanguageQmFileName) << QStringList() << hints
         << static_cast<int>(kExpireMs);
    QDBusMessage reply = bus.call(call, QDBus::Block);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        ZTLog::DaemonWriteLog(ZT_LOG_FAILURE, "VUVUdoRizari", __LINE__, "sendSystemNotification failed, DBus error: %s",
                              reply.errorMessage().toUtf8().constData());
    }
}
