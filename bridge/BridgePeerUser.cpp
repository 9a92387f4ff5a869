#include "BridgePeerUser.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// Fills a diag address (network order words) from a Qt address; an IPv4
// address in the IPv6 family becomes its mapped form.
bool fillAddress(const QHostAddress& address, int family, __be32 out[4])
{
    memset(out, 0, 16);
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (family == AF_INET) {
        if (!isV4)
            return false;
        out[0] = htonl(v4);
        return true;
    }
    if (isV4) {
        auto* bytes = reinterpret_cast<quint8*>(out);
        bytes[10] = bytes[11] = 0xff;
        const quint32 net = htonl(v4);
        memcpy(bytes + 12, &net, 4);
        return true;
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    memcpy(out, v6.c, 16);
    return true;
}

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

// One exact lookup: the kernel answers for the socket with these four ends only.
bool lookup(int family, const QHostAddress& peer, quint16 peerPort, const QHostAddress& us, quint16 usPort,
            uid_t* uid)
{
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message {};
    if (!fillAddress(peer, family, message.request.id.idiag_src) ||
        !fillAddress(us, family, message.request.id.idiag_dst))
        return false;
    message.header.nlmsg_len = sizeof(message);
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.header.nlmsg_seq = 1;
    message.request.sdiag_family = static_cast<__u8>(family);
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = 1u << TCP_ESTABLISHED;
    message.request.id.idiag_sport = htons(peerPort);
    message.request.id.idiag_dport = htons(usPort);
    message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

    const Fd sock {socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)};
    if (sock.fd < 0)
        return false;
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    if (sendto(sock.fd, &message, sizeof(message), 0, reinterpret_cast<sockaddr*>(&kernel), sizeof(kernel)) !=
        static_cast<ssize_t>(sizeof(message)))
        return false;
    // The kernel answers within sendto: the reply is there or never comes.
    alignas(nlmsghdr) char buffer[8192];
    const ssize_t got = recv(sock.fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (got <= 0)
        return false;
    int left = static_cast<int>(got);
    for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
        if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
            continue;
        const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
        if (found->idiag_state != TCP_ESTABLISHED || found->id.idiag_sport != message.request.id.idiag_sport ||
            found->id.idiag_dport != message.request.id.idiag_dport)
            continue;
        *uid = found->idiag_uid;
        return true;
    }
    return false;
}

}  // namespace

bool bridgePeerUid(const QHostAddress& peer, quint16 peerPort, const QHostAddress& us, quint16 usPort, uid_t* uid)
{
    // An IPv4 connection may come from an IPv6 socket using mapped addresses.
    bool isV4 = false;
    peer.toIPv4Address(&isV4);
    if (isV4 && lookup(AF_INET, peer, peerPort, us, usPort, uid))
        return true;
    return lookup(AF_INET6, peer, peerPort, us, usPort, uid);
}
