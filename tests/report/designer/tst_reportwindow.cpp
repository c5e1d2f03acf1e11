#include "DesignerDriver.h"

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/ReportWindow.h"
#include "report/designer/StructureDockWidget.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QGraphicsPixmapItem>
#include <QSettings>
#include <QTableWidget>

namespace {

const QString Untitled = QStringLiteral("Редактор отчёта - Несохранённый документ");

// Twice: a page is released once the view that drew it is destroyed.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QAction* action(ReportWindow* w, const char* name)
{
    return FormWidgets::child<QAction>(w, name);
}

} // namespace

// The designer window: title and unsaved mark, placing and deleting fields,
// keys, the file commands with their questions, failed saves, the page a
// window frees, backgrounds, settings, test print and the editor road.
class TestReportWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A template with a text field at (40, 40) 60 x 20 and a table at (20, 100).
    QString writeTemplate(const QString& name)
    {
        ReportPage page;
        makeField(page, 1, QRectF(40, 40, 60, 20));
        makeField(page, 2, QRectF(20, 100, 0, 0));
        const QString file = path(name);
        return page.save(file) ? file : QString();
    }

    ReportWindow* makeWindow(const QString& file = QString())
    {
        auto* w = new ReportWindow(nullptr);
        if (!file.isEmpty())
            w->openFile(file);
        w->resize(1000, 800);
        w->show();
        // The page's installation is not an edit.
        return QTest::qWaitForWindowExposed(w) && QTest::qWaitFor([w] { return !w->isEdited(); }) ? w : nullptr;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<AbstractField*>();
        QVERIFY(m_dir.isValid());
    }

    void cleanup()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<ReportWindow*>(widget) || qobject_cast<QDialog*>(widget))
                widget->deleteLater();
        }
        flushDeletes();
        QVERIFY(!ReportWindow::instance());
    }

    void newFieldsAreCentredAndShifted()
    {
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        ReportPage* page = w->reportPage();
        const QPointF centre = w->projectView()->graphicsView()->visibleCenter() / page->dotsPerMm();
        for (int i = 0; i < 3; ++i)
            action(w, "actionAddTextField")->trigger();
        action(w, "action_QR")->trigger();
        // A table comes from the table dialog's OK.
        action(w, "actionAddTableField")->trigger();
        QVERIFY(topLevel<EditTableFieldDialog>());
        FormWidgets::button(topLevel<EditTableFieldDialog>(), "pushButtonOk")->click();
        auto* table = qobject_cast<TableField*>(page->fields().last());
        QVERIFY(table);

        QCOMPARE(page->fields().size(), 5);
        const QList<QSizeF> sizes{{60, 10}, {60, 10}, {60, 10}, {20, 20}, {160, 50}};
        for (int n = 0; n < 5; ++n) {
            const AbstractField* f = page->fields().at(n);
            QCOMPARE(f->page(), page);
            QCOMPARE(f->x(), centre.x() + 2 * n - sizes[n].width() / 2);
            QCOMPARE(f->y(), centre.y() + 2 * n - sizes[n].height() / 2);
        }
        // The table then takes the size of its own layout, and is selected.
        QCOMPARE(table->width(), 120.0); // three columns of 40 mm
        QCOMPARE(w->projectView()->scene()->selectedItem()->field(), table);
        QCOMPARE(int(table->alignFlags()), 0x21);
        // An unsaved document shows no mark.
        QVERIFY(w->isEdited());
        QCOMPARE(w->windowTitle(), Untitled);
    }

    // Every kind of edit marks the template unsaved, in the title as well;
    // a click that only selects, a press on an edge without a move, zooming
    // or deleting with nothing selected does not.
    void editsMarkUnsaved_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("edited");
        for (const char* edit : {"select", "edge press", "zoom keys", "delete nothing", "test print"})
            QTest::newRow(edit) << QString::fromLatin1(edit) << false;
        for (const char* edit : {"key, nothing selected", "keys", "delete", "move", "resize", "column", "text token",
                                 "column token", "dock", "sheets", "background", "table dialog"})
            QTest::newRow(edit) << QString::fromLatin1(edit) << true;
    }
    void editsMarkUnsaved()
    {
        QFETCH(QString, edit);
        QFETCH(bool, edited);
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("edits.velrpt")));
        QVERIFY(w);
        DesignerDriver d(w->projectView(), w->reportPage());
        auto* text = qobject_cast<TextField*>(w->reportPage()->fields().at(0));
        auto* table = qobject_cast<TableField*>(w->reportPage()->fields().at(1));
        FileChoiceAnswerer files;

        if (edit == "key, nothing selected") {
            QTest::keyClick(w, Qt::Key_D);
        } else if (edit == "keys") {
            // W once, A twice, S four and D eight times: only the right directions land here.
            d.item(0)->setSelected(true);
            QTest::keyClicks(w, "waassssdddddddd");
            QCOMPARE(QPointF(text->x(), text->y()), QPointF(46, 43));
        } else if (edit == "zoom keys") {
            QTest::keyClick(w, Qt::Key_Plus);
            QCOMPARE(d.graphics()->transform().m11(), 1.125);
            QTest::keyClick(w, Qt::Key_Minus);
            QCOMPARE(d.graphics()->transform().m11(), 1.0);
        } else if (edit.startsWith("delete")) {
            QPointer<AbstractField> field = text;
            d.item(0)->setSelected(edited);
            QCOMPARE(w->structureDock()->structureType(),
                     edited ? StructureDockWidget::FieldStructure : StructureDockWidget::PageStructure);
            action(w, "actionDeleteField")->trigger();
            QCOMPARE(!field, edited);
            QCOMPARE(d.scene()->fieldItems().size(), w->reportPage()->fields().size());
            QVERIFY(!d.scene()->selectedItem());
            d.scene()->updateAllItems(); // no item of the freed field is left to draw
            d.scene()->onFieldsUpdated();
            QCOMPARE(w->structureDock()->structureType(), StructureDockWidget::PageStructure);
        } else if (edit == "test print") {
            w->reportPage()->setPrintBackgroundImage(true);
            PrintRun run;
            run.answerer.setDefaultAnswer(QMessageBox::Yes);
            action(w, "actionPrint")->trigger();
            QCOMPARE(run.driver.previewCount(), 1);
            QVERIFY(w->reportPage()->printBackgroundImage() && !w->reportPage()->dataMode());
        } else if (edit == "sheets") {
            // The second background can be chosen while there are two sheets.
            QAction* second = action(w, "actionLoadBackgroundImage2");
            QVERIFY(!second->isVisible());
            auto* sheets = qobject_cast<QComboBox*>(
                w->structureDock()->pageTable()->cellWidget(StructureDockWidget::PagesCountRow, 1));
            sheets->setCurrentIndex(1);
            QVERIFY(second->isVisible());
            QCOMPARE(d.scene()->sheets().size(), 2);
            sheets->setCurrentIndex(0);
            QVERIFY(!second->isVisible());
        } else if (edit == "select" || edit == "edge press") {
            d.click(d.at(edit == "select" ? 70 : 100, 50));
        } else if (edit == "move" || edit == "resize" || edit == "column") {
            const bool onText = edit != "column";
            d.item(onText ? 0 : 1)->setSelected(true);
            const double from = edit == "move" ? 70 : edit == "resize" ? 100 : 50;
            d.drag(d.at(from, onText ? 50 : 105), d.at(from - 5, onText ? 50 : 105));
        } else if (edit.endsWith("token")) {
            const bool onText = edit == "text token";
            const QString token = onText ? QStringLiteral("$V{fio}") : QStringLiteral("$D{m.b}");
            d.dropToken(token, onText ? d.at(70, 50) : d.at(65, 105));
            QCOMPARE(onText ? text->text() : table->columnIdAt(1), token);
        } else if (edit == "dock") {
            // The item follows what the dock writes.
            d.item(0)->setSelected(true);
            w->structureDock()->fieldTable()->item(StructureDockWidget::XRow, 1)->setText("12.5");
            QCOMPARE(d.item(0)->rect().left(), 12.5 * d.dpm);
        } else if (edit == "background") {
            QImage image(400, 560, QImage::Format_RGB32);
            image.fill(Qt::red);
            QVERIFY(image.save(path("back.png")));
            files.answer(path("nothing.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QVERIFY(!w->isEdited()); // unreadable image: nothing happens
            files.answer(path("back.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QCOMPARE(files.requests.last().filter, QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
            QVERIFY(!d.scene()->background()->pixmap().isNull());
        } else {
            // A double click opens the table dialog on a table only.
            d.doubleClick(d.at(70, 50));
            QVERIFY(!topLevel<EditTableFieldDialog>());
            d.doubleClick(d.at(35, 105));
            EditTableFieldDialog* dialog = topLevel<EditTableFieldDialog>();
            QVERIFY(dialog);
            QCOMPARE(dialog->tableField(), table);
            dialog->on_pushButtonOk_clicked();
        }
        QCOMPARE(w->isEdited(), edited);
        QCOMPARE(w->windowTitle(), QStringLiteral("Редактор отчёта - %1%2").arg(w->fileName(), edited ? "*" : ""));
    }

    // "." names the folder itself, where the save fails: the window stays.
    void closeQuestion_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("written");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << QString() << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << QString() << true << false;
        QTest::newRow("save, no name") << int(QMessageBox::Save) << QString() << false << false;
        QTest::newRow("save fails") << int(QMessageBox::Save) << QStringLiteral(".") << false << false;
        QTest::newRow("save") << int(QMessageBox::Save) << QStringLiteral("saved.velrpt") << true << true;
    }
    void closeQuestion()
    {
        QFETCH(int, button);
        QFETCH(QString, chosen);
        QFETCH(bool, closed);
        QFETCH(bool, written);
        QFile::remove(path("saved.velrpt"));
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        QPointer<ReportWindow> guard(w);
        action(w, "actionAddTextField")->trigger();
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(chosen.isEmpty() ? QString() : path(chosen));
        answerer.answer(QMessageBox::StandardButton(button));
        w->close();
        flushDeletes();
        QCOMPARE(answerer.texts().first(), QStringLiteral("Шаблон был изменен."));
        QCOMPARE(answerer.texts().size(), chosen == "." ? 2 : 1);
        QCOMPARE(!guard, closed);
        QVERIFY(closed || (w->isVisible() && w->isEdited()));
        ReportPage saved;
        QCOMPARE(saved.load(path("saved.velrpt")) && saved.fields().size() == 1, written);
    }

    void fileCommands()
    {
        const QString first = writeTemplate(QStringLiteral("first.velrpt"));
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        QPointer<ReportPage> oldPage = w->reportPage();
        files.answer(first);
        action(w, "actionOpen")->trigger();
        QCOMPARE(files.requests.first().filter, QStringLiteral("Report files (*.velrpt)"));
        // The old view may still draw the old page until it is gone.
        QVERIFY(oldPage);
        flushDeletes();
        QVERIFY(!oldPage);
        QCOMPARE(w->windowTitle(), QStringLiteral("Редактор отчёта - %1").arg(first));
        QCOMPARE(w->projectView()->scene()->fieldItems().size(), 2);
        QTRY_VERIFY(!w->isEdited());

        // Save as onto a folder fails: reported, the old name and the mark stay.
        QTest::keyClick(w, Qt::Key_D);
        files.answer(m_dir.path());
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(answerer.texts().size(), 1);
        QVERIFY(answerer.texts().first().contains(m_dir.path()));
        QCOMPARE(w->fileName(), first);
        QVERIFY(w->isEdited());

        // A path that exists but is no template file: a box, an empty page, the name kept.
        oldPage = w->reportPage();
        QVERIFY(w->openFile(m_dir.path()));
        QCOMPARE(answerer.texts().last(), QStringLiteral("Неверный формат файла!"));
        QCOMPARE(w->fileName(), m_dir.path());
        QVERIFY(w->reportPage()->fields().isEmpty());
        QVERIFY(!w->openFile(path("missing.velrpt")));
        QCOMPARE(w->fileName(), m_dir.path());

        // New after an edit asks first; Discard gives a fresh unnamed page.
        QTest::keyClick(w, Qt::Key_W);
        answerer.answer(QMessageBox::Discard);
        action(w, "actionNew")->trigger();
        QCOMPARE(answerer.texts().size(), 3);
        QTRY_VERIFY(!w->isEdited());
        QCOMPARE(w->windowTitle(), Untitled);
        flushDeletes();
        QVERIFY(!oldPage);
        // The settings land in the designer's own file in the private home.
        QVERIFY(ReportWindow::settingsFilePath().startsWith(QDir::homePath()));
        QSettings settings(ReportWindow::settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("ReportWindow/currentPath").toString(), m_dir.path());
        QVERIFY(!settings.value("ReportWindow/geometry").toByteArray().isEmpty());
        // The window frees its last page when it goes.
        oldPage = w->reportPage();
        delete w;
        QVERIFY(!oldPage);
    }

    void exitAsksFirst()
    {
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        ModalAnswerer answerer;
        QTest::keyClick(w, Qt::Key_A);
        // The application's own loop: Exit ends it (and a fresh exec clears
        // the quit state that QCoreApplication::exit leaves behind).
        auto exitCode = [w] {
            QTimer::singleShot(0, w, [w] {
                action(w, "actionExit")->trigger();
                // Reached when Exit did not end the loop; gone with the window otherwise.
                QTimer::singleShot(0, w, [] { QCoreApplication::exit(7); });
            });
            return QCoreApplication::exec();
        };
        answerer.answer(QMessageBox::Cancel);
        QCOMPARE(exitCode(), 7);
        QCOMPARE(answerer.texts(), QStringList{"Шаблон был изменен."});
        answerer.answer(QMessageBox::Discard);
        QCOMPARE(exitCode(), 0);
    }

    void editorRoadThroughEngine()
    {
        QVERIFY(DocumentFixtures::openEmpty());
        DocumentFixtures::insertDocument(DocumentFixtures::fullDocument());
        ReportList::registerReports();
        ReportEditor::setFactory([] { return new ReportWindow(nullptr); });
        const QString file = Database::dataPath() + QStringLiteral("/reports/id120.velrpt");
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QVERIFY(QFile::copy(writeTemplate(QStringLiteral("road.velrpt")), file));

        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onGuiEdit(ReportList::SpoDiploma);
        QCOMPARE(errors.count(), 0);
        ReportWindow* w = ReportWindow::instance();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->fileName(), file);
        QCOMPARE(w->reportPage()->fields().size(), 2);
        // The variable manager shows the sample data the engine filled in.
        QVERIFY(!w->dataManagerDock()->tableWidget()->findItems("$V{last_name}", Qt::MatchExactly).isEmpty());
        QTRY_VERIFY(!w->isEdited());
    }
};

VELSPO_TEST_MAIN(TestReportWindow)
#include "tst_reportwindow.moc"
