#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Fetches one file into the user settings directory, under the last segment
// of its URL, and keeps it there as the offline copy for later runs. Deletes
// itself once it has reported.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    explicit FileDownloader(QObject* parent = nullptr);

    void setUrl(const QString& url);
    QUrl url() const { return m_url; }

    // Names a download may never take: the program's own files, hidden names
    // and no name at all.
    static bool isReservedName(const QString& fileName);

public slots:
    void download();
    void downloadFinished(QNetworkReply* reply);
    void onDownloadProgress(qlonglong recieved, qlonglong total);

signals:
    void done(const QString& filename);
    void error();
    void downloadProgress(qlonglong recieved, qlonglong total);

private:
    QNetworkAccessManager m_manager;
    QUrl m_url;
};
