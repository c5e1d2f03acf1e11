#include "DatabaseFixtures.h"
#include "engine/MessageLog.h"
#include "engine/StartupSequence.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "support/FileSizeLimit.h"
#include "support/ModalAnswerer.h"
#include "support/NamedPipe.h"
#include "support/TestEnvironment.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QSplashScreen>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdio>

using DatabaseFixtures::readBytes;
using DatabaseFixtures::writeBytes;

// The sequence makes its own QApplication, so it runs in this executable started again with
// "--startup-child <mode>", which prints what it sees as lines "KEY value".
namespace Child {

void say(const char* key, const QString& value = QString())
{
    std::printf("%s %s\n", key, value.toUtf8().constData());
    std::fflush(stdout);
}

QString yesNo(bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); }

bool splashVisible()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.cbegin(), widgets.cend(),
                       [](QWidget* w) { return qobject_cast<QSplashScreen*>(w) && w->isVisible(); });
}

// Reports every message box as it is shown; a ModalAnswerer then answers it.
class BoxReporter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) {
            say("BOX", box->windowTitle() + "|" + yesNo(box->icon() == QMessageBox::NoIcon && !box->parentWidget() && box->isModal())
                           + "|" + QString(box->text()).replace('\n', "\\n"));
        }
        return false;
    }
};

int run(const QString& mode, int& argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    Database::setDataPathForTesting(QString::fromLocal8Bit(qgetenv("VELSPO_CHILD_DATA")));

    StartupSequence::Hooks hooks;
    hooks.registerReports = [] {
        say("STEP", "registerReports");
        say("APP_AT_REGISTER", yesNo(QCoreApplication::instance() != nullptr));
        qDebug("message before the log handler");
    };
    hooks.applicationCreated = [mode](QApplication& app) {
        say("STEP", "application");
        say("NAMES", QCoreApplication::organizationName() + "/" + QCoreApplication::applicationName());
        app.installEventFilter(new BoxReporter(&app));
        auto* answerer = new ModalAnswerer(&app);
        answerer->setDefaultAnswer(mode == QLatin1String("repair-cancel") ? QMessageBox::Cancel : QMessageBox::Ok);
    };
    hooks.initSpellChecker = [] {
        say("STEP", "spellChecker");
        say("LOG_AND_DB", yesNo(MessageLog::isInstalled() && Database::isOpen()));
        say("CITY", Database::getVariable("City")); // moved from the old INI file
    };
    hooks.createMainWindow = [mode]() -> std::unique_ptr<QWidget> {
        say("STEP", "mainWindow");
        if (mode == QLatin1String("window")) {
            // The family's main window, to the end of its start-up work; no tips.
            Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
            auto window = std::make_unique<VelMainWindow>();
            QObject::connect(window.get(), &VelMainWindow::startupFinished, [] {
                say("STARTED");
                QCoreApplication::exit(7);
            });
            return window;
        }
        if (mode == QLatin1String("little-room") || mode == QLatin1String("quick")) {
            auto window = std::make_unique<QMainWindow>();
            QTimer::singleShot(0, window.get(), [] { QCoreApplication::exit(7); });
            return window;
        }
        // Is the lock file there, is the icon empty, is the font ours; a half
        // as the C library prints it, and Qt's decimal point.
        char half[16];
        std::snprintf(half, sizeof half, "%.1f", 0.5);
        say("WINDOW", yesNo(QFile::exists(StartupSequence::lockFilePath())) + " "
                          + yesNo(QApplication::windowIcon().isNull()) + " "
                          + yesNo(QApplication::font() == StartupSequence::interfaceFont()) + " "
                          + QString::fromLatin1(half) + " " + QLocale().decimalPoint());
        qDebug("message after the log handler");

        auto window = std::make_unique<QMainWindow>();
        window->show();
        QWidget* raw = window.get();
        // Splash and window shortly after the start, and once the splash time is over.
        QTimer::singleShot(300, raw, [raw] {
            say("EARLY", yesNo(splashVisible()) + " " + yesNo(raw->isVisible()));
            raw->hide(); // the splash timer must show it again
        });
        QTimer::singleShot(StartupSequence::SplashDurationMs + 1000, raw, [raw] { // past the splash timer's 5% slack
            say("LATE", yesNo(splashVisible()) + " " + yesNo(raw->isVisible()));
            QCoreApplication::exit(7); // the event loop's result is the exit code
        });
        return window;
    };

    // Room for the new database, not for rewriting the large old INI file.
    std::unique_ptr<FileSizeLimit> room;
    if (mode == QLatin1String("little-room"))
        room = std::make_unique<FileSizeLimit>(256 * 1024);
    StartupSequence sequence(std::move(hooks));
    const int code = sequence.run(argc, argv);
    // Everything is down by now: no lock file, no log handler.
    say("AFTER", yesNo(QFile::exists(StartupSequence::lockFilePath())) + " " + yesNo(MessageLog::isInstalled()));
    return code;
}

} // namespace Child

class StartupSequenceTest : public QObject
{
    Q_OBJECT

private:
    // What a child printed: "KEY value" lines, repeated keys joined with ','.
    struct ChildResult
    {
        int exitCode = -1;
        QMap<QString, QString> values;
        QString output;
    };

    // home: the child's own home folder (its user settings); default: this one's.
    ChildResult runChild(const QString& mode, const QString& dataPath, const QString& home = QString())
    {
        QProcess process;
        qputenv("VELSPO_CHILD_DATA", QFile::encodeName(dataPath));
        if (!home.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("HOME"), home);
            process.setProcessEnvironment(environment);
        }
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child"), mode});
        ChildResult result;
        if (!process.waitForFinished(60000))
            process.kill();
        else if (process.exitStatus() == QProcess::NormalExit)
            result.exitCode = process.exitCode();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.output = out + QString::fromUtf8(process.readAllStandardError());
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QString& value = result.values[line.section(QLatin1Char(' '), 0, 0)];
            value += (value.isEmpty() ? "" : ",") + line.section(QLatin1Char(' '), 1);
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::tempPath() != QDir(QStringLiteral("/tmp")).canonicalPath());
        QCOMPARE(StartupSequence::lockFilePath(), QDir(QDir::tempPath()).absoluteFilePath("VelSpo-lock.lock"));
    }

    void splashAndTranslator()
    {
        StartupSequence sequence({});
        sequence.showSplash();
        sequence.installTranslator();
        QSplashScreen* splash = sequence.splashScreen();
        QVERIFY(splash && splash->isVisible() && sequence.translator());
        QCOMPARE(splash->message(), QString::fromUtf8("Загрузка..."));
        // The message is drawn in dark colour over the light bottom of the pixmap.
        const QImage shot = splash->grab().toImage(), plain = splash->pixmap().toImage();
        int darkest = 255;
        for (int y = shot.height() - 30; y < shot.height(); ++y)
            for (int x = shot.width() / 4; x < shot.width() * 3 / 4; ++x)
                darkest = qMin(darkest, shot.pixel(x, y) == plain.pixel(x, y) ? 255 : qGray(shot.pixel(x, y)));
        QVERIFY2(darkest < 60, qPrintable(QString::number(darkest)));
        const bool russian = QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qt_ru.qm");
        if (russian)
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
        sequence.tearDown();
        QVERIFY(!sequence.splashScreen());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        if (!russian)
            QSKIP("qttranslations5-l10n is not installed");
    }

    // Also: a lock file left by a process that no longer exists is taken over.
    void normalRunInOrder()
    {
        // Above the largest process id Linux hands out.
        QVERIFY(writeBytes(StartupSequence::lockFilePath(), "2147483647\nVelSpo\n\n"));
        QTemporaryDir data;
        QVERIFY(writeBytes(StartupSequence::logFilePath(), "previous run\r\n\n"));
        QSettings(data.filePath("VelSpo.ini"), QSettings::IniFormat).setValue("Data/City", QString::fromUtf8("Энск"));

        const ChildResult child = runChild(QStringLiteral("normal"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QCOMPARE(child.values.value("STEP"), QStringLiteral("registerReports,application,spellChecker,mainWindow"));
        QStringList seen;
        for (const char* key : {"APP_AT_REGISTER", "NAMES", "LOG_AND_DB", "CITY", "EARLY", "LATE", "WINDOW", "BOX", "AFTER"})
            seen << key + QStringLiteral("=") + child.values.value(key);
        // EARLY and LATE: is the splash shown, is the window shown. The C
        // library prints numbers for files; Qt keeps the user's locale.
        QCOMPARE(seen.join(", "), QStringLiteral("APP_AT_REGISTER=no, NAMES=VelSoftware/VelSpo, LOG_AND_DB=yes, CITY=Энск, "
                                                 "EARLY=yes yes, LATE=no yes, WINDOW=yes no yes 0.5 %1, BOX=, AFTER=no no")
                                      .arg(QLocale::system().decimalPoint()));

        // The log holds this run only, from the handler on (after the database is opened).
        const QByteArray log = readBytes(StartupSequence::logFilePath());
        QVERIFY2(log.contains("message after the log handler\r\n\n") && !log.contains("previous run")
                     && !log.contains("message before the log handler") && !log.contains("checkDbStructure"),
                 log.constData());
        QVERIFY(child.output.contains("message before the log handler"));
    }

    // The old requisites are moved although the INI file cannot be rewritten,
    // and the user hears of it; the file stays whole.
    void oldDataMovedWithoutRoomToRewriteTheFile()
    {
        QTemporaryDir data;
        const QByteArray ini = "[Data]\nCity=Энск\n[Other]\nkept=" + QByteArray(600 * 1024, 'x') + "\n";
        QVERIFY(writeBytes(data.filePath("VelSpo.ini"), ini));
        const ChildResult child = runChild(QStringLiteral("little-room"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QCOMPARE(child.values.value("CITY"), QStringLiteral("Энск"));
        const QString box = child.values.value("BOX");
        QVERIFY2(box.startsWith("Внимание!|no|Реквизиты организации перенесены из старого файла настроек "
                                + data.filePath("VelSpo.ini"))
                     && box.contains("удалить их из этого файла не удалось") && box.contains("значения из этого файла не заменят"),
                 qPrintable(box));
        QCOMPARE(readBytes(data.filePath("VelSpo.ini")), ini);
    }

    // A start on the program's own current database writes nothing into it.
    void laterStartLeavesTheDatabaseAsItWas()
    {
        QTemporaryDir data;
        ChildResult child = runChild(QStringLiteral("quick"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        const QByteArray first = readBytes(data.filePath("VelSpo.db"));
        QVERIFY(first.startsWith("SQLite format 3"));
        child = runChild(QStringLiteral("quick"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QCOMPARE(readBytes(data.filePath("VelSpo.db")), first);
    }

    // What a killed restore left is removed at the next start; a copy that a
    // restore still running elsewhere holds, and every other name, stay.
    void staleRestoreCopiesRemoved()
    {
        QTemporaryDir data;
        const QStringList kept{"Other-restore-AbCdEf.db", "VelSpo-restore-AbCdE.db", "VelSpo-restore-AbCdEf.db.bak",
                               "VelSpo-restore-Ab-dEf.db", "VelSpo-restore-HeLdBy.db", "VelSpo-restore-LiNkEd.db",
                               "velspo-restore-AbCdEf.db"};
        for (const QString& name : kept + QStringList{"VelSpo-restore-AbCdEf.db", "VelSpo-restore-QwErTy.db"})
            QVERIFY(name == "VelSpo-restore-LiNkEd.db" || writeBytes(data.filePath(name), QByteArray(64 * 1024, 'd')));
        QTemporaryDir elsewhere;
        QVERIFY(writeBytes(elsewhere.filePath("target.db"), "keep"));
        QVERIFY(QFile::link(elsewhere.filePath("target.db"), data.filePath("VelSpo-restore-LiNkEd.db")));
        // Another instance's restore at work.
        const int held = ::open(QFile::encodeName(data.filePath("VelSpo-restore-HeLdBy.db")).constData(), O_RDONLY);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);

        const ChildResult child = runChild(QStringLiteral("quick"), data.path());
        ::close(held);
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QStringList expected = kept + QStringList{"VelSpo.db"};
        expected.sort();
        QCOMPARE(QDir(data.path()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name), expected);
        QCOMPARE(readBytes(elsewhere.filePath("target.db")), QByteArray("keep"));
    }

    // A named pipe in place of a file the start reads or writes, in the shared
    // data folder or in the user's folder: the start reaches the window all the
    // same, the pipe is left alone, and a settings file's pipe is told once
    // the window is up. A start that waits on the pipe fails at the bound.
    void pipesInPlaceOfFiles_data()
    {
        QTest::addColumn<QString>("where"); // "data" or "user"
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("told");
        QTest::newRow("shared settings") << "data" << "settings.ini" << true;
        QTest::newRow("old product settings") << "data" << "VelSpo.ini" << true;
        QTest::newRow("user settings") << "user" << "settings.ini" << true;
        QTest::newRow("log") << "user" << "debug.txt" << false;
    }

    void pipesInPlaceOfFiles()
    {
        QFETCH(QString, where);
        QFETCH(QString, name);
        QFETCH(bool, told);
        QTemporaryDir data, home;
        // The user's folder as the child finds it under its own home.
        const QString userFolder = home.filePath(QDir(QDir::homePath()).relativeFilePath(Database::userSettingsPath()));
        const QString path = QDir(where == "data" ? data.path() : userFolder).filePath(name);
        ChildResult child;
        {
            NamedPipe pipe(path);
            QVERIFY(pipe.isValid());
            child = runChild(QStringLiteral("window"), data.path(), home.path());
            QVERIFY2(!pipe.released(), "the start waited on the pipe");
            QVERIFY(pipe.isStillThere());
        }
        QVERIFY2(child.exitCode == 7 && child.values.contains("STARTED"), qPrintable(child.output));
        const QString box = told ? QString("Внимание!|no|Файл настроек %1 не является обычным файлом: настройки из него не "
                                           "прочитаны, и изменения настроек в нём не сохранятся.").arg(path)
                                 : QString();
        QCOMPARE(child.values.value("BOX"), box);
        QVERIFY2(child.output.contains("not a regular file"), qPrintable(child.output));
    }

    // The start stops before the window; the data file and the old log stay as they were.
    void startStopsBeforeTheWindow_data()
    {
        QTest::addColumn<bool>("lockHeld");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("box"); // "title|plain box|text start"
        QTest::newRow("second instance")
            << true << "normal" << "data" << 1
            << "|yes|Приложение уже запущено на этом компьютере!\\nОдновременный запуск нескольких копий приложения "
               "запрещён.";
        QTest::newRow("repair declined") << false << "repair-cancel" << "data" << 0
                                         << "Внимание!|yes|Неверный формат базы данных. \\nБудет создана";
        QTest::newRow("directory below a file") << false << "normal" << "file/data" << 1
                                                << "Ошибка|no|Не удалось открыть базу данных";
    }

    void startStopsBeforeTheWindow()
    {
        QFETCH(bool, lockHeld);
        QFETCH(QString, mode);
        QFETCH(QString, dataDir);
        QFETCH(int, exitCode);
        QFETCH(QString, box);
        QTemporaryDir base;
        const QByteArray junk = "this is not a database, but the user may still want it";
        QVERIFY(writeBytes(base.filePath("data/VelSpo.db"), junk));
        QVERIFY(writeBytes(base.filePath("file"), "x"));
        QVERIFY(writeBytes(StartupSequence::logFilePath(), "previous run\r\n\n"));
        QLockFile holder(StartupSequence::lockFilePath());
        QVERIFY(!lockHeld || holder.tryLock(0));

        const ChildResult child = runChild(mode, base.filePath(dataDir));
        QVERIFY2(child.exitCode == exitCode, qPrintable(child.output));
        QVERIFY2(child.values.value("BOX").startsWith(box), qPrintable(child.values.value("BOX")));
        QCOMPARE(child.values.value("STEP"), QStringLiteral("registerReports,application"));
        QCOMPARE(child.values.value("AFTER"), lockHeld ? QStringLiteral("yes no") : QStringLiteral("no no"));
        QCOMPARE(QDir(base.filePath("data")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"VelSpo.db"});
        QCOMPARE(readBytes(base.filePath("data/VelSpo.db")), junk);
        QCOMPARE(readBytes(StartupSequence::logFilePath()), QByteArray("previous run\r\n\n"));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--startup-child") == 0)
        return Child::run(QString::fromLocal8Bit(argv[2]), argc, argv);

    TestEnvironment environment;
    // A private temporary directory, shared with the children, keeps the lock file to this test.
    QTemporaryDir tmp;
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    QApplication app(argc, argv);
    UnexpectedBoxGuard boxGuard;
    StartupSequence::useCNumericFormat();
    StartupSequenceTest tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_startupsequence.moc"
