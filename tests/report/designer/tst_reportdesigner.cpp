#include "engine/Database.h"
#include "engine/DatabaseFixtures.h"
#include "engine/Engine.h"
#include "engine/ProtectedFiles.h"
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
#include "support/PdfFile.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QGraphicsPixmapItem>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QWheelEvent>

#include <unistd.h>

// A test function that hangs (a guard gone, a box that stays) fails in
// seconds, naming itself, not at the suite's limit. The longest, which saves
// and prints every shipped template, takes about 4 s with the sanitizers.
static const bool watchdog = qputenv("QTEST_FUNCTION_TIMEOUT", "30000");

namespace {

using Row = StructureDockWidget::FieldRow;
const QString Untitled = QStringLiteral("Редактор отчёта - Несохранённый документ");

// 1 text, 2 table (two columns of 30 mm), 3 QR field over the box.
AbstractField* makeField(ReportPage& page, int kind, const QRectF& box)
{
    if (kind == 2)
        return PageMaker::table(page, box.x(), box.y(), "m", {"a", "b"}, {30, 30}, 10, 10);
    if (kind == 3)
        return PageMaker::field<QrField>(page, box, "q");
    return PageMaker::field<TextField>(page, box, "t");
}

template <typename T>
T* topLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget))
            return found;
    }
    return nullptr;
}

// Twice: a page is released once the view that drew it is destroyed.
void flushDeletes()
{
    for (int i = 0; i < 2; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QAction* action(ReportWindow* w, const char* name)
{
    return FormWidgets::child<QAction>(w, name);
}

QString cell(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

// Types text into a cell's editor with key events and confirms it with Return.
void typeCell(QTableWidget* table, int row, int column, const QString& text)
{
    // Keys go where the user types only in the active window: the dialog
    // shown last may not be active yet when the window system is slow.
    table->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(table->window()));
    table->setCurrentCell(row, column);
    table->editItem(table->item(row, column));
    QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(row, column)));
    QVERIFY(editor);
    Typing::typeOver(editor, text, Qt::Key_Return);
    // The delegate commits and closes the editor through queued calls.
    QTRY_VERIFY(!editor);
}

const QLocale Russian(QLocale::Russian, QLocale::Russia);

// The locales the program meets, each with the other one's decimal mark too.
void addLocaleRows()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QChar>("mark"); // typed
    for (const QLocale& locale : {Russian, QLocale::c()}) {
        for (const QChar mark : {QChar(','), QChar('.')})
            QTest::newRow(qPrintable(locale.name() + " typed " + mark)) << locale << mark;
    }
}

// One letter per row: "." when hidden, "!" when its label is cut, else its number in hex.
QString shownRows(const QTableWidget* table)
{
    const QFontMetrics metrics(table->font());
    QString rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const bool cut = metrics.horizontalAdvance(cell(table, row, 0)) >= table->columnWidth(0);
        rows += table->isRowHidden(row) ? QChar('.') : cut ? QChar('!') : QString::number(row, 16).at(0);
    }
    return rows;
}

// A text field that counts how often it is drawn.
class CountingField : public TextField
{
public:
    static int draws;
    void draw(QPainter* painter, double dotsPerMm, double yOffset) override
    {
        ++draws;
        TextField::draw(painter, dotsPerMm, yOffset);
    }
};
int CountingField::draws = 0;

// A page view driven through its viewport (QTest's moves carry no held buttons), in millimetres.
class DesignerDriver
{
public:
    explicit DesignerDriver(ReportPage* page)
        : owned(new ProjectViewWidget(page)), view(owned.get()), dpm(page->dotsPerMm())
    {
        view->resize(900, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }
    DesignerDriver(ProjectViewWidget* shown, const ReportPage* page) : view(shown), dpm(page->dotsPerMm()) {}

    MyGraphicsScene* scene() const { return view->scene(); }
    MyGraphicsView* graphics() const { return view->graphicsView(); }
    QWidget* viewport() const { return graphics()->viewport(); }
    FieldGraphicsItem* item(int i) const { return scene()->fieldItems().at(i); }
    QPoint at(double xMm, double yMm) const { return graphics()->mapFromScene(QPointF(xMm * dpm, yMm * dpm)); }

    void mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, pos, viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &event);
    }
    void drag(const QPoint& from, const QPoint& to)
    {
        mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    void click(const QPoint& pos) { drag(pos, pos); }

    // A token from the variable manager, or plain text from another program; true when accepted.
    bool dropToken(const QString& token, const QPoint& pos, bool withToken = true)
    {
        QStandardItemModel model(1, 2);
        model.setItem(0, 0, new QStandardItem(token));
        std::unique_ptr<QMimeData> mime(withToken ? model.mimeData({model.index(0, 0), model.index(0, 1)})
                                                  : new QMimeData);
        if (!withToken)
            mime->setText(token);
        QDragEnterEvent enter(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &enter);
        QDragMoveEvent move(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &move);
        QDropEvent drop(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &drop);
        return move.isAccepted();
    }

    std::unique_ptr<ProjectViewWidget> owned;
    ProjectViewWidget* view;
    double dpm;
};

} // namespace

// The template designer: page view, docks, table dialog, window and the editor road.
class TestReportDesigner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    static QTableWidget* grid(QWidget* d) { return FormWidgets::child<QTableWidget>(d, "table"); }
    static QTableWidget* splits(QWidget* d) { return FormWidgets::child<QTableWidget>(d, "tableSplit"); }
    static void ok(QWidget* d) { FormWidgets::button(d, "pushButtonOk")->click(); }

    // A template with a text field at (40, 40) 60 x 20 and a table at (20, 100).
    QString writeTemplate(const QString& name)
    {
        ReportPage page;
        makeField(page, 1, QRectF(40, 40, 60, 20));
        makeField(page, 2, QRectF(20, 100, 0, 0));
        return page.save(path(name)) ? path(name) : QString();
    }

    ReportWindow* makeWindow(const QString& file = QString())
    {
        auto* w = new ReportWindow(nullptr);
        if (!file.isEmpty())
            w->openFile(file);
        w->resize(1000, 800);
        w->show();
        return QTest::qWaitForWindowExposed(w) && (file.isEmpty() || waitMarkedClean(w, file)) ? w : nullptr;
    }

    // A page put in place is marked clean by a timer shortly after; only that
    // timer names the file in the title without the unsaved mark (the flag
    // alone is false before it fires as well).
    static bool waitMarkedClean(ReportWindow* w, const QString& file)
    {
        const QString title = QStringLiteral("Редактор отчёта - %1").arg(file);
        return QTest::qWaitFor([w, title] { return w->windowTitle() == title; }) && !w->isEdited();
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<AbstractField*>();
        qRegisterMetaType<TableField*>();
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
        DocumentFixtures::clearUserReports();
        QLocale::setDefault(QLocale::system());
    }

    void sheetsFollowPageCount()
    {
        ReportPage page;
        QPixmap image(400, 600), tiny(20, 20); // the tiny one under 9 mm
        image.fill(Qt::gray);
        tiny.fill(Qt::gray);
        page.setPagesCount(0);
        page.setBackgroundImage(image);
        page.setBackgroundImage2(image);
        MyGraphicsScene scene(&page);
        QCOMPARE(scene.sheets().size(), 1);
        const QRectF sheet = scene.sheets().first()->rect();
        QCOMPARE(scene.background()->pixmap().size(), QSize(int(sheet.width()), int(sheet.height())));
        QCOMPARE(scene.background()->opacity(), 0.5);
        QVERIFY(!scene.background2());

        page.setPagesCount(2);
        scene.onPageUpdated();
        scene.onPageUpdated(); // the second background shows from the next update
        QCOMPARE(scene.sheets().size(), 2);
        QCOMPARE(scene.sheets().at(1)->pos(), QPointF(0, sheet.height()));
        QVERIFY(!scene.background2()->pixmap().isNull());
        page.setPagesCount(1);
        scene.onPageUpdated();
        QCOMPARE(scene.sheets().size(), 1);
        QVERIFY(!scene.background2());

        // An image under 9 mm, or none, keeps the one shown.
        const qint64 shown = scene.background()->pixmap().cacheKey();
        scene.setBackgroundImage(&tiny);
        scene.setBackgroundImage(nullptr);
        QCOMPARE(scene.background()->pixmap().cacheKey(), shown);
    }

    // The scene goes with its view, without reporting the selection it destroys.
    void sceneEndsWithItsView()
    {
        ReportPage page;
        makeField(page, 1, QRectF(10, 20, 30, 10));
        QPointer<MyGraphicsScene> scene;
        std::unique_ptr<QSignalSpy> shown;
        {
            ProjectViewWidget view(&page);
            scene = view.scene();
            scene->fieldItems().first()->setSelected(true);
            shown.reset(new QSignalSpy(scene, &MyGraphicsScene::selectedFieldChanged));
        }
        QVERIFY(scene.isNull());
        QCOMPARE(shown->count(), 0);
    }

    // Twelve steps either way reach the limits, Ctrl+wheel without a turn zooms out,
    // the right button pans by a thirteenth of the move at the zoom.
    void zoomAndPan()
    {
        ReportPage page;
        DesignerDriver d(&page);
        const auto zoomed = [&d](double factor, int steps) {
            d.graphics()->resetTransform();
            for (int i = 0; i < steps; ++i)
                d.graphics()->zoom(factor);
            return d.graphics()->transform().m11();
        };
        QCOMPARE(zoomed(1.125, 12), 2.565784513950348);
        QCOMPARE(zoomed(0.8888888888888888, 12), 0.624295076969974);
        zoomed(1, 0);
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 0), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(d.viewport(), &wheel);
        QCOMPARE(d.graphics()->transform().m11(), 0.8888888888888888);

        const double step = 130 * zoomed(1.125, 2) / 13.0;
        QScrollBar* bar = d.graphics()->verticalScrollBar();
        bar->setValue(100);
        d.mouse(QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, Qt::RightButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 230), Qt::NoButton, Qt::RightButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 230), Qt::NoButton, Qt::RightButton);
        d.mouse(QEvent::MouseButtonRelease, QPoint(100, 230), Qt::RightButton, Qt::NoButton);
        d.mouse(QEvent::MouseMove, QPoint(100, 260), Qt::NoButton, Qt::NoButton); // released: no more panning
        QCOMPARE(bar->value(), int(int(100 - step) - step)); // results truncated each time
    }

    void mouseEdits_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QPointF>("from"); // mm
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRectF>("expected"); // mm; a negative width means "5 scene units"
        const QRectF box(40, 40, 60, 20);
        QTest::newRow("text moved 10 mm") << 1 << QPointF(70, 50) << QPointF(80, 55) << box.translated(10, 5);
        QTest::newRow("text right edge") << 1 << QPointF(100, 50) << QPointF(110, 50) << QRectF(40, 40, 70, 20);
        QTest::newRow("text bottom edge") << 1 << QPointF(70, 60) << QPointF(70, 70) << QRectF(40, 40, 60, 30);
        QTest::newRow("text left edge past right") << 1 << QPointF(40, 50) << QPointF(130, 50)
                                                   << QRectF(100, 40, -1, 20);
        QTest::newRow("qr right edge squares") << 3 << QPointF(100, 50) << QPointF(110, 50) << QRectF(40, 40, 70, 70);
        QTest::newRow("qr top edge squares") << 3 << QPointF(70, 40) << QPointF(70, 30) << QRectF(40, 30, 30, 30);
        QTest::newRow("table moved") << 2 << QPointF(45, 45) << QPointF(55, 65) << box.translated(10, 20);
    }
    void mouseEdits()
    {
        QFETCH(int, kind);
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRectF, expected);
        ReportPage page;
        AbstractField* field = makeField(page, kind, QRectF(40, 40, 60, 20));
        DesignerDriver d(&page);
        d.click(d.at(70, 50)); // selects without moving
        QSignalSpy shown(d.scene(), &MyGraphicsScene::selectedFieldChanged);

        d.drag(d.at(from.x(), from.y()), d.at(to.x(), to.y()));
        const double tolerance = 1.0 / d.dpm; // events carry whole pixels
        const bool flipped = expected.width() < 0;
        const QRectF got(field->x(), field->y(), field->width(), field->height());
        QVERIFY2(qAbs(got.x() - expected.x()) <= tolerance + (flipped ? 5 / d.dpm : 0)
                     && qAbs(got.y() - expected.y()) <= tolerance
                     && qAbs(got.width() - (flipped ? 5 / d.dpm : expected.width())) <= tolerance
                     && qAbs(got.height() - expected.height()) <= tolerance,
                 qPrintable(QString("%1 %2 %3x%4").arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height())));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().value<AbstractField*>(), field);
    }

    // A boundary stops 1 mm past its neighbour; short hand-made widths are never read beyond.
    void columnBoundary_data()
    {
        QTest::addColumn<QVector<double>>("widths");
        QTest::addColumn<double>("boundary");
        QTest::addColumn<double>("dragTo");
        QTest::addColumn<QVector<double>>("expected");
        QTest::newRow("past its neighbour") << QVector<double>{30, 30} << 70.0 << 20.0 << QVector<double>{30, 1};
        QTest::newRow("short widths") << QVector<double>{30, 20} << 40.0 << 35.0 << QVector<double>{25, 20, 0};
    }
    void columnBoundary()
    {
        QFETCH(QVector<double>, widths);
        QFETCH(double, boundary);
        QFETCH(double, dragTo);
        QFETCH(QVector<double>, expected);
        ReportPage page;
        auto* table = PageMaker::table(page, 10, 40, "m", {"a", "b", "c"}, widths, 10, 10);
        DesignerDriver d(&page);
        const QRectF before = d.item(0)->rect();
        d.item(0)->setSelected(true);
        d.drag(d.at(boundary, 45), d.at(dragTo, 45));
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(qAbs(table->columnWidthAt(i) - expected.at(i)) <= 1.0 / d.dpm,
                     qPrintable(QString::number(table->columnWidthAt(i))));
        QCOMPARE(d.item(0)->rect(), before);
    }

    // What the view shows: the tint on the selected field only, a moved text
    // where its field now is at once, a selected table's frame round its own areas.
    void viewShowsSelectionAndMoves()
    {
        ReportPage page;
        makeField(page, 1, QRectF(20, 20, 60, 15));
        makeField(page, 1, QRectF(20, 50, 60, 15));
        // Its third row continues at (110, 100).
        auto* table = static_cast<TableField*>(makeField(page, 2, QRectF(150, 20, 0, 0)));
        table->setPreviewRowCount(3);
        table->setSplitsCount(1);
        table->setMaxSplitHeight({25});
        table->setSplitX({110});
        table->setSplitY({100});
        DesignerDriver d(&page);
        d.graphics()->centerOn(QPointF(110, 80) * d.dpm);
        const auto ink = [&d](const QImage& image, const QRectF& mm) {
            int dark = 0;
            const QRect box(d.at(mm.left(), mm.top()), d.at(mm.right(), mm.bottom()));
            for (int y = box.top(); y <= box.bottom(); ++y) {
                for (int x = box.left(); x <= box.right(); ++x)
                    dark += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
            }
            return dark;
        };
        d.click(d.at(70, 27));
        d.click(d.at(70, 57));
        QImage shown = d.viewport()->grab().toImage();
        QCOMPARE(shown.pixelColor(d.at(75, 30)), QColor(Qt::white));
        QCOMPARE(shown.pixelColor(d.at(75, 60)), QColor(255, 245, 245));

        // Dragged 30 mm down, the view painted on the way: the text, at the
        // field's top left, goes along.
        d.mouse(QEvent::MouseButtonPress, d.at(70, 57), Qt::LeftButton, Qt::LeftButton);
        d.mouse(QEvent::MouseMove, d.at(70, 87), Qt::NoButton, Qt::LeftButton);
        for (bool released : {false, true}) {
            if (released)
                d.mouse(QEvent::MouseButtonRelease, d.at(70, 87), Qt::LeftButton, Qt::NoButton);
            shown = d.viewport()->grab().toImage();
            QVERIFY(ink(shown, QRectF(21, 81, 58, 13)) > 0);
            QCOMPARE(ink(shown, QRectF(21, 51, 58, 13)), 0);
        }

        // The table's frame, dashed, runs down the left of its second area,
        // not round the whole page.
        d.click(d.at(180, 35));
        shown = d.viewport()->grab().toImage();
        const int left = d.at(110, 0).x();
        int dashed = 0;
        for (int y = d.at(0, 30).y(); y < d.at(0, 90).y(); ++y)
            dashed += qGray(shown.pixel(left - 1, y)) < 160 || qGray(shown.pixel(left - 2, y)) < 160;
        QVERIFY2(dashed > (d.at(0, 90).y() - d.at(0, 30).y()) / 4, qPrintable(QString::number(dashed)));
    }

    // A click among many fields repaints the fields it changed, not the whole scene.
    void clickRepaintsOnlyItsFields()
    {
        ReportPage page;
        for (int i = 0; i < 30; ++i)
            makeField(page, 1, QRectF(20 + i % 6 * 30, 20 + i / 6 * 20, 25, 10));
        DesignerDriver d(&page);
        d.graphics()->centerOn(QPointF(110, 70) * d.dpm);
        d.click(d.at(30, 25));
        QCoreApplication::processEvents();
        QSignalSpy changed(d.scene(), &QGraphicsScene::changed);
        d.click(d.at(60, 25));
        const auto repainted = [&changed] {
            QRectF all;
            for (const QList<QVariant>& signal : qAsConst(changed)) {
                for (const QRectF& r : signal.first().value<QList<QRectF>>())
                    all |= r;
            }
            return all;
        };
        // The scene reports its changes through queued calls, and a report
        // still due from the first click may come first: wait for this one's.
        QTRY_VERIFY(repainted().intersects(d.item(1)->fieldSceneRect()));
        QVERIFY(!repainted().intersects(d.item(29)->fieldSceneRect()));
    }

    // Four hundred fields on one spot keep their drawings (more than Qt's
    // pixmap cache holds by default): a change of selection redraws the two
    // fields it concerns.
    void stackedFieldsKeepTheirDrawings()
    {
        ReportPage page;
        for (int i = 0; i < 400; ++i)
            PageMaker::field<CountingField>(page, QRectF(40, 40, 60, 10), "t");
        DesignerDriver d(&page);
        d.graphics()->centerOn(QPointF(70, 45) * d.dpm);
        d.click(d.at(70, 45));
        d.viewport()->grab();
        CountingField::draws = 0;
        d.scene()->clearSelection();
        d.item(7)->setSelected(true);
        d.viewport()->grab();
        QVERIFY2(CountingField::draws <= 2, qPrintable(QString::number(CountingField::draws)));
    }

    void drops_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("token");
        QTest::addColumn<double>("xMm");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("text"); // the text, or the column ids joined by "|"
        // Kinds beyond makeField's: 4 and 5 tables, 6 a text field; see the row names.
        QTest::newRow("column on text") << 1 << "$D{m.x}" << 30.0 << false << "t";
        QTest::newRow("column on second column") << 2 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on short ids") << 5 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.x}";
        QTest::newRow("column on automatic widths") << 4 << "$D{m.x}" << 45.0 << true << "$D{m.a}|$D{m.b}";
        QTest::newRow("variable on table") << 2 << "$V{city}" << 45.0 << false << "$D{m.a}|$D{m.b}";
        QTest::newRow("outside any field") << 1 << "$V{city}" << 150.0 << false << "t";
        QTest::newRow("foreign after a token") << 6 << "$V{other}" << 30.0 << false << "t";
    }
    void drops()
    {
        QFETCH(int, kind);
        QFETCH(QString, token);
        QFETCH(double, xMm);
        QFETCH(bool, accepted);
        QFETCH(QString, text);
        ReportPage page;
        AbstractField* field = makeField(page, kind == 6 ? 1 : qMin(kind, 2), QRectF(10, 40, 60, 20));
        auto* textField = qobject_cast<TextField*>(field);
        auto* table = qobject_cast<TableField*>(field);
        if (kind == 4)
            table->setAutoWidth(true);
        if (kind == 5)
            table->setColumnIds({"$D{m.a}"}); // a hand-made template
        DesignerDriver d(&page);
        if (table)
            table->prepare();
        if (kind == 6) {
            QVERIFY(d.dropToken("$V{city}", d.at(xMm, 45)));
            textField->setText("t");
        }
        QCOMPARE(d.dropToken(token, d.at(xMm, 45), kind != 6), accepted);
        QCOMPARE(textField ? textField->text() : QStringList(table->columnIds().toList()).join('|'), text);
    }

    void rowsShownByKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("rows");
        QTest::newRow("text") << 1 << "012345678..bcd";
        QTest::newRow("table") << 2 << "0.23..6789a..d";
        QTest::newRow("qr") << 3 << ".1234.........";
    }
    void rowsShownByKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, rows);
        ReportPage page;
        AbstractField* field = makeField(page, kind, {5, 5, 60, 10});
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.show();
        QCOMPARE(shownRows(dock.pageTable()), QStringLiteral("01234"));
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        dock.onFieldChanged(field);
        QCOMPARE(shownRows(dock.fieldTable()), rows);
        QCOMPARE(edits.count(), 0); // filling the table is no edit
        QCOMPARE(cell(dock.fieldTable(), Row::FontRow, 1), QStringLiteral("По умолчанию"));
        // Another page: the dock forgets the field of the old one.
        ReportPage second;
        dock.setReportPage(&second);
        QVERIFY(dock.pageTable()->isVisibleTo(&dock));
        const bool wrapped = field->wordWrap();
        qobject_cast<QCheckBox*>(dock.fieldTable()->cellWidget(Row::WordWrapRow, 1))->setChecked(!wrapped);
        QCOMPARE(field->wordWrap(), wrapped);
    }

    // Kind 0 is the page; every field starts aligned right and bottom.
    void propertiesWritten_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed"); // a combo's index, "1" for a ticked box
        QTest::addColumn<QString>("expected"); // what the page or field then writes
        QTest::newRow("page size A5") << 0 << int(StructureDockWidget::PageSizeRow) << "0" << R"({"pageSize": 9})";
        QTest::newRow("portrait") << 0 << int(StructureDockWidget::OrientationRow) << "0" << R"({"orientation": 0})";
        QTest::newRow("sheets") << 0 << int(StructureDockWidget::PagesCountRow) << "2" << R"({"pagesCount": 3})";
        QTest::newRow("print background") << 0 << int(StructureDockWidget::PrintBackgroundRow) << "1"
                                          << R"({"printBackgroundImage": true})";
        QTest::newRow("text") << 1 << int(Row::TextRow) << "$V{fio}" << R"({"id": "$V{fio}"})";
        QTest::newRow("qr text") << 3 << int(Row::TextRow) << "12345" << R"({"id": "12345"})";
        QTest::newRow("x letters kept") << 1 << int(Row::XRow) << "abc" << R"({"x": 5})";
        QTest::newRow("y") << 2 << int(Row::YRow) << "33" << R"({"y": 33})";
        QTest::newRow("width") << 1 << int(Row::WidthRow) << "70" << R"({"width": 70, "height": 10})";
        QTest::newRow("qr width squares") << 3 << int(Row::WidthRow) << "25" << R"({"width": 25, "height": 25})";
        QTest::newRow("height") << 1 << int(Row::HeightRow) << "14" << R"({"width": 60, "height": 14})";
        QTest::newRow("centred, still bottom") << 1 << int(Row::HAlignRow) << "1" << R"({"alignFlags": 68})";
        QTest::newRow("middle, still right") << 1 << int(Row::VAlignRow) << "1" << R"({"alignFlags": 130})";
        QTest::newRow("word wrap") << 1 << int(Row::WordWrapRow) << "1" << R"({"wordWrap": true})";
        QTest::newRow("indent") << 1 << int(Row::IndentRow) << "7.5" << R"({"indent": 7.5})";
        QTest::newRow("indent, comma") << 1 << int(Row::IndentRow) << "7,5" << R"({"indent": 7.5})";
        QTest::newRow("preview rows letters kept") << 2 << int(Row::PreviewRowsRow) << "x" << R"({"previewRowCount": 1})";
        QTest::newRow("line height") << 1 << int(Row::LineHeightRow) << "4" << R"({"lineHeight": 4})";
        QTest::newRow("Z when empty") << 1 << int(Row::ZOnEmptyRow) << "1" << R"({"zOnEmpty": true})";
        QTest::newRow("preview rows, one byte") << 2 << int(Row::PreviewRowsRow) << "258" << R"({"previewRowCount": 2})";
    }
    void propertiesWritten()
    {
        QFETCH(int, kind);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        ReportPage page;
        AbstractField* field = makeField(page, kind ? kind : 1, {5, 5, 60, 10});
        field->setAlignFlags(Qt::AlignRight | Qt::AlignBottom);
        StructureDockWidget dock;
        dock.setReportPage(&page);
        if (kind)
            dock.onFieldChanged(field);
        QTableWidget* table = kind ? dock.fieldTable() : dock.pageTable();
        QSignalSpy fieldEdits(&dock, &StructureDockWidget::fieldUpdated);
        QSignalSpy pageEdits(&dock, &StructureDockWidget::pageUpdated);
        if (auto* combo = qobject_cast<QComboBox*>(table->cellWidget(row, 1)))
            combo->setCurrentIndex(typed.toInt());
        else if (auto* box = qobject_cast<QCheckBox*>(table->cellWidget(row, 1)))
            box->setChecked(typed == "1");
        else
            table->item(row, 1)->setText(typed);
        // Text that is no number changes nothing.
        QCOMPARE(fieldEdits.count() + pageEdits.count(), QByteArray(QTest::currentDataTag()).endsWith("kept") ? 0 : 1);

        QJsonObject written, got;
        kind ? field->writeJson(written) : page.write(written);
        const QJsonObject want = QJsonDocument::fromJson(expected.toUtf8()).object();
        for (const QString& key : want.keys())
            got.insert(key, written.value(key));
        QCOMPARE(got, want);
    }

    void fontDialogStartsAtPageFont()
    {
        ReportPage page;
        page.setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 14));
        auto* field = PageMaker::field<TextField>(page, {5, 5, 60, 10}, "t");
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.onFieldChanged(field);
        QSignalSpy pageEdits(&dock, &StructureDockWidget::pageUpdated);
        ModalAnswerer answerer;
        QFont started, chosen;
        answerer.onDialog([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFontDialog*>(widget);
            if (dialog) {
                started = dialog->currentFont();
                if (chosen != QFont())
                    dialog->setCurrentFont(chosen);
                dialog->accept();
            }
            return dialog != nullptr;
        });
        dock.onTblWidget_cellDoubleClicked(0, 1); // confirmed as it opened: the field still follows the page
        QCOMPARE(started.family(), page.defaultFont().family());
        QVERIFY(field->font() == QFont() && pageEdits.isEmpty());
        chosen = QFont(QStringLiteral("DejaVu Sans"), 11);
        dock.onTblWidget_cellDoubleClicked(0, 1);
        QCOMPARE(field->font().family(), chosen.family());
        QCOMPARE(pageEdits.count(), 1);
    }

    void variableManagerLists()
    {
        ReportPage page;
        page.setVariable(QStringLiteral("Zeta "), QStringLiteral("z"));
        page.setVariable(QStringLiteral("alpha"), 12);
        page.addModel(QStringLiteral("names"), PageMaker::model({"fio", "a.b"}, {{"Иванов", "1"}}, &page), false);
        page.addModel(QStringLiteral("empty"), PageMaker::model({"c"}, {}, &page), false);
        page.addModel(QStringLiteral("other"), new QObject(&page), false); // no item model: nothing to list
        DataManagerDockWidget dock;
        dock.setReportPage(&page);
        const QTableWidget* table = dock.tableWidget();
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << cell(table, row, 0) + "=" + cell(table, row, 1);
        QCOMPARE(rows, (QStringList{"$V{alpha}=12", "$V{zeta}=z", "$D{empty.c}=", "$D{names.fio}=Иванов",
                                    "$D{names.a.b}=1"}));

        page.setVariable(QStringLiteral("beta"), 1);
        QCOMPARE(table->rowCount(), 6);
        // Only the current page refills the list.
        ReportPage next;
        dock.setReportPage(&next);
        page.setVariable(QStringLiteral("gamma"), 1);
        QCOMPARE(table->rowCount(), 0);
    }

    // A new table: widths below 2 mm stored as 10, columns re-added at the default.
    void newTable_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::newRow("comma") << "12,5" << 12.5;
        QTest::newRow("point") << "12.5" << 12.5;
        QTest::newRow("below 2") << "1.5" << 10.0;
        QTest::newRow("below 2, comma") << "1,5" << 10.0;
        QTest::newRow("exactly 2") << "2" << 2.0;
    }
    void newTable()
    {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QPointer<EditTableFieldDialog> d = new EditTableFieldDialog;
        FormWidgets::child<QCheckBox>(d, "autoWidthCheckBox")->setChecked(true);
        FormWidgets::child<QCheckBox>(d, "headerIsVisibleCheckBox")->setChecked(false);
        QVERIFY(grid(d)->isRowHidden(0) && grid(d)->isRowHidden(1));
        auto* count = FormWidgets::child<QSpinBox>(d, "rowCountSpin");
        count->setValue(4);
        grid(d)->item(1, 3)->setText("12");
        count->setValue(2);
        count->setValue(4);
        grid(d)->item(1, 1)->setText(typed);
        QTest::keyClicks(FormWidgets::edit(d, "modelNameLineEdit"), "  ViewSpoDetails ");

        FormWidgets::button(d, "pushButtonAddSplit")->click();
        FormWidgets::button(d, "pushButtonAddSplit")->click();
        splits(d)->item(1, 0)->setText("40");
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        splits(d)->setCurrentCell(1, 0);
        d->on_tableSplit_cellClicked(1, 0);
        FormWidgets::button(d, "pushButtonDeleteSplit")->click();
        QVERIFY(!FormWidgets::button(d, "pushButtonDeleteSplit")->isEnabled());
        TableField* made = nullptr;
        connect(d, &EditTableFieldDialog::tableFieldCreated, [&](TableField* f) { made = f; });
        ok(d);
        std::unique_ptr<TableField> table(made);
        QCOMPARE(table->columnsWidth(), QVector<double>({40, stored, 40, 40}));
        QCOMPARE(table->modelName(), QString("ViewSpoDetails"));
        QVERIFY(table->autoWidth() && !table->headerIsVisible());
        QCOMPARE(table->maxSplitHeight(), QVector<double>({0}));
    }

    // OK keeps what it could not show; the title bar's close applies nothing; freed either way.
    void okKeepsTheTable_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("byOk");
        const QByteArray full = R"({"columnCount": 2, "headerNames": ["Предмет", "Оценка"], "columnsWidth": [80.5, 20],
            "columnIds": ["$D{m.a}", "$D{m.b}"], "columnsAlign": [4, 2], "headerHeight": 12.5, "rowHeight": 6,
            "mModelName": "m", "splitsCount": 2, "maxSplitHeight": [100, 50], "splitX": [0, 10], "splitY": [0, 20]})";
        QTest::newRow("round trip") << full << full << true;
        const QByteArray inexact = R"({"columnCount": 2, "headerNames": ["", ""], "columnsWidth": [1.5, 12.3456789],
            "columnIds": ["$D{ViewSpoDetails.col1}", ""], "columnsAlign": [132, 8], "headerHeight": 0.25,
            "rowHeight": 4.85, "mModelName": " ViewSpoDetails", "splitsCount": 1, "maxSplitHeight": [100.125],
            "splitX": [-5], "splitY": [0]})";
        QTest::newRow("values it cannot show as they are") << inexact << inexact << true;
        QTest::newRow("closed by its title bar") << full << full << false;
        QTest::newRow("short column arrays")
            << QByteArray(R"({"columnCount": 3, "columnsWidth": [30], "headerNames": ["a"], "mModelName": "m",
                "headerHeight": 15, "rowHeight": 7, "splitsCount": 1, "maxSplitHeight": [90]})")
            << QByteArray(R"({"columnCount": 3, "columnsWidth": [30, 40, 40], "headerNames": ["a", "", ""],
                "columnIds": ["", "", ""], "columnsAlign": [0, 0, 0], "mModelName": "m", "headerHeight": 15,
                "rowHeight": 7, "splitsCount": 1, "maxSplitHeight": [90], "splitX": [0], "splitY": [0]})")
            << true;
        // Areas past the stored entries are not listed (a file may claim billions).
        const QByteArray areas = R"({"columnCount": 1, "columnsWidth": [30], "headerNames": [""], "columnIds": [""],
            "columnsAlign": [0], "mModelName": "m", "splitsCount": 2147483647, "maxSplitHeight": [90], "splitX": [0], "splitY": [0]})";
        QTest::newRow("areas claimed past the entries") << areas << areas << true;
    }
    void okKeepsTheTable()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, stored);
        QFETCH(bool, byOk);
        TableField table, expected;
        table.readJson(QJsonDocument::fromJson(given).object());
        expected.readJson(QJsonDocument::fromJson(stored).object());
        table.setPrepared(true);

        QPointer<EditTableFieldDialog> d = new EditTableFieldDialog;
        d->setTableField(&table);
        QCOMPARE(FormWidgets::button(d, "pushButtonOk")->text(), QString("Сохранить"));
        QCOMPARE(splits(d)->item(0, 1)->text(), QString("Без переноса"));
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        if (byOk) {
            ok(d);
        } else {
            d->show();
            grid(d)->item(1, 0)->setText("55");
            d->close();
        }
        QCOMPARE(modified.count(), int(byOk));
        QJsonObject after, want;
        table.writeJson(after);
        expected.writeJson(want);
        QCOMPARE(after, want);
        QCOMPARE(table.prepared(), !byOk);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(d.isNull());
    }

    // Numbers typed with either decimal mark are stored as typed; what is
    // shown uses the locale's mark; untouched values stay exactly as stored.
    void tableDialogTakesEitherMark_data() { addLocaleRows(); }
    void tableDialogTakesEitherMark()
    {
        QFETCH(QLocale, locale);
        QFETCH(QChar, mark);
        QLocale::setDefault(locale);
        const auto shown = [&locale](const char* number) {
            return QString::fromLatin1(number).replace('.', locale.decimalPoint());
        };
        TableField table;
        table.readJson(QJsonDocument::fromJson(R"({"columnCount": 2, "headerNames": ["a", "b"],
            "columnsWidth": [4.8, 30.25], "columnIds": ["", ""], "columnsAlign": [0, 0], "headerIsVisible": true, "headerHeight": 12.5,
            "rowHeight": 6.25, "mModelName": "m", "splitsCount": 1, "maxSplitHeight": [100.5], "splitX": [10],
            "splitY": [20]})").object());
        QPointer<EditTableFieldDialog> d = new EditTableFieldDialog;
        d->setTableField(&table);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        auto* header = FormWidgets::child<QDoubleSpinBox>(d, "headerHeightSpin");
        QCOMPARE(cell(grid(d), 1, 0), shown("4.8"));
        QCOMPARE(cell(splits(d), 0, 0) + ' ' + cell(splits(d), 0, 1), shown("100.50 10.00"));
        QCOMPARE(header->text(), shown("12.5"));

        const auto typed = [mark](const char* number) { return QString::fromLatin1(number).replace('.', mark); };
        typeCell(grid(d), 1, 0, typed("35.5"));
        QCOMPARE(cell(grid(d), 1, 0), shown("35.5"));
        typeCell(splits(d), 0, 0, typed("40.25"));
        typeCell(splits(d), 0, 2, typed("20.75"));
        QCOMPARE(cell(splits(d), 0, 0) + ' ' + cell(splits(d), 0, 2), shown("40.25 20.75"));
        Typing::typeOver(header, typed("7.5"));
        QCOMPARE(header->text(), shown("7.5"));
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        ok(d);
        QCOMPARE(modified.count(), 1);
        QCOMPARE(table.columnsWidth(), QVector<double>({35.5, 30.25}));
        QCOMPARE(table.headerHeight(), 7.5);
        QCOMPARE(table.rowHeight(), 6.25); // shown rounded, never touched
        QCOMPARE(table.maxSplitHeight(), QVector<double>{40.25});
        QCOMPARE(table.splitX(), QVector<double>{10});
        QCOMPARE(table.splitY(), QVector<double>{20.75});

        // A new table: the heights typed as well, the last one confirmed with
        // Enter, which presses "Создать" (not "Добавить разрыв").
        d = new EditTableFieldDialog;
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        typeCell(grid(d), 1, 2, typed("2.5"));
        TableField* made = nullptr;
        connect(d, &EditTableFieldDialog::tableFieldCreated, [&](TableField* f) { made = f; });
        Typing::typeOver(FormWidgets::child<QDoubleSpinBox>(d, "rowHeightSpin"), typed("4.5"), Qt::Key_Return);
        std::unique_ptr<TableField> created(made);
        QVERIFY(created);
        QCOMPARE(created->columnsWidth(), QVector<double>({40, 40, 2.5}));
        QCOMPARE(created->rowHeight(), 4.5);
    }

    // Letters where a number belongs are said, and nothing is written until
    // they are mended; empty split cells and "Без переноса" stand for 0.
    void tableDialogRefusesLetters_data()
    {
        QTest::addColumn<bool>("newTable");
        QTest::newRow("edited table") << false;
        QTest::newRow("new table") << true;
    }
    void tableDialogRefusesLetters()
    {
        QFETCH(bool, newTable);
        TableField table;
        table.readJson(QJsonDocument::fromJson(R"({"columnCount": 2, "headerNames": ["a", "b"],
            "columnsWidth": [30, 20], "columnIds": ["", ""], "columnsAlign": [0, 0], "mModelName": "m"})").object());
        QJsonObject before;
        table.writeJson(before);
        QPointer<EditTableFieldDialog> d = new EditTableFieldDialog;
        if (!newTable)
            d->setTableField(&table);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        QSignalSpy created(d.data(), &EditTableFieldDialog::tableFieldCreated);
        typeCell(grid(d), 1, 1, "abc");
        FormWidgets::button(d, "pushButtonAddSplit")->click();
        typeCell(splits(d), 0, 0, "50");
        typeCell(splits(d), 0, 1, "десять");
        ModalAnswerer answerer;
        ok(d);
        flushDeletes();
        QVERIFY(d);
        QCOMPARE(answerer.texts(), QStringList{"Эти значения не являются числами:\n"
                                               "Ширина столбца 2: «abc»\n"
                                               "Разрыв 1, X: «десять»\n\n"
                                               "Введите числа; дробную часть можно отделить запятой или точкой."});
        QCOMPARE(answerer.formats(), QList<Qt::TextFormat>{Qt::PlainText});
        QCOMPARE(modified.count() + created.count(), 0);
        QJsonObject after;
        table.writeJson(after);
        QCOMPARE(after, before);

        typeCell(grid(d), 1, 1, "25,5");
        typeCell(splits(d), 0, 1, "Без переноса");
        ok(d);
        flushDeletes();
        QVERIFY(!d);
        QCOMPARE(answerer.texts().size(), 1);
        std::unique_ptr<TableField> made(newTable ? created.value(0).value(0).value<TableField*>() : nullptr);
        TableField* stored = newTable ? made.get() : &table;
        QVERIFY(stored);
        QCOMPARE(stored->columnsWidth().value(1), 25.5);
        QCOMPARE(stored->maxSplitHeight(), QVector<double>{50});
        QCOMPARE(stored->splitX(), QVector<double>{0});
        QCOMPARE(stored->splitY(), QVector<double>{0}); // left empty
    }

    // The properties dock: sizes and positions typed with either mark;
    // letters leave the field as it was and the cell shows its value again.
    void dockTakesEitherMark_data() { addLocaleRows(); }
    void dockTakesEitherMark()
    {
        QFETCH(QLocale, locale);
        QFETCH(QChar, mark);
        QLocale::setDefault(locale);
        const auto shown = [&locale](const char* number) {
            return QString::fromLatin1(number).replace('.', locale.decimalPoint());
        };
        ReportPage page;
        auto* field = static_cast<TextField*>(makeField(page, 1, {5, 5, 60, 10}));
        StructureDockWidget dock;
        dock.setReportPage(&page);
        dock.resize(400, 600);
        dock.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dock));
        dock.onFieldChanged(field);
        QTableWidget* table = dock.fieldTable();
        QCOMPARE(cell(table, Row::WidthRow, 1), shown("60.0"));
        QSignalSpy edits(&dock, &StructureDockWidget::fieldUpdated);
        const QString typed = QString("12.5").replace('.', mark);
        for (int row : {Row::XRow, Row::YRow, Row::WidthRow, Row::HeightRow, Row::IndentRow, Row::LineHeightRow}) {
            typeCell(table, row, 1, typed);
            QCOMPARE(cell(table, row, 1), shown("12.5"));
        }
        QCOMPARE(edits.count(), 6);
        QCOMPARE(QRectF(field->x(), field->y(), field->width(), field->height()), QRectF(12.5, 12.5, 12.5, 12.5));
        QCOMPARE(field->indent(), 12.5);
        QCOMPARE(field->lineHeight(), 12.5);

        typeCell(table, Row::XRow, 1, QStringLiteral("abc"));
        typeCell(table, Row::HeightRow, 1, QString("1.2.3").replace('.', mark)); // two marks: no number
        QCOMPARE(field->x(), 12.5);
        QCOMPARE(field->height(), 12.5);
        QCOMPARE(cell(table, Row::XRow, 1) + ' ' + cell(table, Row::HeightRow, 1), shown("12.5 12.5"));
        QCOMPARE(edits.count(), 6);
    }

    // Every field of every shipped template through the table dialog's OK and
    // the properties dock (each value cell opened and left): saved, the file
    // is what a plain load and save writes, and the supplement still prints.
    void unchangedConfirmKeepsTemplate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type"); // 0: not printed
        QTest::newRow("id120") << "id120" << 0;
        QTest::newRow("id121") << "id121" << int(ReportList::SpoAddition);
        QTest::newRow("id121double") << "id121double" << int(ReportList::SpoAdditionDouble);
        QTest::newRow("id124") << "id124" << 0;
    }
    void unchangedConfirmKeepsTemplate()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QVERIFY(DocumentFixtures::openEmpty());
        ReportList::registerReports();
        const QString file = Database::dataPath() + QStringLiteral("/reports/") + name + QStringLiteral(".velrpt");
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        ReportPage plain;
        QVERIFY(plain.load(TestEnvironment::sourcePath("resources/reports/" + name + ".velrpt"))
                && plain.save(path("plain.velrpt")) && plain.save(file));

        ReportWindow* w = makeWindow(file);
        QVERIFY(w);
        DesignerDriver d(w->projectView(), w->reportPage());
        QTableWidget* properties = w->structureDock()->fieldTable();
        for (int i = 0; i < d.scene()->fieldItems().size(); ++i) {
            d.item(i)->setSelected(true);
            QCOMPARE(w->structureDock()->structureType(), StructureDockWidget::FieldStructure);
            for (int row = 0; row < properties->rowCount(); ++row) {
                QTableWidgetItem* value = properties->item(row, 1);
                if (properties->isRowHidden(row) || !(value->flags() & Qt::ItemIsEditable))
                    continue;
                properties->editItem(value);
                QPointer<QLineEdit> editor = properties->viewport()->findChild<QLineEdit*>();
                QVERIFY(editor);
                QTest::keyClick(editor, Qt::Key_Return);
                QCoreApplication::processEvents(); // the delegate commits through a queued call
                flushDeletes();
                QVERIFY(!editor);
            }
            if (properties->cellWidget(Row::ContentRow, 1)->isVisibleTo(properties)) {
                qobject_cast<QPushButton*>(properties->cellWidget(Row::ContentRow, 1))->click();
                ok(topLevel<EditTableFieldDialog>());
                flushDeletes();
            }
            d.item(i)->setSelected(false);
        }
        QVERIFY(action(w, "actionSave")->isEnabled());
        action(w, "actionSave")->trigger();
        const auto fields = [](const QString& path) {
            QFile in(path);
            QJsonObject page = in.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(in.readAll()).object() : QJsonObject();
            QStringList texts;
            for (const QString& kind : {QStringLiteral("textFields"), QStringLiteral("tableFields")}) {
                for (const QJsonValue& field : page.take(kind).toArray())
                    texts << QString::fromUtf8(QJsonDocument(field.toObject()).toJson(QJsonDocument::Compact));
            }
            return texts << QString::fromUtf8(QJsonDocument(page).toJson(QJsonDocument::Compact));
        };
        const QStringList saved = fields(file), expected = fields(path("plain.velrpt"));
        QCOMPARE(saved.size(), expected.size());
        for (int i = 0; i < saved.size(); ++i)
            QCOMPARE(saved.at(i), expected.at(i));
        if (!type)
            return;

        const int id = DocumentFixtures::insertDocument(DocumentFixtures::fullDocument());
        QVERIFY(DocumentFixtures::insertDetails(id));
        PrintRun run;
        Engine engine;
        engine.onDocumentPrint(ReportList::ReportType(type), id, false);
        const QString sheet2 = PdfFile::text(run.driver.pdfFiles().value(1));
        for (const char* wanted : {"Дисциплина 1", "36,5", "Практика 2", "72", "хорошо"})
            QVERIFY2(sheet2.contains(QString::fromUtf8(wanted)), qPrintable(sheet2));
        QVERIFY2(!sheet2.contains(QStringLiteral("$D{")), qPrintable(sheet2));
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
        action(w, "actionAddTableField")->trigger(); // a table comes from the table dialog's OK
        ok(topLevel<EditTableFieldDialog>());
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
        // The table then takes the size of its own layout (three columns of 40 mm), and is selected.
        QCOMPARE(table->width(), 120.0);
        QCOMPARE(w->projectView()->scene()->selectedItem()->field(), table);
        QVERIFY(w->isEdited());
        QCOMPARE(w->windowTitle(), Untitled); // an unnamed document shows no mark
    }

    // Every kind of edit marks the template unsaved, in the title as well.
    void editsMarkUnsaved_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("edited");
        for (const char* edit : {"select", "edge press", "zoom keys", "delete nothing", "test print"})
            QTest::newRow(edit) << QString::fromLatin1(edit) << false;
        for (const char* edit : {"keys", "delete", "move", "resize", "column", "text token", "column token", "dock",
                                 "sheets", "background", "table dialog"})
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

        if (edit == "keys") {
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
            d.item(0)->setSelected(true);
            w->structureDock()->fieldTable()->item(StructureDockWidget::XRow, 1)->setText("12.5");
            QCOMPARE(d.item(0)->rect().left(), 12.5 * d.dpm);
        } else if (edit == "background") {
            QImage image(400, 560, QImage::Format_RGB32);
            image.fill(Qt::red);
            QVERIFY(image.save(path("back.png")));
            QFile notImage(path("text.png"));
            QVERIFY(notImage.open(QIODevice::WriteOnly) && notImage.write("no image") > 0);
            notImage.close();
            ModalAnswerer answerer;
            files.answer(path("text.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QVERIFY(!w->isEdited()); // unreadable image: said, nothing changes
            QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Не удалось загрузить изображение фона из файла %1.\n"
                                                                  "Выберите изображение PNG, JPG или BMP.")
                                                       .arg(path("text.png"))});
            files.answer(path("back.png"));
            action(w, "actionLoadBackgroundImage")->trigger();
            QCOMPARE(files.requests.last().filter, QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
            QVERIFY(!d.scene()->background()->pixmap().isNull());
        } else {
            for (const QPoint& pos : {d.at(70, 50), d.at(35, 105)}) {
                d.click(pos);
                d.mouse(QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
                d.mouse(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
                QCOMPARE(topLevel<EditTableFieldDialog>() != nullptr, pos == d.at(35, 105));
            }
            QCOMPARE(topLevel<EditTableFieldDialog>()->tableField(), table);
            topLevel<EditTableFieldDialog>()->on_pushButtonOk_clicked();
        }
        QCOMPARE(w->isEdited(), edited);
        QCOMPARE(w->windowTitle(), QStringLiteral("Редактор отчёта - %1%2").arg(w->fileName(), edited ? "*" : ""));
    }

    // A background that cannot be loaded is named as its file is called,
    // never read as markup.
    void unreadableBackgroundNamedAsTyped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("font tag") << "<font size=7 color=red>BIG.png";
        QTest::newRow("italics") << "<i>fon.png";
    }
    void unreadableBackgroundNamedAsTyped()
    {
        QFETCH(QString, name);
        QFile notImage(path(name));
        QVERIFY(notImage.open(QIODevice::WriteOnly) && notImage.write("no image") > 0);
        notImage.close();
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        for (const char* command : {"actionLoadBackgroundImage", "actionLoadBackgroundImage2"}) {
            files.answer(path(name));
            action(w, command)->trigger();
        }
        const QString said = QStringLiteral("Не удалось загрузить изображение фона из файла %1.\n"
                                            "Выберите изображение PNG, JPG или BMP.")
                                 .arg(path(name));
        QCOMPARE(answerer.texts(), QStringList({said, said}));
        QCOMPARE(answerer.formats(), QList<Qt::TextFormat>({Qt::PlainText, Qt::PlainText}));
        QVERIFY(!w->isEdited());
    }

    // Once the selection is cleared, by a click on the bare sheet or by the
    // scene, the key moves and the delete have no field to act on.
    void clearedSelectionActsOnNothing_data()
    {
        QTest::addColumn<bool>("byClick");
        QTest::newRow("click on the sheet") << true;
        QTest::newRow("scene cleared") << false;
    }
    void clearedSelectionActsOnNothing()
    {
        QFETCH(bool, byClick);
        ReportWindow* w = makeWindow(writeTemplate(QStringLiteral("cleared.velrpt")));
        QVERIFY(w);
        DesignerDriver d(w->projectView(), w->reportPage());
        const QList<AbstractField*> fields = w->reportPage()->fields();
        const auto geometries = [&fields] {
            QList<QRectF> boxes;
            for (const AbstractField* f : fields)
                boxes << QRectF(f->x(), f->y(), f->width(), f->height());
            return boxes;
        };
        const QList<QRectF> before = geometries();
        d.click(d.at(70, 50));
        QCOMPARE(d.scene()->selectedItem(), d.item(0));
        QTest::keyClick(w, Qt::Key_D); // still selected: it moves
        QCOMPARE(fields.at(0)->x(), before.at(0).x() + 1);
        QTest::keyClick(w, Qt::Key_A);
        QCOMPARE(geometries(), before);

        const QPoint bare = d.at(20, 75); // left of the text, above the table
        QVERIFY(d.viewport()->rect().contains(bare));
        if (byClick)
            d.click(bare);
        else
            d.scene()->clearSelection();
        QVERIFY(d.scene()->selectedItems().isEmpty());
        QCOMPARE(w->structureDock()->structureType(), StructureDockWidget::PageStructure);
        for (Qt::Key key : {Qt::Key_W, Qt::Key_A, Qt::Key_S, Qt::Key_D}) {
            QTest::keyClick(w, key);
            QCOMPARE(geometries(), before);
        }
        action(w, "actionDeleteField")->trigger();
        QCOMPARE(w->reportPage()->fields(), fields);
        QCOMPARE(d.scene()->fieldItems().size(), 2);
        QCOMPARE(geometries(), before);
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
        QPointer<ReportWindow> w = makeWindow();
        QVERIFY(w);
        action(w, "actionAddTextField")->trigger();
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(chosen.isEmpty() ? QString() : path(chosen));
        answerer.answer(QMessageBox::StandardButton(button));
        w->close();
        flushDeletes();
        QCOMPARE(answerer.texts().first(), QStringLiteral("Шаблон был изменен."));
        QCOMPARE(answerer.texts().size(), chosen == "." ? 2 : 1);
        QCOMPARE(!w, closed);
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
        QVERIFY(oldPage); // the old view may still draw the old page until it is gone
        flushDeletes();
        QVERIFY(!oldPage);
        QVERIFY(waitMarkedClean(w, first));

        // Save as onto a folder fails: reported, the old name and the mark stay.
        QTest::keyClick(w, Qt::Key_D);
        files.answer(m_dir.path());
        action(w, "actionSaveAs")->trigger();
        QCOMPARE(answerer.texts().size(), 1);
        QVERIFY(answerer.texts().first().contains(m_dir.path()));
        QCOMPARE(w->fileName(), first);
        QVERIFY(w->isEdited());

        // A path that exists but is no template file: a box, an empty page, no
        // name to save it over.
        oldPage = w->reportPage();
        QVERIFY(w->openFile(m_dir.path()));
        QCOMPARE(answerer.texts().last(), QStringLiteral("Неверный формат файла!"));
        QVERIFY(w->fileName().isEmpty() && w->reportPage()->fields().isEmpty());
        QTRY_COMPARE(w->windowTitle(), Untitled); // marked clean: the mark of the edit above goes
        QVERIFY(!w->openFile(path("missing.velrpt")));
        QVERIFY(w->fileName().isEmpty());

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
        oldPage = w->reportPage(); // the window frees its last page when it goes
        delete w;
        QVERIFY(!oldPage);
    }

    // No save of the designer writes over the program's database or its
    // settings, by whatever name or link; a template beside them is written.
    void saveRefusesTheProgramsFiles_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("refused");
        for (const char* target : {"database", "symlink", "hard link", "journal", "settings", "opened link"})
            QTest::newRow(target) << QString::fromLatin1(target) << true;
        QTest::newRow("template in reports") << QStringLiteral("template") << false;
    }
    void saveRefusesTheProgramsFiles()
    {
        QFETCH(QString, target);
        QFETCH(bool, refused);
        QVERIFY(DocumentFixtures::openEmpty());
        DocumentFixtures::insertDocument(DocumentFixtures::fullDocument());
        const QString database = Database::databaseFileName();
        const QString data = Database::dataPath();
        QSettings(data + "/settings.ini", QSettings::IniFormat).setValue("Proxy/enabled", true);
        QVERIFY(QDir().mkpath(data + "/reports"));
        for (const char* name : {"link.velrpt", "hard.db"})
            QFile::remove(path(name));
        const QString chosen = target == "database"    ? database
                               : target == "journal"   ? database + "-journal"
                               : target == "settings"  ? data + "/settings.ini"
                               : target == "template"  ? data + "/reports/mine.velrpt"
                               : target == "hard link" ? path("hard.db")
                                                       : path("link.velrpt");
        if (target == "hard link")
            QVERIFY(::link(QFile::encodeName(database).constData(), QFile::encodeName(chosen).constData()) == 0);
        else if (target == "symlink")
            QVERIFY(QFile::link(database, chosen));
        // Save as names the file; Save writes to the one opened, here through
        // a link that leads to the database by the time of the save.
        const bool saveAs = target != "opened link";
        const QString opened = writeTemplate(QStringLiteral("edited.velrpt"));
        if (!saveAs)
            QVERIFY(QFile::link(opened, chosen));
        ReportWindow* w = makeWindow(saveAs ? opened : chosen);
        QVERIFY(w);
        if (!saveAs)
            QVERIFY(QFile::remove(chosen) && QFile::link(database, chosen));
        const QString named = w->fileName();
        const QByteArray databaseBytes = DatabaseFixtures::readBytes(database);
        const QByteArray targetBytes = DatabaseFixtures::readBytes(chosen);
        QVERIFY(!databaseBytes.isEmpty());
        QTest::keyClick(w, Qt::Key_D);

        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        files.answer(chosen);
        action(w, saveAs ? "actionSaveAs" : "actionSave")->trigger();
        QCOMPARE(files.requests.size(), int(saveAs));
        QCOMPARE(DatabaseFixtures::readBytes(database), databaseBytes);
        if (!refused) {
            QVERIFY(answerer.texts().isEmpty());
            QCOMPARE(w->fileName(), chosen);
            ReportPage saved;
            QVERIFY(saved.load(chosen) && saved.fields().size() == 2);
            return;
        }
        QCOMPARE(answerer.texts(), QStringList{ProtectedFiles::refusalText(chosen)});
        QVERIFY(!answerer.texts().first().isEmpty());
        QCOMPARE(DatabaseFixtures::readBytes(chosen), targetBytes);
        QCOMPARE(QFile::exists(database + "-journal"), target == "journal" && !targetBytes.isNull());
        // Still unsaved, under the name it had.
        QCOMPARE(w->fileName(), named);
        QVERIFY(w->isEdited());
        QCOMPARE(w->windowTitle(), QStringLiteral("Редактор отчёта - %1*").arg(named));
    }

    // Lengths the template file would not keep are refused where they are
    // typed, in the properties dock and the table dialog, so that a saved
    // template reopens as it was saved.
    void lengthsTheFileKeeps_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("kept");
        for (const char* typed : {"1e308", "-1e308", "1e15", "10000,5", "-10000.5"})
            QTest::newRow(typed) << QString::fromLatin1(typed) << false;
        for (const char* typed : {"10000", "2.5e3", "9999,5"})
            QTest::newRow(typed) << QString::fromLatin1(typed) << true;
    }
    void lengthsTheFileKeeps()
    {
        QFETCH(QString, typed);
        QFETCH(bool, kept);
        const double value = QString(typed).replace(',', '.').toDouble();
        // What a cell shows, with the locale's decimal mark.
        const QString inCell = QString(typed).replace(',', '.').replace('.', QLocale().decimalPoint());
        const QString file = writeTemplate(QStringLiteral("lengths.velrpt"));
        ReportWindow* w = makeWindow(file);
        QVERIFY(w);
        DesignerDriver d(w->projectView(), w->reportPage());
        QTableWidget* properties = w->structureDock()->fieldTable();
        d.item(0)->setSelected(true);
        for (int row : {Row::XRow, Row::WidthRow, Row::IndentRow})
            typeCell(properties, row, 1, typed);
        d.item(0)->setSelected(false);
        d.item(1)->setSelected(true);
        qobject_cast<QPushButton*>(properties->cellWidget(Row::ContentRow, 1))->click();
        QPointer<EditTableFieldDialog> dialog = topLevel<EditTableFieldDialog>();
        QVERIFY(dialog);
        typeCell(grid(dialog), 1, 1, typed);
        FormWidgets::button(dialog, "pushButtonAddSplit")->click();
        typeCell(splits(dialog), 0, 0, "50");
        typeCell(splits(dialog), 0, 1, typed);
        typeCell(splits(dialog), 0, 2, "20");
        {
            ModalAnswerer answerer;
            ok(dialog);
            QCOMPARE(answerer.texts(), kept ? QStringList()
                                            : QStringList{"Эти значения выходят за пределы от -10000 до 10000 мм:\n"
                                                          "Ширина столбца 2: «" + inCell + "»\n"
                                                          "Разрыв 1, X: «" + inCell + "»\n\n"
                                                          "Введите числа; дробную часть можно отделить запятой или точкой."});
            if (!kept)
                FormWidgets::button(dialog, "pushButtonCancel")->click();
            flushDeletes();
            QVERIFY(!dialog);
        }
        action(w, "actionSave")->trigger();
        QVERIFY(!w->isEdited());

        const auto* text = qobject_cast<TextField*>(w->reportPage()->fields().at(0));
        const auto* table = qobject_cast<TableField*>(w->reportPage()->fields().at(1));
        const QVector<double> shown{text->x(), text->width(), text->indent(), table->columnWidthAt(1),
                                    table->splitXAt(0)};
        QCOMPARE(shown, kept ? QVector<double>(5, value) : QVector<double>({40, 60, 0, 30, 0}));
        ReportPage reopened;
        QVERIFY(reopened.load(file));
        const auto* text2 = qobject_cast<TextField*>(reopened.fields().value(0));
        const auto* table2 = qobject_cast<TableField*>(reopened.fields().value(1));
        QVERIFY(text2 && table2);
        QCOMPARE(QVector<double>({text2->x(), text2->width(), text2->indent(), table2->columnWidthAt(1),
                                  table2->splitXAt(0)}),
                 shown);
    }

    // Widths hidden by the automatic width are neither checked nor kept as
    // typed; an emptied width cell stands for 10 mm.
    void widthsCheckedWhileShown_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("autoWidth");
        QTest::addColumn<QVector<double>>("stored");
        QTest::newRow("emptied, shown") << "25" << "" << false << QVector<double>{25, 10};
        QTest::newRow("letters and empty, hidden") << "abc" << "" << true << QVector<double>{10, 10};
        QTest::newRow("beyond the file, hidden") << "1e308" << "20" << true << QVector<double>{10, 20};
    }
    void widthsCheckedWhileShown()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, autoWidth);
        QFETCH(QVector<double>, stored);
        TableField table;
        table.readJson(QJsonDocument::fromJson(R"({"columnCount": 2, "headerNames": ["a", "b"],
            "columnsWidth": [30, 20], "columnIds": ["", ""], "columnsAlign": [0, 0], "mModelName": "m"})").object());
        QPointer<EditTableFieldDialog> d = new EditTableFieldDialog;
        d->setTableField(&table);
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        typeCell(grid(d), 1, 0, first);
        typeCell(grid(d), 1, 1, second);
        auto* automatic = FormWidgets::child<QCheckBox>(d, "autoWidthCheckBox");
        if (autoWidth)
            QTest::mouseClick(automatic, Qt::LeftButton, Qt::NoModifier, QPoint(4, automatic->height() / 2));
        QCOMPARE(grid(d)->isRowHidden(1), autoWidth);
        QSignalSpy modified(d.data(), &EditTableFieldDialog::tableFieldModified);
        ModalAnswerer answerer;
        ok(d);
        QCOMPARE(answerer.texts(), QStringList());
        QCOMPARE(modified.count(), 1);
        QCOMPARE(table.autoWidth(), autoWidth);
        QCOMPARE(table.columnsWidth(), stored);
    }

    // In the application's own loop (a fresh exec clears the quit state exit leaves).
    void exitAsksFirst()
    {
        ReportWindow* w = makeWindow();
        QVERIFY(w);
        ModalAnswerer answerer;
        QTest::keyClick(w, Qt::Key_A);
        auto exitCode = [w] {
            QTimer::singleShot(0, w, [w] {
                action(w, "actionExit")->trigger();
                QTimer::singleShot(0, w, [] { QCoreApplication::exit(7); }); // Exit did not end the loop
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
        engine.onGuiEdit(ReportList::SpoDiploma);
        ReportWindow* w = ReportWindow::instance();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->fileName(), file);
        QCOMPARE(w->reportPage()->fields().size(), 2);
        QVERIFY(!w->dataManagerDock()->tableWidget()->findItems("$V{last_name}", Qt::MatchExactly).isEmpty());
        QVERIFY(waitMarkedClean(w, file));
    }
};

VELSPO_TEST_MAIN(TestReportDesigner)
#include "tst_reportdesigner.moc"
