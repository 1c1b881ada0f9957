#pragma once

#include <QtGlobal>

#include <map>

// What this process holds and receives, read from the kernel: its resident memory, and the
// bytes that have arrived on its TCP connections (all of them, the SANE backend's included,
// which is how the scan program sees a page come in while sane-airscan fetches it). And a way
// to end the backend's requests at once.
class ProcessWatch
{
public:
    static qint64 residentBytes();
    // Shuts down every TCP connection of the process (shutdown(), the descriptors stay with
    // their owners, who see the connection end); the number of connections.
    static int cutConnections();
    // The process's TCP connections at one look.
    struct Look
    {
        // Bytes received since the first look, summed over connections that come and go;
        // never decreases.
        qint64 received = 0;
        int connections = 0;
        // Whether any connection has received data: none has while every request waits for
        // its answer (a scanner scanning the next sheet).
        bool receiving = false;
    };
    // Not thread-safe: one looker.
    Look look();
    // Whether look() has ever seen a TCP connection.
    bool hadConnections() const { return m_hadConnections; }

private:
    std::map<unsigned long, quint64> m_perConnection; // socket inode -> bytes seen so far
    qint64 m_total = 0;
    bool m_hadConnections = false;
};
