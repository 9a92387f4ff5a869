#include "PageClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QThread>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

PageClient::PageClient(const QString& origin) : m_socket(origin)
{
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived,
                     [this](const QString& message) { m_replies << message; });
}

bool PageClient::open(quint16 port, const QString& host, int timeoutMs)
{
    const QString address = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    m_socket.open(QUrl(QStringLiteral("ws://%1:%2/").arg(address).arg(port)));
    waitUntil([this] {
        return m_socket.state() == QAbstractSocket::ConnectedState ||
               m_socket.state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

QString PageClient::request(const QString& text, int timeoutMs)
{
    m_replies.clear();
    m_socket.sendTextMessage(text);
    if (!waitUntil([this] { return !m_replies.isEmpty(); }, timeoutMs))
        return QString();
    const QString reply = m_replies.takeFirst();
    return reply.isNull() ? QString(QLatin1String("")) : reply;
}

void PageClient::send(const QString& text)
{
    m_socket.sendTextMessage(text);
}

QStringList PageClient::takeReplies(int count, int timeoutMs)
{
    waitUntil([&] { return m_replies.size() >= count; }, timeoutMs);
    QStringList taken = m_replies.mid(0, count);
    m_replies = m_replies.mid(taken.size());
    return taken;
}

bool PageClient::waitClosed(int timeoutMs)
{
    return waitUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

bool PageClient::isOpen() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}


quint16 freePortRange(int count)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const quint16 base = static_cast<quint16>(20000 + QRandomGenerator::global()->bounded(40000));
        std::vector<std::unique_ptr<QTcpServer>> probes;
        bool free = true;
        for (int i = 0; i < count && free; ++i) {
            for (const QHostAddress& address : {QHostAddress(QHostAddress::LocalHost),
                                                QHostAddress(QHostAddress::LocalHostIPv6)}) {
                auto probe = std::make_unique<QTcpServer>();
                if (!probe->listen(address, static_cast<quint16>(base + i))) {
                    free = address == QHostAddress(QHostAddress::LocalHostIPv6) &&
                           probe->serverError() != QAbstractSocket::AddressInUseError;
                    if (!free)
                        break;
                }
                probes.push_back(std::move(probe));
            }
        }
        if (free)
            return base;
    }
    return 0;
}
