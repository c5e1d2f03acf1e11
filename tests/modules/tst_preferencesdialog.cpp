#include "engine/Database.h"
#include "modules/VelMainWindow/VelMainWindow.h"
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

// Proxy settings stored, enciphered and applied; the spelling tab.
class PreferencesDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        Database::commonSettings()->remove("Proxy");
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void cipher_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("stored");
        QTest::newRow("word") << "secret" << "5e27c8cedcca";
        QTest::newRow("one letter") << "a" << "4c";
        QTest::newRow("empty") << "" << "";
    }
    void cipher()
    {
        QFETCH(QString, password);
        QTEST(PreferencesDialog::encipher(password), "stored");
        QFETCH(QString, stored);
        QCOMPARE(PreferencesDialog::decipher(stored.split("").join(' ')), password); // non-hex characters skipped
    }

    void proxySavedAndApplied_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("applied"); // type (1 SOCKS5, 2 none), host, port, user, password
        QTest::newRow("with user") << true << 1080 << "ivan" << "1 proxy.local 1080 ivan p4ss word";
        QTest::newRow("no user: no password") << true << 3128 << "" << "1 proxy.local 3128  ";
        QTest::newRow("port beyond 16 bits is not wrapped") << true << 70000 << "" << "1 proxy.local 0  ";
        QTest::newRow("off") << false << 1080 << "ivan" << "2  0  ";
    }
    void proxySavedAndApplied()
    {
        QFETCH(bool, enabled);
        QFETCH(int, port);
        QFETCH(QString, user);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
        auto* dialog = new PreferencesDialog;
        button(dialog, "checkBoxUseProxy")->setChecked(enabled);
        edit(dialog, "lineEditHost")->setText("proxy.local");
        child<QSpinBox>(dialog, "spinBoxPort")->setValue(port);
        edit(dialog, "lineEditUser")->setText(user);
        edit(dialog, "lineEditPass")->setText("p4ss word");
        button(dialog, "pushButtonSave")->click();

        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        QTEST(QStringList({QString::number(proxy.type()), proxy.hostName(), QString::number(proxy.port()), proxy.user(),
                           proxy.password()}).join(' '), "applied");
        const QString stored = Database::commonSettings()->value("Proxy/password").toString();
        QVERIFY2(QRegularExpression("^([0-9a-f]{2}){9}$").match(stored).hasMatch(), qPrintable(stored));
    }

    void defaultsAndCancel()
    {
        auto* dialog = new PreferencesDialog;
        QCOMPARE(states(dialog, {{'U', "checkBoxUseProxy"}, {'P', "groupBoxProxy"}, {'S', "checkBoxSpellChecking"}}),
                 QStringLiteral("UP-S-"));
        QCOMPARE(child<QLabel>(dialog, "labelSpellCheckerState")->styleSheet(), QStringLiteral("color: red;"));
        QCOMPARE(child<QTabWidget>(dialog, "tabWidget")->count(), 2);
        button(dialog, "checkBoxUseProxy")->setChecked(true);
        button(dialog, "pushButtonCancel")->click();
        QVERIFY(!Database::commonSettings()->contains("Proxy/enabled"));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);

        Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
        Database::commonSettings()->setValue("Proxy/enabled", true);
        Database::commonSettings()->setValue("Proxy/hostName", "startup.proxy");
        VelMainWindow window; // applies the stored proxy at start-up; one preferences dialog at a time
        QTRY_COMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("startup.proxy"));
        window.showPreferences();
        window.showPreferences();
        QCOMPARE(window.findChildren<PreferencesDialog*>().size(), 1);
    }

    void addWord()
    {
        QDir().mkpath(Database::dataPath() + "/dict");
        for (const auto& [name, text] : {std::pair{"ru_RU.aff", "SET UTF-8\n"}, {"ru_RU.dic", "1\nкот\n"}}) {
            QFile file(Database::dataPath() + "/dict/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
        }
        QVERIFY(SpellChecker::init());
        PreferencesDialog dialog;
        QVERIFY(child<QLabel>(&dialog, "labelSpellCheckerState")->text().isEmpty());
        for (const char* word : {"", "   ", "велформа"}) {
            edit(&dialog, "lineEditUserWord")->setText(QString::fromUtf8(word));
            button(&dialog, "pushButtonAddWord")->click();
        }
        QFile words(SpellChecker::instance()->userDictionaryPath());
        QVERIFY(words.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(words.readAll()), QStringLiteral("велформа\n"));
        SpellChecker::destroy();
    }
};

VELSPO_TEST_MAIN(PreferencesDialogTest)
#include "tst_preferencesdialog.moc"
