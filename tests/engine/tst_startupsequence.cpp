#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/StartupSequence.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QLibraryInfo>
#include <QLockFile>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QSplashScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTranslator>
#include <cstdio>

// The whole sequence makes its own QApplication, so it runs in a child process:
// this executable started again with "--startup-child <mode>". The child
// prints what it sees as lines "KEY value" on standard output.
namespace Child {

void say(const QString& key, const QString& value = QString())
{
    std::printf("%s %s\n", qPrintable(key), value.toUtf8().constData());
    std::fflush(stdout);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QSplashScreen* findSplash()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* splash = qobject_cast<QSplashScreen*>(widget))
            return splash;
    }
    return nullptr;
}

// Reports every message box as it is shown; a ModalAnswerer then answers it.
class BoxReporter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                say(QStringLiteral("BOX_TEXT"), QString(box->text()).replace(QLatin1Char('\n'), QStringLiteral("\\n")));
                say(QStringLiteral("BOX_TITLE"), box->windowTitle());
                say(QStringLiteral("BOX_ICON"), QString::number(box->icon()));
                say(QStringLiteral("BOX_PARENT"), yesNo(box->parentWidget() != nullptr));
                say(QStringLiteral("BOX_MODAL"), yesNo(box->isModal()));
            }
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
        say(QStringLiteral("STEP"), QStringLiteral("registerReports"));
        say(QStringLiteral("APP_AT_REGISTER"), yesNo(QCoreApplication::instance() != nullptr));
        say(QStringLiteral("ORG_AT_REGISTER"), QCoreApplication::organizationName());
        qDebug("message before the log handler");
    };
    hooks.applicationCreated = [mode](QApplication& app) {
        say(QStringLiteral("STEP"), QStringLiteral("application"));
        say(QStringLiteral("ORG"), QCoreApplication::organizationName());
        say(QStringLiteral("APPNAME"), QCoreApplication::applicationName());
        app.installEventFilter(new BoxReporter(&app));
        auto* answerer = new ModalAnswerer(&app);
        answerer->setDefaultAnswer(mode == QLatin1String("repair-cancel") ? QMessageBox::Cancel : QMessageBox::Ok);
    };
    hooks.initSpellChecker = [] {
        say(QStringLiteral("STEP"), QStringLiteral("spellChecker"));
        say(QStringLiteral("LOG_INSTALLED"), yesNo(MessageLog::isInstalled()));
        say(QStringLiteral("DB_OPEN"), yesNo(Database::isOpen()));
    };
    hooks.createMainWindow = [mode]() -> std::unique_ptr<QWidget> {
        say(QStringLiteral("STEP"), QStringLiteral("mainWindow"));
        QSplashScreen* splash = findSplash();
        say(QStringLiteral("SPLASH_VISIBLE"), yesNo(splash && splash->isVisible()));
        say(QStringLiteral("SPLASH_MESSAGE"), splash ? splash->message() : QString());
        say(QStringLiteral("SPLASH_SIZE"), splash ? QStringLiteral("%1x%2").arg(splash->pixmap().width()).arg(splash->pixmap().height()) : QString());
        say(QStringLiteral("LOCK_EXISTS"), yesNo(QFile::exists(StartupSequence::lockFilePath())));
        say(QStringLiteral("ICON_EMPTY"), yesNo(QApplication::windowIcon().isNull()));
        qDebug("message after the log handler");

        auto window = std::make_unique<QMainWindow>();
        window->show();
        QWidget* raw = window.get();
        if (mode == QLatin1String("timers")) {
            QTimer::singleShot(300, raw, [raw] {
                QSplashScreen* splash = findSplash();
                say(QStringLiteral("EARLY_SPLASH_VISIBLE"), yesNo(splash && splash->isVisible()));
                say(QStringLiteral("EARLY_WINDOW_VISIBLE"), yesNo(raw->isVisible()));
                raw->hide(); // the 4000 ms timer must show it again
            });
            QTimer::singleShot(StartupSequence::SplashDurationMs + 400, raw, [raw] {
                QSplashScreen* splash = findSplash();
                say(QStringLiteral("LATE_SPLASH_VISIBLE"), yesNo(splash && splash->isVisible()));
                say(QStringLiteral("LATE_WINDOW_VISIBLE"), yesNo(raw->isVisible()));
                QCoreApplication::exit(0);
            });
        } else {
            // The event loop's result is the exit code.
            QTimer::singleShot(200, raw, [] { QCoreApplication::exit(7); });
        }
        return window;
    };

    StartupSequence sequence(std::move(hooks));
    const int code = sequence.run(argc, argv);
    // Everything is down by now: the lock file must be gone.
    say(QStringLiteral("LOCK_AFTER"), yesNo(QFile::exists(StartupSequence::lockFilePath())));
    say(QStringLiteral("LOG_AFTER"), yesNo(MessageLog::isInstalled()));
    return code;
}

} // namespace Child

class StartupSequenceTest : public QObject
{
    Q_OBJECT

private:
    struct ChildResult
    {
        int exitCode = -1;
        QMultiMap<QString, QString> values;
        QStringList steps;
        QString output;

        QString value(const QString& key) const { return values.value(key); }
    };

    ChildResult runChild(const QString& mode, const QString& dataPath)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELSPO_CHILD_DATA"), dataPath);
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child"), mode});
        ChildResult result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            result.output = QStringLiteral("<timed out>");
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.output = out + QString::fromUtf8(process.readAllStandardError());
        for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const int space = line.indexOf(QLatin1Char(' '));
            const QString key = line.left(space);
            const QString value = space < 0 ? QString() : line.mid(space + 1);
            if (key == QLatin1String("STEP"))
                result.steps.append(value);
            else
                result.values.insert(key, value);
        }
        return result;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QString logPath() const
    {
        // The child's user configuration directory is the same as ours: same
        // HOME, same names, test mode in both.
        return StartupSequence::logFilePath();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::tempPath() != QDir(QStringLiteral("/tmp")).canonicalPath());
        QDir().mkpath(QFileInfo(logPath()).absolutePath());
    }

    void lockFileNameAndPlace()
    {
        QCOMPARE(StartupSequence::lockFilePath(),
                 QDir(QDir::tempPath()).absoluteFilePath(QStringLiteral("VelSpo-lock.lock")));
        QVERIFY(StartupSequence::lockFilePath().endsWith(QStringLiteral("/VelSpo-lock.lock")));
    }

    void namesAreSetBeforeSettingsExist()
    {
        StartupSequence::setApplicationNames();
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("VelSoftware"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("VelSpo"));
        QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                           QCoreApplication::applicationName());
        QVERIFY(settings.fileName().contains(QStringLiteral("VelSoftware")));
    }

    void lockIsTakenOnceAndReleased()
    {
        StartupSequence first({});
        QVERIFY(first.acquireInstanceLock());
        QVERIFY(QFile::exists(StartupSequence::lockFilePath()));
        first.tearDown();
        QVERIFY(!QFile::exists(StartupSequence::lockFilePath()));
        QVERIFY(!first.instanceLock());
    }

    void refusalBoxIsPlain()
    {
        QString text;
        QString title = QStringLiteral("<unset>");
        int icon = -1;
        bool parent = true;
        bool modal = false;
        QTimer::singleShot(50, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            parent = box->parentWidget() != nullptr;
            modal = box->isModal();
            box->button(QMessageBox::Ok)->click();
        });
        StartupSequence::showAlreadyRunningBox();
        QCOMPARE(text, QString::fromUtf8("Приложение уже запущено на этом компьютере!\n"
                                         "Одновременный запуск нескольких копий приложения запрещён."));
        QCOMPARE(title, QString());
        QCOMPARE(icon, int(QMessageBox::NoIcon));
        QVERIFY(!parent);
        QVERIFY(modal);
    }

    void splashShowsLoadingBottomCentreInBlack()
    {
        StartupSequence sequence({});
        sequence.showSplash();
        QSplashScreen* splash = sequence.splashScreen();
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QCOMPARE(splash->message(), QString::fromUtf8("Загрузка..."));
        QVERIFY(!splash->pixmap().isNull());

        // The message is drawn over the pixmap: dark pixels appear in the bottom
        // middle of the light strip and nowhere else in that strip.
        const QImage shot = splash->grab().toImage();
        const QImage plain = splash->pixmap().toImage();
        QCOMPARE(shot.size(), plain.size());
        int changedMiddle = 0;
        int changedSides = 0;
        int darkest = 255;
        for (int y = shot.height() - 30; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (shot.pixel(x, y) == plain.pixel(x, y))
                    continue;
                const bool middle = qAbs(x - shot.width() / 2) < shot.width() / 4;
                (middle ? changedMiddle : changedSides)++;
                darkest = qMin(darkest, qGray(shot.pixel(x, y)));
            }
        }
        QVERIFY2(changedMiddle > 20, qPrintable(QString::number(changedMiddle)));
        QCOMPARE(changedSides, 0);
        QVERIFY2(darkest < 60, qPrintable(QString::number(darkest)));
        sequence.tearDown();
        QVERIFY(!sequence.splashScreen());
    }

    void russianQtTranslationIsInstalled()
    {
        const QString catalogue = QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QStringLiteral("/qt_ru.qm");
        StartupSequence sequence({});
        sequence.installTranslator();
        QVERIFY(sequence.translator());
        if (!QFile::exists(catalogue))
            QSKIP("qttranslations5-l10n is not installed");
        QVERIFY(!sequence.translator()->isEmpty());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Отмена"));
        sequence.tearDown();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    void secondInstanceIsRefused()
    {
        QTemporaryDir data;
        const QByteArray oldLog = "previous run\r\n\n";
        writeFile(logPath(), oldLog);
        QLockFile holder(StartupSequence::lockFilePath());
        QVERIFY(holder.tryLock(0));

        const ChildResult child = runChild(QStringLiteral("normal"), data.path());
        QCOMPARE(child.exitCode, 1);
        QCOMPARE(child.value("BOX_TEXT"), QString::fromUtf8("Приложение уже запущено на этом компьютере!\\n"
                                                            "Одновременный запуск нескольких копий приложения запрещён."));
        QCOMPARE(child.value("BOX_TITLE"), QString());
        QCOMPARE(child.value("BOX_ICON"), QString::number(QMessageBox::NoIcon));
        QCOMPARE(child.value("BOX_PARENT"), QStringLiteral("no"));
        QCOMPARE(child.value("BOX_MODAL"), QStringLiteral("yes"));
        QCOMPARE(child.steps, QStringList({"registerReports", "application"}));
        // Nothing was opened: no database, the log untouched, our lock intact.
        QVERIFY(!QFile::exists(data.filePath("VelSpo.db")));
        QCOMPARE(QDir(data.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        QCOMPARE(readFile(logPath()), oldLog);
        QVERIFY(holder.isLocked());
        QVERIFY(QFile::exists(StartupSequence::lockFilePath()));
        holder.unlock();
    }

    void normalRunInOrder()
    {
        QTemporaryDir data;
        writeFile(logPath(), "previous run\r\n\n");
        {
            QSettings ini(data.filePath("VelSpo.ini"), QSettings::IniFormat);
            ini.setValue("Data/City", QString::fromUtf8("Энск"));
        }

        const ChildResult child = runChild(QStringLiteral("normal"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QCOMPARE(child.steps, QStringList({"registerReports", "application", "spellChecker", "mainWindow"}));
        QCOMPARE(child.value("APP_AT_REGISTER"), QStringLiteral("no"));
        QCOMPARE(child.value("ORG_AT_REGISTER"), QString());
        QCOMPARE(child.value("ORG"), QStringLiteral("VelSoftware"));
        QCOMPARE(child.value("APPNAME"), QStringLiteral("VelSpo"));
        QCOMPARE(child.value("LOG_INSTALLED"), QStringLiteral("yes"));
        QCOMPARE(child.value("DB_OPEN"), QStringLiteral("yes"));
        QCOMPARE(child.value("SPLASH_VISIBLE"), QStringLiteral("yes"));
        QCOMPARE(child.value("SPLASH_MESSAGE"), QString::fromUtf8("Загрузка..."));
        QCOMPARE(child.value("SPLASH_SIZE"), QStringLiteral("500x250"));
        QCOMPARE(child.value("ICON_EMPTY"), QStringLiteral("no"));
        QCOMPARE(child.value("LOCK_EXISTS"), QStringLiteral("yes"));
        QVERIFY(!child.values.contains("BOX_TEXT"));
        // Torn down: lock file gone, log handler off.
        QCOMPARE(child.value("LOCK_AFTER"), QStringLiteral("no"));
        QCOMPARE(child.value("LOG_AFTER"), QStringLiteral("no"));
        QVERIFY(!QFile::exists(StartupSequence::lockFilePath()));

        // The log holds this run only, from the handler on.
        const QByteArray log = readFile(logPath());
        QVERIFY2(log.contains("message after the log handler\r\n\n"), log.constData());
        QVERIFY(!log.contains("previous run"));
        QVERIFY(!log.contains("message before the log handler"));
        // Opening the database (and its structure check) logs before the handler.
        QVERIFY2(!log.contains("checkDbStructure"), log.constData());
        QVERIFY2(!log.contains(QFile::encodeName(data.filePath("VelSpo.db"))), log.constData());
        QVERIFY(child.output.contains("message before the log handler"));

        // The database exists and the old INI data was moved into it.
        QVERIFY(QFile::exists(data.filePath("VelSpo.db")));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "startup-check");
            db.setDatabaseName(data.filePath("VelSpo.db"));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT value FROM Variables WHERE name = 'City'"));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), QString::fromUtf8("Энск"));
            db.close();
        }
        QSqlDatabase::removeDatabase("startup-check");
    }

    void splashClosesAndWindowShowsAfterFourSeconds()
    {
        QTemporaryDir data;
        const ChildResult child = runChild(QStringLiteral("timers"), data.path());
        QVERIFY2(child.exitCode == 0, qPrintable(child.output));
        QCOMPARE(child.value("EARLY_SPLASH_VISIBLE"), QStringLiteral("yes"));
        QCOMPARE(child.value("EARLY_WINDOW_VISIBLE"), QStringLiteral("yes"));
        QCOMPARE(child.value("LATE_SPLASH_VISIBLE"), QStringLiteral("no"));
        QCOMPARE(child.value("LATE_WINDOW_VISIBLE"), QStringLiteral("yes"));
        QCOMPARE(child.value("LOCK_AFTER"), QStringLiteral("no"));
    }

    void staleLockIsTakenOver()
    {
        // A lock file left by a process that no longer exists.
        QProcess gone;
        gone.start(QStringLiteral("true"), QStringList());
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(pid > 0);
        writeFile(StartupSequence::lockFilePath(), QByteArray::number(pid) + "\nVelSpo\n\n");
        QTemporaryDir data;
        const ChildResult child = runChild(QStringLiteral("normal"), data.path());
        QVERIFY2(child.exitCode == 7, qPrintable(child.output));
        QVERIFY(!child.values.contains("BOX_TEXT"));
        QVERIFY(!QFile::exists(StartupSequence::lockFilePath()));
    }

    void declinedRepairEndsNormallyWithCodeZero()
    {
        QTemporaryDir data;
        const QByteArray junk = "this is not a database, but the user may still want it";
        writeFile(data.filePath("VelSpo.db"), junk);
        writeFile(logPath(), "previous run\r\n\n");

        const ChildResult child = runChild(QStringLiteral("repair-cancel"), data.path());
        QVERIFY2(child.exitCode == 0, qPrintable(child.output));
        QCOMPARE(child.value("BOX_TITLE"), QString::fromUtf8("Внимание!"));
        QCOMPARE(child.steps, QStringList({"registerReports", "application"}));
        QCOMPARE(readFile(data.filePath("VelSpo.db")), junk);
        QCOMPARE(child.value("LOCK_AFTER"), QStringLiteral("no"));
        QVERIFY(!QFile::exists(StartupSequence::lockFilePath()));
        // The log was never restarted.
        QCOMPARE(readFile(logPath()), QByteArray("previous run\r\n\n"));
    }

    void unusableDataDirectoryEndsWithCodeOne()
    {
        QTemporaryDir base;
        // The data directory would have to live below a plain file.
        writeFile(base.filePath("file"), "x");
        const ChildResult child = runChild(QStringLiteral("normal"), base.filePath("file/data"));
        QVERIFY2(child.exitCode == 1, qPrintable(child.output));
        QVERIFY(child.values.contains("BOX_TEXT"));
        QCOMPARE(child.steps, QStringList({"registerReports", "application"}));
        QCOMPARE(child.value("LOCK_AFTER"), QStringLiteral("no"));
        QVERIFY(!QFile::exists(StartupSequence::lockFilePath()));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--startup-child") == 0)
        return Child::run(QString::fromLocal8Bit(argv[2]), argc, argv);

    TestEnvironment environment;
    // A private temporary directory, shared with the children, so that the
    // lock file never meets a running program or a parallel test.
    QTemporaryDir tmp;
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    QApplication app(argc, argv);
    StartupSequenceTest tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_startupsequence.moc"
