#pragma once

#include <QByteArray>
#include <QtGlobal>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;
class QUrl;

// The program's one road onto the network: one access manager for every
// request, and GET requests that always end and never bring more than their
// caller can use. A request past its time or its size is aborted, so it ends
// as a failed connection does.
class NetworkAccess
{
public:
    // What one answer may bring: the version list and the banner list, and
    // one banner picture.
    static constexpr qint64 ListSizeLimit = 1024 * 1024;
    static constexpr qint64 ImageSizeLimit = 5 * 1024 * 1024;
    // Widest and tallest picture decoded, read from its header first: a few
    // hundred bytes of PNG can claim gigabytes of pixels.
    static constexpr int ImageSideLimit = 4096;
    static constexpr int DefaultTransferTimeoutMs = 30000;

    static QNetworkAccessManager* manager();

    // Time one request may take from sending to its last byte, in ms.
    static int transferTimeout();
    static void setTransferTimeout(int ms);

    // Only web addresses are fetched or opened.
    static bool isWebUrl(const QUrl& url);

    // Sends a GET for url through the shared manager, aborted past the
    // transfer timeout or when its body grows beyond sizeLimit. The reply is
    // owner's child, so a request nobody waits for any more goes with its
    // owner. Returns null, sending nothing, for an address that is not http
    // or https.
    static QNetworkReply* get(const QUrl& url, qint64 sizeLimit, QObject* owner);

    // The body of a finished reply when it is a success: no error (nor an
    // abort), a 2xx status and at least one byte. Empty otherwise.
    static QByteArray body(QNetworkReply* reply);
};
