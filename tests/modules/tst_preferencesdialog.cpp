#include "engine/Database.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QLabel>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>

using namespace FormWidgets;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QString userDictionary()
{
    QFile file(Database::userSettingsPath() + "/dict/user.dic");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<none>");
}

} // namespace

// Proxy settings stored, enciphered and applied; the spelling tab.
class PreferencesDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        Database::commonSettings()->remove("Proxy");
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        SpellChecker::destroy();
        QDir(Database::dataPath() + "/dict").removeRecursively();
    }

    void cipher_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("stored");
        QTest::newRow("word") << "secret" << "5e27c8cedcca";
        QTest::newRow("one letter") << "a" << "4c";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("long, round trip only") << "Pa$$w0rd with blanks 1234567890" << "*";
    }
    void cipher()
    {
        QFETCH(QString, password);
        QFETCH(QString, stored);
        const QString enciphered = PreferencesDialog::encipher(password);
        if (stored != "*")
            QCOMPARE(enciphered, stored);
        QCOMPARE(enciphered.size(), password.size() * 2);
        QCOMPARE(PreferencesDialog::decipher(enciphered), password);
        // Characters that are not hex digits are skipped.
        QCOMPARE(PreferencesDialog::decipher(enciphered.split("").join(' ')), password);
    }

    void proxySavedAndApplied_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("applied"); // type, host, port, user, password
        QTest::newRow("with user") << true << 1080 << "ivan" << "Socks5 proxy.local 1080 ivan p4ss word";
        QTest::newRow("no user: no password") << true << 3128 << "" << "Socks5 proxy.local 3128  ";
        QTest::newRow("port beyond 16 bits is not wrapped") << true << 70000 << "" << "Socks5 proxy.local 0  ";
        QTest::newRow("off") << false << 1080 << "ivan" << "NoProxy  0  ";
    }
    void proxySavedAndApplied()
    {
        QFETCH(bool, enabled);
        QFETCH(int, port);
        QFETCH(QString, user);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
        auto* dialog = new PreferencesDialog;
        QCOMPARE(states(dialog, {{'P', "groupBoxProxy"}}), QStringLiteral("P-"));
        button(dialog, "checkBoxUseProxy")->setChecked(enabled);
        edit(dialog, "lineEditHost")->setText("proxy.local");
        child<QSpinBox>(dialog, "spinBoxPort")->setValue(port);
        edit(dialog, "lineEditUser")->setText(user);
        edit(dialog, "lineEditPass")->setText("p4ss word");
        button(dialog, "pushButtonSave")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        const QString type = proxy.type() == QNetworkProxy::Socks5Proxy ? "Socks5" : proxy.type() == QNetworkProxy::NoProxy ? "NoProxy" : "other";
        QTEST(QStringList({type, proxy.hostName(), QString::number(proxy.port()), proxy.user(), proxy.password()}).join(' '), "applied");
        const QString stored = Database::commonSettings()->value("Proxy/password").toString();
        QVERIFY2(QRegularExpression("^([0-9a-f]{2})+$").match(stored).hasMatch(), qPrintable(stored));
        QCOMPARE(Database::commonSettings()->value("Proxy/port").toInt(), port);
    }

    void cancelKeepsSettingsAndDefaults()
    {
        auto* dialog = new PreferencesDialog;
        QCOMPARE(states(dialog, {{'U', "checkBoxUseProxy"}, {'P', "groupBoxProxy"}, {'S', "checkBoxSpellChecking"}}),
                 QStringLiteral("UP-S-"));
        QCOMPARE(child<QSpinBox>(dialog, "spinBoxPort")->maximum(), 999999);
        QCOMPARE(child<QTabWidget>(dialog, "tabWidget")->count(), 2);
        button(dialog, "checkBoxUseProxy")->setChecked(true);
        edit(dialog, "lineEditHost")->setText("proxy.local");
        button(dialog, "pushButtonCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Database::commonSettings()->contains("Proxy/enabled"));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
    }

    void spellingTab()
    {
        {
            PreferencesDialog dialog;
            QCOMPARE(child<QLabel>(&dialog, "labelSpellCheckerState")->styleSheet(), QStringLiteral("color: red;"));
            QCOMPARE(states(&dialog, {{'S', "checkBoxSpellChecking"}, {'A', "groupBoxAddWord"}}), QStringLiteral("S-A-"));
        }
        writeFile(Database::dataPath() + "/dict/ru_RU.aff", "SET UTF-8\n");
        writeFile(Database::dataPath() + "/dict/ru_RU.dic", QStringLiteral("1\nкот\n").toUtf8());
        QVERIFY(SpellChecker::init());
        PreferencesDialog dialog;
        QVERIFY(child<QLabel>(&dialog, "labelSpellCheckerState")->text().isEmpty());
        for (const char* word : {"", "   ", "велформа"}) {
            edit(&dialog, "lineEditUserWord")->setText(QString::fromUtf8(word));
            button(&dialog, "pushButtonAddWord")->click();
            QVERIFY(edit(&dialog, "lineEditUserWord")->text().isEmpty());
        }
        QCOMPARE(userDictionary(), QStringLiteral("велформа\n"));
    }
};

VELSPO_TEST_MAIN(PreferencesDialogTest)
#include "tst_preferencesdialog.moc"
