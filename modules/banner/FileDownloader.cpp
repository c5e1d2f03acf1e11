#include "modules/banner/FileDownloader.h"

#include "engine/Database.h"
#include "engine/FileChooser.h"
#include "engine/MessageLog.h"
#include "engine/NetworkAccess.h"
#include "engine/ProductTypeInfo.h"
#include "report/AtomicFileWriter.h"

#include <QFileInfo>
#include <QNetworkReply>

FileDownloader::FileDownloader(QObject* parent)
    : QObject(parent)
    , m_sizeLimit(NetworkAccess::ListSizeLimit)
{
}

void FileDownloader::setUrl(const QString& url)
{
    m_url = QUrl(url, QUrl::TolerantMode);
}

bool FileDownloader::isReservedName(const QString& fileName)
{
    if (fileName.isEmpty() || fileName.startsWith(QLatin1Char('.')) || fileName.contains(QLatin1Char('/')))
        return true;
    // What the program keeps in that folder; a name that goes on with a dot
    // is one of their lock or temporary files ("settings.ini.lock").
    const QString kept[] = {QStringLiteral("settings.ini"), MessageLog::fileName(), QStringLiteral("dict"),
                            ProductTypeInfo::applicationName() + QStringLiteral(".ini")};
    for (const QString& name : kept) {
        if (fileName == name || fileName.startsWith(name + QLatin1Char('.')))
            return true;
    }
    return false;
}

void FileDownloader::download()
{
    // Nothing is fetched that could not be kept.
    QNetworkReply* reply
        = isReservedName(m_url.fileName(QUrl::FullyDecoded)) ? nullptr : NetworkAccess::get(m_url, m_sizeLimit, this);
    if (!reply) { // reported as a failed connection, once the caller has connected
        QMetaObject::invokeMethod(this, [this] { downloadFinished(nullptr); }, Qt::QueuedConnection);
        return;
    }
    connect(reply, &QNetworkReply::downloadProgress, this, &FileDownloader::onDownloadProgress);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { downloadFinished(reply); });
}

void FileDownloader::onDownloadProgress(qlonglong recieved, qlonglong total)
{
    emit downloadProgress(recieved, total);
}

void FileDownloader::downloadFinished(QNetworkReply* reply)
{
    deleteLater(); // the reply with it, as its child

    const QString name = m_url.fileName(QUrl::FullyDecoded);
    if (isReservedName(name)) {
        VLOG << "refused to download into" << name;
        emit error();
        return;
    }
    const QString path = FileChooser::joinPath(Database::userSettingsPath(), name);
    const QByteArray data = reply ? NetworkAccess::body(reply) : QByteArray();
    if (data.isEmpty() || (m_check && !m_check(data))) {
        if (!data.isEmpty())
            VLOG << "refused the content of" << m_url.toString();
        if (QFileInfo(path).isFile())
            emit done(path); // the copy of an earlier run
        else
            emit error();
        return;
    }
    // A failed write leaves the last good copy in place, but this download
    // did not succeed.
    if (!AtomicFileWriter::write(path, data)) {
        VLOG << "cannot write" << path;
        emit error();
        return;
    }
    emit done(path);
}
