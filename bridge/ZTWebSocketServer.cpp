#include "ZTWebSocketServer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>
#include <sys/stat.h>

#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "global_def_var.h"

namespace {

bool ipv6Available()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

bool canOpenFile(const char* relative)
{
    char path[ZT_PATH_LEN];
    if (!ztFilesPath(path, relative))
        return false;
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly);
}

bool isRegularFile(const char* relative)
{
    char path[ZT_PATH_LEN];
    struct stat st {};
    return ztFilesPath(path, relative) && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

ZTWebSocketServer::ZTWebSocketServer(quint16 port, QObject* parent)
    : QObject(parent),
      webSocketServer(new QWebSocketServer(QStringLiteral("QtWebSocketServer"), QWebSocketServer::NonSecureMode, this)),
      webSocketServer6(new QWebSocketServer(QStringLiteral("QtWebSocketServer"), QWebSocketServer::NonSecureMode, this))
{
    // The key is never read (the bridge speaks plain WebSocket): it only has
    // to be there, so it can stay root's alone while any user runs the manager.
    if (!canOpenFile("cert/server.crt") || !isRegularFile("cert/server.key")) {
        BRIDGE_LOG("Failed to open SSL certificate or key file");
        return;
    }
    for (QWebSocketServer* server : {webSocketServer, webSocketServer6}) {
        connect(server, &QWebSocketServer::newConnection, this, &ZTWebSocketServer::onNewConnection);
        connect(server, &QWebSocketServer::originAuthenticationRequired, this, &ZTWebSocketServer::checkOrigin);
    }
    for (int i = 0; i < kPortRange; ++i) {
        const quint16 candidate = static_cast<quint16>(port + i);
        if (listenOnLoopback(candidate)) {
            listeningPort = candidate;
            qDebug() << "WebSocket server started on port" << candidate;
            BRIDGE_LOG("WebSocket server started on port:%d", static_cast<int>(candidate));
            return;
        }
    }
    BRIDGE_LOG("Failed to start WebSocket server on any port in range");
    QCoreApplication::exit(-1);
}

ZTWebSocketServer::~ZTWebSocketServer()
{
    webSocketServer->close();
    webSocketServer6->close();
    BRIDGE_LOG("WebSocket server close!");
    const QList<QWebSocket*> open = clients;
    clients.clear();
    qDeleteAll(open);
}

// Only this machine may reach the PIN commands: 127.0.0.1 and ::1 on one port.
bool ZTWebSocketServer::listenOnLoopback(quint16 port)
{
    if (!webSocketServer->listen(QHostAddress::LocalHost, port))
        return false;
    if (webSocketServer6->listen(QHostAddress::LocalHostIPv6, port))
        return true;
    if (!ipv6Available())
        return true;
    webSocketServer->close();
    return false;
}

void ZTWebSocketServer::checkOrigin(QWebSocketCorsAuthenticator* authenticator)
{
    if (!authenticator)
        return;
    const QStringList allowed = bridgeConfigList(ZT_BRIDGE_KEY_ORIGINS);
    if (bridgeOriginAllowed(authenticator->origin(), allowed))
        return;
    authenticator->setAllowed(false);
    BRIDGE_LOG("connection from origin %s refused", authenticator->origin().left(256).toUtf8().constData());
}

void ZTWebSocketServer::onNewConnection()
{
    auto* server = qobject_cast<QWebSocketServer*>(sender());
    if (!server)
        return;
    while (QWebSocket* socket = server->nextPendingConnection()) {
        // Owned by the server, so none outlives it, also one waiting for deleteLater.
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(kSocketMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(kSocketMessageLimit);
        connect(socket, &QWebSocket::textMessageReceived, this, &ZTWebSocketServer::processMessage);
        connect(socket, &QWebSocket::disconnected, this, &ZTWebSocketServer::socketDisconnected);
        clients.append(socket);
        BRIDGE_LOG("find a new connection...");
    }
}

void ZTWebSocketServer::processMessage(QString message)
{
    QMutexLocker locker(&mutex);
    bool closeSender = false;
    const QString reply = protocol.handleMessage(message, &closeSender);
    auto* socket = qobject_cast<QWebSocket*>(sender());
    if (!socket)
        return;
    socket->sendTextMessage(reply);
    if (closeSender) {
        clients.removeAll(socket);
        socket->flush();
        socket->close();
        socket->deleteLater();
    }
}

void ZTWebSocketServer::socketDisconnected()
{
    auto* socket = qobject_cast<QWebSocket*>(sender());
    if (!socket)
        return;
    clients.removeAll(socket);
    socket->deleteLater();
}
