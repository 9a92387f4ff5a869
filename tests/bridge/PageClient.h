#pragma once
// A web page's side of the bridge: a real QWebSocket client that sends one
// request and waits for its reply while the event loop serves the server.
#include <QString>
#include <QStringList>
#include <QWebSocket>

#include "QtWait.h"

class PageClient
{
public:
    explicit PageClient(const QString& origin = QString());

    // Opens ws://host:port/; false when the handshake does not complete.
    bool open(quint16 port, const QString& host = QStringLiteral("127.0.0.1"), int timeoutMs = 5000);
    // Sends text and returns the next reply; a null QString on timeout.
    QString request(const QString& text, int timeoutMs = 10000);
    // Sends without waiting; replies queue up for takeReplies.
    void send(const QString& text);
    // Waits for count replies in arrival order (fewer on timeout).
    QStringList takeReplies(int count, int timeoutMs = 10000);
    // Waits until the server closes the connection.
    bool waitClosed(int timeoutMs = 5000);
    bool isOpen() const;
    // The code of the server's close frame (1008: the page may not use the key).
    int closeCode() const { return static_cast<int>(m_socket.closeCode()); }
    QWebSocket& socket() { return m_socket; }

private:
    QWebSocket m_socket;
    QStringList m_replies;
};

// First port of ten consecutive ports free on 127.0.0.1 and ::1.
quint16 freePortRange(int count = 10);
