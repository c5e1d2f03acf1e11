#include "engine/Database.h"
#include "engine/NetworkAccess.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/banner/Banner.h"
#include "modules/banner/FileDownloader.h"
#include "modules/updater/Updater.h"
#include "support/FileSizeLimit.h"
#include "support/LocalHttpServer.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTextCodec>
#include <memory>

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

// The forms a version list nested 30000 deep can take to slip past a strict
// reader and reach a lenient one: all are malformed.
QByteArray hiddenNesting(const QByteArray& form, const QByteArray& root = "vel-versions")
{
    const QByteArray prefixed = QByteArray("<a:x>").repeated(30000) + QByteArray("</a:x>").repeated(30000);
    const QByteArray nested = QByteArray("<x>").repeated(30000) + QByteArray("</x>").repeated(30000);
    const QByteArray end = "</" + root + ">";
    if (form == "prefix")
        return "<" + root + ">" + prefixed + end;
    if (form == "encoding")
        return "<?xml version=\"1.0\" encoding=\"x-velspo-nope\"?><" + root + ">" + nested + end;
    if (form == "entity")
        return "<" + root + ">&nope;" + nested + end;
    return "<!DOCTYPE " + root + " [<!ENTITY deep \"" + nested + "\">]><" + root + ">&deep;" + end;
}

// A version list with an element nested depth levels deep counting the
// document element, and spaces to size bytes when given.
QByteArray padded(QByteArray list, int depth, qint64 size = 0)
{
    list.replace("</vel-versions>", QByteArray("<x>").repeated(depth - 1) + QByteArray("</x>").repeated(depth - 1)
                                        + "</vel-versions>");
    return list + QByteArray(int(qMax<qint64>(0, size - list.size())), ' ');
}

void serve(LocalHttpServer& server, const QString& path, const QByteArray& status, const QByteArray& body)
{
    if (status == "stall") {
        server.stall(path);
        NetworkAccess::setTransferTimeout(1000); // ends in a second, not in half a minute
    } else if (status == "endless") { // a gigabyte announced, and more than the limit on its way
        server.stall(path, body, qint64(1) << 30);
    } else if (status == "unsized" || status == "chunked") { // no Content-Length
        server.replyUnsized(path, body, status == "chunked");
    } else if (status == "302 Found") { // body: where to
        server.answer(path, status, "", "Location: " + body + "\r\n");
    } else if (status != "closed") {
        server.answer(path, status, body);
    }
}

} // namespace

// The banner strip, its downloader and the update check, over a local server.
class NetworkTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        NetworkAccess::setTransferTimeout(NetworkAccess::DefaultTransferTimeoutMs);
    }

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
        for (const char* refused : {"/over5MB.png", "/over5MB-unsized.png", "/wide.ppm", "/img/banner.xml", "file:PIC"}) {
            QTest::newRow(refused) << "<banners>" + item(refused, "http://a/9") + item("/big.png", "http://a/1") + "</banners>"
                                   << 100 << QStringList{big};
        }
        QTest::newRow("not a banner list") << QByteArray("<banner-list/>") << 100
                                           << QStringList{"300x100 " + Banner::homePageUrl()};
    }
    void bannerLayout()
    {
        QFETCH(QByteArray, list);
        QFile::remove(Database::userSettingsPath() + "/banner.xml"); // no copy of an earlier run
        LocalHttpServer server;
        server.reply("/banner.xml", list.replace("<imgUrl>/", "<imgUrl>" + server.url("/").toUtf8()));
        server.reply("/big.png", png(300, 200));
        server.reply("/small.png", png(80, 60));
        server.reply("/notimage.png", "<html>moved</html>");
        server.dropConnection("/dropped.png");
        server.reply("/over5MB.png", png(80, 60) + QByteArray(int(NetworkAccess::ImageSizeLimit), '\0'));
        server.replyUnsized("/over5MB-unsized.png", png(80, 60) + QByteArray(int(NetworkAccess::ImageSizeLimit), '\0'), true);
        server.reply("/wide.ppm", "P6\n4097 50\n255\n" + QByteArray(100, '\x7f')); // a header of too many pixels
        server.reply("/img/banner.xml", png(80, 60));
        const QString source = Database::userSettingsPath() + "/source/pic.png";
        QVERIFY(QDir().mkpath(QFileInfo(source).path()) && QImage::fromData(png(80, 60)).save(source));
        list.replace("file:PIC", QUrl::fromLocalFile(source).toEncoded());
        QSignalSpy viaTheOneManager(NetworkAccess::manager(), &QNetworkAccessManager::finished);
        Banner banner(server.url("/banner.xml"), nullptr);
        QTRY_VERIFY(banner.findChildren<FileDownloader*>().isEmpty()); // every download ended
        // One answer per address: Qt sends a request twice when its connection drops.
        QCOMPARE(viaTheOneManager.size(), QSet<QString>(server.requests.begin(), server.requests.end()).size());
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

    // The list on disk is replaced by a list that came whole and parses, and
    // by nothing else; what did not come is as good as no network.
    void bannerListAnswers_data()
    {
        QTest::addColumn<QByteArray>("status"); // "stall", "unsized", "chunked", or "unwritable": a list that cannot be stored
        QTest::addColumn<QByteArray>("body");   // a redirect's target
        QTest::addColumn<QStringList>("shown");
        const QByteArray fresh = "<banners>" + item("/small.png", "http://a/new") + "</banners>";
        const QStringList old{"80x60 http://a/old"};
        QTest::newRow("new list") << QByteArray("200 OK") << fresh << QStringList{"80x60 http://a/new"};
        QTest::newRow("redirected") << QByteArray("302 Found") << QByteArray("/fresh.xml") << QStringList{"80x60 http://a/new"};
        QTest::newRow("no content") << QByteArray("204 No Content") << QByteArray() << old;
        QTest::newRow("redirected to no content") << QByteArray("302 Found") << QByteArray("/empty") << old;
        QTest::newRow("error page") << QByteArray("500 Internal Server Error") << fresh << old;
        QTest::newRow("not a list") << QByteArray("200 OK") << QByteArray("<html>moved</html>") << old;
        QTest::newRow("a picture") << QByteArray("200 OK") << png(80, 60) << old;
        QTest::newRow("over 1 MB") << QByteArray("200 OK") << fresh + QByteArray(int(NetworkAccess::ListSizeLimit), ' ')
                                   << old;
        QTest::newRow("chunked") << QByteArray("chunked") << fresh << QStringList{"80x60 http://a/new"};
        for (const char* sent : {"unsized", "chunked"}) {
            QTest::newRow(QByteArray("over 1 MB, ") + sent)
                << QByteArray(sent) << fresh + QByteArray(int(NetworkAccess::ListSizeLimit), ' ') << old;
        }
        QTest::newRow("stalled") << QByteArray("stall") << QByteArray() << old;
        for (const char* form : {"prefix", "encoding", "entity", "doctype"})
            QTest::newRow(QByteArray("nested 30000 deep, ") + form) << QByteArray("200 OK") << hiddenNesting(form, "banners") << old;
        QTest::newRow("not stored") << QByteArray("unwritable") << fresh << QStringList{"300x100 " + Banner::homePageUrl()};
    }
    void bannerListAnswers()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        LocalHttpServer server;
        const QString old = "<banners>" + item(server.url("/small.png"), "http://a/old") + "</banners>";
        QCOMPARE(userFile("banner.xml", old.toUtf8()), QString());
        body.replace("<imgUrl>/", "<imgUrl>" + server.url("/").toUtf8());
        server.reply("/small.png", png(80, 60));
        server.reply("/fresh.xml", "<banners>" + item(server.url("/small.png"), "http://a/new") + "</banners>");
        server.answer("/empty", "204 No Content", "");
        serve(server, "/banner.xml", status == "unwritable" ? "200 OK" : status, body);
        QStringList shown;
        {
            std::unique_ptr<FileSizeLimit> full(status == "unwritable" ? new FileSizeLimit(16) : nullptr);
            Banner banner(server.url("/banner.xml"), nullptr);
            QTRY_VERIFY(banner.findChildren<FileDownloader*>().isEmpty());
            shown = shownLabels(banner);
        }
        QTEST(shown, "shown");
        QCOMPARE(userFile("banner.xml") == old, !shown.contains("80x60 http://a/new"));
    }

    void downloaderKeepsTheProgramsFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("result"); // signal, then the file's content
        QTest::newRow("stored") << "list.xml" << "done new";
        for (const char* name : {"settings.ini", "settings.ini.lock", "debug.txt", "VelSpo.ini", ".hidden", ""})
            QTest::newRow(name) << name << "error old";
    }
    void downloaderKeepsTheProgramsFiles()
    {
        QFETCH(QString, name);
        LocalHttpServer server;
        server.reply("/d/" + name, "new");
        const QString file = name.isEmpty() ? "empty" : name;
        QCOMPARE(userFile(file, "old"), QString());
        // A lock file left behind would hold the settings for half a minute.
        const auto removal = qScopeGuard([file] { QFile::remove(Database::userSettingsPath() + "/" + file); });
        auto* downloader = new FileDownloader;
        downloader->setUrl(server.url("/d/" + name));
        QSignalSpy done(downloader, &FileDownloader::done);
        QSignalSpy failed(downloader, &FileDownloader::error);
        downloader->download();
        QTRY_COMPARE(done.size() + failed.size(), 1);
        QTEST(QString(done.isEmpty() ? "error " : "done ") + userFile(file), "result");
    }

    // Every request follows redirects, but never from https down to http.
    void redirectsNeverLessSafe()
    {
        LocalHttpServer server;
        server.reply("/v.xml", versionList("0.4.2"));
        server.reply("/banner.xml", "<banners/>");
        QStringList policies;
        const QMetaObject::Connection watch
            = connect(NetworkAccess::manager(), &QNetworkAccessManager::finished, this, [&policies](QNetworkReply* reply) {
                  const QVariant policy = reply->request().attribute(QNetworkRequest::RedirectPolicyAttribute);
                  policies << (policy.isNull() ? "none" : QString::number(policy.toInt()));
              });
        const auto disconnection = qScopeGuard([watch] { disconnect(watch); });
        auto* updater = new Updater(server.url("/v.xml"), nullptr);
        QSignalSpy checked(updater, &Updater::updatingError);
        auto* downloader = new FileDownloader;
        downloader->setUrl(server.url("/banner.xml"));
        QSignalSpy downloaded(downloader, &FileDownloader::done);
        downloader->download();
        QTRY_COMPARE(checked.size() + downloaded.size(), 2);
        const QString noLessSafe = QString::number(QNetworkRequest::NoLessSafeRedirectPolicy);
        QCOMPARE(policies, QStringList({noLessSafe, noLessSafe}));
    }

    // The version list read, and what the main window makes of it.
    void updateCheck_data()
    {
        QTest::addColumn<QByteArray>("status"); // of the answer; "stall", "endless", "unsized", "chunked", or "closed": no server
        QTest::addColumn<QByteArray>("body");   // a redirect's target
        QTest::addColumn<QString>("calls");     // "menu": the user asks; "silent": the check at start-up
        QTest::addColumn<int>("answer");        // to "Загрузить?"
        QTest::addColumn<QString>("result");    // the boxes' texts, then the links opened
        const QString latest = "Установлена последняя версия программы.";
        const QString newer = "Доступна новая версия. \nСсылка для скачивания будет открыта в вашем браузере.";
        const QString ready = newer + " http://x/64"; // the 32-bit link is not taken on a 64-bit build
        const QString noLink = "Доступна новая версия. \nСервер обновлений не дал ссылки для скачивания, "
                               "загрузите её с сайта программы.";
        const QString ask = "Доступна новая версия. Загрузить?";
        const QString noServer = "Не удалось подключиться к серверу обновлений";
        const QByteArray ok = "200 OK";
        const QString broken = "Что-то пошло не так.";
        const auto row = [](const char* name, const QByteArray& status, const QByteArray& body, const QString& result,
                            const QString& calls = "menu", int answer = QMessageBox::Ok) {
            QTest::newRow(name) << status << body << calls << answer << result;
        };
        row("same", ok, versionList("0.4.2"), latest);
        row("patch newer", ok, versionList("0.4.3"), ready);
        row("minor newer", ok, versionList("0.5.0"), ready);
        row("major newer", ok, versionList("1.0.0"), ready);
        row("older", ok, versionList("0.3.9"), latest);
        row("empty middle part", ok, versionList("0..3"), latest);
        row("256 is 0", ok, versionList("0.4.256"), latest);
        row("two parts", ok, versionList("0.4"), broken + ".");
        row("four parts", ok, versionList("0.4.2.1"), broken + ".");
        row("no entry", ok, versionList("1.0.0", "", "vel-versions", "VelVuz"), broken + ".");
        row("other root", ok, versionList("1.0.0", "", "versions"), broken + "..");
        row("not xml", ok, "<vel-versions><VelSpo>", broken);
        row("nested 32 deep", ok, padded(versionList("0.5.0"), 32), ready);
        row("nested 33 deep", ok, padded(versionList("0.5.0"), 33), broken);
        row("nested 30000 deep", ok, padded(versionList("0.5.0"), 30000), broken);
        row("undeclared prefix, shallow", ok, versionList("0.5.0").replace("<VelDpo>", "<a:x/><VelDpo>"), ready);
        row("encoding declared", ok,
            QTextCodec::codecForName("windows-1251")->fromUnicode("<?xml version=\"1.0\" encoding=\"windows-1251\"?>"
                                                                  + versionList("0.5.0", "http://x/64/новая")),
            newer + " http://x/64/новая");
        row("version in pieces", ok, versionList("0.<![CDATA[5]]>.<b>0</b> <!-- - -->"), ready);
        row("document type declared", ok, "<!DOCTYPE vel-versions>" + versionList("0.5.0"), broken);
        row("nested 30000 deep, undeclared prefix", ok, hiddenNesting("prefix"), broken);
        row("nested 30000 deep, unknown encoding", ok, hiddenNesting("encoding"), broken);
        row("nested 30000 deep, undeclared entity", ok, hiddenNesting("entity"), broken);
        row("nested 30000 deep, in a declared entity", ok, hiddenNesting("doctype"), broken);
        row("1 MB", ok, padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit), ready);
        row("over 1 MB", ok, padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit + 1), noServer);
        row("over 1 MB, still coming", "endless", padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit + 1), noServer);
        row("1 MB, unsized", "unsized", padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit), ready);
        row("1 MB, chunked", "chunked", padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit), ready);
        row("over 1 MB, unsized", "unsized", padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit + 1), noServer);
        row("over 1 MB, chunked", "chunked", padded(versionList("0.5.0"), 1, NetworkAccess::ListSizeLimit + 1), noServer);
        row("no link", ok, versionList("0.5.0", ""), noLink);
        row("not a web link", ok, versionList("0.5.0", "file:///etc/passwd"), noLink);
        row("not found", "404 Not Found", versionList("0.5.0"), noServer);
        row("no content", "204 No Content", "", noServer);
        row("not a success", "300 Multiple Choices", versionList("0.5.0"), noServer);
        row("no server", "closed", "", noServer);
        row("stalled", "stall", "", noServer);
        row("redirected", "302 Found", "/list.xml", ready);
        row("redirected to a file", "302 Found", "file:///etc/hostname", noServer);
        row("redirected in a loop", "302 Found", "/loop", noServer);
        row("window closed", "stall", "", "", "menu close");
        row("asked twice", ok, versionList("0.5.0"), ready, "menu menu");
        row("asked during the silent check", ok, versionList("0.5.0"), ready, "silent menu");
        row("silent, yes", ok, versionList("0.5.0"), ask + " http://x/64", "silent", QMessageBox::Yes);
        row("silent, no", ok, versionList("0.5.0"), ask, "silent", QMessageBox::No);
        row("silent, latest", ok, versionList("0.4.2"), "", "silent");
        row("silent, no server", "closed", "", "", "silent");
    }
    void updateCheck()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, calls);
        QFETCH(int, answer);
        LocalHttpServer server;
        serve(server, "/v.xml", status, body);
        if (calls.endsWith("close")) // the window closes while the request waits, long before its time is up
            NetworkAccess::setTransferTimeout(NetworkAccess::DefaultTransferTimeoutMs);
        server.reply("/list.xml", versionList("0.5.0"));
        server.answer("/loop", "302 Found", "", "Location: /loop\r\n");
        Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
        UrlCatcher urls;
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        {
            VelMainWindow window;
            window.setVersionListUrl(status == "closed" ? LocalHttpServer::closedUrl("/v.xml") : server.url("/v.xml"));
            for (const QString& call : calls.split(' ')) {
                if (call != "close")
                    window.checkUpdates(call == "silent");
            }
            if (calls.endsWith("close"))
                QTRY_COMPARE(server.requests.size(), 1);
            else
                QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<Updater*>().isEmpty(), 10000);
        }
        QTRY_VERIFY(server.findChildren<QTcpSocket*>().isEmpty()); // no request outlives its window
        QStringList result = answerer.texts();
        for (const QUrl& url : urls.urls)
            result << url.toString();
        QTEST(result.join(' '), "result");
        QCOMPARE(answerer.titles().count("Проверка обновлений"), answerer.handledCount());
        QCOMPARE(server.requests.count("GET /v.xml HTTP/1.1"), status == "closed" ? 0 : 1);
    }
};

VELSPO_TEST_MAIN(NetworkTest)
#include "tst_network.moc"
