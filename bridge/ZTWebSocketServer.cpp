#include "ZTWebSocketServer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QHostAddress>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "BridgeAdmission.h"
#include "BridgeConfig.h"
#include "BridgeLog.h"
#include "BridgeSiteLimits.h"
#include "BridgeSocketBounds.h"
#include "common/UserSettings.h"
#include "common/global_def_var.h"

namespace {

// Long enough for a slow page, short enough that silent sockets do not hold
// one of the few connection places.
constexpr int kHandshakeTimeoutMs = 3 * 1000;
// Handshakes under way at once: the other places stay for pages.
constexpr int kMaxHandshakes = 8;
// A page that does not answer our close frame is dropped after this.
constexpr int kCloseGraceMs = 5 * 1000;

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

// Refuses a TCP connection before the WebSocket handshake with an HTTP status.
void refuseHandshake(QTcpSocket* socket, const char* status)
{
    socket->write(QByteArray("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

}  // namespace

struct ZTWebSocketServer::Connection {
    quint64 id = 0;
    QWebSocket* socket = nullptr;
    // Normalised; empty for a program that sent no Origin.
    QString origin;
    bool listed = false;
    Stage stage = Stage::Ready;
    BridgeSession* session = nullptr;
    // Requests waiting for the user's answer or for a PIN request to finish.
    QList<QString> queue;
    qint64 queuedChars = 0;
    QTimer idleTimer;
    qint64 lastRequestMs = 0;
    std::unique_ptr<BridgeSocketBounds> bounds;

    void wipeQueue()
    {
        for (QString& text : queue)
            wipeReceivedText(text);
        queue.clear();
        queuedChars = 0;
    }
};

ZTWebSocketServer::ZTWebSocketServer(quint16 port, QObject* parent)
    : QObject(parent),
      tcpServer(new QTcpServer(this)),
      tcpServer6(new QTcpServer(this)),
      webSocketServer(new QWebSocketServer(QStringLiteral("QtWebSocketServer"), QWebSocketServer::NonSecureMode, this))
{
    clock.start();
    // The key is never read (the bridge speaks plain WebSocket): it only has
    // to be there, so it can stay root's alone while any user runs the manager.
    if (!canOpenFile("cert/server.crt") || !isRegularFile("cert/server.key")) {
        BRIDGE_LOG("Failed to open SSL certificate or key file");
        return;
    }
    webSocketServer->setHandshakeTimeout(kHandshakeTimeoutMs);
    connect(webSocketServer, &QWebSocketServer::newConnection, this, &ZTWebSocketServer::onNewConnection);
    for (QTcpServer* server : {tcpServer, tcpServer6})
        connect(server, &QTcpServer::newConnection, this, &ZTWebSocketServer::onTcpConnection);
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
    tcpServer->close();
    tcpServer6->close();
    BRIDGE_LOG("WebSocket server close!");
    retired.clear();
    std::vector<std::unique_ptr<Connection>> open;
    open.swap(connections);
    for (auto& c : open) {
        withdrawQuestion(*c);
        c->wipeQueue();
        pinGate.release(c->id);
        protocol.closeSession(c->session);
        c->socket->disconnect(this);
        delete c->socket;
    }
}

void ZTWebSocketServer::setPrompts(BridgePrompts* next)
{
    if (next == prompts)
        return;
    std::vector<quint64> asked;
    for (auto& c : connections) {
        // A connection has at most one question open.
        if (consent.withdraw(c->id) || pinGate.withdraw(c->id))
            asked.push_back(c->id);
    }
    prompts = next;
    consent.setPrompts(next);
    pinGate.setPrompts(next);
    // Whoever answers now never saw these questions: they end as unanswered.
    for (quint64 id : asked) {
        Connection* c = find(id);
        if (c && c->stage == Stage::PinPending)
            pinGate.endUnsent(id);
        else if (c)
            refuse(*c, "its question was withdrawn");
    }
}

qint64 ZTWebSocketServer::unsentBytes() const
{
    qint64 total = 0;
    for (const auto& c : connections)
        total += c->socket->bytesToWrite();
    return total;
}

void ZTWebSocketServer::setConsentTimeoutMs(int ms)
{
    consent.setTimeoutMs(ms);
}

void ZTWebSocketServer::setIdleTimeoutMs(int ms)
{
    idleTimeoutMs = std::max(ms, 1);
    for (auto& c : connections) {
        if (c->stage != Stage::Closing)
            c->idleTimer.start(idleTimeoutMs);
    }
}

void ZTWebSocketServer::setPinBackoffMs(int first, int last)
{
    pinGate.setBackoffMs(first, last);
}

// Only this machine may reach the PIN commands: 127.0.0.1 and ::1 on one port.
bool ZTWebSocketServer::listenOnLoopback(quint16 port)
{
    if (!tcpServer->listen(QHostAddress::LocalHost, port))
        return false;
    if (tcpServer6->listen(QHostAddress::LocalHostIPv6, port))
        return true;
    if (!ipv6Available())
        return true;
    tcpServer->close();
    return false;
}

void ZTWebSocketServer::onTcpConnection()
{
    auto* server = qobject_cast<QTcpServer*>(sender());
    if (!server)
        return;
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (static_cast<int>(connections.size()) + openHandshakes() >= kMaxConnections) {
            BRIDGE_LOG("connection refused: %d connections open", kMaxConnections);
            refuseHandshake(socket, "503 Service Unavailable");
            continue;
        }
        const BridgeAdmission::Verdict verdict = admission.check(socket);
        if (verdict == BridgeAdmission::Verdict::Drop) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (verdict == BridgeAdmission::Verdict::Refuse) {
            refuseHandshake(socket, "403 Forbidden");
            continue;
        }
        // A page's handshake takes milliseconds: when all handshake places
        // are taken, the oldest one gives way, so slow ones cannot keep pages out.
        if (openHandshakes() >= kMaxHandshakes) {
            BRIDGE_LOG("oldest of %d handshakes under way dropped", kMaxHandshakes);
            QPointer<QTcpSocket> oldest = handshakes.front().socket;
            handshakes.erase(handshakes.begin());
            if (oldest)
                oldest->abort();
        }
        // Counted until the handshake ends: its socket then belongs to a
        // QWebSocket (or is closed), and the count moves to connections.
        handshakes.push_back(
            {QPointer<QTcpSocket>(socket), socket->peerAddress(), socket->peerPort(), clock.elapsed()});
        webSocketServer->handleConnection(socket);
    }
}

int ZTWebSocketServer::openHandshakes()
{
    handshakes.erase(std::remove_if(handshakes.begin(), handshakes.end(),
                                    [this](const Handshake& h) {
                                        if (h.socket && clock.elapsed() - h.startMs > kHandshakeTimeoutMs)
                                            h.socket->abort();
                                        return !h.socket || h.socket->state() == QAbstractSocket::UnconnectedState;
                                    }),
                     handshakes.end());
    return static_cast<int>(handshakes.size());
}

void ZTWebSocketServer::onNewConnection()
{
    while (QWebSocket* socket = webSocketServer->nextPendingConnection()) {
        QTcpSocket* tcp = nullptr;
        const auto ended = std::remove_if(handshakes.begin(), handshakes.end(), [socket](const Handshake& h) {
            return h.peerPort == socket->peerPort() && h.peer == socket->peerAddress();
        });
        if (ended != handshakes.end())
            tcp = ended->socket.data();
        handshakes.erase(ended, handshakes.end());
        // Owned by the server, so none outlives it, also one waiting for deleteLater.
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(kSocketMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(kSocketMessageLimit);
        connect(socket, &QWebSocket::textMessageReceived, this, &ZTWebSocketServer::processMessage);
        connect(socket, &QWebSocket::disconnected, this, &ZTWebSocketServer::socketDisconnected);

        auto connection = std::make_unique<Connection>();
        Connection& c = *connection;
        c.id = nextId++;
        c.socket = socket;
        c.session = protocol.openSession();
        c.idleTimer.setSingleShot(true);
        const quint64 id = c.id;
        c.bounds = std::make_unique<BridgeSocketBounds>(socket, tcp, drainTimeoutMs);
        connect(c.bounds.get(), &BridgeSocketBounds::resumed, this, [this, id] {
            if (Connection* paused = find(id))
                serveQueue(*paused);
        });
        connect(c.bounds.get(), &BridgeSocketBounds::stuck, this, [this, id] {
            Connection* stuck = find(id);
            if (!stuck)
                return;
            BRIDGE_LOG("connection closed: its replies were not read");
            QWebSocket* gone = stuck->socket;
            gone->abort();
            forget(gone);
        });
        connect(&c.idleTimer, &QTimer::timeout, this, [this, id] {
            Connection* idle = find(id);
            if (!idle)
                return;
            if (idle->stage == Stage::Closing) {
                // The page never answered our close frame.
                idle->socket->abort();
                return;
            }
            // Requests only note their time: restarting a timer for each one
            // costs more than the request itself.
            const qint64 quietMs = clock.elapsed() - idle->lastRequestMs;
            if (quietMs < idleTimeoutMs) {
                idle->idleTimer.start(static_cast<int>(idleTimeoutMs - quietMs));
                return;
            }
            BRIDGE_LOG("connection closed after %d s without a request", idleTimeoutMs / 1000);
            idle->stage = Stage::Closing;
            withdrawQuestion(*idle);
            idle->wipeQueue();
            pinGate.release(id);
            idle->socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("idle"));
            idle->idleTimer.start(kCloseGraceMs);
        });
        c.lastRequestMs = clock.elapsed();
        c.idleTimer.start(idleTimeoutMs);
        connections.push_back(std::move(connection));
        BRIDGE_LOG("find a new connection...");
        admitPage(c);
    }
}

ZTWebSocketServer::Connection* ZTWebSocketServer::find(quint64 id)
{
    for (auto& c : connections) {
        if (c->id == id)
            return c.get();
    }
    return nullptr;
}

ZTWebSocketServer::Connection* ZTWebSocketServer::find(QWebSocket* socket)
{
    for (auto& c : connections) {
        if (c->socket == socket)
            return c.get();
    }
    return nullptr;
}

BridgeSiteCounts ZTWebSocketServer::countsFor(const Connection& c) const
{
    BridgeSiteCounts counts;
    for (const auto& other : connections) {
        if (other.get() == &c || other->stage == Stage::Closing)
            continue;
        counts.ofSite += other->origin == c.origin ? 1 : 0;
        counts.unlisted += other->listed ? 0 : 1;
    }
    return counts;
}

void ZTWebSocketServer::admitPage(Connection& c)
{
    const QString raw = c.socket->origin();
    if (!raw.isEmpty()) {
        c.origin = bridgeNormaliseOrigin(raw);
        if (c.origin.isEmpty())
            c.origin = QStringLiteral("null");
        c.listed = bridgeOriginListed(c.origin, bridgeConfigList(ZT_BRIDGE_KEY_ORIGINS));
    }
    const BridgeSiteRoom room = BridgeSiteLimits::room(countsFor(c), c.listed);
    if (room != BridgeSiteRoom::Room) {
        BRIDGE_LOG("connection from origin %s refused: %s", bridgeLogText(c.origin).constData(),
                   room == BridgeSiteRoom::SiteFull ? "the site has all its places" : "unlisted sites have all theirs");
        c.stage = Stage::Closing;
        c.socket->close(static_cast<QWebSocketProtocol::CloseCode>(1013), QStringLiteral("busy"));
        c.idleTimer.start(kCloseGraceMs);
        return;
    }
    if (raw.isEmpty()) {
        // Browsers always send an Origin; a program without one runs as this
        // user already (checked at the handshake) and could read the key
        // itself.
        c.stage = Stage::Ready;
        return;
    }
    c.stage = Stage::Asking;
    consent.decide(c.id, c.origin, c.listed);
}

void ZTWebSocketServer::siteAllowed(quint64 id)
{
    Connection* c = find(id);
    if (!c || c->stage != Stage::Asking)
        return;
    c->stage = Stage::Ready;
    serveQueue(*c);
}

void ZTWebSocketServer::siteRefused(quint64 id, const char* why)
{
    if (Connection* c = find(id))
        refuse(*c, why);
}

void ZTWebSocketServer::withdrawQuestion(Connection& c)
{
    consent.withdraw(c.id);
    pinGate.withdraw(c.id);
}

// Closed with 1008 and nothing answered: the page learns only that it may not.
void ZTWebSocketServer::refuse(Connection& c, const char* why)
{
    if (c.stage == Stage::Closing)
        return;
    BRIDGE_LOG("connection from origin %s refused: %s", bridgeLogText(c.origin).constData(), why);
    c.stage = Stage::Closing;
    withdrawQuestion(c);
    c.wipeQueue();
    pinGate.release(c.id);
    c.socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("not allowed"));
    c.idleTimer.start(kCloseGraceMs);
}

void ZTWebSocketServer::processMessage(QString message)
{
    Connection* c = find(qobject_cast<QWebSocket*>(sender()));
    if (!c || c->stage == Stage::Closing) {
        wipeReceivedText(message);
        return;
    }
    c->lastRequestMs = clock.elapsed();
    if (c->stage != Stage::Ready || !c->queue.isEmpty() || c->bounds->paused()) {
        enqueue(*c, message);
        return;
    }
    handle(*c, message);
}

void ZTWebSocketServer::enqueue(Connection& c, QString& message)
{
    // A paused page's requests wait in the kernel, except those the socket
    // had read already: only their size counts.
    const bool overCount = c.queue.size() >= kMaxQueuedRequests && !c.bounds->paused();
    if (overCount || c.queuedChars + message.size() > qint64(kSocketMessageLimit)) {
        wipeReceivedText(message);
        refuse(c, "too many requests waiting");
        return;
    }
    c.queuedChars += message.size();
    c.queue.append(message);
    message = QString();
}

void ZTWebSocketServer::serveQueue(Connection& c)
{
    const quint64 id = c.id;
    for (Connection* next = &c; next && next->stage == Stage::Ready && !next->queue.isEmpty() &&
                                !next->bounds->paused();
         next = find(id)) {
        QString message = next->queue.takeFirst();
        next->queuedChars -= message.size();
        handle(*next, message);
    }
}

void ZTWebSocketServer::handle(Connection& c, QString& message)
{
    QElapsedTimer spent;
    spent.start();
    const quint64 id = c.id;
    handleTimed(c, message);
    if (Connection* still = find(id))
        still->bounds->charge(spent.nsecsElapsed());
}

void ZTWebSocketServer::handleTimed(Connection& c, QString& message)
{
    const BridgeRequest request(message);
    wipeReceivedText(message);
    if (request.command() && request.command()->pin && !request.tooLarge()) {
        BridgePinRequest pin;
        QString reply;
        bool ready;
        {
            QMutexLocker locker(&mutex);
            BridgeLogScope logScope;
            ready = protocol.preparePin(c.session, request, &pin, &reply);
        }
        if (!ready) {
            send(c, reply);
            return;
        }
        c.stage = Stage::PinPending;
        pinGate.submit(c.id, c.origin, std::move(pin));
        return;
    }
    bool closeSender = false;
    QString reply;
    {
        QMutexLocker locker(&mutex);
        reply = protocol.handle(c.session, request, &closeSender);
    }
    send(c, reply);
    if (closeSender) {
        c.stage = Stage::Closing;
        c.wipeQueue();
        c.socket->flush();
        c.socket->close();
        c.idleTimer.start(kCloseGraceMs);
    }
}

int ZTWebSocketServer::pinAttemptsLeft(quint64 id)
{
    Connection* c = find(id);
    if (!c)
        return -1;
    QMutexLocker locker(&mutex);
    BridgeLogScope logScope;
    return protocol.pinAttemptsLeft(c->session);
}

QString ZTWebSocketServer::runPin(quint64 id, const BridgePinRequest& pin, bool* refused)
{
    Connection* c = find(id);
    if (!c)
        return QString();
    QMutexLocker locker(&mutex);
    BridgeLogScope logScope;
    return protocol.runPin(c->session, pin, refused);
}

void ZTWebSocketServer::pinFinished(quint64 id, const QString& reply)
{
    Connection* c = find(id);
    if (!c)
        return;
    c->stage = Stage::Ready;
    send(*c, reply);
    serveQueue(*c);
}

void ZTWebSocketServer::send(Connection& c, const QString& reply)
{
    if (c.stage != Stage::Closing || c.socket->state() == QAbstractSocket::ConnectedState) {
        c.socket->sendTextMessage(reply);
        c.bounds->check();
    }
}

void ZTWebSocketServer::socketDisconnected()
{
    auto* socket = qobject_cast<QWebSocket*>(sender());
    if (!socket)
        return;
    forget(socket);
}

void ZTWebSocketServer::forget(QWebSocket* socket)
{
    auto it = std::find_if(connections.begin(), connections.end(),
                           [socket](const std::unique_ptr<Connection>& c) { return c->socket == socket; });
    if (it != connections.end()) {
        std::unique_ptr<Connection> gone = std::move(*it);
        connections.erase(it);
        withdrawQuestion(*gone);
        gone->wipeQueue();
        pinGate.release(gone->id);
        protocol.closeSession(gone->session);
        // Its timers may be the caller of this very function: deleted later.
        if (retired.empty())
            QMetaObject::invokeMethod(this, [this] { retired.clear(); }, Qt::QueuedConnection);
        retired.push_back(std::move(gone));
    }
    socket->disconnect(this);
    socket->deleteLater();
}
