#pragma once

#include <QString>
#include <QStringList>

// What the scan program sees of the SANE backend's own calls, by standing in for two library
// functions the backend (sane-airscan) calls (`connect` and libjpeg's `jpeg_std_error`; the
// scan program's executable exports both, so the dynamic linker binds the backend to them):
// - Connections: once hosts are fenced, a connection to any other address is refused
//   (ECONNREFUSED) and remembered. sane-airscan follows a job's Location to whatever host the
//   scanner names; the fence keeps a scan by address on that address.
// - JPEG data that ends before its image: sane-airscan decodes such a page with libjpeg, which
//   fills the rest with grey and warns (JWRN_JPEG_EOF); the backend passes the page on as
//   whole. The warnings are counted here.
// Everything here is safe to call from any thread.
class BackendHooks
{
public:
    // Allows connections only to these numeric addresses (IPv4 or IPv6, any port); other
    // address families (local sockets) stay open. An empty list lifts the fence.
    static void fenceTo(const QStringList &addresses);
    // The first address refused since the fence was set, "host:port"; empty if none.
    static QString refused();
    // Whether a connection to `address` (a sockaddr of `length` bytes) passes the fence.
    static bool permits(const void *address, unsigned length);

    // JPEG data that ended early, counted over the process's life.
    static int truncatedJpegs();
};
