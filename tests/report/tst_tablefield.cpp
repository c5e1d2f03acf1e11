#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"

#include <QFontMetrics>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

// A model that always claims to have more rows but never delivers any.
class StubbornModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;
    bool canFetchMore(const QModelIndex&) const override { return true; }
    void fetchMore(const QModelIndex&) override { ++fetchCalls; }
    int fetchCalls = 0;
};

const QString details = QStringLiteral("viewspodetails");

QString token(const QString& column)
{
    return QStringLiteral("$D{viewspodetails.%1}").arg(column);
}

// A white image covering the page strip down to heightMm.
QImage blankImage(double dpm, double widthMm = 300.0, double heightMm = 320.0)
{
    QImage image(int(widthMm * dpm) + 1, int(heightMm * dpm) + 1, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

void drawOn(QImage& image, TableField& field, double dpm, double yOffset = 0.0)
{
    QPainter painter(&image);
    field.draw(&painter, dpm, yOffset);
}

bool isDark(const QImage& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return false;
    return qGray(image.pixel(x, y)) < 160;
}

// A dark pixel within one pixel of the point.
bool darkNear(const QImage& image, double x, double y)
{
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (isDark(image, int(x) + dx, int(y) + dy))
                return true;
        }
    }
    return false;
}

// Share of dark pixels along a horizontal line (within one pixel vertically).
double darkShareAlongRow(const QImage& image, double x0, double x1, double y)
{
    int dark = 0;
    int total = 0;
    for (int x = int(x0); x <= int(x1); ++x) {
        ++total;
        if (isDark(image, x, int(y)) || isDark(image, x, int(y) + 1) || isDark(image, x, int(y) - 1))
            ++dark;
    }
    return total ? double(dark) / total : 0.0;
}

// The decompressed content streams of a PDF written by Qt.
QByteArray pdfContent(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray data = file.readAll();
    QByteArray content;
    int pos = 0;
    while ((pos = data.indexOf("stream\n", pos)) >= 0) {
        const int start = pos + 7;
        const int end = data.indexOf("endstream", start);
        if (end < 0)
            break;
        const QByteArray raw = data.mid(start, end - start);
        pos = end;
        if (raw.isEmpty() || quint8(raw.at(0)) != 0x78)
            continue;   // not a zlib stream
        QByteArray sized(4, '\0');
        qToBigEndian<quint32>(quint32(raw.size() * 50 + 4096), sized.data());
        const QByteArray inflated = qUncompress(sized + raw);
        if (inflated.contains("BT") || inflated.contains(" cm\n"))
            content += inflated;
    }
    return content;
}

} // namespace

class TestTableField : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newFieldDefaults();
    void templateModeShowsRawTokens();
    void tokenMapping_data();
    void tokenMapping();
    void modelNameLookupIgnoresCaseAndBlanks();
    void selfContainingValueTerminates();
    void rebindClearsTheOldColumnMap();
    void addModelRebindsTables();

    void fixedWidthsFollowTheColumns();
    void autoWidthsInTemplateMode();
    void autoWidthsInDataMode();
    void rowHeightsWithoutWordWrap();
    void rowHeightsGrowWithWrappedText();
    void gradeWordIsHyphenated_data();
    void gradeWordIsHyphenated();
    void gradeWordLeftAloneWhenItFits();
    void gradeWordLeftAloneWithoutWordWrap();

    void overflowStopsRowsAndClearsAfterAFix();
    void splitContinuesInTheNextArea();
    void splitHeightSetsTheFieldHeight();
    void zStrokeFillsTheBoundedArea();

    void solidFramesOnScreenWithBorders();
    void dottedFramesOnScreenWithoutBorders();
    void noFramesOnPaperWithoutBorders();
    void secondSheetIsShiftedByTheOffset();

    void shortArraysAreReadWithDefaults();
    void deletedModelActsAsNone();
    void nonModelObjectActsAsNone();
    void fieldWithoutPageDrawsNothing();
    void fieldChangedOnFirstLayoutOnly();
    void tablePlacedAfterTheModelBindsOnLayout();
    void templateWithShortArraysSurvivesLayoutAndSave();
    void sqlModelIsFetchedWhole();
    void modelThatNeverDeliversDoesNotHang();
    void streamRoundTrip();

private:
    // A page with the "ViewSpoDetails" model of rows × 3 columns col1..col3
    // and one table field over it.
    void makeTable(int rows, int columns = 3);
    void setData(int row, int column, const QString& text);
    QFontMetrics metrics() const { return QFontMetrics(m_field->scaledFont(m_dpm)); }
    void layOutInDataMode();

    ReportPage* m_page = nullptr;
    QStandardItemModel* m_model = nullptr;
    TableField* m_field = nullptr;
    double m_dpm = 0.0;
};

void TestTableField::init()
{
    m_page = new ReportPage;
    m_dpm = m_page->dotsPerMm();
}

void TestTableField::cleanup()
{
    delete m_page;   // deletes its fields and the models it owns
    m_page = nullptr;
    m_field = nullptr;
    m_model = nullptr;
}

void TestTableField::makeTable(int rows, int columns)
{
    m_model = new QStandardItemModel(rows, 3);
    m_model->setHorizontalHeaderLabels({QStringLiteral("col1"), QStringLiteral("col2"),
                                        QStringLiteral("col3")});
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 3; ++c)
            m_model->setItem(r, c, new QStandardItem(QStringLiteral("r%1c%2").arg(r).arg(c + 1)));
    }
    m_page->addModel(QStringLiteral("ViewSpoDetails"), m_model, true);

    m_field = new TableField;
    m_field->setX(10);
    m_field->setY(20);
    m_field->setColumnCount(columns);
    m_field->setHeaderHeight(10);
    m_field->setRowHeight(8);
    QVector<double> widths;
    QVector<QString> names;
    QVector<QString> ids;
    QVector<quint8> align;
    for (int c = 0; c < columns; ++c) {
        widths.append(30);
        names.append(QString());
        ids.append(token(QStringLiteral("col%1").arg(c + 1)));
        align.append(0);
    }
    m_field->setColumnsWidth(widths);
    m_field->setHeaderNames(names);
    m_field->setColumnIds(ids);
    m_field->setColumnsAlign(align);
    m_page->addField(m_field);
    m_field->setModelName(details);
}

void TestTableField::setData(int row, int column, const QString& text)
{
    m_model->setItem(row, column, new QStandardItem(text));
}

void TestTableField::layOutInDataMode()
{
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
}

// --- Binding and cell texts ---

void TestTableField::newFieldDefaults()
{
    TableField field;
    QCOMPARE(field.type(), 2);
    QCOMPARE(field.headerIsVisible(), true);
    QCOMPARE(field.autoWidth(), false);
    QCOMPARE(int(field.columnCount()), 0);
    QCOMPARE(int(field.previewRowCount()), 1);
    QCOMPARE(field.drawBorders(), true);
    QCOMPARE(field.splitsCount(), 0);
    QCOMPARE(field.minAutoWidth(), 10.0);
    QCOMPARE(field.width(), 20.0);
    QCOMPARE(field.height(), 6.0);
    QVERIFY(field.modelName().isEmpty());
    QVERIFY(!field.overflow());
    QVERIFY(!field.prepared());
    QVERIFY(!field.boundModel());
    field.setColumnCount(300);   // kept in 8 bits
    QCOMPARE(int(field.columnCount()), 300 - 256);
}

void TestTableField::templateModeShowsRawTokens()
{
    makeTable(5);
    m_field->setPreviewRowCount(2);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QVERIFY(!m_field->useData());
    QCOMPARE(m_field->rowCount(), 2);
    QCOMPARE(m_field->cells().size(), 2);
    QCOMPARE(m_field->cells().at(1).at(0), token(QStringLiteral("col1")));

    // Switching to data mode builds the cells from the model.
    m_page->setDataMode(true);
    drawOn(image, *m_field, m_dpm);
    QVERIFY(m_field->useData());
    QCOMPARE(m_field->rowCount(), 5);
    QCOMPARE(m_field->cells().at(4).at(2), QStringLiteral("r4c3"));

    // And back: the raw tokens again.
    m_page->setDataMode(false);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(m_field->rowCount(), 2);
    QCOMPARE(m_field->cells().at(0).at(2), token(QStringLiteral("col3")));
}

void TestTableField::tokenMapping_data()
{
    QTest::addColumn<QString>("cellTemplate");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QString& cellTemplate, const QString& expected) {
        QTest::newRow(name) << cellTemplate << expected;
    };

    row("plain token", token("col2"), "r0c2");
    row("token and letters", token("col1") + "ч.", "r0c1ч.");
    row("two tokens", token("col1") + " / " + token("col3"), "r0c1 / r0c3");
    row("text around", "(" + token("col2") + ")", "(r0c2)");
    row("model name is case-sensitive", "$D{ViewSpoDetails.col1}", "$D{ViewSpoDetails.col1}");
    row("column name is case-sensitive", token("COL1"), "");
    row("missing column", token("nothing"), "");
    row("other model stays", "$D{viewspocourseworks.col1}", "$D{viewspocourseworks.col1}");
    row("lower-case d is text", "$d{viewspodetails.col1}", "$d{viewspodetails.col1}");
    row("brace before token", "a} " + token("col1") + "\\n", "a} " + token("col1") + "\\n");
    row("never closed", "$D{viewspodetails.col1 \\n", "$D{viewspodetails.col1 \\n");
    row("backslash n", token("col1") + "\\n" + token("col2"), "r0c1\nr0c2");
    row("variable", token("col1") + " $V{ Fio }", "r0c1 Иванов");
    row("missing variable", token("col1") + "$V{nothing}", "r0c1");
    row("variable before token", "$V{fio}" + token("col1"), "$V{fio}" + token("col1"));
    row("empty template", "", "");
}

void TestTableField::tokenMapping()
{
    QFETCH(QString, cellTemplate);
    QFETCH(QString, expected);
    makeTable(1, 1);
    m_page->setVariable(QStringLiteral("FIO"), QStringLiteral("Иванов"));
    m_field->setColumnIds({cellTemplate});
    layOutInDataMode();
    QCOMPARE(m_field->cells().size(), 1);
    QCOMPARE(m_field->cells().at(0).at(0), expected);
}

void TestTableField::modelNameLookupIgnoresCaseAndBlanks()
{
    makeTable(2, 1);
    // The page looks models up trimmed and lower-cased ...
    m_field->setModelName(QStringLiteral(" ViewSpoDetails "));
    QCOMPARE(m_field->boundModel(), m_model);
    // ... but tokens are matched against the name as written.
    m_field->setColumnIds({QStringLiteral("$D{ ViewSpoDetails .col1}|") + token("col1")});
    layOutInDataMode();
    QCOMPARE(m_field->cells().at(1).at(0), QStringLiteral("r1c1|") + token("col1"));
}

void TestTableField::selfContainingValueTerminates()
{
    makeTable(2, 1);
    // A subject named like the token of its own column, and one naming another column.
    setData(0, 0, token("col1"));
    setData(1, 0, token("col2") + "}" + token("col1"));
    m_field->setColumnIds({token("col1") + " | " + token("col3")});
    layOutInDataMode();
    QCOMPARE(m_field->cells().at(0).at(0), token("col1") + " | r0c3");
    QCOMPARE(m_field->cells().at(1).at(0), token("col2") + "}" + token("col1") + " | r1c3");
}

void TestTableField::rebindClearsTheOldColumnMap()
{
    makeTable(1, 2);
    m_field->setColumnIds({token("col1"), token("other")});
    QVERIFY(m_field->columnMap().contains(QStringLiteral("col1")));

    auto* second = new QStandardItemModel(1, 1);
    second->setHorizontalHeaderLabels({QStringLiteral("other")});
    second->setItem(0, 0, new QStandardItem(QStringLiteral("new")));
    m_page->addModel(QStringLiteral("second"), second, true);
    QVERIFY(m_field->columnMap().contains(QStringLiteral("col1")));   // not bound to "second"
    m_field->setModelName(QStringLiteral("second"));
    QVERIFY(m_field->boundModel() == second);
    QCOMPARE(m_field->columnMap().keys(), QList<QString>{QStringLiteral("other")});

    m_field->setColumnIds({QStringLiteral("$D{second.col1}"), QStringLiteral("$D{second.other}")});
    layOutInDataMode();
    QCOMPARE(m_field->cells().at(0), (QVector<QString>{QString(), QStringLiteral("new")}));
}

void TestTableField::addModelRebindsTables()
{
    makeTable(3, 1);
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(m_field->rowCount(), 3);

    // A model bound later under the same name replaces the first one; the
    // table follows at its next draw.
    auto* replacement = new QStandardItemModel(1, 1);
    replacement->setHorizontalHeaderLabels({QStringLiteral("col1")});
    replacement->setItem(0, 0, new QStandardItem(QStringLiteral("replaced")));
    m_page->addModel(QStringLiteral("VIEWSPODETAILS"), replacement, true);
    QVERIFY(m_field->boundModel() == replacement);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(m_field->rowCount(), 1);
    QCOMPARE(m_field->cells().at(0).at(0), QStringLiteral("replaced"));
}

// --- Widths and heights ---

void TestTableField::fixedWidthsFollowTheColumns()
{
    makeTable(2, 3);
    m_field->setColumnsWidth({15, 25, 35});
    m_field->prepare();
    QCOMPARE(m_field->widths(), (QVector<double>{15, 25, 35}));
    QCOMPARE(m_field->totalWidth(), 75.0);
    QCOMPARE(m_field->width(), 75.0);
    // Header 10 mm and one preview row of 8 mm.
    QCOMPARE(m_field->totalHeight(), 18.0);
    QCOMPARE(m_field->height(), 18.0);

    m_field->setHeaderIsVisible(false);
    m_field->prepare();
    QCOMPARE(m_field->headerHeightUsed(), 0.0);
    QCOMPARE(m_field->height(), 8.0);
}

void TestTableField::autoWidthsInTemplateMode()
{
    makeTable(1, 3);
    const QString longHeader = QStringLiteral("Наименование учебных дисциплин");
    m_field->setHeaderNames({QStringLiteral("A"), longHeader, QString()});
    m_field->setColumnIds({QStringLiteral("x"), QStringLiteral("y"),
                           QStringLiteral("$D{viewspodetails.col3} и ещё немного текста")});
    m_field->setAutoWidth(true);
    m_field->prepare();

    const QFontMetrics fm = metrics();
    QCOMPARE(m_field->widths().at(0), 10.0);   // short texts: the minimum
    QCOMPARE(m_field->widths().at(1), fm.horizontalAdvance(longHeader) / m_dpm + 2.0);
    QCOMPARE(m_field->widths().at(2),
             fm.horizontalAdvance(m_field->columnIds().at(2)) / m_dpm + 2.0);
    QVERIFY(m_field->widths().at(1) > 10.0);
    QCOMPARE(m_field->width(), m_field->widths().at(0) + m_field->widths().at(1)
                                   + m_field->widths().at(2));
}

void TestTableField::autoWidthsInDataMode()
{
    makeTable(3, 2);
    const QString longValue = QStringLiteral("Основы безопасности жизнедеятельности");
    setData(2, 1, longValue);
    for (int r = 0; r < 3; ++r)
        setData(r, 0, QStringLiteral("5"));
    m_field->setAutoWidth(true);
    layOutInDataMode();
    const QFontMetrics fm = metrics();
    QCOMPARE(m_field->widths().at(0), 10.0);
    QCOMPARE(m_field->widths().at(1), fm.horizontalAdvance(longValue) / m_dpm + 2.0);
    // The raw token is not measured in data mode.
    QVERIFY(m_field->widths().at(0) < fm.horizontalAdvance(token("col1")) / m_dpm + 2.0);
}

void TestTableField::rowHeightsWithoutWordWrap()
{
    makeTable(3, 2);
    setData(0, 0, QString());
    setData(0, 1, QString());
    setData(1, 0, QString(200, QLatin1Char('a')));
    layOutInDataMode();
    QCOMPARE(m_field->rowHeights(), (QVector<double>{8, 8, 8}));
    QCOMPARE(m_field->totalHeight(), 10.0 + 24.0);
}

void TestTableField::rowHeightsGrowWithWrappedText()
{
    makeTable(3, 2);
    m_field->setWordWrap(true);
    setData(0, 0, QString());
    setData(0, 1, QString());
    const QString longText = QStringLiteral(
        "Междисциплинарный курс по организации технического обслуживания и ремонта "
        "электрического и электромеханического оборудования");
    setData(2, 1, longText);
    layOutInDataMode();

    const QVector<double> heights = m_field->rowHeights();
    QCOMPARE(heights.size(), 3);
    QCOMPARE(heights.at(0), 8.0 * 0.7);   // every cell empty
    QCOMPARE(heights.at(1), 8.0);         // short texts keep the row height

    const double p = 0.3 * m_dpm;
    const QRect box(0, 0, int((30.0 - 1.0) * m_dpm), 1800);
    const QRect bounds = metrics().boundingRect(box, m_field->textFlags(0), longText);
    QVERIFY(bounds.height() > 3 * metrics().height() - 1);   // it really wraps
    QCOMPARE(heights.at(2), (bounds.height() + p) / m_dpm);
    QCOMPARE(m_field->totalHeight(), 10.0 + heights.at(0) + heights.at(1) + heights.at(2));
}

void TestTableField::gradeWordIsHyphenated_data()
{
    QTest::addColumn<QString>("grade");
    QTest::addColumn<QString>("expected");
    QTest::newRow("capital") << QStringLiteral("Удовлетворительно")
                             << QStringLiteral("Удовлетво- рительно");
    QTest::newRow("small") << QStringLiteral("удовлетворительно")
                           << QStringLiteral("удовлетво- рительно");
    QTest::newRow("negative") << QStringLiteral("неудовлетворительно")
                              << QStringLiteral("неудовлетво- рительно");
    QTest::newRow("with hours") << QStringLiteral("72 удовлетворительно")
                                << QStringLiteral("72 удовлетво- рительно");
}

void TestTableField::gradeWordIsHyphenated()
{
    QFETCH(QString, grade);
    QFETCH(QString, expected);
    makeTable(1, 1);
    m_field->setWordWrap(true);
    setData(0, 0, grade);

    // A column wide enough for "...удовлетво-" but too narrow for the whole word.
    const QFontMetrics fm = metrics();
    const int word = grade.indexOf(QStringLiteral("довлетворительно")) - 1;
    const double whole = fm.horizontalAdvance(grade.mid(word));
    const double part = fm.horizontalAdvance(grade.mid(word, 9) + QLatin1Char('-'));
    QVERIFY(whole - part > 4 * m_dpm);
    const double width = ((part + whole) / 2.0) / m_dpm + 1.0;
    m_field->setColumnsWidth({width});
    layOutInDataMode();

    const QString cell = m_field->cells().at(0).at(0);
    QCOMPARE(cell, expected);
    // The hyphen and blank stand after the ninth letter of the word.
    QCOMPARE(cell.mid(word + 9, 2), QStringLiteral("- "));
    // Two lines: the row is at least twice a line high.
    const QRect box(0, 0, int((width - 1.0) * m_dpm), 1800);
    const QRect bounds = fm.boundingRect(box, m_field->textFlags(0), cell);
    QVERIFY(bounds.height() >= 2 * fm.height());
    QVERIFY(bounds.width() <= box.width());
    QCOMPARE(m_field->rowHeights().at(0), qMax(8.0, (bounds.height() + 0.3 * m_dpm) / m_dpm));
    QVERIFY(m_field->rowHeights().at(0) * m_dpm >= 2 * fm.height());
}

void TestTableField::gradeWordLeftAloneWhenItFits()
{
    makeTable(1, 1);
    m_field->setWordWrap(true);
    setData(0, 0, QStringLiteral("удовлетворительно"));
    m_field->setColumnsWidth({80});
    layOutInDataMode();
    QCOMPARE(m_field->cells().at(0).at(0), QStringLiteral("удовлетворительно"));
}

void TestTableField::gradeWordLeftAloneWithoutWordWrap()
{
    makeTable(1, 1);
    setData(0, 0, QStringLiteral("Удовлетворительно"));
    m_field->setColumnsWidth({5});
    layOutInDataMode();
    QCOMPARE(m_field->cells().at(0).at(0), QStringLiteral("Удовлетворительно"));
    QCOMPARE(m_field->rowHeights().at(0), 8.0);
}

// --- Areas and overflow ---

void TestTableField::overflowStopsRowsAndClearsAfterAFix()
{
    makeTable(6, 1);
    m_field->setRowHeight(10);
    m_field->setSplitsCount(1);
    m_field->setMaxSplitHeight({50});
    m_field->setSplitX({0});
    m_field->setSplitY({0});
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);

    QVERIFY(m_field->overflow());
    // Header 10 mm and three rows fit below 50 mm; the fourth would touch it.
    const double midX = (10 + 15) * m_dpm;
    QVERIFY(darkNear(image, midX, (20 + 40) * m_dpm));   // bottom of the third row
    QVERIFY(!darkNear(image, midX, (20 + 50) * m_dpm));  // the fourth row is not drawn
    QVERIFY(!darkNear(image, midX, (20 + 60) * m_dpm));

    // The template is mended: the next layout no longer reports overflow.
    m_field->setMaxSplitHeight({100});
    m_field->prepare();
    QVERIFY(!m_field->overflow());
    image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QVERIFY(darkNear(image, midX, (20 + 70) * m_dpm));   // the last row's bottom

    // An unbounded table never overflows.
    m_field->setMaxSplitHeight({50});
    m_field->prepare();
    QVERIFY(m_field->overflow());
    m_field->setSplitsCount(0);
    m_field->prepare();
    QVERIFY(!m_field->overflow());
}

void TestTableField::splitContinuesInTheNextArea()
{
    makeTable(6, 1);
    m_field->setRowHeight(10);
    m_field->setSplitsCount(1);
    m_field->setMaxSplitHeight({50});
    m_field->setSplitX({100});
    m_field->setSplitY({250});
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QVERIFY(!m_field->overflow());

    // Rows 0-2 in the first area, rows 3-5 from (100 mm, 250 mm), without a header.
    const double firstMid = (10 + 15) * m_dpm;
    QVERIFY(darkNear(image, firstMid, (20 + 40) * m_dpm));
    QVERIFY(!darkNear(image, firstMid, (20 + 50) * m_dpm));
    const double secondMid = (100 + 15) * m_dpm;
    QVERIFY(darkNear(image, secondMid, 250 * m_dpm));
    QVERIFY(darkNear(image, secondMid, 260 * m_dpm));
    QVERIFY(darkNear(image, secondMid, 280 * m_dpm));
    QVERIFY(!darkNear(image, secondMid, 290 * m_dpm));
    QVERIFY(darkNear(image, 100 * m_dpm, 255 * m_dpm));   // left edge of the continued rows
    QVERIFY(darkNear(image, 130 * m_dpm, 255 * m_dpm));   // right edge
}

void TestTableField::splitHeightSetsTheFieldHeight()
{
    makeTable(6, 1);
    m_field->setSplitsCount(2);
    m_field->setMaxSplitHeight({30, 0});
    m_field->setSplitX({100, 0});
    m_field->setSplitY({200, 0});
    m_field->prepare();
    QCOMPARE(m_field->height(), 30.0);

    // A first area of height 0 is unbounded, and so is the field's height.
    m_field->setMaxSplitHeight({0, 0});
    m_field->prepare();
    QCOMPARE(m_field->height(), 0.0);
    QVERIFY(!m_field->overflow());
}

void TestTableField::zStrokeFillsTheBoundedArea()
{
    makeTable(2, 1);
    m_field->setZOnEmpty(true);
    m_field->setRowHeight(10);
    m_field->setSplitsCount(1);
    m_field->setMaxSplitHeight({60});
    m_field->setSplitX({0});
    m_field->setSplitY({0});
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);

    // Rows end at 30 mm below the top; the Z runs from 32 mm to 58 mm.
    const double left = (10 + 2) * m_dpm;
    const double right = (10 + 30 - 2) * m_dpm;
    const double top = (20 + 32) * m_dpm;
    const double bottom = (20 + 58) * m_dpm;
    QVERIFY(darkShareAlongRow(image, left + 2, right - 2, top) > 0.95);
    QVERIFY(darkShareAlongRow(image, left + 2, right - 2, bottom) > 0.95);
    QVERIFY(darkNear(image, (left + right) / 2, (top + bottom) / 2));   // the diagonal
    QVERIFY(!darkNear(image, left + 3, (top + bottom) / 2 - 10));

    // No Z when the table has no bounded area.
    m_field->setSplitsCount(0);
    m_field->prepare();
    image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(darkShareAlongRow(image, left + 2, right - 2, top), 0.0);
}

// --- Frames on screen and on paper ---

void TestTableField::solidFramesOnScreenWithBorders()
{
    makeTable(2, 2);
    m_field->setColumnIds({QString(), QString()});
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    const double x0 = 10 * m_dpm;
    const double x1 = 70 * m_dpm;
    QVERIFY(darkShareAlongRow(image, x0 + 3, x1 - 3, 20 * m_dpm) > 0.95);
    QVERIFY(darkShareAlongRow(image, x0 + 3, x1 - 3, 30 * m_dpm) > 0.95);   // below the header
    QVERIFY(darkShareAlongRow(image, x0 + 3, x1 - 3, 38 * m_dpm) > 0.95);   // below the row
    QVERIFY(darkNear(image, 40 * m_dpm, 25 * m_dpm));                        // column boundary
}

void TestTableField::dottedFramesOnScreenWithoutBorders()
{
    makeTable(2, 2);
    m_field->setColumnIds({QString(), QString()});
    m_field->setDrawBorders(false);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    const double share = darkShareAlongRow(image, 10 * m_dpm + 3, 70 * m_dpm - 3, 20 * m_dpm);
    QVERIFY2(share > 0.15 && share < 0.8, qPrintable(QString::number(share)));
    const double rowShare = darkShareAlongRow(image, 10 * m_dpm + 3, 70 * m_dpm - 3, 38 * m_dpm);
    QVERIFY(rowShare > 0.15 && rowShare < 0.8);
}

void TestTableField::noFramesOnPaperWithoutBorders()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto printTable = [&](bool borders, const QString& name) {
        makeTable(2, 2);
        m_field->setDrawBorders(borders);
        m_page->setDataMode(true);
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString fileName = dir.filePath(name);
        printer.setOutputFileName(fileName);
        QPainter painter(&printer);
        m_field->draw(&painter, m_page->dotsPerMm(), 0.0);
        painter.end();
        delete m_page;
        m_page = new ReportPage;
        return pdfContent(fileName);
    };

    const QByteArray withBorders = printTable(true, QStringLiteral("borders.pdf"));
    const QByteArray without = printTable(false, QStringLiteral("plain.pdf"));
    QVERIFY(withBorders.contains("BT"));   // the cell texts are there
    QVERIFY(without.contains("BT"));
    QVERIFY(withBorders.contains(" m\n"));   // paths for the ruling
    QVERIFY2(!without.contains(" m\n"), without.constData());
}

void TestTableField::secondSheetIsShiftedByTheOffset()
{
    makeTable(1, 1);
    m_field->setColumnIds({QString()});
    m_field->setY(230);   // on the second sheet of a 210 mm strip
    QImage image = blankImage(m_dpm, 300, 100);
    drawOn(image, *m_field, m_dpm, 210 * m_dpm);
    QVERIFY(darkShareAlongRow(image, 10 * m_dpm + 3, 40 * m_dpm - 3, 20 * m_dpm) > 0.95);
}

// --- Damaged templates and models ---

void TestTableField::shortArraysAreReadWithDefaults()
{
    makeTable(10, 4);
    m_field->setColumnsWidth({20, 30});
    m_field->setHeaderNames({QStringLiteral("h")});
    m_field->setColumnIds({token("col1")});
    m_field->setColumnsAlign({});
    m_field->setSplitsCount(3);
    m_field->setMaxSplitHeight({40});
    m_field->setSplitX({});
    m_field->setSplitY({});
    m_field->setWordWrap(true);
    m_field->setZOnEmpty(true);
    layOutInDataMode();

    QCOMPARE(m_field->widths(), (QVector<double>{20, 30, 0, 0}));
    QCOMPARE(m_field->cells().size(), 10);
    QCOMPARE(m_field->cells().at(0), (QVector<QString>{"r0c1", "", "", ""}));
    QVERIFY(m_field->overflow());   // the first area may not continue
    QCOMPARE(m_field->height(), 40.0);
    // The template itself is left as it was, so saving does not change it.
    QCOMPARE(m_field->columnsWidth().size(), 2);
    QCOMPARE(m_field->headerNames().size(), 1);
    QCOMPARE(m_field->columnIds().size(), 1);
    QCOMPARE(m_field->columnsAlign().size(), 0);
    QCOMPARE(m_field->splitX().size(), 0);
    QCOMPARE(m_field->columnWidthAt(3), 0.0);
    QCOMPARE(m_field->headerNameAt(-1), QString());
    QCOMPARE(int(m_field->columnAlignAt(7)), 0);
    QCOMPARE(m_field->splitYAt(2), 0.0);

    // Split arrays of the right length with a column count beyond every array.
    m_field->setColumnCount(20);
    m_field->setAutoWidth(true);
    m_field->setMaxSplitHeight({0, 0, 0});
    m_field->prepare();
    QCOMPARE(m_field->widths().size(), 20);
    QVERIFY(!m_field->overflow());
}

void TestTableField::deletedModelActsAsNone()
{
    makeTable(4, 2);
    m_field->setHeaderNames({QStringLiteral("Предмет"), QStringLiteral("Часы")});
    layOutInDataMode();
    QCOMPARE(m_field->rowCount(), 4);

    delete m_model;
    m_model = nullptr;
    QVERIFY(!m_field->boundModel());
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(m_field->rowCount(), 0);
    QVERIFY(m_field->cells().isEmpty());
    QVERIFY(darkShareAlongRow(image, 10 * m_dpm + 3, 70 * m_dpm - 3, 20 * m_dpm) > 0.95);  // header
    QCOMPARE(darkShareAlongRow(image, 10 * m_dpm + 3, 70 * m_dpm - 3, 38 * m_dpm), 0.0);   // no rows

    QVERIFY(!m_field->rebind());
    QVERIFY(m_field->columnMap().isEmpty());
    m_field->prepare();
    QCOMPARE(m_field->rowCount(), 0);
}

void TestTableField::nonModelObjectActsAsNone()
{
    makeTable(3, 1);
    m_page->addModel(details, new QObject, true);
    QVERIFY(!m_field->boundModel());
    QVERIFY(m_field->columnMap().isEmpty());
    layOutInDataMode();
    QCOMPARE(m_field->rowCount(), 0);
}

void TestTableField::fieldWithoutPageDrawsNothing()
{
    TableField field;
    field.setColumnCount(2);
    field.setColumnsWidth({20, 20});
    field.setHeaderHeight(10);
    field.setRowHeight(10);
    field.setModelName(details);
    QVERIFY(!field.rebind());
    QVERIFY(!field.boundModel());

    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::white);
    const QImage before = image;
    {
        QPainter painter(&image);
        field.draw(&painter, 4.0, 0.0);
        field.draw(&painter, -1.0, 0.0);
    }
    QCOMPARE(image, before);
    field.prepare();
    QVERIFY(!field.prepared());
    field.draw(nullptr, 4.0, 0.0);

    // Once placed on a page it draws and binds.
    auto* model = new QStandardItemModel(2, 1);
    model->setHorizontalHeaderLabels({QStringLiteral("col1")});
    m_page->addModel(details, model, true);
    QVERIFY(!field.boundModel());   // not on the page yet
    field.setPage(m_page);
    QVERIFY(field.rebind());
    QVERIFY(field.boundModel() == model);
    {
        QPainter painter(&image);
        field.draw(&painter, m_dpm, 0.0);
    }
    QVERIFY(image != before);
    QVERIFY(field.prepared());
    field.setPage(nullptr);
}

void TestTableField::fieldChangedOnFirstLayoutOnly()
{
    makeTable(2, 1);
    QSignalSpy spy(m_field, &AbstractField::fieldChanged);
    m_field->prepare();
    QCOMPARE(spy.count(), 1);
    m_field->prepare();
    QImage image = blankImage(m_dpm);
    drawOn(image, *m_field, m_dpm);
    QCOMPARE(spy.count(), 1);
    QVERIFY(m_field->prepared());
}

void TestTableField::tablePlacedAfterTheModelBindsOnLayout()
{
    auto* model = new QStandardItemModel(2, 1);
    model->setHorizontalHeaderLabels({QStringLiteral("col1")});
    model->setItem(1, 0, new QStandardItem(QStringLiteral("second")));
    m_page->addModel(details, model, true);

    auto* field = new TableField;
    field->setColumnCount(1);
    field->setColumnsWidth({30});
    field->setColumnIds({token("col1")});
    field->setModelName(details);   // no page yet: nothing to bind to
    QVERIFY(!field->boundModel());
    m_page->fields().append(field);
    field->setPage(m_page);
    m_page->setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *field, m_dpm);
    QVERIFY(field->boundModel() == model);
    QCOMPARE(field->rowCount(), 2);
    QCOMPARE(field->cells().at(1).at(0), QStringLiteral("second"));
}

void TestTableField::templateWithShortArraysSurvivesLayoutAndSave()
{
    makeTable(3, 3);
    m_field->setColumnsWidth({20});
    m_field->setColumnIds({token("col1"), token("col2")});
    m_field->setColumnsAlign({4});
    m_field->setSplitsCount(2);
    m_field->setMaxSplitHeight({25});
    m_field->setSplitX({100});
    QJsonObject saved;
    m_page->write(saved);

    ReportPage loaded;
    loaded.read(saved);
    QCOMPARE(loaded.fields().size(), 1);
    auto* table = qobject_cast<TableField*>(loaded.fields().first());
    QVERIFY(table);
    loaded.addModel(details, m_model, false);
    QVERIFY(table->boundModel() == m_model);
    loaded.setDataMode(true);
    QImage image = blankImage(m_dpm);
    drawOn(image, *table, m_dpm);
    table->prepare();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->cells().at(2), (QVector<QString>{"r2c1", "r2c2", ""}));
    QCOMPARE(table->widths(), (QVector<double>{20, 0, 0}));
    // Rows go on at (100 mm, 0 mm) after 25 mm; the second area is bounded at 0,
    // so the table never overflows.
    QVERIFY(!table->overflow());

    QJsonObject again;
    loaded.write(again);
    QCOMPARE(again.value(QStringLiteral("tableFields")).toArray().first().toObject()
                 .value(QStringLiteral("columnsWidth")).toArray().size(), 1);
    QJsonObject savedTable = saved.value(QStringLiteral("tableFields")).toArray().first().toObject();
    QJsonObject againTable = again.value(QStringLiteral("tableFields")).toArray().first().toObject();
    // Layout changes the field's size, nothing else.
    savedTable.remove(QStringLiteral("width"));
    savedTable.remove(QStringLiteral("height"));
    againTable.remove(QStringLiteral("width"));
    againTable.remove(QStringLiteral("height"));
    QCOMPARE(againTable, savedTable);
}

void TestTableField::sqlModelIsFetchedWhole()
{
    const QString connection = QStringLiteral("tst_tablefield");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("CREATE TABLE t (n INTEGER)")));
        QVERIFY(db.transaction());
        QVERIFY(query.prepare(QStringLiteral("INSERT INTO t (n) VALUES (?)")));
        for (int i = 0; i < 700; ++i) {
            query.addBindValue(i);
            QVERIFY(query.exec());
        }
        QVERIFY(db.commit());

        auto* model = new QSqlQueryModel;
        model->setQuery(QStringLiteral("SELECT n AS col1 FROM t ORDER BY n"), db);
        QVERIFY(model->rowCount() < 700);   // the driver hands out a first portion

        makeTable(0, 1);
        m_page->addModel(details, model, true);
        QVERIFY(m_field->boundModel() == model);
        layOutInDataMode();
        QCOMPARE(m_field->rowCount(), 700);
        QCOMPARE(m_field->cells().size(), 700);
        QCOMPARE(m_field->cells().at(699).at(0), QStringLiteral("699"));
        QCOMPARE(m_field->rowHeights().size(), 700);

        delete m_page;   // the model goes with it, before the connection
        m_page = new ReportPage;
        m_field = nullptr;
        m_model = nullptr;
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

void TestTableField::modelThatNeverDeliversDoesNotHang()
{
    makeTable(0, 1);
    auto* model = new StubbornModel(3, 1);
    model->setHorizontalHeaderLabels({QStringLiteral("col1")});
    m_page->addModel(details, model, true);
    layOutInDataMode();
    QCOMPARE(m_field->rowCount(), 3);
    QVERIFY(model->fetchCalls >= 1);
}

void TestTableField::streamRoundTrip()
{
    makeTable(1, 2);
    m_field->setColumnsAlign({});
    m_field->setDrawBorders(false);
    m_field->setAutoWidth(true);
    m_field->setPreviewRowCount(4);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        m_field->writeStream(out);
    }
    TableField copy;
    QDataStream in(bytes);
    copy.readStream(in);
    QCOMPARE(in.status(), QDataStream::Ok);
    QCOMPARE(copy.x(), 10.0);
    QCOMPARE(int(copy.columnCount()), 2);
    QCOMPARE(int(copy.previewRowCount()), 4);
    QCOMPARE(copy.autoWidth(), true);
    QCOMPARE(copy.drawBorders(), false);
    QCOMPARE(copy.columnsWidth(), m_field->columnsWidth());
    QCOMPARE(copy.columnIds(), m_field->columnIds());
    QCOMPARE(copy.modelName(), details);
    QCOMPARE(copy.columnsAlign().size(), 2);   // grown to the column count
}

VELSPO_TEST_MAIN(TestTableField)

#include "tst_tablefield.moc"
