#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <functional>

// One GET of a scanner's eSCL resource, bounded in time, size and by a stop request, on any
// thread (it waits on the calling one). No proxy is used (the scanner is on the local network),
// redirects are not followed, and a scanner's self-signed certificate is accepted (scanners
// carry no other kind; the scan through sane-airscan accepts it too).
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

    // The whole answer within `timeoutMs`, whatever pace the body comes at; over as soon as
    // `stop` says so (asked every 50 ms, from a thread of the request's own; within half a
    // second while a host that does not answer is being connected to).
    static Reply get(const QUrl &url, int maxBytes, int timeoutMs,
                     const std::function<bool()> &stop = nullptr);
};
