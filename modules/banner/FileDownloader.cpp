#include "modules/banner/FileDownloader.h"

#include "engine/Database.h"
#include "engine/FileChooser.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "report/AtomicFileWriter.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>

FileDownloader::FileDownloader(QObject* parent)
    : QObject(parent)
{
    connect(&m_manager, &QNetworkAccessManager::finished, this, &FileDownloader::downloadFinished);
}

void FileDownloader::setUrl(const QString& url)
{
    m_url = QUrl(url, QUrl::TolerantMode);
}

bool FileDownloader::isReservedName(const QString& fileName)
{
    return fileName.isEmpty() || fileName.startsWith(QLatin1Char('.')) || fileName.contains(QLatin1Char('/'))
        || fileName == QLatin1String("settings.ini") || fileName == QLatin1String("debug.txt")
        || fileName == ProductTypeInfo::applicationName() + QStringLiteral(".ini");
}

void FileDownloader::download()
{
    QNetworkReply* reply = m_manager.get(QNetworkRequest(m_url));
    connect(reply, &QNetworkReply::downloadProgress, this, &FileDownloader::onDownloadProgress);
}

void FileDownloader::onDownloadProgress(qlonglong recieved, qlonglong total)
{
    emit downloadProgress(recieved, total);
}

void FileDownloader::downloadFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    deleteLater();

    const QString name = m_url.fileName(QUrl::FullyDecoded);
    if (isReservedName(name)) {
        VLOG << "refused to download into" << name;
        emit error();
        return;
    }
    const QString path = FileChooser::joinPath(Database::userSettingsPath(), name);
    if (reply->error() != QNetworkReply::NoError) {
        if (QFileInfo(path).isFile())
            emit done(path); // the copy of an earlier run
        else
            emit error();
        return;
    }
    // A failed write leaves the last good copy in place.
    if (!AtomicFileWriter::write(path, reply->readAll())) {
        VLOG << "cannot write" << path;
        emit error();
        return;
    }
    emit done(path);
}
