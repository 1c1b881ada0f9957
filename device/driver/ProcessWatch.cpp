#include "device/driver/ProcessWatch.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

qint64 ProcessWatch::residentBytes()
{
    FILE *statm = std::fopen("/proc/self/statm", "re");
    if (!statm)
        return 0;
    long long size = 0, resident = 0;
    const int read = std::fscanf(statm, "%lld %lld", &size, &resident);
    std::fclose(statm);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : 0;
}

namespace {

// Calls `take(fd, inode, info)` for every TCP connection of the process.
template <typename Take> void forEachConnection(Take take)
{
    DIR *fds = opendir("/proc/self/fd");
    if (!fds)
        return;
    while (const dirent *entry = readdir(fds)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        struct stat info;
        if (*end != '\0' || end == entry->d_name || fd == dirfd(fds) ||
            fstat(int(fd), &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        tcp_info tcp{};
        socklen_t length = sizeof tcp;
        if (getsockopt(int(fd), IPPROTO_TCP, TCP_INFO, &tcp, &length) == 0 &&
            length >= offsetof(tcp_info, tcpi_bytes_received) + sizeof tcp.tcpi_bytes_received)
            take(int(fd), info.st_ino, tcp);
    }
    closedir(fds);
}

} // namespace

int ProcessWatch::cutConnections()
{
    int cut = 0;
    forEachConnection(
        [&cut](int fd, unsigned long, const tcp_info &) { cut += shutdown(fd, SHUT_RDWR) == 0; });
    return cut;
}

ProcessWatch::Look ProcessWatch::look()
{
    Look look;
    std::map<unsigned long, quint64> seen;
    forEachConnection([&](int, unsigned long inode, const tcp_info &tcp) {
        ++look.connections;
        look.receiving = look.receiving || tcp.tcpi_bytes_received > 0;
        const auto before = m_perConnection.find(inode);
        const quint64 previous = before == m_perConnection.end() ? 0 : before->second;
        if (tcp.tcpi_bytes_received > previous)
            m_total += qint64(tcp.tcpi_bytes_received - previous);
        seen[inode] = qMax(previous, quint64(tcp.tcpi_bytes_received));
    });
    m_hadConnections = m_hadConnections || !seen.empty();
    m_perConnection.swap(seen);
    look.received = m_total;
    return look;
}
