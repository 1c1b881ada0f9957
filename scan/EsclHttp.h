#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QUrl>

// One GET of a scanner's eSCL resource, bounded in time and size, for a worker thread: it waits
// in a local event loop of the calling thread. No proxy is used (the scanner is on the local
// network), redirects are not followed, and a scanner's self-signed certificate is accepted
// (scanners carry no other kind; the scan program accepts it too).
class EsclHttp
{
    Q_DECLARE_TR_FUNCTIONS(EsclHttp)

public:
    struct Reply
    {
        bool ok = false; // a 200 answer whose body arrived whole within the bounds
        QByteArray body; // when ok
        QString problem; // why not, in the window's language
    };

    static Reply get(const QUrl &url, int maxBytes, int timeoutMs);
};
