#pragma once
// The WebSocket server through which the bank's web pages reach the key. Each
// text message is one request; the reply goes back on the same connection.
//
// Who is served: a program of another local user is refused at the
// handshake. After it, a page without an Origin (a local program), of an
// origin the bank lists or the user allowed before is served; one the user
// refused before, or any unlisted one when asking is switched off (remembered
// answers included), is closed with code 1008; otherwise the user is asked once per connection, and the
// page's requests wait for the answer.
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <vector>

#include "BridgeAdmission.h"
#include "BridgePinGate.h"
#include "BridgeProtocol.h"
#include "BridgeSiteConsent.h"
#include "BridgeSiteLimits.h"

class BridgePrompts;
class QTcpServer;
class QTimer;
class QWebSocket;
class QWebSocketServer;

class ZTWebSocketServer : public QObject, private BridgeSiteConsent::Host, private BridgePinGate::Host
{
    Q_OBJECT
public:
    explicit ZTWebSocketServer(quint16 port, QObject* parent = nullptr);
    ~ZTWebSocketServer() override;

    // Who answers the server's questions (site consent, last PIN attempt);
    // nullptr: nobody, so unknown origins are refused and a PIN request on
    // the last attempt is not sent. Not owned; must outlive the server or be
    // replaced first. Questions open with the previous one are withdrawn.
    void setPrompts(BridgePrompts* prompts);

    // How long a site question may stay unanswered (60 s by default).
    void setConsentTimeoutMs(int ms);
    // A connection without a message for this long is closed (10 min).
    void setIdleTimeoutMs(int ms);
    // A site's next PIN request after a failed one waits first, then twice
    // as long after each further failure, at most last (1 s and 60 s).
    void setPinBackoffMs(int first, int last);
    // A page that leaves over a MiB of replies unread this long is dropped (10 s).
    void setDrainTimeoutMs(int ms) { drainTimeoutMs = std::max(ms, 1); }

    bool loadSKFLib(const char* path) { return protocol.loadSKFLib(path); }
    // The port in use, 0 when the bridge does not listen.
    quint16 serverPort() const { return listeningPort; }
    int clientCount() const { return static_cast<int>(connections.size()); }
    // Bytes of replies not yet taken by the pages' sockets, all together.
    qint64 unsentBytes() const;

    // Ports tried after the first one.
    static constexpr int kPortRange = 10;
    // Messages above this are dropped by the socket itself; between the
    // protocol's own limit and this one the page gets an error reply.
    static constexpr quint64 kSocketMessageLimit = 1024 * 1024;
    // Connections at once, handshakes included.
    static constexpr int kMaxConnections = 32;
    // Requests a page may have waiting (for the user's answer or a PIN
    // back-off); more, or more than kSocketMessageLimit of text, closes it.
    static constexpr int kMaxQueuedRequests = 16;

public slots:
    void onNewConnection();
    void processMessage(QString message);
    void socketDisconnected();

private slots:
    void onTcpConnection();

private:
    struct Connection;
    enum class Stage { Asking, Ready, PinPending, Closing };

    bool listenOnLoopback(quint16 port);
    void admitPage(Connection& c);
    BridgeSiteCounts countsFor(const Connection& c) const;
    void refuse(Connection& c, const char* why);
    void enqueue(Connection& c, QString& message);
    void serveQueue(Connection& c);
    void handle(Connection& c, QString& message);
    void handleTimed(Connection& c, QString& message);
    // What site consent and the PIN gate see of the connections.
    void siteAllowed(quint64 id) override;
    void siteRefused(quint64 id, const char* why) override;
    int pinAttemptsLeft(quint64 id) override;
    QString runPin(quint64 id, const BridgePinRequest& pin, bool* refused) override;
    void pinFinished(quint64 id, const QString& reply) override;
    void send(Connection& c, const QString& reply);
    void withdrawQuestion(Connection& c);
    void forget(QWebSocket* socket);
    Connection* find(quint64 id);
    Connection* find(QWebSocket* socket);

    QTcpServer* tcpServer;
    QTcpServer* tcpServer6;
    // Does the WebSocket handshake of the connections the TCP servers let in.
    QWebSocketServer* webSocketServer;
    std::vector<std::unique_ptr<Connection>> connections;
    // Forgotten connections, deleted once the event loop is back.
    std::vector<std::unique_ptr<Connection>> retired;
    struct Handshake {
        QPointer<QTcpSocket> socket;
        QHostAddress peer;
        quint16 peerPort = 0;
        qint64 startMs = 0;
    };
    std::vector<Handshake> handshakes;
    int openHandshakes();
    BridgeAdmission admission;
    QMutex mutex;
    BridgeProtocol protocol;
    BridgePrompts* prompts = nullptr;
    quint16 listeningPort = 0;
    quint64 nextId = 1;
    int idleTimeoutMs = 10 * 60 * 1000;
    int drainTimeoutMs = 10 * 1000;
    BridgeSiteConsent consent {*this};
    BridgePinGate pinGate {*this};
    QElapsedTimer clock;
};
