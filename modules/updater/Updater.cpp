#include "modules/updater/Updater.h"

#include "engine/MessageLog.h"
#include "engine/NetworkAccess.h"
#include "engine/ProductTypeInfo.h"
#include "modules/updater/VersionListReader.h"

#include <QNetworkReply>
#include <QSysInfo>
#include <QUrl>

Updater::Updater(QObject* parent)
    : Updater(defaultUrl(), parent)
{
}

Updater::Updater(const QString& url, QObject* parent)
    : QObject(parent)
    , url(url)
{
    QNetworkReply* reply = NetworkAccess::get(QUrl(url), NetworkAccess::ListSizeLimit, this);
    if (reply)
        connect(reply, &QNetworkReply::finished, this, [this, reply] { fileDownloaded(reply); });
    else // not a web address: fails as no connection would, once the caller has connected
        QMetaObject::invokeMethod(this, [this] { fileDownloaded(nullptr); }, Qt::QueuedConnection);
}

QString Updater::defaultUrl()
{
    return QStringLiteral(VELSPO_VERSION_LIST_URL);
}

void Updater::fileDownloaded(QNetworkReply* pReply)
{
    downloadedData = pReply ? NetworkAccess::body(pReply) : QByteArray();
    // A timeout, an answer over its size, a refused redirect or an empty
    // answer say as much as no connection at all.
    if (downloadedData.isEmpty())
        emit updatingError(QStringLiteral("Не удалось подключиться к серверу обновлений"));
    else
        readXml();
    deleteLater(); // the reply with it, as its child
}

bool Updater::readXml()
{
    const QString linkElement = QSysInfo::buildCpuArchitecture().contains(QLatin1String("64"))
        ? QStringLiteral("linux64downloadLink")
        : QStringLiteral("linux32downloadLink");
    VersionListReader list(ProductTypeInfo::applicationName(), linkElement);
    switch (list.read(downloadedData)) {
    case VersionListReader::Malformed:
        emit updatingError(QStringLiteral("Что-то пошло не так."));
        return false;
    case VersionListReader::NotVersionList:
        emit updatingError(QStringLiteral("Что-то пошло не так..."));
        return false;
    case VersionListReader::Read:
        break;
    }
    const QString versionText = list.versionText();
    downloadLink = list.downloadLink();
    // Only a web link is offered; any other is as good as none.
    if (!downloadLink.isEmpty() && !NetworkAccess::isWebUrl(QUrl(downloadLink))) {
        VLOG << "refused download link" << downloadLink;
        downloadLink.clear();
    }

    const QStringList parts = versionText.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 3) {
        emit updatingError(QStringLiteral("Что-то пошло не так.."));
        return false;
    }
    // Each part keeps its low 8 bits, as the list's format defines.
    major = quint8(parts.at(0).toInt(nullptr, 10));
    minor = quint8(parts.at(1).toInt(nullptr, 10));
    patch = quint8(parts.at(2).toInt(nullptr, 10));

    const bool newer = major != ProductTypeInfo::VersionMajor
        ? major > ProductTypeInfo::VersionMajor
        : minor != ProductTypeInfo::VersionMinor ? minor > ProductTypeInfo::VersionMinor
                                                 : patch > ProductTypeInfo::VersionPatch;
    if (newer)
        emit updateIsReady(downloadLink);
    else
        emit updatingError(QStringLiteral("Установлена последняя версия программы."));
    return true;
}
