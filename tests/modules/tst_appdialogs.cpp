#include "engine/DatabaseFixtures.h"
#include "engine/ProductTypeInfo.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/about/AboutDialog.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/tips/TipsDialog.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>

using namespace FormWidgets;
using DatabaseFixtures::readBytes;
using DatabaseFixtures::writeBytes;

namespace {

// The tip shown now, then after each of the next presses.
QStringList shownTips(TipsDialog* dialog, int presses)
{
    QStringList tips;
    for (int i = 0; i <= presses; ++i, button(dialog, "pushButtonNext")->click())
        tips << child<QTextEdit>(dialog, "textEdit")->toPlainText();
    return tips;
}

// The proxy as the user types it.
void typeProxy(QWidget* dialog, const QString& host, int port, const QString& user, const QString& password)
{
    Typing::type(edit(dialog, "lineEditHost"), host);
    Typing::typeOver(child<QSpinBox>(dialog, "spinBoxPort"), QString::number(port));
    Typing::type(edit(dialog, "lineEditUser"), user);
    Typing::type(edit(dialog, "lineEditPass"), password);
}

} // namespace

// Preferences (proxy and spelling), tips of the day and the About box.
class AppDialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        Database::commonSettings()->remove("Proxy");
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void proxySavedAndApplied_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("result"); // applied type (1 SOCKS5, 2 none), host, port, user, password; cipher stored
        QTest::newRow("with user") << true << 1080 << "ivan" << "secret" << "1 proxy.local 1080 ivan secret 5e27c8cedcca";
        QTest::newRow("no user: no password") << true << 3128 << "" << "a" << "1 proxy.local 3128   4c";
        QTest::newRow("port beyond 16 bits is not wrapped") << true << 70000 << "" << "" << "1 proxy.local 0   ";
        QTest::newRow("off") << false << 1080 << "ivan" << "p4ss word" << "2  0   5d76d8cf99c9e0c2c1";
    }
    void proxySavedAndApplied()
    {
        QFETCH(bool, enabled);
        QFETCH(int, port);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
        auto* dialog = new PreferencesDialog;
        button(dialog, "checkBoxUseProxy")->setChecked(true);
        typeProxy(dialog, "proxy.local", port, user, password);
        button(dialog, "checkBoxUseProxy")->setChecked(enabled);
        button(dialog, "pushButtonSave")->click();
        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        QTEST(QStringList({QString::number(proxy.type()), proxy.hostName(), QString::number(proxy.port()), proxy.user(),
                           proxy.password(), Database::commonSettings()->value("Proxy/password").toString()}).join(' '),
              "result");
        PreferencesDialog again;
        QCOMPARE(edit(&again, "lineEditPass")->text(), password);
    }

    // A settings file that cannot be written: the user is told, the dialog
    // stays with what was typed, nothing is applied or kept in memory; once
    // the file can be written, the same press saves.
    void unwritableSettingsKeepTheDialog_data()
    {
        QTest::addColumn<bool>("common");
        QTest::newRow("common settings") << true;
        QTest::newRow("user settings") << false;
    }
    void unwritableSettingsKeepTheDialog()
    {
        QFETCH(bool, common);
        const QString file = (common ? Database::commonSettings() : Database::userSettings())->fileName();
        Database::syncSettings();
        const QByteArray before = readBytes(file);
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file)); // a folder refuses the write, even to root
        QPointer<PreferencesDialog> dialog = new PreferencesDialog;
        dialog->show();
        button(dialog, "checkBoxUseProxy")->click();
        typeProxy(dialog, "proxy.local", 1080, "ivan", "secret");
        ModalAnswerer answerer;
        button(dialog, "pushButtonSave")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(answerer.texts(), QStringList("Не удалось сохранить настройки: нет доступа на запись к файлу " + file
                                               + ".\nНастройки не изменены."));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(edit(dialog, "lineEditHost")->text() + edit(dialog, "lineEditPass")->text(), QStringLiteral("proxy.localsecret"));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
        QVERIFY(!Database::commonSettings()->contains("Proxy/enabled"));
        QVERIFY(!readBytes(Database::commonSettings()->fileName()).contains("proxy.local"));

        QVERIFY(QDir().rmdir(file) && (before.isEmpty() || writeBytes(file, before)));
        button(dialog, "pushButtonSave")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(answerer.texts().size(), 1);
        QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("proxy.local"));
        QVERIFY(readBytes(file).contains(common ? "hostName=proxy.local" : "[SpellChecker]\nenabled=true"));
    }

    // Cancel applies nothing; the start-up applies what is stored.
    void proxyCancelledAndAtStartup()
    {
        auto* dialog = new PreferencesDialog;
        QCOMPARE(child<QTabWidget>(dialog, "tabWidget")->count(), 2);
        button(dialog, "checkBoxUseProxy")->setChecked(true);
        button(dialog, "pushButtonCancel")->click();
        QVERIFY(!Database::commonSettings()->contains("Proxy/enabled"));
        QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
        for (const bool show : {false, true}) {
            Database::userSettings()->setValue("VelSpo/showTipsOnStartup", show);
            Database::userSettings()->remove("VelSpo/last_started_version");
            Database::commonSettings()->setValue("Proxy/enabled", true);
            Database::commonSettings()->setValue("Proxy/hostName", QString("startup%1.proxy").arg(show));
            VelMainWindow window; // the start-up work ends by storing the version
            QTRY_VERIFY(Database::userSettings()->contains("VelSpo/last_started_version"));
            QCOMPARE(window.findChildren<TipsDialog*>().size(), int(show));
            QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QString("startup%1.proxy").arg(show));
            window.showPreferences(); // one at a time
            window.showPreferences();
            QCOMPARE(window.findChildren<PreferencesDialog*>().size(), 1);
        }
    }

    void tipsOrder_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("shown");
        const QByteArray three = "A\n**\nB\n**\n\nC";
        const QString none = "Ни одного совета не найдено =(";
        QTest::newRow("one line feed dropped") << three << 0 << QStringList{"B\n", "\nC", "A\n", "B\n"};
        QTest::newRow("start at the top of the range") << three << 2147483647 << QStringList{"\nC", "A\n", "B\n", "\nC"};
        QTest::newRow("empty text") << QByteArray() << 5 << QStringList{none, none, none, none};
    }
    void tipsOrder()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, start);
        QFETCH(QStringList, shown);
        QTemporaryDir folder;
        QVERIFY(writeBytes(folder.filePath("tips.txt"), text));
        std::unique_ptr<TipsDialog> dialog(new TipsDialog(nullptr, folder.filePath("tips.txt"), start));
        QCOMPARE(shownTips(dialog.get(), shown.size() - 1), shown);
    }

    void compiledTipsAndTheSwitch()
    {
        auto* dialog = new TipsDialog;
        const QStringList tips = shownTips(dialog, 38);
        QCOMPARE(tips.last(), tips.first());
        QCOMPARE(QSet<QString>(tips.begin(), tips.end()).size(), 38);
        button(dialog, "checkBox")->setChecked(false);
        button(dialog, "pushButtonClose")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Database::userSettings()->value("VelSpo/showTipsOnStartup"), QVariant(false));
    }

    void aboutBox()
    {
        std::unique_ptr<AboutDialog> dialog(new AboutDialog);
        const auto text = [&dialog](const char* name) { return child<QLabel>(dialog.get(), name)->text().replace('\n', ' '); };
        QCOMPARE(text("progNameLabel") + '|' + text("progNameLabel_4"),
                 ProductTypeInfo::titleWithVersion() + " build 617|" + ProductTypeInfo::description());
        auto* history = child<QPlainTextEdit>(dialog.get(), "plainTextEdit");
        QCOMPARE(history->textCursor().position(), 0);
        QCOMPARE(history->toPlainText().section('\n', 0, 0), QStringLiteral("0.4.2")); // no byte-order mark
        ModalAnswerer answerer;
        button(dialog.get(), "pushButtonAboutQt")->click();
        QCOMPARE(answerer.titles(), QStringList{"About Qt"});
    }
};

VELSPO_TEST_MAIN(AppDialogsTest)
#include "tst_appdialogs.moc"
