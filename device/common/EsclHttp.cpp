#include "device/common/EsclHttp.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A connect waits this long at a time for an answer (below).
constexpr std::chrono::milliseconds kConnectSlice(500);

// httplib tells only which step failed (a refusal and an unknown host are one error).
static QString connectionProblem(httplib::Error error)
{
    switch (error) {
    case httplib::Error::Connection:
    case httplib::Error::ConnectionTimeout:
        return EsclHttp::tr("connection refused or host not found");
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLServerVerification:
        return EsclHttp::tr("the secure connection failed");
    case httplib::Error::Read:
    case httplib::Error::Write:
        return EsclHttp::tr("the connection broke off");
    default:
        return QString::fromStdString(httplib::to_string(error));
    }
}

EsclHttp::Reply EsclHttp::get(const QUrl &url, int maxBytes, int timeoutMs,
                              const std::function<bool()> &stop)
{
    Reply reply;
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        reply.problem = tr("not a scanner URL: %1").arg(url.toString());
        return reply;
    }
    // httplib takes no proxy from the environment and follows no redirect unless told to.
    httplib::Client client(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                        QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                               .toString()
                               .toStdString());
    const std::chrono::milliseconds timeout(timeoutMs);
    client.set_read_timeout(timeout);
    client.set_write_timeout(timeout);
    client.enable_server_certificate_verification(false);

    // The socket time-outs bound each wait, not the whole answer (a body may trickle in byte by
    // byte): a watcher ends the request at the deadline or on a stop request.
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    bool late = false;
    bool stopped = false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::thread watcher([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            late = late || std::chrono::steady_clock::now() >= deadline;
            stopped = stopped || (!late && stop && stop());
            if (late || stopped)
                client.stop(); // again each round: the request may not have had a socket yet
            wake.wait_for(lock, std::chrono::milliseconds(50));
        }
    });
    std::string body;
    bool tooLarge = false;
    QString path = url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    // httplib's stop() waits for a connect in progress, which ends only at its time-out: a host
    // that does not answer is tried in slices, with a look at the deadline and the stop between.
    const auto attempt = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        client.set_connection_timeout(
            std::max(std::chrono::milliseconds(1), std::min(left, kConnectSlice)));
        return client.Get(path.isEmpty() ? "/" : path.toStdString(),
                          [&](const char *data, size_t length) {
                              tooLarge = body.size() + length > size_t(maxBytes);
                              if (!tooLarge)
                                  body.append(data, length);
                              return !tooLarge;
                          });
    };
    const auto goOn = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        late = late || std::chrono::steady_clock::now() >= deadline;
        return !stopped && !late;
    };
    httplib::Result result = attempt();
    while (!result && result.error() == httplib::Error::ConnectionTimeout && goOn())
        result = attempt();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    wake.notify_all();
    watcher.join();
    // Ended by the watcher, an answer may look complete (a body without length ends with the
    // connection): only an answer that came in before counts.
    if (stopped)
        reply.problem = tr("stopped");
    else if (late)
        reply.problem = tr("no answer within %1 s").arg((timeoutMs + 999) / 1000);
    else if (tooLarge)
        reply.problem = tr("the answer is larger than %1 KB").arg(maxBytes / 1024);
    else if (!result)
        reply.problem = tr("cannot connect: %1").arg(connectionProblem(result.error()));
    else if (result->status != 200)
        reply.problem = tr("the scanner answered HTTP %1").arg(result->status);
    else
        reply.ok = true;
    if (reply.ok)
        reply.body = QByteArray::fromStdString(body);
    return reply;
}
