#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkReply;

// One check of the version list on the maker's web server: sends its request
// at once, emits exactly one of its two signals, then deletes itself.
class Updater : public QObject
{
    Q_OBJECT

public:
    explicit Updater(QObject* parent = nullptr);
    Updater(const QString& url, QObject* parent);

    // The version list address this build was configured with.
    static QString defaultUrl();

signals:
    // A newer version exists; the download link is a web link or empty.
    void updateIsReady(const QString& link);
    // Nothing to offer; the text says why.
    void updatingError(const QString& text);

private slots:
    void fileDownloaded(QNetworkReply* pReply);

private:
    bool readXml();

    QString url;
    QByteArray downloadedData;
    quint8 major = 0;
    quint8 minor = 0;
    quint8 patch = 0;
    QString downloadLink;
};
