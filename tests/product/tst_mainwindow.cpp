#include "RegisterFixture.h"

#include "dialogs/DocumentEditDialog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "product/DocumentsTable.h"
#include "product/MainWindow.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>

using namespace RegisterFixture;

// Records the links the program hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

namespace {

QStringList entries(const QList<QAction*>& actions)
{
    QStringList list;
    for (QAction* action : actions)
        list.append(action->isSeparator() ? QStringLiteral("—") : action->text());
    return list;
}

// Answers the next file dialog, once, with path (or cancels it when path is
// empty); the name the dialog proposed lands in *proposed.
void answerFileDialog(ModalAnswerer& answerer, const QString& path, QString* proposed = nullptr)
{
    auto used = std::make_shared<bool>(false);
    answerer.onDialog([path, proposed, used](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        if (!dialog || *used)
            return false;
        *used = true;
        if (proposed)
            *proposed = dialog->selectedFiles().value(0);
        if (path.isEmpty()) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        } else {
            dialog->selectFile(path);
            // From the event loop: accepting may ask about overwriting.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
        return true;
    });
}

QString settingsFile()
{
    return Database::userSettingsPath() + QStringLiteral("/settings.ini");
}

} // namespace

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
    }

    void cleanup()
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void menusToolBarAndShortcuts()
    {
        makeWindow();
        QCOMPARE(window->windowTitle(), ProductTypeInfo::titleWithVersion());
        QVERIFY(window->isVisible());
        QCOMPARE(window->minimumSize(), QSize(800, 600));
        QCOMPARE(window->iconSize(), QSize(56, 48));
        QVERIFY(window->documentMode());

        QStringList titles;
        for (QAction* menu : window->menuBar()->actions())
            titles.append(menu->text());
        QCOMPARE(titles, (QStringList{"Файл", "Вид", "Инструменты", "Справка", "Поддержка"}));
        QCOMPARE(entries(menu("menuPreferences")->actions()), (QStringList{"—", "Настройки", "Выход"}));
        QCOMPARE(entries(menu("menu_4")->actions()), QStringList{"Фильтры"});
        QCOMPARE(entries(menu("menu_2")->actions()),
                 (QStringList{"Создать резервную копию", "Восстановить из резервной копии", "—", "Экспорт", "—",
                              "Редактор форм", "—", "Настройки программы"}));
        QCOMPARE(entries(menu("menu_3")->actions()), (QStringList{"О программе", "Проверить обновления", "—", "Совет дня"}));
        QCOMPARE(entries(menu("menu")->actions()), QStringList{"Форум поддержки"});
        QCOMPARE(entries(window->findChild<QToolBar*>("toolBar")->actions()),
                 (QStringList{"Создать документ", "Редактировать документ", "Создать копию документа", "Печать",
                              "Удалить"}));
        QCOMPARE(action("actionCreateDoc")->toolTip(), QStringLiteral("Создать документ"));
        for (QAction* action : window->findChild<QToolBar*>("toolBar")->actions())
            QVERIFY2(!action->icon().pixmap(48, 48).isNull(), qPrintable(action->text()));

        QCOMPARE(action("actionExport")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(action("actionEditor")->shortcut(), QKeySequence(Qt::Key_F7));
        QCOMPARE(action("actionAbout")->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(action("actionFilter")->isCheckable() && action("actionFilter")->isChecked());
        QVERIFY(action("actionExport")->isCheckable());

        // Declared, in no menu or tool bar.
        QCOMPARE(action("actionImport")->text(), QStringLiteral("Импорт"));
        QCOMPARE(action("actionStudents")->text(), QStringLiteral("Студенты"));
        for (QWidget* widget : action("actionImport")->associatedWidgets())
            QVERIFY(!qobject_cast<QMenu*>(widget) && !qobject_cast<QToolBar*>(widget));
    }

    void rowActionsFollowTheSelection()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        const int b = insertDocument(QStringLiteral("Петров"));
        makeWindow();
        DocumentsTable* table = window->documentsRegister();
        const auto shown = [this] {
            return QList<bool>{action("actionCreateDoc")->isVisible(), action("actionEdit")->isVisible(),
                               action("actionCopy")->isVisible(), action("actionPrint")->isVisible(),
                               action("actionRemove")->isVisible()};
        };
        QCOMPARE(shown(), (QList<bool>{true, false, false, false, false}));

        const auto select = [table](int id, bool add) {
            const QSqlTableModel* model = table->tableModel();
            for (int row = 0; row < model->rowCount(); ++row) {
                if (model->data(model->index(row, 0)).toInt() == id)
                    table->selectionModel()->select(model->index(row, 0),
                                                    (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect)
                                                        | QItemSelectionModel::Rows);
            }
        };
        select(a, false);
        QCOMPARE(shown(), (QList<bool>{true, true, true, true, true}));
        select(b, true);
        QCOMPARE(shown(), (QList<bool>{true, false, false, false, true}));

        // A reload empties the selection; the actions go with it.
        select(a, false);
        table->updateData();
        QCOMPARE(shown(), (QList<bool>{true, false, false, false, false}));

        // A filter hides the selected row: nothing visible is selected.
        select(a, false);
        table->onFiltersChanged({{QStringLiteral("fio"), QStringLiteral("петров иван")}});
        QCOMPARE(shown(), (QList<bool>{true, false, false, false, false}));
        table->selectAll();
        QCOMPARE(shown(), (QList<bool>{true, true, true, true, true}));
    }

    void documentRequestsOpenForms()
    {
        const int a = insertDocument(QStringLiteral("Иванов"));
        makeWindow();
        const auto forms = [] {
            int count = 0;
            for (QWidget* widget : QApplication::topLevelWidgets())
                count += (qobject_cast<DocumentEditDialog*>(widget) && widget->isVisible()) ? 1 : 0;
            return count;
        };
        DocumentsTable* table = window->documentsRegister();
        table->onRowActivated(table->tableModel()->index(0, 1));
        QCOMPARE(forms(), 1);
        emit table->documentClicked(a);
        QCOMPARE(forms(), 2);
        // "Добавить новый" goes to the templates dialog instead of a form.
        table->newRecordAction->trigger();
        QCOMPARE(forms(), 2);
    }

    void backupAndRestore()
    {
        QTemporaryDir folder;
        const int kept = insertDocument(QStringLiteral("Иванов"));
        makeWindow();
        ModalAnswerer answerer;

        // The proposal: Documents folder, one backslash, the dated name.
        const QString expected = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "\\VelSpo"
            + QDate::currentDate().toString("-backup-yyyy-MM-dd") + ".db";
        QCOMPARE(window->proposedBackupName(), expected);

        const QString backup = folder.filePath("copy.db");
        QString proposed;
        answerFileDialog(answerer, backup, &proposed);
        action("actionSaveDb")->trigger();
        QVERIFY2(proposed.endsWith(QDate::currentDate().toString("-backup-yyyy-MM-dd") + ".db"), qPrintable(proposed));
        QVERIFY(proposed.contains(QStringLiteral("\\VelSpo-backup-")));
        QCOMPARE(answerer.texts(), QStringList{"Резервная копия успешно создана."});
        QCOMPARE(answerer.titles(), QStringList{"Информация"});
        QVERIFY(QFileInfo(backup).size() > 0);

        // Changes after the backup are undone by the restore.
        QVERIFY(DocumentsTable::deleteDocumentRecords({kept}));
        insertDocument(QStringLiteral("Новый"));
        answerer.clear();
        answerFileDialog(answerer, backup);
        action("actionLoadDb")->trigger();
        QCOMPARE(answerer.texts(), QStringList{"Резервная копия успешно загружена."});
        QCOMPARE(answerer.titles(), QStringList{"Информация"});
        QSqlTableModel* model = window->documentsRegister()->tableModel();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("Иванов Иван Петрович"));
        QCOMPARE(countAll("SpoDocuments"), 1);

        // A cancelled dialog says nothing.
        answerer.clear();
        answerFileDialog(answerer, QString());
        QVERIFY(!window->saveDatabaseBackup());
        answerFileDialog(answerer, QString());
        QVERIFY(!window->loadDatabaseBackup());
        QCOMPARE(answerer.handledCount(), 0);
    }

    void failedRestoreKeepsCurrentData()
    {
        QTemporaryDir folder;
        insertDocument(QStringLiteral("Иванов"));
        makeWindow();
        ModalAnswerer answerer;

        const QString junk = folder.filePath("junk.db");
        {
            QFile file(junk);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("this is no database at all").repeated(100));
        }
        // Added behind the register's back: the restore's reload must show it.
        insertDocument(QStringLiteral("Петров"));
        answerFileDialog(answerer, junk);
        action("actionLoadDb")->trigger();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось загрузить резервную копию."});
        QCOMPARE(answerer.titles(), QStringList{"Ошибка"});
        QCOMPARE(countAll("SpoDocuments"), 2);
        QCOMPARE(window->documentsRegister()->tableModel()->rowCount(), 2);

        // The live file itself is no source.
        answerer.clear();
        answerFileDialog(answerer, Database::databaseFileName());
        QVERIFY(!window->loadDatabaseBackup());
        QCOMPARE(answerer.texts(), QStringList{"Не удалось загрузить резервную копию."});
        QCOMPARE(countAll("SpoDocuments"), 2);
    }

    void backupOntoTheLiveFileIsRefused()
    {
        insertDocument(QStringLiteral("Иванов"));
        makeWindow();
        const QByteArray before = [] {
            QFile file(Database::databaseFileName());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QVERIFY(!before.isEmpty());

        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Yes); // the dialog's "replace the file?"
        answerFileDialog(answerer, Database::databaseFileName());
        QVERIFY(!window->saveDatabaseBackup());
        QCOMPARE(answerer.texts().last(), QStringLiteral("Не удалось сохранить резервную копию."));
        QCOMPARE(answerer.titles().last(), QStringLiteral("Ошибка"));
        QFile file(Database::databaseFileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(countAll("SpoDocuments"), 1);
    }

    void editorWarningSwitch()
    {
        makeWindow();
        QVERIFY(window->isAskBeforeEditor());
        ModalAnswerer answerer;
        answerer.setCheckBoxChecked(true);
        answerer.answer(QMessageBox::No);
        action("actionEditor")->trigger();
        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY(answerer.texts().at(0).contains(QStringLiteral("Вы переходите в раздел \"Редактор шаблонов\".")));
        QVERIFY(!window->editorChooser()); // No ends the road
        QVERIFY(!window->isAskBeforeEditor());

        // No warning now; the chooser opens in edit mode, only once.
        answerer.clear();
        answerer.setCheckBoxChecked(false);
        action("actionEditor")->trigger();
        QCOMPARE(answerer.handledCount(), 0);
        QPointer<PrintDialog> chooser = window->editorChooser();
        QVERIFY(chooser);
        QCOMPARE(chooser->windowTitle(), QStringLiteral("Редактировать шаблон"));
        action("actionEditor")->trigger();
        QCOMPARE(window->editorChooser(), chooser.data());
        QCOMPARE(answerer.handledCount(), 0);

        // No template file for the chosen type.
        chooser->findChild<QListWidget*>("listWidget")->setCurrentRow(0);
        QMetaObject::invokeMethod(chooser->findChild<QPushButton*>("pushButtonPrint"), "click", Qt::QueuedConnection);
        QTRY_COMPARE(answerer.handledCount(), 1);
        QCOMPARE(answerer.texts().at(0), QStringLiteral("Шаблон отчёта reports/id120.velrpt не найден."));
        QCOMPARE(answerer.titles().at(0), QStringLiteral("Ошибка"));
        QTRY_VERIFY(!window->editorChooser());

        // The switch reaches the file when the window goes.
        const QString file = settingsFile();
        window.reset();
        QSettings stored(file, QSettings::IniFormat);
        QCOMPARE(stored.value("VelSpo/askBeforeEditor").toBool(), false);
        QCOMPARE(stored.value("VelSpo/askBeforeExport").toBool(), true);
    }

    void editorWarningYesOpensChooser()
    {
        makeWindow();
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Yes);
        window->openEditorWindow();
        QCOMPARE(answerer.handledCount(), 1);
        QVERIFY(window->editorChooser());
        QVERIFY(window->isAskBeforeEditor());
    }

    void windowSettingsReachTheFile()
    {
        makeWindow();
        QTest::qWait(150); // the start-up work has run
        window->resize(900, 650);
        const QString file = settingsFile();
        window.reset();
        QSettings stored(file, QSettings::IniFormat);
        QVERIFY(!stored.value("VelSpo/geometry").toByteArray().isEmpty());
        QVERIFY(!stored.value("VelSpo/windowState").toByteArray().isEmpty());
        QCOMPARE(stored.value("VelSpo/last_started_version").toString(), ProductTypeInfo::version());

        // A later start restores them.
        QVERIFY(openEmpty());
        makeWindow();
        QTRY_COMPARE(window->size(), QSize(900, 650));
    }

    void linksAndFiles()
    {
        UrlCatcher catcher;
        for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");

        makeWindow();
        action("actionForumUrl")->trigger();
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.at(0).scheme(), QStringLiteral("https"));
        QCOMPARE(catcher.urls.at(0).path(), QStringLiteral("/"));

        QVERIFY(!VelMainWindow::openWebLink(QUrl("javascript:alert(1)")));
        QVERIFY(!VelMainWindow::openWebLink(QUrl("file:///etc/passwd")));
        QVERIFY(!VelMainWindow::openWebLink(QUrl("ftp://example.org/file")));
        QVERIFY(!VelMainWindow::openWebLink(QUrl("relative/path")));
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(VelMainWindow::openWebLink(QUrl("http://example.org/download?id=1")));
        QCOMPARE(catcher.urls.size(), 2);

        // A path with characters that mean something in a URL.
        const QString path = QStringLiteral("/tmp/отчёт #1 100%.xlsx");
        QVERIFY(VelMainWindow::openLocalFile(path));
        QCOMPARE(catcher.urls.size(), 3);
        QVERIFY(catcher.urls.at(2).isLocalFile());
        QCOMPARE(catcher.urls.at(2).toLocalFile(), path);

        for (const char* scheme : {"http", "https", "file", "ftp", "javascript"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    void exitEndsTheEventLoop()
    {
        makeWindow();
        QTimer::singleShot(0, action("actionExit"), &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); }); // safety net
        QCOMPARE(QCoreApplication::exec(), 0);
    }

private:
    QAction* action(const char* name) const
    {
        auto* found = window->findChild<QAction*>(QLatin1String(name));
        if (!found)
            qFatal("no action %s", name);
        return found;
    }

    QMenu* menu(const char* name) const
    {
        auto* found = window->findChild<QMenu*>(QLatin1String(name));
        if (!found)
            qFatal("no menu %s", name);
        return found;
    }

    void makeWindow()
    {
        window.reset(new MainWindow);
    }

    std::unique_ptr<MainWindow> window;
};

VELSPO_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
