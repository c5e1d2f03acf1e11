#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/QrField.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"
#include "report/designer/ReportWindow.h"
#include "report/designer/StructureDockWidget.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/PageMaker.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QGraphicsPixmapItem>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardItemModel>
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

void mouse(QWidget* viewport, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
           Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
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
        PageMaker::field<TextField>(page, QRectF(40, 40, 60, 20), QStringLiteral("a"));
        PageMaker::table(page, 20, 100, QStringLiteral("m"), {QStringLiteral("a"), QStringLiteral("b")},
                         {30, 30}, 10, 10);
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
        if (!QTest::qWaitForWindowExposed(w))
            return nullptr;
        // The page's installation is not an edit.
        if (!QTest::qWaitFor([w] { return !w->isEdited(); }))
            return nullptr;
        return w;
    }

    QPoint at(ReportWindow* w, double xMm, double yMm) const
    {
        return w->projectView()->graphicsView()->mapFromScene(
            QPointF(xMm, yMm) * w->reportPage()->dotsPerMm());
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<AbstractField*>();
        QVERIFY(m_dir.isValid());
    }

    void cleanup()
    {
        QList<QPointer<QWidget>> windows;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<ReportWindow*>(widget) || qobject_cast<QDialog*>(widget))
                windows.append(widget);
        }
        for (const QPointer<QWidget>& widget : qAsConst(windows))
            delete widget.data();
        flushDeletes();
        QVERIFY(!ReportWindow::instance());
    }

    void newFieldsAreCentredAndShifted()
    {
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), Untitled);
        ReportPage* page = w->reportPage();
        const QPointF centre = w->projectView()->graphicsView()->visibleCenter() / page->dotsPerMm();
        for (int i = 0; i < 3; ++i)
            action(w, "actionAddTextField")->trigger();
        action(w, "action_QR")->trigger();
        // A table comes from the table dialog's OK.
        action(w, "actionAddTableField")->trigger();
        EditTableFieldDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            dialog = dialog ? dialog : qobject_cast<EditTableFieldDialog*>(widget);
        QVERIFY(dialog);
        FormWidgets::button(dialog, "pushButtonOk")->click();
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

    void keysMoveAndZoom_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QPointF>("shift");
        QTest::newRow("W") << int(Qt::Key_W) << QPointF(0, -1);
        QTest::newRow("A") << int(Qt::Key_A) << QPointF(-1, 0);
        QTest::newRow("S") << int(Qt::Key_S) << QPointF(0, 1);
        QTest::newRow("D") << int(Qt::Key_D) << QPointF(1, 0);
    }
    void keysMoveAndZoom()
    {
        QFETCH(int, key);
        QFETCH(QPointF, shift);
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("keys.velrpt")));
        QVERIFY(w);
        // Without a selected field the key still marks the template changed.
        QTest::keyClick(w, Qt::Key(key));
        QVERIFY(w->isEdited());
        QCOMPARE(w->windowTitle(), QStringLiteral("Редактор отчёта - %1*").arg(w->fileName()));

        AbstractField* field = w->reportPage()->fields().first();
        w->projectView()->scene()->fieldItems().first()->setSelected(true);
        QTest::keyClick(w, Qt::Key(key));
        QCOMPARE(QPointF(field->x(), field->y()), QPointF(40, 40) + shift);

        const MyGraphicsView* view = w->projectView()->graphicsView();
        QTest::keyClick(w, Qt::Key_Plus);
        QCOMPARE(view->transform().m11(), 1.125);
        QTest::keyClick(w, Qt::Key_Minus);
        QCOMPARE(view->transform().m11(), 1.0);
    }

    void deleteFreesFieldAndItem()
    {
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("delete.velrpt")));
        QVERIFY(w);
        MyGraphicsScene* scene = w->projectView()->scene();
        action(w, "actionDeleteField")->trigger();
        QVERIFY(!w->isEdited()); // nothing selected
        QPointer<AbstractField> field = w->reportPage()->fields().first();
        scene->fieldItems().first()->setSelected(true);
        QCOMPARE(w->structureDock()->structureType(), StructureDockWidget::FieldStructure);
        action(w, "actionDeleteField")->trigger();
        QVERIFY(!field);
        QCOMPARE(w->reportPage()->fields().size(), 1);
        QCOMPARE(scene->fieldItems().size(), 1);
        QVERIFY(!scene->selectedItem());
        QCOMPARE(w->structureDock()->structureType(), StructureDockWidget::PageStructure);
        QVERIFY(w->isEdited());
    }

    // Every kind of edit marks the template unsaved.
    void editsMarkUnsaved_data()
    {
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"move", "resize", "text token", "column token", "dock", "background"})
            QTest::newRow(edit) << QString::fromLatin1(edit);
    }
    void editsMarkUnsaved()
    {
        QFETCH(QString, edit);
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("edits.velrpt")));
        QVERIFY(w);
        QWidget* viewport = w->projectView()->graphicsView()->viewport();
        auto* text = qobject_cast<TextField*>(w->reportPage()->fields().at(0));
        auto* table = qobject_cast<TableField*>(w->reportPage()->fields().at(1));
        FileChoiceAnswerer files;

        if (edit == "move" || edit == "resize") {
            // A click selects; the drag then moves or widens.
            const QPoint inside = at(w, 70, 50);
            mouse(viewport, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
            mouse(viewport, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
            QVERIFY(!w->isEdited());
            const QPoint from = edit == "move" ? inside : at(w, 100, 50);
            const QPoint to = from + at(w, 10, 0) - at(w, 0, 0);
            mouse(viewport, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
            mouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
            mouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            mouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            const double tolerance = 1.0 / w->reportPage()->dotsPerMm();
            QVERIFY(qAbs((edit == "move" ? text->x() - 50 : text->width() - 70)) <= tolerance);
        } else if (edit.endsWith("token")) {
            const bool onText = edit == "text token";
            const QString token = onText ? QStringLiteral("$V{fio}") : QStringLiteral("$D{m.b}");
            QStandardItemModel model(1, 1);
            model.setItem(0, 0, new QStandardItem(token));
            std::unique_ptr<QMimeData> mime(model.mimeData({model.index(0, 0)}));
            const QPoint pos = onText ? at(w, 70, 50) : at(w, 65, 105);
            QDragEnterEvent enter(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            QDragMoveEvent move(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            QDropEvent drop(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &drop);
            QCOMPARE(onText ? text->text() : table->columnIdAt(1), token);
        } else if (edit == "dock") {
            w->projectView()->scene()->fieldItems().first()->setSelected(true);
            QVERIFY(!w->isEdited());
            w->structureDock()->fieldTable()->item(StructureDockWidget::XRow, 1)->setText("12.5");
            QCOMPARE(text->x(), 12.5);
        } else {
            QImage image(400, 560, QImage::Format_RGB32);
            image.fill(Qt::red);
            QVERIFY(image.save(path("back.png")));
            files.answer(path("nothing.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QVERIFY(!w->isEdited()); // unreadable image: nothing happens
            files.answer(path("back.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QCOMPARE(files.requests.last().filter, QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
            const QGraphicsPixmapItem* background = w->projectView()->scene()->background();
            QVERIFY(!background->pixmap().isNull());
            QCOMPARE(background->opacity(), 0.5);
        }
        QVERIFY(w->isEdited());
    }

    void saveFailureKeepsUnsaved()
    {
        const QString good = writeTemplate(QStringLiteral("good.velrpt"));
        ReportWindow* w = makeWindow(good);
        QVERIFY(w);
        QPointer<ReportWindow> guard(w);
        QTest::keyClick(w, Qt::Key_D);
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        // Save as onto a folder fails: reported, the old name and the mark stay.
        files.answer(m_dir.path());
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(answerer.texts().size(), 1);
        QVERIFY(answerer.texts().first().contains(m_dir.path()));
        QCOMPARE(w->fileName(), good);
        QVERIFY(w->isEdited());

        // Closing asks; Save fails again on a path that became a folder; it stays open.
        QVERIFY(QFile::remove(good) && QDir().mkpath(good));
        answerer.answer(QMessageBox::Save);
        answerer.answer(QMessageBox::Ok);
        w->close();
        QVERIFY(guard && w->isVisible());
        QCOMPARE(answerer.texts().at(1), QStringLiteral("Шаблон был изменен."));
        QVERIFY(w->isEdited());
        QVERIFY(QDir(good).removeRecursively());
    }

    void closeQuestion_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("written");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << QString() << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << QString() << true << false;
        QTest::newRow("save, no name") << int(QMessageBox::Save) << QString() << false << false;
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
        QCOMPARE(answerer.texts(), QStringList{"Шаблон был изменен."});
        QCOMPARE(!guard, closed);
        QCOMPARE(QFile::exists(path("saved.velrpt")), written);
        if (written) {
            ReportPage saved;
            QVERIFY(saved.load(path("saved.velrpt")));
            QCOMPARE(saved.fields().size(), 1);
        }
    }

    void openAndNewReplaceThePage()
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

        // A path that exists but is no template file: a box, an empty page, the name kept.
        oldPage = w->reportPage();
        QVERIFY(w->openFile(m_dir.path()));
        QCOMPARE(answerer.texts(), QStringList{"Неверный формат файла!"});
        QCOMPARE(w->fileName(), m_dir.path());
        QVERIFY(w->reportPage()->fields().isEmpty());
        QVERIFY(!w->openFile(path("missing.velrpt")));
        QCOMPARE(w->fileName(), m_dir.path());

        // New after an edit asks first; Discard gives a fresh unnamed page.
        QTest::keyClick(w, Qt::Key_W);
        answerer.answer(QMessageBox::Discard);
        action(w, "actionNew")->trigger();
        QCOMPARE(answerer.texts().size(), 2);
        QTRY_VERIFY(!w->isEdited());
        QCOMPARE(w->windowTitle(), Untitled);
        flushDeletes();
        QVERIFY(!oldPage);
        // The settings land in the designer's own file in the private home.
        QVERIFY(ReportWindow::settingsFilePath().startsWith(QDir::homePath()));
        QSettings settings(ReportWindow::settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(settings.value("ReportWindow/currentPath").toString(), m_dir.path());
        QVERIFY(!settings.value("ReportWindow/geometry").toByteArray().isEmpty());
    }

    void windowFreesItsPage()
    {
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("free.velrpt")));
        QVERIFY(w);
        QPointer<ReportPage> page = w->reportPage();
        QPointer<AbstractField> field = page->fields().first();
        QCOMPARE(ReportWindow::instance(), w);
        delete w;
        QVERIFY(!page && !field);
        QVERIFY(!ReportWindow::instance());
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
            QTimer fallback;
            fallback.setSingleShot(true);
            QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(7); });
            QTimer::singleShot(0, w, [w, &fallback] {
                w->findChild<QAction*>("actionExit")->trigger();
                fallback.start(0); // reached when Exit did not end the loop
            });
            const int code = QCoreApplication::exec();
            fallback.stop();
            return code;
        };
        answerer.answer(QMessageBox::Cancel);
        QCOMPARE(exitCode(), 7);
        QCOMPARE(answerer.texts(), QStringList{"Шаблон был изменен."});
        answerer.answer(QMessageBox::Discard);
        QCOMPARE(exitCode(), 0);
    }

    void testPrintKeepsModes()
    {
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("print.velrpt")));
        QVERIFY(w);
        w->reportPage()->setPrintBackgroundImage(true);
        PrintRun run;
        run.answerer.setDefaultAnswer(QMessageBox::Yes);
        action(w, "actionPrint")->trigger();
        QCOMPARE(run.driver.previewCount(), 1);
        QVERIFY(w->reportPage()->printBackgroundImage());
        QVERIFY(!w->reportPage()->dataMode());
    }

    void secondBackgroundFollowsSheets()
    {
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        QAction* second = action(w, "actionLoadBackgroundImage2");
        QVERIFY(!second->isVisible());
        auto* sheets = qobject_cast<QComboBox*>(
            w->structureDock()->pageTable()->cellWidget(StructureDockWidget::PagesCountRow, 1));
        sheets->setCurrentIndex(1);
        QVERIFY(second->isVisible());
        QCOMPARE(w->projectView()->scene()->sheets().size(), 2);
        sheets->setCurrentIndex(0);
        QVERIFY(!second->isVisible());
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
        QStringList tokens;
        const QTableWidget* table = w->dataManagerDock()->tableWidget();
        for (int row = 0; row < table->rowCount(); ++row)
            tokens << table->item(row, 0)->text();
        QVERIFY(tokens.contains("$V{last_name}"));
        QTRY_VERIFY(!w->isEdited());
    }
};

VELSPO_TEST_MAIN(TestReportWindow)
#include "tst_reportwindow.moc"
