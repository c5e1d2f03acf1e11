#include "engine/DatabaseFixtures.h"
#include "engine/ProductTypeInfo.h"
#include "engine/WidgetUtilities.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/about/AboutDialog.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "modules/tips/TipsDialog.h"
#include "report/designer/ReportWindow.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/NamedPipe.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QCheckBox>
#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QPlainTextEdit>
#include <QSettings>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QTabBar>
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

// A check box clicked on its box, as the user does.
void clickCheckBox(QWidget* dialog, const char* name)
{
    auto* box = child<QCheckBox>(dialog, name);
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

// The application-wide proxy: type, host and port.
QString proxyInForce()
{
    const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
    return QStringLiteral("%1 %2 %3").arg(proxy.type()).arg(proxy.hostName()).arg(proxy.port());
}

// Misspelt words underlined in a text edit set up now: none while spell
// checking is switched off.
int underlinesInANewEdit()
{
    QTextEdit text;
    installSpellChecker(&text);
    text.setPlainText("собака");
    return text.extraSelections().size();
}

// Opens the preferences and changes both of their parts: the proxy switched
// on and typed in, spell checking switched off.
QPointer<PreferencesDialog> changeBothParts()
{
    QPointer<PreferencesDialog> dialog = new PreferencesDialog;
    dialog->show();
    clickCheckBox(dialog, "checkBoxUseProxy");
    typeProxy(dialog, "proxy.local", 31280, "ivan", "secret");
    QTabBar* tabs = child<QTabWidget>(dialog, "tabWidget")->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
    clickCheckBox(dialog, "checkBoxSpellChecking");
    return dialog;
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

    // A settings file that cannot be written: the user is told which part was
    // not saved, the dialog stays with what was typed, and the part whose file
    // took it is stored and in force; once the file can be written, the same
    // press saves the rest.
    void unwritableSettingsStoreTheRest_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("refused"); // the settings file(s) in whose place a folder stands
        QTest::addColumn<QString>("message"); // %1: the refused file(s)
        QTest::addColumn<QString>("inForce"); // proxy type, host, port; words underlined in a new text edit
        const QString proxyApplied = "1 proxy.local 31280";
        const QString noProxy = "2  0";
        for (const char* locale : {"ru_RU", "C"}) {
            const QString name = QString(locale) + ", ";
            QTest::newRow(qPrintable(name + "common settings"))
                << locale << "common"
                << "Не удалось сохранить настройки прокси-сервера: нет доступа на запись к файлу %1.\n"
                   "Настройки орфографии сохранены."
                << noProxy + " 0";
            QTest::newRow(qPrintable(name + "user settings"))
                << locale << "user"
                << "Не удалось сохранить настройки орфографии: нет доступа на запись к файлу %1.\n"
                   "Настройки прокси-сервера сохранены и применены."
                << proxyApplied + " 1";
            QTest::newRow(qPrintable(name + "both"))
                << locale << "common user"
                << "Не удалось сохранить настройки: нет доступа на запись к файлам %1.\nНастройки не изменены."
                << noProxy + " 1";
        }
    }
    void unwritableSettingsStoreTheRest()
    {
        QFETCH(QString, locale);
        QFETCH(QString, refused);
        QFETCH(QString, message);
        const QLocale previousLocale;
        QLocale::setDefault(QLocale(locale));
        const QString dictionary = Database::dataPath() + "/dict/ru_RU";
        QVERIFY(writeBytes(dictionary + ".aff", "SET UTF-8\n") && writeBytes(dictionary + ".dic", "1\nкот\n"));
        QVERIFY(SpellChecker::init());
        const auto restore = qScopeGuard([previousLocale] {
            QLocale::setDefault(previousLocale);
            SpellChecker::destroy();
            Database::userSettings()->remove("SpellChecker");
        });
        QStringList files;
        for (const QString& which : refused.split(' '))
            files << (which == "common" ? Database::commonSettings() : Database::userSettings())->fileName();
        Database::syncSettings();
        QList<QByteArray> before;
        for (const QString& file : files) {
            before << readBytes(file);
            QFile::remove(file);
            QVERIFY(QDir().mkpath(file)); // a folder refuses the write, even to root
        }

        QPointer<PreferencesDialog> dialog = changeBothParts();
        ModalAnswerer answerer;
        QTest::mouseClick(button(dialog, "pushButtonSave"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(edit(dialog, "lineEditHost")->text() + edit(dialog, "lineEditPass")->text(), QStringLiteral("proxy.localsecret"));
        QTEST(proxyInForce() + ' ' + QString::number(underlinesInANewEdit()), "inForce");
        const bool proxyStored = !refused.contains("common");
        const bool spellingStored = !refused.contains("user");
        QCOMPARE(Database::commonSettings()->contains("Proxy/enabled"), proxyStored);
        QCOMPARE(readBytes(Database::commonSettings()->fileName()).contains("port=31280"), proxyStored);
        QCOMPARE(readBytes(Database::userSettings()->fileName()).contains("[SpellChecker]\nenabled=false"), spellingStored);
        QCOMPARE(answerer.texts(), QStringList(message.arg(files.join(", "))));

        for (int i = 0; i < files.size(); ++i)
            QVERIFY(QDir().rmdir(files.at(i)) && (before.at(i).isEmpty() || writeBytes(files.at(i), before.at(i))));
        QTest::mouseClick(button(dialog, "pushButtonSave"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(answerer.texts().size(), 1);
        QCOMPARE(proxyInForce() + ' ' + QString::number(underlinesInANewEdit()), QStringLiteral("1 proxy.local 31280 0"));
        QVERIFY(readBytes(Database::commonSettings()->fileName()).contains("hostName=proxy.local"));
        QVERIFY(readBytes(Database::userSettings()->fileName()).contains("[SpellChecker]\nenabled=false"));
    }

    // The shared settings file is a named pipe (the data folder is writable by
    // every user): it is never opened. Saving the preferences then keeps the
    // spelling switch, stored in the user's own file and in force at once, and
    // names the pipe as the file that could not take the proxy. The designer's
    // settings file is left alone the same way.
    void settingsFilesThatAreNotFiles()
    {
        const QString dataPath = Database::dataPath();
        QTemporaryDir data;
        NamedPipe shared(data.filePath("settings.ini"), 10000);
        QVERIFY(shared.isValid());
        Database::setDataPathForTesting(data.path());
        const auto restore = qScopeGuard([dataPath] {
            Database::setDataPathForTesting(dataPath);
            SpellChecker::destroy();
            Database::userSettings()->remove("SpellChecker");
        });
        QCOMPARE(Database::unreadSettingsFiles(), QStringList(data.filePath("settings.ini")));
        QVERIFY(writeBytes(data.filePath("dict/ru_RU.aff"), "SET UTF-8\n") && writeBytes(data.filePath("dict/ru_RU.dic"), "1\nкот\n"));
        QVERIFY(SpellChecker::init());

        QPointer<PreferencesDialog> dialog = changeBothParts();
        ModalAnswerer answerer;
        QTest::mouseClick(button(dialog, "pushButtonSave"), Qt::LeftButton);
        QCOMPARE(answerer.texts(), QStringList("Не удалось сохранить настройки прокси-сервера: нет доступа на запись к файлу "
                                               + data.filePath("settings.ini") + ".\nНастройки орфографии сохранены."));
        QCOMPARE(proxyInForce() + ' ' + QString::number(underlinesInANewEdit()), QStringLiteral("2  0 0"));
        QVERIFY(readBytes(Database::userSettings()->fileName()).contains("[SpellChecker]\nenabled=false"));
        delete dialog;
        QVERIFY2(!shared.released() && shared.isStillThere(), "the shared settings file was opened");

        const QString designerFile = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                     + "/Vel-Software/settings.ini";
        QFile::remove(designerFile);
        NamedPipe designer(designerFile, 10000);
        QVERIFY(designer.isValid());
        {
            ReportWindow window;
            window.show();
        }
        QVERIFY2(!designer.released() && designer.isStillThere(), "the designer's settings file was opened");
        QVERIFY(QFile::remove(designerFile));
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
