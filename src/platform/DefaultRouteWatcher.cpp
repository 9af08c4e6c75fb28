#include "DefaultRouteWatcher.h"

#include <QFile>
#include <QList>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <cerrno>
#include <unistd.h>
#endif

namespace {

// Route flags of the kernel's text tables (linux/route.h), kept here so parsing is portable.
constexpr uint routeUp = 0x0001;
constexpr uint routeReject = 0x0200;

QByteArray readProcFile(const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool isAllZeroHex(const QByteArray &text)
{
    return !text.isEmpty() && text.count('0') == text.size();
}

bool isUsable(const QByteArray &flagsHex)
{
    bool ok = false;
    const uint flags = flagsHex.toUInt(&ok, 16);
    return ok && (flags & routeUp) && !(flags & routeReject);
}

// Where a kernel route table keeps the fields that make a default route.
struct RouteColumns
{
    qsizetype headerLines;
    qsizetype destination;
    qsizetype prefix;
    qsizetype flags;
    qsizetype count;
};

// IPv4: Iface Destination Gateway Flags RefCnt Use Metric Mask ...; the first line is a header.
constexpr RouteColumns ipv4Columns{1, 1, 7, 3, 8};
// IPv6: Destination PrefixLength Source SourcePrefixLength NextHop Metric RefCnt Use Flags Device;
// no header. The kernel lists "unreachable" defaults on lo with the reject flag.
constexpr RouteColumns ipv6Columns{0, 0, 1, 8, 10};

bool hasDefault(const QByteArray &table, RouteColumns columns)
{
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = columns.headerLines; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() >= columns.count && isAllZeroHex(fields.at(columns.destination))
            && isAllZeroHex(fields.at(columns.prefix)) && isUsable(fields.at(columns.flags)))
            return true;
    }
    return false;
}

} // namespace

DefaultRouteWatcher::DefaultRouteWatcher(QObject *parent)
    : QObject(parent)
{
}

DefaultRouteWatcher::~DefaultRouteWatcher()
{
#ifdef Q_OS_LINUX
    if (m_socket >= 0)
        ::close(m_socket);
#endif
}

bool DefaultRouteWatcher::start()
{
#ifdef Q_OS_LINUX
    if (m_socket >= 0)
        return true;
    // Without routes the kernel's table is empty, not missing; missing means no /proc to read.
    if (!QFile::exists(QStringLiteral("/proc/net/route")))
        return false;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    // Links and addresses too: IPv4 drops the routes of a vanished link without a route notice.
    address.nl_groups = RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE | RTMGRP_LINK | RTMGRP_IPV4_IFADDR
                        | RTMGRP_IPV6_IFADDR;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DefaultRouteWatcher::drainNotices);
    return true;
#else
    return false;
#endif
}

// The notices only say that something changed; the tables are re-read once per burst.
void DefaultRouteWatcher::drainNotices()
{
#ifdef Q_OS_LINUX
    char buffer[8192];
    for (;;) {
        const ssize_t received = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (received > 0)
            continue;
        // ENOBUFS: notices were dropped; the re-read after this burst covers them.
        if (received < 0 && (errno == EINTR || errno == ENOBUFS))
            continue;
        break;
    }
#endif
    Q_EMIT routesChanged();
}

bool DefaultRouteWatcher::hasDefaultRoute()
{
    return hasDefaultRoute(readProcFile("/proc/net/route"), readProcFile("/proc/net/ipv6_route"));
}

bool DefaultRouteWatcher::hasDefaultRoute(const QByteArray &ipv4Table, const QByteArray &ipv6Table)
{
    return hasDefault(ipv4Table, ipv4Columns) || hasDefault(ipv6Table, ipv6Columns);
}
