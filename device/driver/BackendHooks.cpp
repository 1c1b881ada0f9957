#include "device/driver/BackendHooks.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

std::mutex g_fenceMutex;
std::vector<in6_addr> g_allowed; // IPv4 as IPv4-mapped IPv6; empty: no fence
QString g_refused;

std::atomic<int> g_truncatedJpegs{0};
void (*g_libraryEmitMessage)(j_common_ptr, int) = nullptr;

// The address in IPv6 form (IPv4 mapped into it), its port and its text.
bool addressOf(const sockaddr *address, unsigned length, in6_addr *host, quint16 *port,
               QString *text)
{
    char buffer[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
        const sockaddr_in *v4 = reinterpret_cast<const sockaddr_in *>(address);
        *host = in6_addr{};
        host->s6_addr[10] = host->s6_addr[11] = 0xff;
        std::memcpy(&host->s6_addr[12], &v4->sin_addr, 4);
        *port = ntohs(v4->sin_port);
        inet_ntop(AF_INET, &v4->sin_addr, buffer, sizeof buffer);
        *text = QStringLiteral("%1:%2").arg(QLatin1String(buffer)).arg(*port);
        return true;
    }
    if (address->sa_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
        const sockaddr_in6 *v6 = reinterpret_cast<const sockaddr_in6 *>(address);
        *host = v6->sin6_addr;
        *port = ntohs(v6->sin6_port);
        inet_ntop(AF_INET6, &v6->sin6_addr, buffer, sizeof buffer);
        *text = QStringLiteral("[%1]:%2").arg(QLatin1String(buffer)).arg(*port);
        return true;
    }
    return false;
}

bool parse(const QString &address, in6_addr *host)
{
    const QByteArray text = address.toLatin1();
    in_addr v4;
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) {
        *host = in6_addr{};
        host->s6_addr[10] = host->s6_addr[11] = 0xff;
        std::memcpy(&host->s6_addr[12], &v4, 4);
        return true;
    }
    return inet_pton(AF_INET6, text.constData(), host) == 1;
}

// libjpeg's messages pass here first (warnings have level -1).
void noteJpegMessage(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        ++g_truncatedJpegs;
    if (g_libraryEmitMessage)
        g_libraryEmitMessage(info, level);
}

} // namespace

void BackendHooks::fenceTo(const QStringList &addresses)
{
    std::lock_guard<std::mutex> lock(g_fenceMutex);
    g_allowed.clear();
    for (const QString &address : addresses) {
        in6_addr host;
        if (parse(address, &host))
            g_allowed.push_back(host);
    }
    g_refused.clear();
}

QString BackendHooks::refused()
{
    std::lock_guard<std::mutex> lock(g_fenceMutex);
    return g_refused;
}

bool BackendHooks::permits(const void *address, unsigned length)
{
    const sockaddr *socketAddress = static_cast<const sockaddr *>(address);
    if (!socketAddress || length < sizeof(sa_family_t) ||
        (socketAddress->sa_family != AF_INET && socketAddress->sa_family != AF_INET6))
        return true;
    std::lock_guard<std::mutex> lock(g_fenceMutex);
    if (g_allowed.empty())
        return true;
    in6_addr host;
    quint16 port = 0;
    QString text;
    if (!addressOf(socketAddress, length, &host, &port, &text))
        return false; // too short to be an address: nothing to connect to
    for (const in6_addr &allowed : g_allowed) {
        if (std::memcmp(&allowed, &host, sizeof host) == 0)
            return true;
    }
    if (g_refused.isEmpty())
        g_refused = text;
    return false;
}

int BackendHooks::truncatedJpegs()
{
    return g_truncatedJpegs;
}

// The stand-ins themselves. dlsym(RTLD_NEXT) finds the C library's and libjpeg's own.
extern "C" int connect(int socket, const sockaddr *address, socklen_t length)
{
    using Connect = int (*)(int, const sockaddr *, socklen_t);
    static const Connect library = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
    if (!BackendHooks::permits(address, length)) {
        errno = ECONNREFUSED;
        return -1;
    }
    if (!library) {
        errno = ENOSYS;
        return -1;
    }
    return library(socket, address, length);
}

extern "C" jpeg_error_mgr *jpeg_std_error(jpeg_error_mgr *manager)
{
    // libjpeg comes with the backend (loaded privately, out of RTLD_NEXT's reach): the library
    // of the version these headers describe is the one the backend uses.
#define SCANCONSOLE_TEXT(x) #x
#define SCANCONSOLE_SONAME(version) "libjpeg.so." SCANCONSOLE_TEXT(version)
    using StdError = jpeg_error_mgr *(*)(jpeg_error_mgr *);
    static const StdError library = [] {
        void *handle = dlopen(SCANCONSOLE_SONAME(JPEG_LIB_VERSION), RTLD_NOW);
        return reinterpret_cast<StdError>(handle ? dlsym(handle, "jpeg_std_error") : nullptr);
    }();
#undef SCANCONSOLE_SONAME
#undef SCANCONSOLE_TEXT
    if (!library) {
        std::fprintf(stderr, "ScanConsoleApp: libjpeg cannot be found\n");
        std::abort();
    }
    jpeg_error_mgr *result = library(manager);
    g_libraryEmitMessage = result->emit_message; // the same function for every manager
    result->emit_message = noteJpegMessage;
    return result;
}
