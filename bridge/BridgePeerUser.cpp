#include "BridgePeerUser.h"

#include <QFile>
#include <QList>
#include <cstring>

namespace {

// The kernel writes each address as 32-bit words of the address's bytes in
// memory order, each word printed in the host's byte order: reading a word
// back into memory restores the bytes on any host.
bool parseAddress(const QByteArray& hex, quint8 out[16], bool* v4)
{
    if (hex.size() != 8 && hex.size() != 32)
        return false;
    const int words = hex.size() / 8;
    quint8 raw[16] = {};
    for (int w = 0; w < words; ++w) {
        bool ok = false;
        const quint32 word = hex.mid(w * 8, 8).toUInt(&ok, 16);
        if (!ok)
            return false;
        memcpy(raw + 4 * w, &word, 4);
    }
    *v4 = words == 1;
    if (words == 1) {
        memset(out, 0, 16);
        out[10] = out[11] = 0xff;
        memcpy(out + 12, raw, 4);
    } else {
        memcpy(out, raw, 16);
    }
    return true;
}

// Every address as 16 bytes, IPv4 in its mapped form, so both tables compare alike.
void canonical(const QHostAddress& address, quint8 out[16])
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        memset(out, 0, 16);
        out[10] = out[11] = 0xff;
        out[12] = static_cast<quint8>(v4 >> 24);
        out[13] = static_cast<quint8>(v4 >> 16);
        out[14] = static_cast<quint8>(v4 >> 8);
        out[15] = static_cast<quint8>(v4);
        return;
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    memcpy(out, v6.c, 16);
}

bool parseEndpoint(const QByteArray& text, quint8 address[16], quint16* port)
{
    const int colon = text.indexOf(':');
    if (colon < 0)
        return false;
    bool v4 = false;
    if (!parseAddress(text.left(colon), address, &v4))
        return false;
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok, 16);
    if (!ok || value > 0xffff)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}

}  // namespace

bool bridgeSocketOwnerIn(const QByteArray& table, const QHostAddress& peer, quint16 peerPort,
                         const QHostAddress& us, quint16 usPort, uid_t* uid)
{
    quint8 wantLocal[16], wantRemote[16];
    canonical(peer, wantLocal);
    canonical(us, wantRemote);
    constexpr char kEstablished[] = "01";
    bool found = false;
    for (const QByteArray& line : table.split('\n')) {
        // sl local rem st tx:rx tr:when retr uid timeout inode ...
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 8 || !fields.at(0).endsWith(':'))
            continue;
        quint8 local[16], remote[16];
        quint16 localPort = 0, remotePort = 0;
        if (!parseEndpoint(fields.at(1), local, &localPort) || !parseEndpoint(fields.at(2), remote, &remotePort))
            continue;
        if (localPort != peerPort || remotePort != usPort || memcmp(local, wantLocal, 16) != 0 ||
            memcmp(remote, wantRemote, 16) != 0)
            continue;
        bool ok = false;
        const uint owner = fields.at(7).toUInt(&ok, 10);
        if (!ok)
            continue;
        // A closed connection of an earlier program may linger with the same
        // ends (owned by root); the live one decides.
        const bool established = fields.at(3) == kEstablished;
        if (!found || established) {
            *uid = static_cast<uid_t>(owner);
            found = true;
            if (established)
                return true;
        }
    }
    return found;
}

bool bridgePeerUid(const QHostAddress& peer, quint16 peerPort, const QHostAddress& us, quint16 usPort, uid_t* uid,
                   const QString& folder)
{
    bool found = false;
    for (const char* name : {"/tcp", "/tcp6"}) {
        QFile file(folder + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The tables are virtual files: read to the end, not by their size.
        uid_t owner = 0;
        if (bridgeSocketOwnerIn(file.readAll(), peer, peerPort, us, usPort, &owner)) {
            *uid = owner;
            found = true;
            break;
        }
    }
    return found;
}
