#include "engine/Database.h"
#include "modules/banner/Banner.h"
#include "modules/banner/FileDownloader.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>

namespace {

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray item(const QString& image, const QString& link, const QString& showTime = "0")
{
    return QStringLiteral("<banner><imgUrl>%1</imgUrl><linkUrl>%2</linkUrl><showTime>%3</showTime></banner>")
        .arg(image, link, showTime).toUtf8();
}

// The labels on show as "wxh link", sorted (their order is the order the
// pictures arrived in); "not packed" unless they stand from 0 with gaps of 5.
QStringList shownLabels(const Banner& banner)
{
    QMap<int, const QLabel*> byX;
    for (const QLabel* label : banner.findChildren<QLabel*>()) {
        if (!label->isHidden())
            byX.insert(label->x(), label);
    }
    QStringList shown;
    int x = 0;
    for (const QLabel* label : byX) {
        if (label->pos() != QPoint(x, 0))
            return {"not packed"};
        x += label->width() + 5;
        shown << QStringLiteral("%1x%2 %3").arg(label->width()).arg(label->height()).arg(label->toolTip());
    }
    shown.sort();
    return shown;
}

QString userFile(const QString& name, const QByteArray& write = QByteArray())
{
    QFile file(Database::userSettingsPath() + "/" + name);
    if (!write.isNull())
        return file.open(QIODevice::WriteOnly) && file.write(write) == write.size() ? QString() : "<unwritten>";
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "<none>";
}

} // namespace

// The banner strip over a local server, and its downloader.
class BannerTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void layout_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<int>("height");
        QTest::addColumn<QStringList>("shown");
        const QString big = "150x100 http://a/1";
        QTest::newRow("scaled, then own size")
            << "<banners>" + item("/big.png", "http://a/1") + item("/small.png", "http://a/2") + "</banners>" << 100
            << QStringList{big, "80x60 http://a/2"};
        QTest::newRow("bad show time, missing and broken pictures dropped")
            << "<banners>" + item("/small.png", "http://a/2", "soon") + item("/missing.png", "http://a/3")
                   + item("/dropped.png", "http://a/4") + item("/notimage.png", "http://a/5")
                   + item("/big.png", "http://a/1") + "</banners>" << 100 << QStringList{big};
        QTest::newRow("none visible") << "<banners><visibleBannersCount>0</visibleBannersCount>"
                                             + item("/big.png", "http://a/1", "10") + "</banners>" << 0 << QStringList();
        QTest::newRow("taller strip") << "<banners><maxHeight>250</maxHeight>" + item("/big.png", "http://a/1") + "</banners>"
                                      << 250 << QStringList{"300x200 http://a/1"};
        QTest::newRow("not a banner list") << QByteArray("<banner-list/>") << 100
                                           << QStringList{"300x100 " + Banner::homePageUrl()};
    }
    void layout()
    {
        QFETCH(QByteArray, list);
        LocalHttpServer server;
        server.reply("/banner.xml", list.replace("<imgUrl>/", "<imgUrl>" + server.url("/").toUtf8()));
        server.reply("/big.png", png(300, 200));
        server.reply("/small.png", png(80, 60));
        server.reply("/notimage.png", "<html>moved</html>");
        server.dropConnection("/dropped.png");
        Banner banner(server.url("/banner.xml"), nullptr);
        QTRY_VERIFY(banner.findChildren<FileDownloader*>().isEmpty()); // every download ended
        QTEST(shownLabels(banner), "shown");
        QTEST(banner.maximumHeight(), "height");
    }

    void offlineCopy()
    {
        const QString closed = LocalHttpServer::closedUrl("/docs/banner.xml");
        QFile::remove(Database::userSettingsPath() + "/banner.xml");
        {
            Banner banner(closed, nullptr);
            QTRY_COMPARE(shownLabels(banner), QStringList{"300x100 " + Banner::homePageUrl()});
            QCOMPARE(banner.maximumHeight(), 100);
        }
        QCOMPARE(userFile("banner.xml", "<banners>" + item(LocalHttpServer::closedUrl("/img/small.png"), "http://a/2") + "</banners>")
                     + userFile("small.png", png(80, 60)), QString());
        Banner banner(closed, nullptr);
        QTRY_COMPARE(shownLabels(banner), QStringList{"80x60 http://a/2"});
    }

    void clickOpensOnlyWebLinks()
    {
        LocalHttpServer server;
        server.reply("/banner.xml", "<banners>" + item(server.url("/a.png"), "http://a/1")
                                        + item(server.url("/a.png"), "javascript:alert(1)") + "</banners>");
        server.reply("/a.png", png(80, 60));
        UrlCatcher urls;
        Banner banner(server.url("/banner.xml"), nullptr);
        QTRY_COMPARE(shownLabels(banner).size(), 2);
        for (QLabel* label : banner.findChildren<QLabel*>())
            QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(urls.urls, QList<QUrl>{QUrl("http://a/1")});
    }

    void downloaderKeepsTheProgramsFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("result"); // signal, then the file's content
        QTest::newRow("stored") << "list.xml" << "done new";
        QTest::newRow("server error keeps the last copy") << "gone.xml" << "done old";
        for (const char* name : {"settings.ini", "debug.txt", "VelSpo.ini", ".hidden", ""})
            QTest::newRow(name) << name << "error old";
    }
    void downloaderKeepsTheProgramsFiles()
    {
        QFETCH(QString, name);
        LocalHttpServer server;
        if (name != "gone.xml")
            server.reply("/d/" + name, "new");
        QCOMPARE(userFile(name.isEmpty() ? "empty" : name, "old"), QString());
        auto* downloader = new FileDownloader;
        downloader->setUrl(server.url("/d/" + name));
        QSignalSpy done(downloader, &FileDownloader::done);
        QSignalSpy failed(downloader, &FileDownloader::error);
        downloader->download();
        QTRY_COMPARE(done.size() + failed.size(), 1);
        QTEST(QString(done.isEmpty() ? "error " : "done ") + userFile(name.isEmpty() ? "empty" : name), "result");
    }
};

VELSPO_TEST_MAIN(BannerTest)
#include "tst_banner.moc"
