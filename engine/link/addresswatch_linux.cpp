#include "engine/link/addresswatch.h"

#include "core/logging.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The kernel's routing socket, joined to the groups that report links going up or down and
// IPv4 addresses coming and going. Nothing is read out of the messages: that one came is
// enough, and the listeners read the interface list again.
class NetlinkAddressWatch final : public AddressWatch {
public:
    explicit NetlinkAddressWatch(int socket)
        : m_socket(socket), m_notifier(socket, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &NetlinkAddressWatch::drain);
    }
    ~NetlinkAddressWatch() override { ::close(m_socket); }
    Q_DISABLE_COPY_MOVE(NetlinkAddressWatch)

private:
    // One change (an address replaced, a link bounced) comes as several messages: all those
    // waiting are read first, so that they make one signal.
    void drain()
    {
        bool any = false;
        for (;;) {
            char buffer[4096]; // a longer message is cut off, which is fine: it is not read
            const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got >= 0 || errno == ENOBUFS) { // ENOBUFS: messages were lost, changes all the same
                any = true;
            } else if (errno != EINTR) {
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    // The socket would wake the program again and again: it is given up.
                    qCDebug(lcLink) << "address watch: reading failed, stopped:" << std::strerror(errno);
                    m_notifier.setEnabled(false);
                }
                break;
            }
        }
        if (any)
            emit changed();
    }

    const int m_socket;
    QSocketNotifier m_notifier;
};

} // namespace

std::unique_ptr<AddressWatch> createAddressWatch()
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        qCDebug(lcLink) << "address watch: no routing socket:" << std::strerror(errno);
        return std::make_unique<AddressWatch>();
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        qCDebug(lcLink) << "address watch: cannot join the routing groups:" << std::strerror(errno);
        ::close(fd);
        return std::make_unique<AddressWatch>();
    }
    return std::make_unique<NetlinkAddressWatch>(fd);
}
