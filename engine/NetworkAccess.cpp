#include "engine/NetworkAccess.h"

#include "engine/MessageLog.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

QPointer<QNetworkAccessManager> g_manager;
int g_transferTimeoutMs = NetworkAccess::DefaultTransferTimeoutMs;

} // namespace

QNetworkAccessManager* NetworkAccess::manager()
{
    if (!g_manager) {
        g_manager = new QNetworkAccessManager(QCoreApplication::instance());
        // Redirects are followed, but never from https down to http.
        g_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    return g_manager;
}

int NetworkAccess::transferTimeout()
{
    return g_transferTimeoutMs;
}

void NetworkAccess::setTransferTimeout(int ms)
{
    g_transferTimeoutMs = ms;
}

bool NetworkAccess::isWebUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QNetworkReply* NetworkAccess::get(const QUrl& url, qint64 sizeLimit, QObject* owner)
{
    if (!isWebUrl(url)) {
        VLOG << "refused to fetch" << url.toString();
        return nullptr;
    }
    QNetworkReply* reply = manager()->get(QNetworkRequest(url));
    reply->setParent(owner);
    // The whole transfer, not only a silence, is timed: a server trickling a
    // byte now and then would hold an idle timer off for ever.
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        VLOG << "request timed out" << reply->url().toString();
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
    timer->start(g_transferTimeoutMs);
    // Checked as the head and each piece arrive (progress reports are held
    // back while data comes fast: a burst followed by silence would pass).
    const auto checkSize = [reply, sizeLimit] {
        if (reply->bytesAvailable() > sizeLimit
            || reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > sizeLimit) {
            VLOG << "answer over" << sizeLimit << "bytes" << reply->url().toString();
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, checkSize);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, checkSize);
    return reply;
}

QByteArray NetworkAccess::body(QNetworkReply* reply)
{
    if (reply->error() != QNetworkReply::NoError) {
        VLOG << "request failed" << reply->url().toString() << reply->errorString();
        return QByteArray();
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        VLOG << "answered" << status << reply->url().toString();
        return QByteArray();
    }
    return reply->readAll();
}
