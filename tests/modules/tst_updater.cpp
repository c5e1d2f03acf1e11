#include "engine/Database.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/updater/Updater.h"
#include "support/LocalHttpServer.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"

#include <QSettings>
#include <QSignalSpy>

namespace {

QByteArray listOf(const QString& version, const QString& product = "VelSpo", const QString& root = "vel-versions")
{
    return QStringLiteral("<%1><VelDpo><lastVersion>9.9.9</lastVersion></VelDpo><%2><lastVersion>%3</lastVersion>"
                          "<linux32downloadLink>http://x/32</linux32downloadLink><linux64downloadLink>http://x/64"
                          "</linux64downloadLink></%2></%1>").arg(root, product, version).toUtf8();
}

// One check against url: "ready:<link>" or the error text, after the updater went.
QString check(const QString& url)
{
    auto* updater = new Updater(url, nullptr);
    QSignalSpy ready(updater, &Updater::updateIsReady);
    QSignalSpy failed(updater, &Updater::updatingError);
    QSignalSpy gone(updater, &QObject::destroyed);
    if (!gone.wait(10000))
        return "<still running>";
    QStringList results;
    for (const QList<QVariant>& args : ready)
        results << "ready:" + args.at(0).toString();
    for (const QList<QVariant>& args : failed)
        results << args.at(0).toString();
    return results.join('|');
}

} // namespace

// The version list: its rules, its failures and the main window's messages.
class UpdaterTest : public QObject
{
    Q_OBJECT
private slots:
    void versionList_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("result");
        const QString latest = "Установлена последняя версия программы.";
        const QString ready = "ready:http://x/64"; // the 32-bit link is not taken on a 64-bit build
        QTest::newRow("same") << listOf("0.4.2") << latest;
        QTest::newRow("patch newer") << listOf("0.4.3") << ready;
        QTest::newRow("minor newer") << listOf("0.5.0") << ready;
        QTest::newRow("major newer") << listOf("1.0.0") << ready;
        QTest::newRow("older") << listOf("0.3.9") << latest;
        QTest::newRow("empty middle part") << listOf("0..3") << latest;
        QTest::newRow("256 is 0") << listOf("0.4.256") << latest;
        QTest::newRow("260 is 4") << listOf("0.4.260") << ready;
        QTest::newRow("two parts") << listOf("0.4") << "Что-то пошло не так..";
        QTest::newRow("four parts") << listOf("0.4.2.1") << "Что-то пошло не так..";
        QTest::newRow("no entry") << listOf("1.0.0", "VelVuz") << "Что-то пошло не так..";
        QTest::newRow("other root") << listOf("1.0.0", "VelSpo", "versions") << "Что-то пошло не так...";
        QTest::newRow("not xml") << QByteArray("<vel-versions><VelSpo>") << "Что-то пошло не так.";
        QTest::newRow("no link") << QByteArray("<vel-versions><VelSpo><lastVersion>0.4.3</lastVersion></VelSpo></vel-versions>")
                                 << "ready:";
    }
    void versionList()
    {
        QFETCH(QByteArray, body);
        LocalHttpServer server;
        server.reply("/versions.xml", body);
        QTEST(check(server.url("/versions.xml")), "result");
        QCOMPARE(server.requests, QStringList{"GET /versions.xml HTTP/1.1"});
    }

    void noConnection()
    {
        LocalHttpServer server;
        server.dropConnection("/dropped.xml");
        for (const QString& url : {server.url("/missing.xml"), server.url("/dropped.xml"), LocalHttpServer::closedUrl("/v.xml")})
            QCOMPARE(check(url), QStringLiteral("Не удалось подключиться к серверу обновлений"));
    }

    void mainWindowMessages_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("opened");
        const QString newer = "Доступна новая версия. \nСсылка для скачивания будет открыта в вашем браузере.";
        const QString ask = "Доступна новая версия. Загрузить?";
        const int ok = QMessageBox::Ok;
        QTest::newRow("newer") << false << "0.5.0" << "https://x/v.deb" << ok << newer << 1;
        QTest::newRow("newer, no link") << false << "0.5.0" << "" << ok << newer << 0;
        QTest::newRow("newer, not a web link") << false << "0.5.0" << "file:///etc/passwd" << ok << newer << 0;
        QTest::newRow("latest") << false << "0.4.2" << "https://x/v.deb" << ok << "Установлена последняя версия программы." << 0;
        QTest::newRow("silent, yes") << true << "0.5.0" << "https://x/v.deb" << int(QMessageBox::Yes) << ask << 1;
        QTest::newRow("silent, no") << true << "0.5.0" << "https://x/v.deb" << int(QMessageBox::No) << ask << 0;
        QTest::newRow("silent, latest") << true << "0.4.2" << "https://x/v.deb" << ok << "" << 0;
    }
    void mainWindowMessages()
    {
        QFETCH(bool, silent);
        QFETCH(QString, version);
        QFETCH(QString, link);
        QFETCH(int, answer);
        LocalHttpServer server;
        server.reply("/v.xml", QStringLiteral("<vel-versions><VelSpo><lastVersion>%1</lastVersion><linux64downloadLink>%2"
                                              "</linux64downloadLink></VelSpo></vel-versions>").arg(version, link).toUtf8());
        Updater::setDefaultUrlForTesting(server.url("/v.xml"));
        Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
        UrlCatcher urls;
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        {
            VelMainWindow window;
            window.checkUpdates(silent);
            QSignalSpy gone(window.findChild<Updater*>(), &QObject::destroyed);
            QVERIFY(gone.wait(10000));
        }
        Updater::setDefaultUrlForTesting(QString());
        QTEST(answerer.texts().join('|'), "shown");
        QCOMPARE(answerer.titles().count("Проверка обновлений"), answerer.handledCount());
        QTEST(int(urls.urls.size()), "opened");
    }
};

VELSPO_TEST_MAIN(UpdaterTest)
#include "tst_updater.moc"
