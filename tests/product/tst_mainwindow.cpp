#include "dialogs/DocumentEditDialog.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"
#include "product/MainWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"

#include <QDesktopServices>
#include <QListWidget>
#include <QMenuBar>
#include <QSettings>
#include <QSqlTableModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>

using namespace DocumentFixtures;
using namespace FormWidgets;

// The product's main window over its base: menus, tool bar and shortcuts, the
// row actions, backup and restore, the editor road, settings and links.
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
        QVariantMap row = fullDocument();
        row.insert(QStringLiteral("fio1"), QStringLiteral("Иванов"));
        QVERIFY(insertDocument(row) > 0);
    }

    void cleanup()
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void menusToolBarAndShortcuts()
    {
        open();
        QCOMPARE(window->windowTitle(), ProductTypeInfo::titleWithVersion());
        QCOMPARE(actionTexts(window->menuBar()->actions()), (QStringList{"Файл", "Вид", "Инструменты", "Справка", "Поддержка"}));
        QStringList menus;
        for (const char* name : {"menuPreferences", "menu_4", "menu_2", "menu_3", "menu"})
            menus << actionTexts(child<QMenu>(window.get(), name)->actions()).join(',');
        QCOMPARE(menus, (QStringList{"—,Настройки,Выход", "Фильтры",
                                     "Создать резервную копию,Восстановить из резервной копии,—,Экспорт,—,Редактор форм,—,"
                                     "Настройки программы",
                                     "О программе,Проверить обновления,—,Совет дня", "Форум поддержки"}));
        const QList<QAction*> tools = child<QToolBar>(window.get(), "toolBar")->actions();
        QCOMPARE(actionTexts(tools), (QStringList{"Создать документ", "Редактировать документ", "Создать копию документа",
                                                  "Печать", "Удалить"}));
        for (QAction* tool : tools)
            QVERIFY2(!tool->icon().pixmap(48, 48).isNull(), qPrintable(tool->text()));
        QCOMPARE(action("actionExport")->shortcut().toString() + action("actionEditor")->shortcut().toString()
                     + action("actionAbout")->shortcut().toString(),
                 QStringLiteral("Ctrl+SF7F1"));
        QVERIFY(action("actionFilter")->isChecked());
    }

    void rowActionsFollowTheSelection()
    {
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        open();
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
        table->selectAll();
        QCOMPARE(shown(), QStringLiteral("11111"));
    }

    void documentRequestsOpenForms()
    {
        open();
        DocumentsTable* table = window->documentsRegister();
        table->onRowActivated(table->tableModel()->index(0, 1));
        table->newRecordAction->trigger(); // the templates dialog, no form yet
        QCOMPARE(window->findChildren<DocumentEditDialog*>().size(), 1);
        QPointer<SelectTemplateDialog> templates = window->findChild<SelectTemplateDialog*>();
        QVERIFY(templates);
        QCOMPARE(templates->windowTitle(), QStringLiteral("Создать документ"));

        // A template form opened from it refreshes its list when saved.
        button(templates, "pushButtonNewTempl")->click();
        DocumentEditDialog* form = window->findChildren<DocumentEditDialog*>().last();
        edit(form, "lineEditFio_1")->setText(QStringLiteral("Повар"));
        button(form, "pushButtonSave")->click();
        auto* list = child<QListWidget>(templates, "listWidget");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Повар"));

        button(templates, "pushButtonCreateEmpty")->click(); // an empty form, ready for input
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!templates);
        const QList<DocumentEditDialog*> forms = window->findChildren<DocumentEditDialog*>();
        QCOMPARE(forms.size(), 3);
        QCOMPARE(edit(forms.at(0), "lineEditFio_1")->text() + '|' + edit(forms.at(2), "lineEditFio_1")->text(),
                 QStringLiteral("Иванов|"));
        QVERIFY(button(forms.at(2), "pushButtonSave")->isVisible());
    }

    void backupAndRestore()
    {
        QTemporaryDir folder;
        open();
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        const QString backup = folder.filePath("copy.db");
        files.answer(backup);
        action("actionSaveDb")->trigger();
        // The proposal: the dated name inside the Documents folder.
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(files.requests.value(0).proposed,
                 documents + "/VelSpo" + QDate::currentDate().toString("-backup-yyyy-MM-dd") + ".db");
        QCOMPARE(answerer.texts(), QStringList{"Резервная копия успешно создана."});
        QCOMPARE(answerer.titles(), QStringList{"Информация"});

        // Changes after the backup are undone by the restore, and shown.
        QVERIFY(exec("UPDATE SpoDocuments SET fio1 = 'Новый'"));
        answerer.clear();
        files.answer(backup);
        action("actionLoadDb")->trigger();
        QCOMPARE(files.requests.value(1).proposed, documents);
        QCOMPARE(answerer.texts(), QStringList{"Резервная копия успешно загружена."});
        QCOMPARE(window->documentsRegister()->tableModel()->index(0, 1).data().toString(),
                 QStringLiteral("Иванов Мария Петровна"));

        answerer.clear(); // a cancelled choice says nothing
        QVERIFY(!window->saveDatabaseBackup());
        QVERIFY(!window->loadDatabaseBackup());
        QCOMPARE(answerer.handledCount(), 0);
    }

    void failedRestoreOrBackupKeepsCurrentData()
    {
        QTemporaryDir folder;
        open();
        const QString junk = folder.filePath("junk.db");
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray("no database").repeated(100)) > 0);
        file.close();
        // Added behind the register's back: the restore's reload must show it.
        insertDocument({{"fio1", "Петров"}, {"isTemplate", 0}});
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(junk);
        action("actionLoadDb")->trigger();
        // The live file is no source of a restore, nor a target of a backup.
        files.answer(Database::databaseFileName());
        QVERIFY(!window->loadDatabaseBackup());
        const QString failed = QStringLiteral("Не удалось загрузить резервную копию.");
        QCOMPARE(answerer.texts(), QStringList({failed, failed}));
        QCOMPARE(answerer.titles(), QStringList({"Ошибка", "Ошибка"}));
        QCOMPARE(count("SpoDocuments"), 2);
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 2);

        const auto liveFile = [] {
            QFile file(Database::databaseFileName());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = liveFile();
        answerer.clear();
        files.answer(Database::databaseFileName());
        QVERIFY(!window->saveDatabaseBackup());
        QCOMPARE(answerer.texts().last() + answerer.titles().last(), QStringLiteral("Не удалось сохранить резервную копию.Ошибка"));
        QCOMPARE(liveFile(), before);
    }

    void editorWarningAndChooser()
    {
        open();
        // The start-up work reads the warning switch back from the settings.
        QTRY_VERIFY(Database::userSettings()->contains(QStringLiteral("VelSpo/last_started_version")));
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Yes);
        window->openEditorWindow();
        QVERIFY(answerer.texts().value(0).contains(QStringLiteral("Вы переходите в раздел \"Редактор шаблонов\".")));
        QVERIFY(window->editorChooser());
        delete window->editorChooser();

        // "Don't ask again" with No: no chooser now, no question later.
        answerer.clear();
        answerer.setCheckBoxChecked(true);
        answerer.answer(QMessageBox::No);
        action("actionEditor")->trigger();
        QVERIFY(!window->editorChooser());
        answerer.clear();
        answerer.setCheckBoxChecked(false);
        action("actionEditor")->trigger();
        QCOMPARE(answerer.handledCount(), 0);
        QPointer<PrintDialog> chooser = window->editorChooser();
        QCOMPARE(chooser->windowTitle(), QStringLiteral("Редактировать шаблон"));
        action("actionEditor")->trigger();
        QCOMPARE(window->editorChooser(), chooser.data()); // only one

        // No template file for the chosen type.
        child<QListWidget>(chooser, "listWidget")->setCurrentRow(0);
        QMetaObject::invokeMethod(button(chooser, "pushButtonPrint"), "click", Qt::QueuedConnection);
        QTRY_COMPARE(answerer.handledCount(), 1);
        QCOMPARE(answerer.texts().at(0) + answerer.titles().at(0), QStringLiteral("Шаблон отчёта reports/id120.velrpt не найден.Ошибка"));
        QTRY_VERIFY(!window->editorChooser());
    }

    void settingsReachTheFileAndComeBack()
    {
        open();
        QTest::qWait(150); // the start-up work has run
        window->resize(900, 650);
        ModalAnswerer answerer;
        answerer.setCheckBoxChecked(true);
        answerer.answer(QMessageBox::No);
        window->openEditorWindow();
        window.reset();
        QSettings stored(Database::userSettingsPath() + QStringLiteral("/settings.ini"), QSettings::IniFormat);
        QVERIFY(!stored.value("VelSpo/geometry").toByteArray().isEmpty() && !stored.value("VelSpo/windowState").toByteArray().isEmpty());
        QCOMPARE(stored.value("VelSpo/last_started_version").toString(), ProductTypeInfo::version());
        QCOMPARE(stored.value("VelSpo/askBeforeEditor").toString() + stored.value("VelSpo/askBeforeExport").toString(),
                 QStringLiteral("falsetrue"));

        QVERIFY(openEmpty());
        open();
        QTRY_COMPARE(window->size(), QSize(900, 650));
        QVERIFY(!window->isAskBeforeEditor());
    }

    void linksAndFiles()
    {
        UrlCatcher catcher;
        open();
        action("actionForumUrl")->trigger();
        QCOMPARE(catcher.urls.value(0).scheme() + catcher.urls.value(0).path(), QStringLiteral("https/"));
        for (const char* url : {"javascript:alert(1)", "file:///etc/passwd", "file://server/share/run.exe",
                                "ftp://example.org/file", "relative/path"})
            QVERIFY2(!VelMainWindow::openWebLink(QUrl(url)), url);
        QVERIFY(VelMainWindow::openWebLink(QUrl("http://example.org/download?id=1")));
        const QString path = QStringLiteral("/tmp/отчёт #1 100%.xlsx"); // characters that mean something in a URL
        QVERIFY(VelMainWindow::openLocalFile(path));
        QCOMPARE(catcher.urls.size(), 3);
        QCOMPARE(catcher.urls.at(2).toLocalFile(), path);
    }

    void exitEndsTheEventLoop()
    {
        open();
        QTimer::singleShot(0, action("actionExit"), &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // safety net
        QCOMPARE(QCoreApplication::exec(), 0);
    }

private:
    // The window closes the database when it goes: documents are added first.
    void open() { window.reset(new MainWindow); }
    QAction* action(const char* name) const { return child<QAction>(window.get(), name); }

    std::unique_ptr<MainWindow> window;
};

VELSPO_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
