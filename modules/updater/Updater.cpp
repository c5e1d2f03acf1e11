#include "modules/updater/Updater.h"

#include "engine/MessageLog.h"
#include "engine/NetworkAccess.h"
#include "engine/ProductTypeInfo.h"

#include <QDomDocument>
#include <QNetworkReply>
#include <QSysInfo>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

// The DOM parser recurses once per level: a list nested some thousands deep
// overflows the stack. A real list is three levels deep.
constexpr int kDeepestList = 32;

bool nestedTooDeep(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kDeepestList)
            return true;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return false; // a parse error is reported by the real parse
}

} // namespace

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
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (nestedTooDeep(downloadedData)) {
        VLOG << "Error: version list nested deeper than" << kDeepestList << "levels";
        emit updatingError(QStringLiteral("Что-то пошло не так."));
        return false;
    }
    if (!document.setContent(downloadedData, false, &message, &line, &column)) {
        VLOG << "Error: Parse error at line " << line << ", "
             << "column " << column << ": " << message << "Loading default config";
        emit updatingError(QStringLiteral("Что-то пошло не так."));
        return false;
    }
    const QDomElement root = document.documentElement();
    if (root.tagName() != QLatin1String("vel-versions")) {
        VLOG << "Error: Not version info file";
        emit updatingError(QStringLiteral("Что-то пошло не так..."));
        return false;
    }

    const QString linkElement = QSysInfo::buildCpuArchitecture().contains(QLatin1String("64"))
        ? QStringLiteral("linux64downloadLink")
        : QStringLiteral("linux32downloadLink");
    QString versionText;
    for (QDomElement product = root.firstChildElement(); !product.isNull(); product = product.nextSiblingElement()) {
        if (product.tagName() != ProductTypeInfo::applicationName())
            continue;
        for (QDomElement item = product.firstChildElement(); !item.isNull(); item = item.nextSiblingElement()) {
            if (item.tagName() == QLatin1String("lastVersion"))
                versionText = item.text();
            else if (item.tagName() == linkElement)
                downloadLink = item.text();
        }
    }
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
