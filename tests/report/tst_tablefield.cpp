#include "support/Canvas.h"
#include "support/PageMaker.h"
#include "support/PdfFile.h"
#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <memory>
#include <tuple>

namespace {

// Always claims more rows but never delivers any.
class StubbornModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;
    bool canFetchMore(const QModelIndex&) const override { return true; }
    void fetchMore(const QModelIndex&) override { ++fetchCalls; }
    int fetchCalls = 0;
};

QString token(const QString& column) { return QStringLiteral("$D{viewspodetails.%1}").arg(column); }

} // namespace

class TestTableField : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReportPage> m_page;
    QStandardItemModel* m_model = nullptr;
    TableField* m_field = nullptr;
    double m_dpm = 0.0;

    // Cells "r<row>c<column>", col4 tokens, a brace and a backslash-n; at (10, 20) mm, columns 30, header 10, rows 8.
    void makeTable(int rows, int columns = 3)
    {
        const QStringList names{"col1", "col2", "col3", "col4"};
        m_model = new QStandardItemModel(rows, 4);
        m_model->setHorizontalHeaderLabels(names);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < 3; ++c)
                setData(r, c, QStringLiteral("r%1c%2").arg(r).arg(c + 1));
            setData(r, 3, token("col1") + "} $V{fio}\\n");
        }
        m_page->addModel(QStringLiteral("ViewSpoDetails"), m_model, true);
        m_field = PageMaker::table(*m_page, 10, 20, "viewspodetails", names.mid(0, columns), QVector<double>(columns, 30), 10, 8);
    }
    void setData(int row, int column, const QString& text) { m_model->setItem(row, column, new QStandardItem(text)); }
    void setAreas(const QVector<double>& heights, const QVector<double>& x, const QVector<double>& y)
    {
        m_field->setSplitsCount(heights.size());
        m_field->setMaxSplitHeight(heights);
        m_field->setSplitX(x);
        m_field->setSplitY(y);
    }
    Canvas drawn(bool dataMode = true)
    {
        m_page->setDataMode(dataMode);
        return Canvas::ofMm(300, 320, m_dpm).draw(m_field, m_dpm);
    }
    double advance(const QString& text) const
    {
        return QFontMetrics(m_field->scaledFont(m_dpm)).horizontalAdvance(text) / m_dpm + 2.0;
    }

private slots:
    void init()
    {
        m_page = std::make_unique<ReportPage>();   // its fields and owned models go with it
        m_dpm = m_page->dotsPerMm();
    }

    void templateAndDataMode()
    {
        makeTable(5);
        m_field->setPreviewRowCount(2);
        for (bool data : {false, true, false}) {
            drawn(data);
            QCOMPARE(m_field->rowCount(), data ? 5 : 2);
            QCOMPARE(m_field->cells().at(1).at(2), data ? QStringLiteral("r1c3") : token("col3"));
        }
    }

    void tokenMapping_data()
    {
        QTest::addColumn<QString>("cellTemplate");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text around") << "(" + token("col1") + ") / " + token("col3") + "ч." << "(r0c1) / r0c3ч.";
        QTest::newRow("model name in any case") << "$D{ViewSpoDetails.col1}" << "r0c1";
        QTest::newRow("column name is case-sensitive") << token("COL1") << "";
        QTest::newRow("brace before token") << "a} " + token("col1") + "\\n" << "a} " + token("col1") + "\\n";
        QTest::newRow("backslash n") << token("col1") + "\\n" + token("col2") << "r0c1\nr0c2";
        QTest::newRow("variables after") << token("col1") + " $V{ Fio }$V{nothing}" << "r0c1 Иванов";
        // A value is data: no token or backslash-n inside it is expanded.
        QTest::newRow("value holding tokens") << token("col4") + "|" + token("col1") + "\\n" << token("col1") + "} $V{fio}\\n|r0c1\n";
    }
    void tokenMapping()
    {
        QFETCH(QString, cellTemplate);
        QFETCH(QString, expected);
        makeTable(1, 1);
        m_page->setVariable(QStringLiteral("FIO"), QStringLiteral("Иванов"));
        m_field->setColumnIds({cellTemplate});
        drawn();
        QCOMPARE(m_field->cells(), QVector<QVector<QString>>({{expected}}));
    }

    void rebinding()
    {
        makeTable(3, 2);
        m_field->setColumnIds({token("col1"), token("other")});
        drawn();
        QCOMPARE(m_field->rowCount(), 3);
        QStandardItemModel* replacement = PageMaker::model({"other"}, {{"new"}});
        m_page->addModel(QStringLiteral("VIEWSPODETAILS"), replacement, true);
        QCOMPARE(m_field->boundModel(), replacement);
        QCOMPARE(m_field->columnMap().keys(), QStringList{QStringLiteral("other")});
        drawn();
        QCOMPARE(m_field->cells(), QVector<QVector<QString>>({{QString(), QStringLiteral("new")}}));
        delete replacement;
        drawn();
        QVERIFY(!m_field->boundModel() && !m_field->rebind());
        QVERIFY(m_field->rowCount() == 0 && m_field->cells().isEmpty());
        m_page->addModel("viewspodetails", new QObject, true);
        QVERIFY(!m_field->boundModel() && m_field->columnMap().isEmpty());
        m_field->setPage(nullptr);
        QStandardItemModel* model = PageMaker::model({"col1"}, {{"first"}, {"second"}});
        m_page->addModel("viewspodetails", model, true);
        Canvas canvas(400, 400);
        m_field->setPrepared(false);
        m_field->prepare();
        QVERIFY(!m_field->prepared() && !m_field->rebind() && canvas.draw(m_field, 4.0).draw(m_field, -1).isBlank());
        // A new table in the designer has not seen addModel.
        m_field->setPage(m_page.get());
        QSignalSpy changed(m_field, &AbstractField::fieldChanged);
        canvas.draw(m_field, m_dpm).draw(m_field, m_dpm);
        QCOMPARE(m_field->boundModel(), model);
        QCOMPARE(m_field->cells().at(1).at(0), QStringLiteral("second"));
        QCOMPARE(changed.count(), 1);
    }

    void widths()
    {
        // At least 10 mm, else the widest text and 2 mm: the template's, then the values.
        makeTable(3, 3);
        const QString header = QStringLiteral("Наименование учебных дисциплин");
        const QString value = QStringLiteral("Основы безопасности жизнедеятельности");
        m_field->setHeaderNames({QString(), header, QString()});
        m_field->setColumnIds({token("col1"), QStringLiteral("x"), token("col3") + QStringLiteral(" и ещё текст")});
        for (int r = 0; r < 3; ++r)
            setData(r, 0, QStringLiteral("5"));
        setData(2, 2, value);
        m_field->setAutoWidth(true);
        m_field->setPreviewRowCount(0);
        m_field->prepare();
        QCOMPARE(m_field->widths(), (QVector<double>{advance(token("col1")), advance(header),
                                                     advance(m_field->columnIds().at(2))}));
        drawn();
        QCOMPARE(m_field->widths(), (QVector<double>{10.0, advance(header), advance(value + QStringLiteral(" и ещё текст"))}));
        QCOMPARE(m_field->width(), m_field->totalWidth());
    }

    void rowHeights()
    {
        makeTable(2, 2);
        setData(0, 0, QString());
        setData(0, 1, QString());
        drawn();
        QCOMPARE(m_field->rowHeights(), (QVector<double>{8, 8}));
        m_field->setWordWrap(true);
        m_field->prepare();
        QCOMPARE(m_field->rowHeights(), (QVector<double>{8 * 0.7, 8}));
        QCOMPARE(m_field->totalHeight(), 10 + 8 * 0.7 + 8);
    }

    void gradeWordHyphenation_data()
    {
        QTest::addColumn<QString>("grade");
        QTest::addColumn<bool>("wordWrap");
        QTest::addColumn<bool>("narrow");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with hours") << "72 удовлетворительно" << true << true << "72 удовлетво- рительно";
        QTest::newRow("fits") << "удовлетворительно" << true << false << "удовлетворительно";
        QTest::newRow("no word wrap") << "Удовлетворительно" << false << true << "Удовлетворительно";
    }
    void gradeWordHyphenation()
    {
        QFETCH(QString, grade);
        QFETCH(bool, wordWrap);
        QFETCH(bool, narrow);
        QFETCH(QString, expected);
        makeTable(1, 1);
        m_field->setWordWrap(wordWrap);
        setData(0, 0, grade);
        // Narrow: wide enough for "...удовлетво-" but not for the whole word.
        const QFontMetrics metrics(m_field->scaledFont(m_dpm));
        const int word = grade.indexOf(QStringLiteral("довлетворительно")) - 1;
        const double whole = metrics.horizontalAdvance(grade.mid(word));
        const double part = metrics.horizontalAdvance(grade.mid(word, 9) + QLatin1Char('-'));
        QVERIFY(whole - part > 4 * m_dpm);
        const double width = narrow ? (part + whole) / 2.0 / m_dpm + 1.0 : 80.0;
        m_field->setColumnsWidth({width});
        drawn();
        const QString cell = m_field->cells().at(0).at(0);
        QCOMPARE(cell, expected);
        const QRect bounds = metrics.boundingRect(QRect(0, 0, int((width - 1.0) * m_dpm), 1800), m_field->textFlags(0), cell);
        QCOMPARE(m_field->rowHeights().at(0), qMax(8.0, wordWrap ? (bounds.height() + 0.3 * m_dpm) / m_dpm : 0.0));
    }

    void areas_data()
    {
        QTest::addColumn<bool>("continues");
        QTest::newRow("overflow") << false;
        QTest::newRow("split") << true;
    }
    void areas()
    {
        QFETCH(bool, continues);
        makeTable(6, 1);
        m_field->setRowHeight(10);
        setAreas({50}, {continues ? 100.0 : 0.0}, {continues ? 250.0 : 0.0});
        // Where the rows go on a sheet is the printing test's.
        drawn();
        QCOMPARE(m_field->overflow(), !continues);
        QCOMPARE(m_field->height(), 50.0);   // the first area's
        if (continues)
            return;
        // Mended, the next layout no longer reports it; 0 or no areas are unbounded.
        m_field->setMaxSplitHeight({100});
        m_field->prepare();
        QVERIFY(!m_field->overflow());
        m_field->setMaxSplitHeight({0});
        m_field->prepare();
        QVERIFY(!m_field->overflow());
        QCOMPARE(m_field->height(), 0.0);
        setAreas({}, {}, {});
        m_field->prepare();
        QVERIFY(!m_field->overflow());
    }

    // A row goes to the next area as soon as it would reach the bound of the
    // area it is in, an exact fit included; where the table may not go on,
    // that same row is the first one cut off.
    void rowReachingTheBoundStartsTheNextArea_data()
    {
        QTest::addColumn<double>("bound");
        QTest::addColumn<int>("firstMoved");
        // Under a 10 mm header, rows of 10 mm end 20, 30, 40, 50 ... mm down the area.
        QTest::newRow("row 3 ends at the bound") << 50.0 << 3;
        QTest::newRow("row 3 ends inside it") << 50.25 << 4;
        QTest::newRow("row 3 ends past it") << 49.75 << 3;
        QTest::newRow("row 1 ends at the bound") << 30.0 << 1;
    }
    void rowReachingTheBoundStartsTheNextArea()
    {
        QFETCH(double, bound);
        QFETCH(int, firstMoved);
        const int rows = 6;
        makeTable(rows, 1);
        m_field->setRowHeight(10);
        // The next area stands beside the first one, without a header.
        setAreas({bound}, {150}, {20});
        const Canvas canvas = drawn();
        QVERIFY(!m_field->overflow());
        // Where each row was drawn: inside its cell, clear of the frame.
        const auto cellInside = [this](double x, double y) {
            return QRectF((x + 1) * m_dpm, (y + 1) * m_dpm, 28 * m_dpm, 8 * m_dpm).toRect();
        };
        for (int row = 0; row < rows; ++row) {
            const bool moved = row >= firstMoved;
            const QRect first = cellInside(10, 30 + 10 * row);
            const QRect next = cellInside(150, 20 + 10 * (row - firstMoved));
            QVERIFY2(canvas.inkBox(first).isNull() == moved && canvas.inkBox(next).isNull() == !moved,
                     qPrintable(QStringLiteral("row %1 is not where it belongs, in the %2 area").arg(row).arg(moved ? "next" : "first")));
        }

        m_field->setSplitX({0});
        m_field->setSplitY({0});
        m_model->setRowCount(firstMoved);
        m_field->prepare();
        QVERIFY2(!m_field->overflow(), "the rows that fit are reported cut off");
        m_model->setRowCount(firstMoved + 1);
        m_field->prepare();
        QVERIFY2(m_field->overflow(), "the row that reaches the bound is not reported cut off");
    }

    // A table without a font of its own follows the page's default font: a
    // change of that font lays the table out anew, as one of its own would.
    void defaultFontChangeLaysTheTableOutAnew()
    {
        makeTable(2, 1);
        setData(0, 0, QStringLiteral("Основы безопасности жизнедеятельности и охрана труда"));
        m_field->setWordWrap(true);
        drawn();
        QCOMPARE(m_field->font(), QFont());
        const QVector<double> before = m_field->rowHeights();
        QFont larger = m_page->defaultFont();
        larger.setPointSizeF(larger.pointSizeF() * 2);
        m_page->setDefaultFont(larger);
        m_field->prepare();   // as printing does for every field of the first sheet
        const QVector<double> after = m_field->rowHeights();
        QVERIFY2(after.value(0) > before.value(0) && after.value(1) > before.value(1),
                 qPrintable(QStringLiteral("row heights %1, %2 mm before, %3, %4 mm after")
                                .arg(before.value(0)).arg(before.value(1)).arg(after.value(0)).arg(after.value(1))));
        m_field->setPrepared(false);
        m_field->prepare();
        QCOMPARE(m_field->rowHeights(), after);
    }

    void zStrokeFillsTheBoundedArea()
    {
        makeTable(2, 1);
        m_field->setZOnEmpty(true);
        m_field->setRowHeight(10);
        setAreas({60}, {0}, {0});
        // The rows end 30 mm below the top; the Z runs 2 mm inside the rest.
        const double left = 12 * m_dpm, right = 38 * m_dpm, top = 52 * m_dpm, bottom = 78 * m_dpm;
        Canvas canvas = drawn();
        QVERIFY(canvas.inkShare(left + 2, right - 2, top) > 0.95 && canvas.inkShare(left + 2, right - 2, bottom) > 0.95);
        QVERIFY(canvas.inkNear((left + right) / 2, (top + bottom) / 2));   // the diagonal
        m_field->setSplitsCount(0);
        QCOMPARE(drawn().inkShare(left + 2, right - 2, top), 0.0);
    }

    // Without borders cells are dotted on screen, unruled on paper.
    void frames_data()
    {
        QTest::addColumn<bool>("borders");
        QTest::newRow("borders") << true;
        QTest::newRow("no borders") << false;
    }
    void frames()
    {
        QFETCH(bool, borders);
        makeTable(2, 2);
        m_field->setDrawBorders(borders);
        const Canvas canvas = drawn(false);
        for (double y : {20, 30, 38}) {   // top, below the header, below the row
            const double s = canvas.inkShare(10 * m_dpm + 3, 70 * m_dpm - 3, y * m_dpm);
            QVERIFY2(borders ? s > 0.95 : s > 0.15 && s < 0.8, qPrintable(QString::number(s)));
        }
        QTemporaryDir dir;
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("table.pdf")));
        m_page->setDataMode(true);   // texts that fit, so that no clip path is written
        QPainter painter(&printer);
        m_field->draw(&painter, m_dpm, 0.0);
        painter.end();
        const QByteArray content = PdfFile::content(printer.outputFileName());
        QVERIFY(content.contains("BT"));                  // the cell texts
        // The ruling as plain rectangles, not as outlines filled path by path.
        QCOMPARE(content.contains(" re\n"), borders);
        QVERIFY(!content.contains(" m\n"));
    }

    // A second layout with nothing changed returns at once (the page asks
    // every table again for its overflow flag right after drawing it); a
    // change of anything the layout reads is laid out as afresh.
    void layoutIsRedoneOnlyAfterAChange_data()
    {
        QTest::addColumn<int>("change");
        const char* const changes[] = {"nothing", "column width", "font", "header", "area height",
                                       "rows added", "width dragged"};
        for (int i = 0; i < 7; ++i)
            QTest::newRow(changes[i]) << i;
    }
    void layoutIsRedoneOnlyAfterAChange()
    {
        QFETCH(int, change);
        const int rows = 300;
        makeTable(rows);
        for (int r = 0; r < rows; ++r)
            setData(r, 0, QStringLiteral("Дисциплина учебного плана номер %1").arg(r));
        m_field->setWordWrap(true);
        setAreas({150, 150}, {160, 0}, {20, 0});
        drawn();
        QElapsedTimer timer;
        timer.start();
        m_field->setPrepared(false);
        m_field->prepare();
        const qint64 full = timer.nsecsElapsed();
        switch (change) {
        case 1: m_field->setColumnsWidth({20, 30, 30}); break;
        case 2: m_field->setFont(QFont(QStringLiteral("Times New Roman"), 16)); break;
        case 3: m_field->setHeaderIsVisible(false); break;
        case 4: m_field->setMaxSplitHeight({100, 150}); break;
        case 5: m_model->appendRow(new QStandardItem(QStringLiteral("Ещё одна дисциплина"))); break;
        case 6: m_field->setWidth(10); break;
        }
        timer.restart();
        m_field->prepare();
        const qint64 again = timer.nsecsElapsed();
        const auto layout = [this] {
            return std::make_tuple(m_field->rowHeights(), m_field->widths(), m_field->totalHeight(),
                                   m_field->overflow(), m_field->width(), m_field->height());
        };
        const auto kept = layout();
        m_field->setPrepared(false);
        m_field->prepare();
        QVERIFY(kept == layout());
        if (change == 0)
            QVERIFY2(again * 20 < full, qPrintable(QStringLiteral("%1 ns after %2 ns").arg(again).arg(full)));
    }

    void shortArraysAreReadWithDefaults()
    {
        makeTable(10, 4);
        m_field->setColumnsWidth({20, 30});
        m_field->setHeaderNames({QStringLiteral("h")});
        m_field->setColumnIds({token("col1")});
        m_field->setColumnsAlign({});
        setAreas({40}, {}, {});
        m_field->setSplitsCount(3);
        m_field->setWordWrap(true);
        m_field->setZOnEmpty(true);
        drawn();
        QCOMPARE(m_field->widths(), (QVector<double>{20, 30, 0, 0}));
        QCOMPARE(m_field->cells().at(0), (QVector<QString>{"r0c1", "", "", ""}));
        QVERIFY(m_field->overflow());   // the first area may not continue
        QCOMPARE(m_field->height(), 40.0);
        m_field->setColumnCount(20);
        m_field->setAutoWidth(true);
        m_field->prepare();
        drawn();
        QCOMPARE(m_field->cells().at(9).size(), 20);
    }

    void modelsAreFetchedWhole()
    {
        makeTable(0, 1);
        auto* stubborn = new StubbornModel(3, 1);
        stubborn->setHorizontalHeaderLabels({QStringLiteral("col1")});
        m_page->addModel("viewspodetails", stubborn, true);
        drawn();
        QVERIFY(m_field->rowCount() == 3 && stubborn->fetchCalls >= 1);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst_tablefield");
            db.setDatabaseName(QStringLiteral(":memory:"));
            QVERIFY(db.open());
            auto* model = new QSqlQueryModel;
            model->setQuery(QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM c WHERE i < 1999) "
                                           "SELECT i AS col1 FROM c"), db);
            QVERIFY(model->rowCount() < 2000);   // the driver hands out a first portion
            m_page->addModel("viewspodetails", model, true);
            drawn();
            QCOMPARE(m_field->rowCount(), 2000);
            QCOMPARE(m_field->cells().at(1999).at(0), QStringLiteral("1999"));
            m_page.reset();   // the model goes before the connection
        }
        QSqlDatabase::removeDatabase("tst_tablefield");
    }
};

VELSPO_TEST_MAIN(TestTableField)
#include "tst_tablefield.moc"
