#pragma once
// The WebSocket server through which the bank's web pages reach the key. Each
// text message is one request; the reply goes back on the same connection.
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include "BridgeProtocol.h"

class QWebSocket;
class QWebSocketServer;
class QWebSocketCorsAuthenticator;

class ZTWebSocketServer : public QObject
{
    Q_OBJECT
public:
    explicit ZTWebSocketServer(quint16 port, QObject* parent = nullptr);
    ~ZTWebSocketServer() override;

    bool loadSKFLib(const char* path) { return protocol.loadSKFLib(path); }
    // The port in use, 0 when the bridge does not listen.
    quint16 serverPort() const { return listeningPort; }
    int clientCount() const { return clients.size(); }

    // Ports tried after the first one.
    static constexpr int kPortRange = 10;
    // Messages above this are dropped by the socket itself; between the
    // protocol's own limit and this one the page gets an error reply.
    static constexpr quint64 kSocketMessageLimit = 1024 * 1024;

public slots:
    void onNewConnection();
    void processMessage(QString message);
    void socketDisconnected();

private slots:
    void checkOrigin(QWebSocketCorsAuthenticator* authenticator);

private:
    bool listenOnLoopback(quint16 port);

    QWebSocketServer* webSocketServer;
    // The same port on ::1; stays closed where IPv6 is not available.
    QWebSocketServer* webSocketServer6;
    QList<QWebSocket*> clients;
    QMutex mutex;
    BridgeProtocol protocol;
    quint16 listeningPort = 0;
};
