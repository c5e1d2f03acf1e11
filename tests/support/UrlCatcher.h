#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Records the links the program hands to the desktop instead of opening them,
// while it lives; it also takes schemes the program must never open, so that
// a wrongly opened link shows up here instead of starting something.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : schemes)
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : schemes)
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> urls;

private:
    static constexpr const char* schemes[] = {"http", "https", "file", "ftp", "javascript"};

public slots:
    void open(const QUrl& url) { urls.append(url); }
};
