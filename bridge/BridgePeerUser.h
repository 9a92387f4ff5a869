#pragma once
// Which local user owns the other end of a loopback TCP connection, asked of
// the kernel for that one socket (sock_diag). The bridge's port is open to
// every account of the machine; only the desktop user's own programs (the
// browser among them) may reach the key.
#include <QHostAddress>
#include <sys/types.h>

// The owner of the established TCP socket whose local end is peer:peerPort
// and whose remote end is us:usPort (the peer's own side of our connection).
// False when there is none: closed, closing or half-open sockets are not
// trusted, since a socket the kernel keeps after its program closed it may
// be listed under another owner than the program's.
bool bridgePeerUid(const QHostAddress& peer, quint16 peerPort, const QHostAddress& us, quint16 usPort, uid_t* uid);
