#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkReply;

// Fetches one file into the user settings directory, under the last segment
// of its URL, and keeps it there as the offline copy for later runs. An answer
// that fails, or that the content check refuses, leaves the earlier copy in
// place and reports that copy if there is one. Deletes itself once it has
// reported.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    using ContentCheck = std::function<bool(const QByteArray&)>;

    explicit FileDownloader(QObject* parent = nullptr);

    void setUrl(const QString& url);
    QUrl url() const { return m_url; }
    // Largest answer taken; a longer one is aborted. A list's size by default.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    // Whether a body may become the file; any body by default.
    void setContentCheck(const ContentCheck& check) { m_check = check; }

    // Names a download may never take: the program's own files with their
    // lock and temporary files, hidden names and no name at all.
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
    QUrl m_url;
    qint64 m_sizeLimit;
    ContentCheck m_check;
};
