#pragma once
// Which local user owns the other end of a loopback TCP connection, from the
// kernel's socket tables (/proc/net/tcp and /proc/net/tcp6). The bridge's port
// is open to every account of the machine; only the desktop user's own
// programs (the browser among them) may reach the key.
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <sys/types.h>

// Looks in one table's text for the socket whose local end is peer:peerPort
// and whose remote end is us:usPort (the peer's own view of the connection),
// an established one first. IPv4 addresses also match their IPv4-mapped IPv6
// form. False when no row matches.
bool bridgeSocketOwnerIn(const QByteArray& table, const QHostAddress& peer, quint16 peerPort,
                         const QHostAddress& us, quint16 usPort, uid_t* uid);

// The same over tcp and tcp6 of folder (the kernel's by default).
bool bridgePeerUid(const QHostAddress& peer, quint16 peerPort, const QHostAddress& us, quint16 usPort, uid_t* uid,
                   const QString& folder = QStringLiteral("/proc/net"));
