#include "dialogs/DocumentEditDialog.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/LongTask.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ProtectedFiles.h"
#include "engine/ReportList.h"
#include "engine/TaskProgressDialog.h"
#include "engine/WidgetUtilities.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/tips/TipsDialog.h"
#include "product/DocumentsTable.h"
#include "product/MainWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FileSizeLimit.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"
#include "support/UrlCatcher.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSettings>
#include <QSqlTableModel>
#include <QStandardPaths>
#include <QThread>
#include <QToolBar>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace DocumentFixtures;
using namespace FormWidgets;

// Holds long work at each stage until its progress dialog shows it, and
// notes what the dialog says: "title|stage|Cancel enabled". At the stage
// named cancelAt it presses Cancel.
class StageWatch
{
public:
    explicit StageWatch(ModalAnswerer& answerer, const QString& cancelAt = QString())
    {
        LongTask::setStageHookForTesting([this](const QString&) { m_shown.tryAcquire(1, 5000); });
        answerer.onDialog([this, cancelAt](QWidget* dialog) {
            auto* progress = qobject_cast<TaskProgressDialog*>(dialog);
            const QString stage = progress ? progress->labelText().section('\n', 0, 0) : QString();
            if (stage.isEmpty() || stage == m_last)
                return false;
            m_last = stage;
            QPushButton* cancel = progress->findChild<QPushButton*>();
            seen << progress->windowTitle() + '|' + stage + '|' + QString::number(cancel->isEnabled());
            if (stage == cancelAt)
                cancel->click();
            m_shown.release();
            return false; // seen again at the next stage
        });
    }
    ~StageWatch() { LongTask::setStageHookForTesting({}); }
    StageWatch(const StageWatch&) = delete;
    StageWatch& operator=(const StageWatch&) = delete;

    QStringList seen;

private:
    QSemaphore m_shown;
    QString m_last;
};

// The product's main window over its base: tool bar, the row actions, backup
// and restore, the editor road, settings and links.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { ReportList::registerReports(); }

    void init()
    {
        QVERIFY(openEmpty());
        Database::userSettings()->remove(QStringLiteral("VelSpo"));
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
        QVERIFY(insertDocument(fullDocument()) > 0);
    }

    void cleanup()
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The next test starts on a whole database.
        if (damagedFile)
            resetDataDir();
        damagedFile = false;
        Database::setKnownDamaged(false);
    }

    // The tool bar's row actions follow the selection; documents open their forms.
    void rowActionsAndForms()
    {
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        open();
        for (QAction* tool : child<QToolBar>(window.get(), "toolBar")->actions())
            QVERIFY2(!tool->icon().pixmap(48, 48).isNull(), qPrintable(tool->text())); // our own drawn icons, linked in
        DocumentsTable* table = window->documentsRegister();
        const auto shown = [this] {
            QString flags;
            for (const char* name : {"actionCreateDoc", "actionEdit", "actionCopy", "actionPrint", "actionRemove"})
                flags += action(name)->isVisible() ? '1' : '0';
            return flags;
        };
        QCOMPARE(shown(), QStringLiteral("10000"));
        table->selectRow(0);
        QCOMPARE(shown(), QStringLiteral("11111"));
        table->selectionModel()->select(table->tableModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(shown(), QStringLiteral("10001"));
        table->updateData(); // a reload empties the selection; the actions go with it
        QCOMPARE(shown(), QStringLiteral("10000"));
        // A filter hides the selected row: nothing visible is selected.
        table->selectRow(0);
        table->onFiltersChanged({{QStringLiteral("fio"), table->tableModel()->index(1, 1).data().toString()}});
        QCOMPARE(shown(), QStringLiteral("10000"));

        const QString surname = table->tableModel()->index(0, 1).data().toString().section(' ', 0, 0);
        table->onRowActivated(table->tableModel()->index(0, 1));
        table->newRecordAction->trigger(); // the templates dialog, no form yet
        QPointer<SelectTemplateDialog> templates = window->findChild<SelectTemplateDialog*>();
        QVERIFY(templates);
        // A template form opened from it refreshes its list when saved.
        button(templates, "pushButtonNewTempl")->click();
        DocumentEditDialog* form = window->findChildren<DocumentEditDialog*>().last();
        Typing::typeOver(edit(form, "lineEditFio_1"), QStringLiteral("Повар"));
        button(form, "pushButtonSave")->click();
        auto* list = child<QListWidget>(templates, "listWidget");
        QCOMPARE(list->count() == 1 ? list->item(0)->text() : QString(), QStringLiteral("Повар"));

        button(templates, "pushButtonCreateEmpty")->click(); // an empty form, ready for input
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!templates);
        const QList<DocumentEditDialog*> forms = window->findChildren<DocumentEditDialog*>();
        QCOMPARE(forms.size(), 3);
        QCOMPARE(edit(forms.at(0), "lineEditFio_1")->text() + '|' + edit(forms.at(2), "lineEditFio_1")->text(), surname + '|');
        QVERIFY(button(forms.at(2), "pushButtonSave")->isVisible());
    }

    // A restore undoes what changed after the backup and is shown; failures are
    // reported, a cancelled choice says nothing.
    void backupAndRestore()
    {
        QTemporaryDir folder;
        const QString backup = folder.filePath("copy.db");
        open();
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        for (const QString& path : {backup, folder.path(), folder.path(), backup})
            files.answer(path);
        action("actionSaveDb")->trigger();
        QVERIFY(!window->saveDatabaseBackup()); // a folder, no file
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(files.requests.value(0).proposed, documents + "/VelSpo" + QDate::currentDate().toString("-backup-yyyy-MM-dd") + ".db");
        // Added behind the register's back: each restore's reload shows what it left.
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        action("actionLoadDb")->trigger();
        QCOMPARE(files.requests.value(2).proposed, documents);
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 2);
        action("actionLoadDb")->trigger();
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 1);
        // The database the restore replaced is kept, and the box says where.
        const QStringList kept = QDir(Database::dataPath()).entryList({"VelSpo_*.bak"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(answerer.texts(), (QStringList{"Резервная копия успешно создана.",
                                                "Не удалось сохранить резервную копию.\n" + folder.path()
                                                    + " — это папка. Укажите имя файла резервной копии.",
                                                "Не удалось загрузить резервную копию.",
                                                "Резервная копия успешно загружена.\nПрежняя база данных сохранена в файле "
                                                    + QDir(Database::dataPath()).filePath(kept.first()) + "."}));
        QVERIFY(QFile::remove(QDir(Database::dataPath()).filePath(kept.first())));
        QCOMPARE(answerer.titles(), (QStringList{"Информация", "Ошибка", "Ошибка", "Информация"}));
        answerer.clear();
        QVERIFY(!window->saveDatabaseBackup() && !window->loadDatabaseBackup());
        QCOMPARE(answerer.handledCount(), 0);
    }

    // Documents the register cannot read: said once the window is up, in the
    // start-up check's one warning of the damage, and at each later reload,
    // here the one after a cancelled restore; restoring a good copy brings the
    // whole list back and the complaint ends.
    void unreadableRegisterReportedUntilRestored()
    {
        for (int i = 0; i < 49; ++i)
            QVERIFY(insertDocument(fullDocument()) > 0);
        QTemporaryDir folder;
        const QString backup = folder.filePath("good.db");
        QVERIFY(Database::backup(backup));
        damagedFile = true;
        QVERIFY(damageTable("SpoDocuments"));
        QVERIFY(Database::init(true));
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        open();
        QCOMPARE(answerer.handledCount(), 0); // no box inside the constructor
        QTRY_VERIFY(Database::userSettings()->contains(QStringLiteral("VelSpo/last_started_version")));
        DocumentsTable* table = window->documentsRegister();
        const int read = table->tableModel()->rowCount();
        QVERIFY2(read > 0 && read < 50, qPrintable(QString::number(read)));
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        const QString warning = answerer.texts().value(0);
        QVERIFY2(warning.startsWith("База данных " + Database::databaseFileName() + " повреждена")
                     && warning.contains(QString("\n\nСписок документов прочитан не полностью: показаны только прочитанные "
                                                 "документы (%1).\n\nВосстановите базу данных").arg(read)),
                 qPrintable(warning));
        QVERIFY(Database::isKnownDamaged());
        const QString problem = QString("Не удалось прочитать список документов полностью: файл базы данных повреждён или "
                                        "недоступен.\nПоказаны только прочитанные документы (%1), список неполон.\n"
                                        "Восстановите базу данных из резервной копии.").arg(read);
        action("actionLoadDb")->trigger(); // cancelled
        QCOMPARE(answerer.titles().value(1) + '|' + answerer.texts().value(1), "Ошибка|" + problem);
        files.answer(backup);
        action("actionLoadDb")->trigger();
        QCOMPARE(table->tableModel()->rowCount(), 50);
        QVERIFY(table->loadProblem().isEmpty());
        QCOMPARE(answerer.texts().filter("Не удалось прочитать список документов").size(), 1);
        QVERIFY2(answerer.texts().last().startsWith(QStringLiteral("Резервная копия успешно загружена.\n")),
                 qPrintable(answerer.texts().last()));
    }

    // Too little room for the restore's copy: the box says why and that the
    // database is unchanged; nothing is left in the data folder.
    void restoreWithoutRoom()
    {
        QVERIFY(insertMany(3000));
        QTemporaryDir folder;
        const QString backup = folder.filePath("copy.db");
        open();
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(backup);
        files.answer(backup);
        action("actionSaveDb")->trigger();
        QVERIFY(QFileInfo(backup).size() > 512 * 1024);
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        window->documentsRegister()->updateData();
        const QByteArray before = readFile(Database::databaseFileName());
        {
            FileSizeLimit room(256 * 1024);
            action("actionLoadDb")->trigger();
        }
        QCOMPARE(answerer.titles(), (QStringList{"Информация", "Ошибка"}));
        const QString text = answerer.texts().value(1);
        QCOMPARE(text, "Не удалось загрузить резервную копию.\nНе удалось скопировать файл резервной копии в папку "
                           + Database::dataPath() + ": " + QString::fromLocal8Bit(strerror(EFBIG))
                           + ".\nВозможно, на диске не хватает места.\nТекущая база данных не изменена.");
        QCOMPARE(readFile(Database::databaseFileName()), before);
        QCOMPARE(QDir(Database::dataPath()).entryList({"VelSpo*"}, QDir::Files), QStringList({"VelSpo.db"}));
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 3002);
    }

    // A database with one page of a table's data overwritten, or one that the
    // open road already found damaged: a warning once the window is up, then
    // the tips; the mark set, the file left exactly as it is, and a backup that
    // is still written but not called a success. A whole database gets neither.
    void damagedDatabase_data()
    {
        QTest::addColumn<bool>("damage");
        QTest::addColumn<bool>("markedAtOpen");
        QTest::newRow("whole") << false << false;
        QTest::newRow("one page overwritten") << true << false;
        QTest::newRow("marked damaged when opened") << false << true;
    }

    void damagedDatabase()
    {
        QFETCH(bool, damage);
        QFETCH(bool, markedAtOpen);
        const int spoId = insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        QVERIFY(insertDisciplines(spoId, 3000));
        if (damage) {
            damagedFile = true;
            QVERIFY(damageTable("DisciplineDetails"));
        }
        Database::setKnownDamaged(markedAtOpen);
        ModalAnswerer answerer;
        int boxesBeforeTips = -1;
        countBoxesBeforeTips(answerer, &boxesBeforeTips);
        open();
        const QByteArray before = readFile(Database::databaseFileName());
        QTRY_VERIFY(boxesBeforeTips >= 0);
        const bool warned = damage || markedAtOpen;
        QCOMPARE(boxesBeforeTips, int(warned));
        QCOMPARE(answerer.handledCount(), int(warned));
        QCOMPARE(Database::isKnownDamaged(), warned);
        if (warned) {
            QCOMPARE(answerer.titles().value(0), QStringLiteral("Внимание!"));
            QVERIFY2(answerer.texts().value(0).startsWith("База данных " + Database::databaseFileName() + " повреждена")
                         && answerer.texts().value(0).contains("Восстановите базу данных из резервной копии")
                         && !answerer.texts().value(0).contains("Список документов"),
                     qPrintable(answerer.texts().value(0)));
        }
        QCOMPARE(readFile(Database::databaseFileName()), before);
        QCOMPARE(QDir(Database::dataPath()).entryList({"VelSpo*"}, QDir::Files), QStringList({"VelSpo.db"}));
        if (markedAtOpen)
            return;

        QTemporaryDir folder;
        FileChoiceAnswerer files;
        files.answer(folder.filePath("copy.db"));
        answerer.clear();
        action("actionSaveDb")->trigger();
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(QFileInfo(folder.filePath("copy.db")).size(), before.size());
        if (!damage) {
            QCOMPARE(answerer.titles().value(0) + '|' + answerer.texts().value(0), QStringLiteral("Информация|Резервная копия успешно создана."));
            return;
        }
        QCOMPARE(answerer.titles().value(0), QStringLiteral("Внимание!"));
        QVERIFY2(answerer.texts().value(0).startsWith("Резервная копия создана, но база данных повреждена"),
                 qPrintable(answerer.texts().value(0)));
    }

    // No backup is written over a file the program lives on, whatever name it
    // is reached by: the box says why, and the file and its folder stay as they were.
    void backupRefusesTheProgramsOwnFiles_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"database", "database by a symbolic link", "database by a hard link", "settings file"})
            QTest::newRow(kind) << QString(kind);
    }

    void backupRefusesTheProgramsOwnFiles()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString database = Database::databaseFileName();
        QString path = folder.filePath("copy.db");
        if (kind == "database")
            path = database;
        else if (kind == "database by a symbolic link")
            QVERIFY(QFile::link(database, path));
        else if (kind == "database by a hard link")
            QVERIFY(::link(QFile::encodeName(database).constData(), QFile::encodeName(path).constData()) == 0);
        else
            path = Database::dataPath() + "/settings.ini";
        if (kind == "settings file") {
            QFile settings(path);
            QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write("[Proxy]\nenabled=false\n") > 0);
        }
        open();
        const QByteArray before = readFile(path);
        const QStringList beside = QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(path);
        QVERIFY(!window->saveDatabaseBackup());
        QCOMPARE(answerer.titles(), QStringList{"Ошибка"});
        const QString refusal = ProtectedFiles::refusalText(path);
        QVERIFY(!refusal.isEmpty());
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить резервную копию.\n" + refusal});
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), beside);
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 1);
    }

    // Backup and restore each say in a progress dialog what they are doing
    // while the window's event loop runs, Cancel offered at every step.
    void backupAndRestoreShowTheirProgress()
    {
        QTemporaryDir folder;
        const QString backup = folder.filePath("copy.db");
        open();
        ModalAnswerer answerer;
        StageWatch stages(answerer);
        FileChoiceAnswerer files;
        files.answer(backup);
        files.answer(backup);
        QVERIFY(window->saveDatabaseBackup());
        QCOMPARE(stages.seen, (QStringList{"Создание резервной копии|Копирование базы данных…|1",
                                           "Создание резервной копии|Проверка резервной копии…|1"}));
        stages.seen.clear();
        QVERIFY(window->loadDatabaseBackup());
        QCOMPARE(stages.seen, (QStringList{"Восстановление из резервной копии|Копирование резервной копии…|1",
                                           "Восстановление из резервной копии|Проверка резервной копии…|1",
                                           "Восстановление из резервной копии|Подготовка резервной копии к работе…|1",
                                           "Восстановление из резервной копии|Сохранение копии текущей базы данных…|1"}));
        QCOMPARE(answerer.titles(), (QStringList{"Информация", "Информация"}));
        QVERIFY(!QApplication::overrideCursor());
        for (const QString& kept : QDir(Database::dataPath()).entryList({"VelSpo_*.bak"}, QDir::Files))
            QVERIFY(QFile::remove(Database::dataPath() + '/' + kept));
    }

    // Cancel at any step: a backup leaves an older file at its target as it
    // was and nothing beside it; a restore leaves the database as it was and
    // no copy in the data folder. Nothing more is said.
    void cancelledBackupOrRestoreLeavesNothing_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("stage");
        for (const char* stage : {"Копирование базы данных…", "Проверка резервной копии…"})
            QTest::addRow("backup, %s", stage) << true << QString(stage);
        for (const char* stage : {"Копирование резервной копии…", "Проверка резервной копии…",
                                  "Подготовка резервной копии к работе…", "Сохранение копии текущей базы данных…"})
            QTest::addRow("restore, %s", stage) << false << QString(stage);
    }

    void cancelledBackupOrRestoreLeavesNothing()
    {
        QFETCH(bool, backup);
        QFETCH(QString, stage);
        QTemporaryDir folder;
        const QString path = folder.filePath("copy.db");
        if (backup) {
            QFile older(path);
            QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older backup") > 0);
        } else {
            QVERIFY(Database::backup(path));
        }
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        open();
        const QByteArray file = readFile(path), database = readFile(Database::databaseFileName());
        ModalAnswerer answerer;
        StageWatch stages(answerer, stage);
        FileChoiceAnswerer files;
        files.answer(path);
        action(backup ? "actionSaveDb" : "actionLoadDb")->trigger();
        QCOMPARE(stages.seen.value(stages.seen.size() - 1), (backup ? "Создание резервной копии|" : "Восстановление из резервной копии|") + stage
                                         + "|1");
        QCOMPARE(answerer.handledCount(), 0);
        QCOMPARE(readFile(path), file);
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"copy.db"});
        QCOMPARE(readFile(Database::databaseFileName()), database);
        QCOMPARE(QDir(Database::dataPath()).entryList({"VelSpo*"}, QDir::Files), QStringList({"VelSpo.db"}));
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 2);
    }

    // The database check runs while the shown window goes on answering: held on
    // its thread for over a second, it costs the window no pause of note.
    void startupCheckLeavesTheWindowResponsive()
    {
        constexpr int checkMs = 1200;
        LongTask::setStageHookForTesting([](const QString& stage) {
            if (stage == VelMainWindow::startupCheckStage())
                QThread::msleep(checkMs); // a slow check, as on a large file
        });
        const auto unhook = qScopeGuard([] { LongTask::setStageHookForTesting({}); });
        open();
        bool finished = false;
        connect(window.get(), &VelMainWindow::startupFinished, [&finished] { finished = true; });
        // The longest gap between the ticks of a 10 ms timer until the verdict is handled.
        QElapsedTimer clock;
        qint64 lastTick = 0, longest = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, [&] {
            longest = qMax(longest, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        clock.start();
        ticks.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(finished, 20000);
        longest = qMax(longest, clock.elapsed() - lastTick);
        QVERIFY2(clock.elapsed() >= checkMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(longest < checkMs / 2, qPrintable(QString::number(longest)));
    }

    // A constructor slower than the start-up delay: the start-up work (here the
    // proxy it applies) still waits for it, and runs from the event loop.
    void startupWorkAfterTheConstructor()
    {
        Database::commonSettings()->setValue(QStringLiteral("Proxy/enabled"), true);
        Database::commonSettings()->setValue(QStringLiteral("Proxy/hostName"), QStringLiteral("after.constructor"));
        const auto restore = qScopeGuard([] {
            Database::commonSettings()->remove(QStringLiteral("Proxy"));
            QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        });
        // Slows the constructor down once the base has started its timer.
        struct SlowTitle : QObject
        {
            bool slept = false;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (!slept && event->type() == QEvent::WindowTitleChange && qobject_cast<MainWindow*>(watched)) {
                    slept = true;
                    QThread::msleep(250);
                }
                return false;
            }
        } slow;
        qApp->installEventFilter(&slow);
        open();
        qApp->removeEventFilter(&slow);
        QVERIFY(slow.slept);
        QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QString());
        QTRY_COMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("after.constructor"));
    }

    // A register read that stopped short while the check finds the file whole
    // (the damaged page was written back meanwhile): the register's own box,
    // once, after the window is up, then the tips; no damage is marked.
    void registerCutShortWithoutDamage()
    {
        for (int i = 0; i < 49; ++i)
            QVERIFY(insertDocument(fullDocument()) > 0);
        Database::destroy();
        const QByteArray whole = readFile(Database::databaseFileName());
        damagedFile = true;
        QVERIFY(damageTable("SpoDocuments"));
        QVERIFY(Database::init(true));
        const QString path = Database::databaseFileName();
        LongTask::setStageHookForTesting([path, whole](const QString& stage) {
            QFile file(path);
            if (stage == VelMainWindow::startupCheckStage() && file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly))
                file.write(whole);
        });
        const auto unhook = qScopeGuard([] { LongTask::setStageHookForTesting({}); });
        ModalAnswerer answerer;
        int boxesBeforeTips = -1;
        countBoxesBeforeTips(answerer, &boxesBeforeTips);
        open();
        QCOMPARE(answerer.handledCount(), 0);
        QTRY_COMPARE(boxesBeforeTips, 1);
        const int read = window->documentsRegister()->tableModel()->rowCount();
        QVERIFY2(read > 0 && read < 50, qPrintable(QString::number(read)));
        QCOMPARE(answerer.titles(), QStringList{"Ошибка"});
        QCOMPARE(answerer.texts().value(0), window->documentsRegister()->loadProblem());
        QVERIFY(answerer.texts().value(0).contains(QString("Показаны только прочитанные документы (%1)").arg(read)));
        QVERIFY(!Database::isKnownDamaged());
    }

    // The warning before the editor and its "don't ask again", one chooser at a
    // time, a missing template; the settings reach the file and come back.
    void editorWarningChooserAndSettings()
    {
        open();
        // The start-up work reads the warning switch and the geometry back from the settings.
        QTRY_VERIFY(Database::userSettings()->contains(QStringLiteral("VelSpo/last_started_version")));
        window->resize(900, 650);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Yes);
        answerer.answer(QMessageBox::No);
        window->openEditorWindow();
        QVERIFY(window->editorChooser());
        delete window->editorChooser();
        answerer.setCheckBoxChecked(true); // "don't ask again" with No: no chooser now, no question later
        action("actionEditor")->trigger();
        QVERIFY(!window->editorChooser());
        action("actionEditor")->trigger();
        QCOMPARE(answerer.handledCount(), 2);
        QVERIFY(answerer.texts().value(0).contains(QStringLiteral("Вы переходите в раздел \"Редактор шаблонов\".")));
        answerer.clear();
        QPointer<PrintDialog> chooser = window->editorChooser();
        action("actionEditor")->trigger();
        QCOMPARE(window->editorChooser(), chooser.data()); // only one
        child<QListWidget>(chooser, "listWidget")->setCurrentRow(0);
        QMetaObject::invokeMethod(button(chooser, "pushButtonPrint"), "click", Qt::QueuedConnection);
        QTRY_COMPARE(answerer.handledCount(), 1);
        QCOMPARE(answerer.titles().at(0) + '|' + answerer.texts().at(0), QStringLiteral("Ошибка|Шаблон отчёта reports/id120.velrpt не найден."));
        QTRY_VERIFY(!window->editorChooser());

        window.reset();
        QSettings stored(Database::userSettingsPath() + QStringLiteral("/settings.ini"), QSettings::IniFormat);
        QVERIFY(!stored.value("VelSpo/geometry").toByteArray().isEmpty() && !stored.value("VelSpo/windowState").toByteArray().isEmpty());
        QCOMPARE(stored.value("VelSpo/last_started_version").toString() + stored.value("VelSpo/askBeforeEditor").toString()
                     + stored.value("VelSpo/askBeforeExport").toString(), ProductTypeInfo::version() + "falsetrue");
        QVERIFY(openEmpty());
        open();
        QTRY_COMPARE(window->size(), QSize(900, 650));
        QVERIFY(!window->isAskBeforeEditor());
    }

    void onlyWebLinksOpenAndExitEndsTheLoop()
    {
        UrlCatcher catcher;
        open();
        action("actionForumUrl")->trigger();
        QCOMPARE(catcher.urls.value(0).scheme() + catcher.urls.value(0).path(), QStringLiteral("https/"));
        for (const char* url : {"javascript:alert(1)", "file:///etc/passwd", "file://server/share/run.exe",
                                "ftp://example.org/file", "relative/path"})
            QVERIFY2(!openWebLink(QUrl(url)), url);
        QVERIFY(openWebLink(QUrl("http://example.org/download?id=1")));
        QCOMPARE(catcher.urls.size(), 2);
        // "Выход" ends the event loop.
        QTimer::singleShot(0, action("actionExit"), &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // safety net
        QCOMPARE(QCoreApplication::exec(), 0);
    }

private:
    // The tips of the day are to open at start; when they do, they are closed
    // and *count says how many boxes the answerer had answered before them.
    static void countBoxesBeforeTips(ModalAnswerer& answerer, int* count)
    {
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), true);
        answerer.onDialog([&answerer, count](QWidget* dialog) {
            if (!qobject_cast<TipsDialog*>(dialog))
                return false;
            *count = answerer.handledCount();
            dialog->close();
            return true;
        });
    }

    // The window closes the database when it goes: documents are added first.
    void open() { window.reset(new MainWindow); }
    QAction* action(const char* name) const { return child<QAction>(window.get(), name); }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<MainWindow> window;
    bool damagedFile = false;
};

VELSPO_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
