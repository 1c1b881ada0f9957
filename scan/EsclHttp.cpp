#include "scan/EsclHttp.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

EsclHttp::Reply EsclHttp::get(const QUrl &url, int maxBytes, int timeoutMs)
{
    Reply result;
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        result.problem = tr("not a scanner URL: %1").arg(url.toString());
        return result;
    }
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool tooLarge = false;
    bool late = false;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        result.body += reply->read(qint64(maxBytes) + 1 - result.body.size());
        if (result.body.size() > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, &loop,
                     [reply] { reply->ignoreSslErrors(); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        late = true;
        reply->abort();
    });
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();
    if (!tooLarge && !late)
        result.body += reply->read(qint64(maxBytes) + 1 - result.body.size());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (late)
        result.problem = tr("no answer within %1 s").arg((timeoutMs + 999) / 1000);
    else if (tooLarge || result.body.size() > maxBytes)
        result.problem = tr("the answer is larger than %1 KB").arg(maxBytes / 1024);
    else if (reply->error() != QNetworkReply::NoError && status == 0)
        result.problem = tr("cannot connect: %1").arg(reply->errorString());
    else if (status != 200)
        result.problem = tr("the scanner answered HTTP %1").arg(status);
    else
        result.ok = true;
    if (!result.ok)
        result.body.clear();
    delete reply;
    return result;
}
