#include "engine/Database.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/banner/Banner.h"
#include "modules/banner/FileDownloader.h"
#include "modules/updater/Updater.h"
#include "support/LocalHttpServer.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>

namespace {

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QBuffer buffer;
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray item(const QString& image, const QString& link, const QString& showTime = "0")
{
    return QStringLiteral("<banner><imgUrl>%1</imgUrl><linkUrl>%2</linkUrl><showTime>%3</showTime></banner>")
        .arg(image, link, showTime).toUtf8();
}

// The labels on show as "wxh link", sorted (they stand in arrival order);
// "not packed" unless they stand from 0 with gaps of 5.
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

// Writes the file in the user settings directory, or reads it when write is null.
QString userFile(const QString& name, const QByteArray& write = QByteArray())
{
    QFile file(Database::userSettingsPath() + "/" + name);
    if (!write.isNull())
        return file.open(QIODevice::WriteOnly) && file.write(write) == write.size() ? QString() : "<unwritten>";
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "<none>";
}

QByteArray versionList(const QString& version, const QString& link64 = "http://x/64", const QString& root = "vel-versions",
                       const QString& product = "VelSpo")
{
    return QStringLiteral("<%1><VelDpo><lastVersion>9.9.9</lastVersion></VelDpo><%2><lastVersion>%3</lastVersion>"
                          "<linux32downloadLink>http://x/32</linux32downloadLink><linux64downloadLink>%4"
                          "</linux64downloadLink></%2></%1>").arg(root, product, version, link64).toUtf8();
}

} // namespace

// The banner strip, its downloader and the update check, over a local server.
class NetworkTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void bannerLayout_data()
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
    void bannerLayout()
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

    // Without network: the default banner, then the copy of an earlier run.
    void bannerOfflineCopyAndClicks()
    {
        const QString closed = LocalHttpServer::closedUrl("/docs/banner.xml");
        QFile::remove(Database::userSettingsPath() + "/banner.xml");
        {
            Banner banner(closed, nullptr);
            QTRY_COMPARE(shownLabels(banner), QStringList{"300x100 " + Banner::homePageUrl()});
        }
        const QString image = LocalHttpServer::closedUrl("/img/small.png");
        const QByteArray list = "<banners>" + item(image, "http://a/2") + item(image, "javascript:alert(1)") + "</banners>";
        QCOMPARE(userFile("banner.xml", list) + userFile("small.png", png(80, 60)), QString());
        UrlCatcher urls;
        Banner banner(closed, nullptr);
        QTRY_COMPARE(shownLabels(banner), QStringList({"80x60 http://a/2", "80x60 javascript:alert(1)"}));
        for (QLabel* label : banner.findChildren<QLabel*>())
            QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(urls.urls, QList<QUrl>{QUrl("http://a/2")}); // web links only
    }

    void downloaderKeepsTheProgramsFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("result"); // signal, then the file's content
        QTest::newRow("stored") << "list.xml" << "done new";
        for (const char* name : {"settings.ini", "debug.txt", "VelSpo.ini", ".hidden", ""})
            QTest::newRow(name) << name << "error old";
    }
    void downloaderKeepsTheProgramsFiles()
    {
        QFETCH(QString, name);
        LocalHttpServer server;
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

    // The version list read, and what the main window makes of it.
    void updateCheck_data()
    {
        QTest::addColumn<QByteArray>("body"); // none: not found, "<closed>": no server
        QTest::addColumn<int>("silentAnswer"); // 0: the check from the menu
        QTest::addColumn<QString>("result"); // the boxes' texts, then the links opened
        const QString latest = "Установлена последняя версия программы.";
        const QString newer = "Доступна новая версия. \nСсылка для скачивания будет открыта в вашем браузере.";
        const QString ready = newer + " http://x/64"; // the 32-bit link is not taken on a 64-bit build
        const QString ask = "Доступна новая версия. Загрузить?";
        const QString noServer = "Не удалось подключиться к серверу обновлений";
        QTest::newRow("same") << versionList("0.4.2") << 0 << latest;
        QTest::newRow("patch newer") << versionList("0.4.3") << 0 << ready;
        QTest::newRow("minor newer") << versionList("0.5.0") << 0 << ready;
        QTest::newRow("major newer") << versionList("1.0.0") << 0 << ready;
        QTest::newRow("older") << versionList("0.3.9") << 0 << latest;
        QTest::newRow("empty middle part") << versionList("0..3") << 0 << latest;
        QTest::newRow("256 is 0") << versionList("0.4.256") << 0 << latest;
        QTest::newRow("two parts") << versionList("0.4") << 0 << "Что-то пошло не так..";
        QTest::newRow("four parts") << versionList("0.4.2.1") << 0 << "Что-то пошло не так..";
        QTest::newRow("no entry") << versionList("1.0.0", "", "vel-versions", "VelVuz") << 0 << "Что-то пошло не так..";
        QTest::newRow("other root") << versionList("1.0.0", "", "versions") << 0 << "Что-то пошло не так...";
        QTest::newRow("not xml") << QByteArray("<vel-versions><VelSpo>") << 0 << "Что-то пошло не так.";
        QTest::newRow("no link") << versionList("0.5.0", "") << 0 << newer;
        QTest::newRow("not a web link") << versionList("0.5.0", "file:///etc/passwd") << 0 << newer;
        QTest::newRow("not found") << QByteArray() << 0 << noServer;
        QTest::newRow("no server") << QByteArray("<closed>") << 0 << noServer;
        QTest::newRow("silent, yes") << versionList("0.5.0") << int(QMessageBox::Yes) << ask + " http://x/64";
        QTest::newRow("silent, no") << versionList("0.5.0") << int(QMessageBox::No) << ask;
        QTest::newRow("silent, latest") << versionList("0.4.2") << int(QMessageBox::Ok) << "";
    }
    void updateCheck()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, silentAnswer);
        LocalHttpServer server;
        if (!body.isNull())
            server.reply("/v.xml", body);
        Updater::setDefaultUrlForTesting(body == "<closed>" ? LocalHttpServer::closedUrl("/v.xml") : server.url("/v.xml"));
        Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
        UrlCatcher urls;
        ModalAnswerer answerer;
        answerer.answer(silentAnswer ? QMessageBox::StandardButton(silentAnswer) : QMessageBox::Ok);
        {
            VelMainWindow window;
            window.checkUpdates(silentAnswer != 0);
            QSignalSpy gone(window.findChild<Updater*>(), &QObject::destroyed);
            QVERIFY(gone.wait(10000));
        }
        Updater::setDefaultUrlForTesting(QString());
        QStringList result = answerer.texts();
        for (const QUrl& url : urls.urls)
            result << url.toString();
        QTEST(result.join(' '), "result");
        QCOMPARE(answerer.titles().count("Проверка обновлений"), answerer.handledCount());
        QCOMPARE(server.requests, body == "<closed>" ? QStringList() : QStringList{"GET /v.xml HTTP/1.1"});
    }
};

VELSPO_TEST_MAIN(NetworkTest)
#include "tst_network.moc"
