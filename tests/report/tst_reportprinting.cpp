#include "support/ModalAnswerer.h"
#include "support/PreviewDriver.h"
#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStandardItemModel>
#include <QTemporaryDir>

namespace {

const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");
const QString insertNext = QStringLiteral("Вставьте следующий лист");
const QString overflowQuestion =
    QStringLiteral("Данные таблиц не помещаются на данном бланке и будут обрезаны.\nПродолжить?!");

// Height of a landscape A4 sheet on the page strip, mm.
const double sheetHeight = 210.0;

QString mark(int index)
{
    return QStringLiteral("[preview %1]").arg(index);
}

QPixmap filled(const QColor& color)
{
    QPixmap pixmap(297, 210);
    pixmap.fill(color);
    return pixmap;
}

TextField* addText(ReportPage& page, double x, double y, const QString& text)
{
    auto* field = new TextField;
    field->setX(x);
    field->setY(y);
    field->setWidth(150);
    field->setHeight(12);
    field->setText(text);
    page.addField(field);
    return field;
}

// A page of the given number of sheets with one labelled text field near the
// top left corner of each sheet, and red and blue backgrounds.
void makeSheets(ReportPage& page, int sheets)
{
    page.setPagesCount(sheets);
    page.setBackgroundImage(filled(Qt::red));
    page.setBackgroundImage2(filled(Qt::blue));
    page.setVariable(QStringLiteral("name"), QStringLiteral("Иванов"));
    for (int k = 0; k < qMax(sheets, 1); ++k)
        addText(page, 5, k * sheetHeight + 5, QStringLiteral("Лист%1 $V{name}").arg(k + 1));
}

// A table of rows model rows bound to "Subjects": the first area takes about
// five rows and the table may not continue, so it overflows.
QStandardItemModel* addOverflowingTable(ReportPage& page, int rows)
{
    auto* model = new QStandardItemModel(rows, 1, &page);
    model->setHorizontalHeaderLabels({QStringLiteral("name")});
    for (int r = 0; r < rows; ++r)
        model->setItem(r, 0, new QStandardItem(QStringLiteral("Строка%1").arg(r + 1)));
    auto* table = new TableField;
    table->setX(20);
    table->setY(40);
    table->setColumnCount(1);
    table->setColumnsWidth({120});
    table->setHeaderNames({QStringLiteral("Предмет")});
    table->setColumnIds({QStringLiteral("$D{Subjects.name}")});
    table->setHeaderHeight(8);
    table->setRowHeight(8);
    table->setSplitsCount(1);
    table->setMaxSplitHeight({50});
    table->setSplitX({0});
    table->setSplitY({0});
    table->setModelName(QStringLiteral("Subjects"));
    page.addField(table);
    page.addModel(QStringLiteral("Subjects"), model, false);
    return model;
}

QColor centreColour(const QString& pdf)
{
    const QImage image = PreviewDriver::pdfImage(pdf);
    if (image.isNull())
        return QColor();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool isWhite(const QColor& c)
{
    return c.isValid() && c.red() > 240 && c.green() > 240 && c.blue() > 240;
}

bool isRed(const QColor& c)
{
    return c.isValid() && c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

bool isBlue(const QColor& c)
{
    return c.isValid() && c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

} // namespace

// Printing a page sheet by sheet through its print previews, with a driver
// in place of the person who answers the boxes and presses Print.
class TestReportPrinting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void promptsBetweenSheets_data();
    void promptsBetweenSheets();
    void closingAPreviewStillMovesOn();
    void noSheetsShowNothing_data();
    void noSheetsShowNothing();

    void backgroundQuestionNoPrintsNothing();
    void backgroundOnDrawsImagesOnTheFirstTwoSheets();
    void backgroundOffDrawsNoImage();
    void designerKeepsThePagesBackgroundSetting();

    void dataModeChoosesValuesOrTemplateText();
    void laterSheetsShowTheFieldsBelowTheFirst();
    void previewGeometry();

    void overflowNoClosesThePreviewAndEndsTheRun();
    void overflowYesPrintsTheTableCutOff();
    void overflowIsAskedOnlyOnSheetZero();
    void fittingTableAsksNothing();

    void pageDeletedWhilePreviewOpen();
    void newRunWhileAPreviewIsOpen();
    void renderPageWithoutPrinterOrDeviceDoesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<PreviewDriver> m_driver;
};

void TestReportPrinting::init()
{
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_out->isValid());
    m_answerer = std::make_unique<ModalAnswerer>();
    m_driver = std::make_unique<PreviewDriver>(m_answerer.get(), m_out->path());
}

void TestReportPrinting::cleanup()
{
    // Every run ends without a preview left behind.
    QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
    m_driver.reset();
    m_answerer.reset();
    m_out.reset();
}

void TestReportPrinting::promptsBetweenSheets_data()
{
    QTest::addColumn<int>("sheets");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("1") << 1 << QStringList{mark(0)};
    QTest::newRow("2") << 2 << QStringList{mark(0), turnOver, mark(1)};
    QTest::newRow("3") << 3 << QStringList{mark(0), turnOver, mark(1), insertNext, mark(2)};
    QTest::newRow("4") << 4
                       << QStringList{mark(0), turnOver, mark(1), insertNext, mark(2), turnOver, mark(3)};
}

void TestReportPrinting::promptsBetweenSheets()
{
    QFETCH(int, sheets);
    QFETCH(QStringList, expected);
    ReportPage page;
    makeSheets(page, sheets);
    page.print(true, -1);

    QCOMPARE(m_driver->events(), expected);
    // The prompts have no title and only Ok.
    for (const QString& title : m_answerer->titles())
        QCOMPARE(title, QString());
    QCOMPARE(page.pageIndex(), sheets);
    QVERIFY(!page.cancelled());
    QVERIFY(!page.preview());

    // Each sheet's PDF holds that sheet's field and no other.
    const QStringList pdfs = m_driver->pdfFiles();
    QCOMPARE(pdfs.size(), sheets);
    for (int k = 0; k < sheets; ++k) {
        const QString text = PreviewDriver::pdfText(pdfs.at(k));
        QVERIFY2(text.contains(QStringLiteral("Лист%1 Иванов").arg(k + 1)), qPrintable(text));
        for (int other = 0; other < sheets; ++other) {
            if (other != k)
                QVERIFY2(!text.contains(QStringLiteral("Лист%1").arg(other + 1)), qPrintable(text));
        }
    }
}

void TestReportPrinting::closingAPreviewStillMovesOn()
{
    ReportPage page;
    makeSheets(page, 3);
    m_driver->setActions({PreviewDriver::Close, PreviewDriver::PrintToPdf, PreviewDriver::Close});
    page.print(true, -1);
    QCOMPARE(m_driver->events(), (QStringList{mark(0), turnOver, mark(1), insertNext, mark(2)}));
    QCOMPARE(m_driver->pdfFiles().size(), 1);
    QVERIFY(PreviewDriver::pdfText(m_driver->pdfFiles().first()).contains(QStringLiteral("Лист2")));
    QCOMPARE(page.pageIndex(), 3);
}

void TestReportPrinting::noSheetsShowNothing_data()
{
    QTest::addColumn<int>("sheets");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
}

void TestReportPrinting::noSheetsShowNothing()
{
    QFETCH(int, sheets);
    ReportPage page;
    makeSheets(page, sheets);
    // Not even the background question.
    page.print(true, 1);
    QVERIFY(m_driver->events().isEmpty());
    QCOMPARE(m_driver->previewCount(), 0);
    QVERIFY(page.dataMode());
    QVERIFY(page.printBackgroundImage());
}

void TestReportPrinting::backgroundQuestionNoPrintsNothing()
{
    ReportPage page;
    makeSheets(page, 2);
    m_answerer->answer(QMessageBox::No);
    page.print(true, 1);
    QCOMPARE(m_driver->events(), QStringList{backgroundQuestion});
    QCOMPARE(m_answerer->titles(), QStringList{QStringLiteral("Внимание!")});
    QCOMPARE(m_driver->previewCount(), 0);
    QVERIFY(m_driver->pdfFiles().isEmpty());
    QVERIFY(QDir(m_out->path()).entryList(QDir::Files).isEmpty());
    QVERIFY(!page.preview());
    QCOMPARE(page.pageIndex(), 0);
    QVERIFY(!page.cancelled());
}

void TestReportPrinting::backgroundOnDrawsImagesOnTheFirstTwoSheets()
{
    ReportPage page;
    makeSheets(page, 3);
    m_answerer->answer(QMessageBox::Yes);
    page.print(true, 1);
    QCOMPARE(m_driver->events(),
             (QStringList{backgroundQuestion, mark(0), turnOver, mark(1), insertNext, mark(2)}));
    const QStringList pdfs = m_driver->pdfFiles();
    QCOMPARE(pdfs.size(), 3);
    QVERIFY2(isRed(centreColour(pdfs[0])), qPrintable(centreColour(pdfs[0]).name()));
    QVERIFY2(isBlue(centreColour(pdfs[1])), qPrintable(centreColour(pdfs[1]).name()));
    QVERIFY2(isWhite(centreColour(pdfs[2])), qPrintable(centreColour(pdfs[2]).name()));
    // The fields are drawn over the image.
    QVERIFY(PreviewDriver::pdfText(pdfs[0]).contains(QStringLiteral("Лист1 Иванов")));
}

void TestReportPrinting::backgroundOffDrawsNoImage()
{
    ReportPage page;
    makeSheets(page, 2);
    // The template asks for the background; the print request switches it off.
    page.setPrintBackgroundImage(true);
    page.print(true, -1);
    QVERIFY(!page.printBackgroundImage());
    QCOMPARE(m_driver->events(), (QStringList{mark(0), turnOver, mark(1)}));
    const QStringList pdfs = m_driver->pdfFiles();
    QCOMPARE(pdfs.size(), 2);
    QVERIFY(isWhite(centreColour(pdfs[0])));
    QVERIFY(isWhite(centreColour(pdfs[1])));
}

void TestReportPrinting::designerKeepsThePagesBackgroundSetting()
{
    ReportPage page;
    makeSheets(page, 1);
    page.setPrintBackgroundImage(true);
    m_answerer->answer(QMessageBox::Yes);
    page.print(false, 0);
    QVERIFY(page.printBackgroundImage());
    QCOMPARE(m_driver->events(), (QStringList{backgroundQuestion, mark(0)}));
    QVERIFY(isRed(centreColour(m_driver->pdfFiles().value(0))));

    page.setPrintBackgroundImage(false);
    page.print(false, 0);
    QVERIFY(!page.printBackgroundImage());
    QCOMPARE(m_driver->events(), (QStringList{backgroundQuestion, mark(0), mark(1)}));
    QVERIFY(isWhite(centreColour(m_driver->pdfFiles().value(1))));
}

void TestReportPrinting::dataModeChoosesValuesOrTemplateText()
{
    ReportPage page;
    makeSheets(page, 1);
    page.print(false, -1);
    QVERIFY(!page.dataMode());
    QVERIFY(PreviewDriver::pdfText(m_driver->pdfFiles().value(0)).contains(QStringLiteral("Лист1 $V{name}")));
    page.print(true, -1);
    QVERIFY(page.dataMode());
    const QString text = PreviewDriver::pdfText(m_driver->pdfFiles().value(1));
    QVERIFY(text.contains(QStringLiteral("Лист1 Иванов")));
    QVERIFY(!text.contains(QStringLiteral("$V{")));
}

void TestReportPrinting::laterSheetsShowTheFieldsBelowTheFirst()
{
    // Rendered directly into a PDF printer at the page's resolution: a field
    // at 250 mm belongs to sheet 1 (40 mm from its top).
    ReportPage page;
    page.setPagesCount(2);
    page.setDataMode(true);
    addText(page, 10, 250, QStringLiteral("Нижний"));
    addText(page, 10, 20, QStringLiteral("Верхний"));
    QPrinter* printer = page.printer();
    printer->setOutputFormat(QPrinter::PdfFormat);

    const QString first = m_out->filePath(QStringLiteral("0.pdf"));
    printer->setOutputFileName(first);
    page.setPageIndex(0);
    page.renderPage(printer);
    const QString second = m_out->filePath(QStringLiteral("1.pdf"));
    printer->setOutputFileName(second);
    page.setPageIndex(1);
    page.renderPage(printer);

    const QString top = PreviewDriver::pdfText(first);
    const QString bottom = PreviewDriver::pdfText(second);
    QVERIFY2(top.contains(QStringLiteral("Верхний")) && !top.contains(QStringLiteral("Нижний")), qPrintable(top));
    QVERIFY2(bottom.contains(QStringLiteral("Нижний")) && !bottom.contains(QStringLiteral("Верхний")),
             qPrintable(bottom));
    QVERIFY(!bottom.isEmpty());

    // Position on sheet 1: 40 mm down, so in the upper third of the sheet.
    const QImage image = PreviewDriver::pdfImage(second, 50);
    QVERIFY(!image.isNull());
    int firstInkRow = -1;
    for (int y = 0; y < image.height() && firstInkRow < 0; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                firstInkRow = y;
                break;
            }
        }
    }
    const double inkMm = firstInkRow * 25.4 / 50;
    QVERIFY2(firstInkRow >= 0 && inkMm > 38 && inkMm < 50, qPrintable(QString::number(inkMm)));
}

void TestReportPrinting::previewGeometry()
{
    ReportPage page;
    makeSheets(page, 1);
    page.print(true, -1);
    QCOMPARE(m_driver->geometries().size(), 1);
    const QRect shown = m_driver->geometries().first();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(shown.height(), int(available.height() * 0.9));
    QCOMPARE(shown.x(), (available.left() + available.right()) / 2 - (shown.width() - 1) / 2);
    QCOMPARE(shown.y(), (available.top() + available.bottom()) / 2 - (shown.height() - 1) / 2);
    QVERIFY(m_driver->flags().first() & Qt::WindowMaximizeButtonHint);
}

void TestReportPrinting::overflowNoClosesThePreviewAndEndsTheRun()
{
    ReportPage page;
    makeSheets(page, 3);
    addOverflowingTable(page, 30);
    m_driver->setAction(PreviewDriver::Leave);
    m_answerer->answer(QMessageBox::No);
    page.print(true, -1);
    // The warning comes while sheet 0 is shown; its preview closes and no
    // second sheet follows.
    QCOMPARE(m_answerer->texts(), QStringList{overflowQuestion});
    QCOMPARE(m_answerer->titles(), QStringList{QStringLiteral("Внимание!")});
    QVERIFY(m_driver->previewCount() <= 1);
    QVERIFY(page.cancelled());
    QCOMPARE(page.pageIndex(), 0);
    QVERIFY(!page.preview());

    // A new run starts afresh and asks again.
    m_driver->setAction(PreviewDriver::Close);
    m_answerer->answer(QMessageBox::Yes);
    page.print(true, -1);
    QVERIFY(!page.cancelled());
    QCOMPARE(page.pageIndex(), 3);
    QCOMPARE(m_answerer->texts().count(overflowQuestion), 2);
}

void TestReportPrinting::overflowYesPrintsTheTableCutOff()
{
    ReportPage page;
    makeSheets(page, 2);
    addOverflowingTable(page, 30);
    m_answerer->answer(QMessageBox::Yes);
    page.print(true, -1);
    // Asked once, although sheet 0 was painted for the preview and again
    // for the print.
    QCOMPARE(m_driver->events(), (QStringList{overflowQuestion, mark(0), turnOver, mark(1)}));
    QVERIFY(!page.cancelled());
    const QString text = PreviewDriver::pdfText(m_driver->pdfFiles().value(0));
    QVERIFY2(text.contains(QStringLiteral("Строка1")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("Строка30")), qPrintable(text));
}

void TestReportPrinting::overflowIsAskedOnlyOnSheetZero()
{
    // The overflow shows on sheet 0's request; rendering sheet 1 directly
    // asks nothing.
    ReportPage page;
    makeSheets(page, 2);
    addOverflowingTable(page, 30);
    page.setDataMode(true);
    QPrinter* printer = page.printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(m_out->filePath(QStringLiteral("s1.pdf")));
    page.setPageIndex(1);
    page.renderPage(printer);
    QVERIFY(m_answerer->texts().isEmpty());
    QVERIFY(!page.cancelled());

    // Sheet 0 outside a run: the answer No only marks the run cancelled.
    m_answerer->answer(QMessageBox::No);
    printer->setOutputFileName(m_out->filePath(QStringLiteral("s0.pdf")));
    page.setPageIndex(0);
    page.renderPage(printer);
    QCOMPARE(m_answerer->texts(), QStringList{overflowQuestion});
    QVERIFY(page.cancelled());
}

void TestReportPrinting::fittingTableAsksNothing()
{
    ReportPage page;
    makeSheets(page, 1);
    addOverflowingTable(page, 3);
    page.print(true, -1);
    QCOMPARE(m_driver->events(), QStringList{mark(0)});
    const QString text = PreviewDriver::pdfText(m_driver->pdfFiles().value(0));
    QVERIFY(text.contains(QStringLiteral("Строка3")));
    QVERIFY(text.contains(QStringLiteral("Предмет")));
}

void TestReportPrinting::pageDeletedWhilePreviewOpen()
{
    QPointer<ReportPage> page = new ReportPage;
    makeSheets(*page, 3);
    m_driver->setAction(PreviewDriver::Leave);
    // Whoever owns the page lets it go while its first preview is open: the
    // preview closes with it and the run stops.
    m_driver->setOnPreview([page](QPrintPreviewDialog*, int) {
        if (page)
            QTimer::singleShot(0, page.data(), [page] { delete page.data(); });
    });
    page->print(true, -1);
    QVERIFY(!page);
    QCOMPARE(m_driver->events(), QStringList{mark(0)});
}

void TestReportPrinting::newRunWhileAPreviewIsOpen()
{
    ReportPage page;
    makeSheets(page, 2);
    bool restarted = false;
    // While the first run shows sheet 0, the page is printed again; the old
    // preview goes and must not move the new run on.
    m_driver->setActions({PreviewDriver::Leave, PreviewDriver::PrintToPdf});
    m_driver->setOnPreview([&page, &restarted](QPrintPreviewDialog*, int) {
        if (restarted)
            return;
        restarted = true;
        QTimer::singleShot(0, &page, [&page] { page.print(true, -1); });
    });
    page.print(true, -1);
    QCOMPARE(m_driver->events(), (QStringList{mark(0), mark(1), turnOver, mark(2)}));
    QCOMPARE(page.pageIndex(), 2);
    QCOMPARE(m_driver->pdfFiles().size(), 2);
    QVERIFY(PreviewDriver::pdfText(m_driver->pdfFiles().value(0)).contains(QStringLiteral("Лист1")));
    QVERIFY(PreviewDriver::pdfText(m_driver->pdfFiles().value(1)).contains(QStringLiteral("Лист2")));
}

void TestReportPrinting::renderPageWithoutPrinterOrDeviceDoesNothing()
{
    ReportPage page;
    makeSheets(page, 1);
    page.renderPage(nullptr);
    // A printer that cannot be painted on (a PDF file in a missing folder).
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_out->filePath(QStringLiteral("missing/dir/x.pdf")));
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    QTest::ignoreMessage(QtWarningMsg, "cant paint report sheet 0");
    page.renderPage(&printer);
    QVERIFY(m_answerer->texts().isEmpty());
}

VELSPO_TEST_MAIN(TestReportPrinting)
#include "tst_reportprinting.moc"
