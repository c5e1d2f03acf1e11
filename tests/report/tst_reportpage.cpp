#include "support/PageMaker.h"
#include "support/PdfFile.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include "report/QrField.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTimer>

#include <memory>

namespace {

const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");
const QString insertNext = QStringLiteral("Вставьте следующий лист");
const QString overflowText =
    QStringLiteral("Данные таблиц не помещаются на данном бланке и будут обрезаны.\nПродолжить?!");
const double sheetHeight = 210.0;   // landscape A4 on the page strip, mm

QString mark(int index) { return QStringLiteral("[preview %1]").arg(index); }

// A text field on each sheet, red and blue backgrounds.
void makeSheets(ReportPage& page, int sheets)
{
    page.setPagesCount(sheets);
    QPixmap red(297, 210), blue(297, 210);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    page.setBackgroundImage(red);
    page.setBackgroundImage2(blue);
    page.setVariable(QStringLiteral("name"), QStringLiteral("Иванов"));
    for (int k = 0; k < qMax(sheets, 1); ++k)
        PageMaker::field<TextField>(page, {5, k * sheetHeight + 5, 150, 12}, QStringLiteral("Лист%1 $V{name}").arg(k + 1));
}

// Rows "Строка1".."Строка<rows>", six to the first area, then on sheet 1 or cut off.
void addTable(ReportPage& page, int rows, bool continues)
{
    QList<QStringList> names;
    for (int r = 0; r < rows; ++r)
        names.append({QStringLiteral("Строка%1").arg(r + 1)});
    TableField* table = PageMaker::table(page, 20, 40, QStringLiteral("Subjects"), {"name"}, {120}, 8, 8);
    table->setHeaderNames({QStringLiteral("Предмет")});
    table->setSplitsCount(2);
    table->setMaxSplitHeight({60, 100});
    table->setSplitX({continues ? 20.0 : 0.0, 0});
    table->setSplitY({continues ? sheetHeight + 20 : 0.0, 0});
    page.addModel(QStringLiteral("Subjects"), PageMaker::model({"name"}, names, &page), false);
}

// Red, blue or white in the middle of the PDF's first page.
QChar shade(const QString& pdf)
{
    const QImage image = PdfFile::image(pdf);
    const QColor c = image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.red() > 240 && c.green() > 240 && c.blue() > 240)
        return QLatin1Char('w');
    if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
        return QLatin1Char('r');
    return c.blue() > 200 && c.red() < 60 && c.green() < 60 ? QLatin1Char('b') : QLatin1Char('?');
}

} // namespace

class TestReportPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrintRun> m_run;

    QString renderSheet(ReportPage& page, int sheet, const QString& name)
    {
        const QString file = m_run->out.filePath(name);
        page.printer()->setOutputFormat(QPrinter::PdfFormat);
        page.printer()->setOutputFileName(file);
        page.setPageIndex(sheet);
        page.renderPage(page.printer());
        return file;
    }

private slots:
    void init()
    {
        m_run = std::make_unique<PrintRun>();
        QVERIFY(m_run->out.isValid());
    }
    void cleanup()
    {
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        m_run.reset();
    }

    void substitution_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("any case, blanks") << "ФИО: $V{ Fio }, $V{FIO}." << "ФИО: Петров Пётр, Петров Пётр.";
        QTest::newRow("lower-case v is text") << "$v{fio}" << "$v{fio}";
        QTest::newRow("backslash-n") << "$V{city}\\n$V{fio}" << "Москва\nПетров Пётр";
        QTest::newRow("missing and empty names") << "[$V{ Nothing }$V{}]" << "[]";
        // A stray brace or an unclosed token ends the scan; values are never rescanned.
        QTest::newRow("brace before token") << "a} $V{fio}\\n" << "a} $V{fio}\\n";
        QTest::newRow("never closed") << "x $V{fio\\n" << "x $V{fio\\n";
        QTest::newRow("brace after first token") << "$V{city} } $V{fio}\\n" << "Москва } $V{fio}\\n";
        QTest::newRow("brace without token") << "a}b\\n" << "a}b\n";
        QTest::newRow("self-containing value") << "x $V{self} y" << "x <$V{self}$V{self}> y";
        QTest::newRow("brace inside value") << "$V{brace} $V{city}" << "x}y Москва";
        QTest::newRow("line feed in value") << "$V{multi}" << "one\ntwo";
    }
    void substitution()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        ReportPage page;
        const QList<QPair<QString, QString>> values{{"fio", "Петров"}, {" FIO ", "Петров Пётр"}, {"city", "Москва"},
            {"self", "<$V{self}$V{self}>"}, {"brace", "x}y"}, {"multi", "one\\ntwo"}};
        for (const auto& value : values)
            page.setVariable(value.first, value.second);
        QCOMPARE(page.substituteVariables(text), expected);
        // The designer lists every name asked for.
        if (text.contains(QLatin1String("Nothing")))
            QVERIFY(page.variables().contains(QStringLiteral("nothing"))
                    && !page.variables().value(QStringLiteral("nothing")).isValid());
    }

    void modelBinding()
    {
        ReportPage page;
        QSignalSpy spy(&page, &ReportPage::dataUpdated);
        QPointer<QStandardItemModel> first = new QStandardItemModel(&page);
        QStandardItemModel second;
        page.addModel(QStringLiteral(" ViewSpoDetails "), first, false);
        QCOMPARE(page.itemModel(QStringLiteral("VIEWSPODETAILS")), first.data());
        page.addModel(QStringLiteral("viewspodetails"), &second, false);
        QVERIFY(first && !second.parent());
        QCOMPARE(page.models(), (QMap<QString, QObject*>{{QStringLiteral("viewspodetails"), &second}}));
        QCOMPARE(spy.count(), 2);
        page.addModel(QStringLiteral("gone"), new QStandardItemModel, true);
        delete page.model(QStringLiteral("gone"));
        QVERIFY(!page.model(QStringLiteral("gone")));
        QCOMPARE(page.models().size(), 1);
        QObject notAModel;
        page.addModel(QStringLiteral("plain"), &notAModel, false);
        QVERIFY(page.model(QStringLiteral("plain")) == &notAModel && !page.itemModel(QStringLiteral("plain")));
        page.addModel(QStringLiteral("null"), nullptr, true);
    }

    // An unknown size code, or a file that is no image, changes nothing.
    void paperAndBackgrounds()
    {
        ReportPage page;
        page.setOrientation(0);
        page.setPageSize(9);
        page.setPageSize(9999);
        QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A5);
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString file = m_run->out.filePath(QStringLiteral("blank.png"));
        QVERIFY(image.save(file) && page.loadBackgroundImage(file) && page.loadBackgroundImage2(file));
        QCOMPARE(page.backgroundImage().size(),
                 page.printer()->pageLayout().fullRectPixels(page.printer()->resolution()).size());
        QCOMPARE(page.backgroundImage2().toImage().pixelColor(5, 5), QColor(Qt::red));
        const qint64 key = page.backgroundImage().cacheKey();
        QVERIFY(!page.loadBackgroundImage(TestEnvironment::sourcePath(QStringLiteral("CMakeLists.txt"))));
        QVERIFY(!page.loadBackgroundImage2(m_run->out.filePath(QStringLiteral("missing.png"))));
        QCOMPARE(page.backgroundImage().cacheKey(), key);
        QVERIFY(!page.backgroundImage2().isNull());
    }

    // The prompts between sheets and the background question; what each sheet
    // printed. Sheet 2 is closed without printing: the run still moves on.
    void printRun_data()
    {
        QTest::addColumn<int>("sheets");
        QTest::addColumn<bool>("dataMode");
        QTest::addColumn<bool>("pageSetting");
        QTest::addColumn<int>("request");   // print()'s printBackground
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("shades");   // of the printed sheets
        QTest::addColumn<bool>("after");       // the page's setting after the run
        const int yes = QMessageBox::Yes, no = QMessageBox::No;
        const QStringList four{mark(0), turnOver, mark(1), insertNext, mark(2), turnOver, mark(3)};
        QTest::newRow("template text") << 1 << false << false << -1 << yes << QStringList{mark(0)} << "w" << false;
        QTest::newRow("4 sheets") << 4 << true << false << -1 << yes << four << "www" << false;
        QTest::newRow("asked, no") << 2 << true << false << 1 << no << QStringList{backgroundQuestion} << "" << true;
        QTest::newRow("asked, yes") << 4 << true << false << 1 << yes << QStringList{backgroundQuestion} + four << "rbw" << true;
        QTest::newRow("switched off") << 2 << true << true << -1 << yes << QStringList{mark(0), turnOver, mark(1)} << "ww" << false;
        QTest::newRow("page's setting on") << 1 << true << true << 0 << yes << QStringList{backgroundQuestion, mark(0)} << "r" << true;
        QTest::newRow("page's setting off") << 1 << true << false << 0 << yes << QStringList{mark(0)} << "w" << false;
        QTest::newRow("no sheets: not even the question") << 0 << true << false << 1 << yes << QStringList() << "" << true;
    }
    void printRun()
    {
        QFETCH(int, sheets);
        QFETCH(bool, dataMode);
        QFETCH(bool, pageSetting);
        QFETCH(int, request);
        QFETCH(int, answer);
        QFETCH(QStringList, expected);
        QFETCH(QString, shades);
        QFETCH(bool, after);
        ReportPage page;
        makeSheets(page, sheets);
        page.setPrintBackgroundImage(pageSetting);
        m_run->answerer.answer(QMessageBox::StandardButton(answer));
        m_run->driver.setActions({PreviewDriver::PrintToPdf, PreviewDriver::PrintToPdf, PreviewDriver::Close,
                                  PreviewDriver::PrintToPdf});
        page.print(dataMode, request);
        QCOMPARE(m_run->driver.events(), expected);
        // Only the question has a title.
        QCOMPARE(m_run->answerer.titles().join(""), expected.value(0) == backgroundQuestion ? "Внимание!" : "");
        const QStringList pdfs = m_run->driver.pdfFiles();
        QString printed;
        for (int k = 0; k < pdfs.size(); ++k) {
            const QString text = PdfFile::text(pdfs.at(k));
            QVERIFY2(text.contains(QStringLiteral("Лист%1 %2").arg(k < 2 ? k + 1 : 4).arg(dataMode ? "Иванов" : "$V{name}"))
                         && text.count(QStringLiteral("Лист")) == 1, qPrintable(text));
            printed += shade(pdfs.at(k));
        }
        QCOMPARE(printed, shades);
        QCOMPARE(page.printBackgroundImage(), after);
        QVERIFY(!page.cancelled() && !page.preview());
        if (shades.isEmpty())
            return;
        QCOMPARE(page.pageIndex(), sheets);
        // The preview: 90 % of the screen's height, centred, with a maximise button.
        const QRect shown = m_run->driver.geometries().first();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(shown.height(), int(available.height() * 0.9));
        QVERIFY(qAbs(shown.center().y() - available.center().y()) <= 1 && qAbs(shown.center().x() - available.center().x()) <= 1);
        QVERIFY(m_run->driver.flags().first() & Qt::WindowMaximizeButtonHint);
    }

    // What lies wholly off a sheet is not drawn: a PDF would keep it, hidden.
    void sheetsHoldOnlyTheirOwnDrawing()
    {
        ReportPage full, bare;
        for (ReportPage* page : {&full, &bare}) {
            page->setPagesCount(2);
            page->setDataMode(true);
            addTable(*page, page == &full ? 12 : 6, true);
        }
        PageMaker::field<TextField>(full, {5, sheetHeight + 150, 150, 12}, QStringLiteral("Нижний"));
        PageMaker::field<QrField>(full, {200, sheetHeight + 60, 30, 30}, QStringLiteral("Нижний"));
        const QString fullSheet0 = renderSheet(full, 0, QStringLiteral("full-0.pdf"));
        // Sheet 0 comes out exactly as if nothing of sheet 1 existed.
        QCOMPARE(PdfFile::content(fullSheet0), PdfFile::content(renderSheet(bare, 0, QStringLiteral("bare-0.pdf"))));
        const QString text0 = PdfFile::text(fullSheet0);
        QVERIFY2(text0.contains(QStringLiteral("Предмет")) && text0.contains(QStringLiteral("Строка6")), qPrintable(text0));
        const QString sheet1 = renderSheet(full, 1, QStringLiteral("full-1.pdf"));
        const QString text1 = PdfFile::text(sheet1);
        QVERIFY2(text1.contains(QStringLiteral("Строка7")) && text1.contains(QStringLiteral("Строка12"))
                     && text1.contains(QStringLiteral("Нижний")), qPrintable(text1));
        QCOMPARE(PdfFile::textObjects(sheet1), 7);
        QVERIFY(m_run->answerer.texts().isEmpty());   // the table fits: nothing was asked
    }

    void overflowQuestion()
    {
        ReportPage page;
        makeSheets(page, 3);
        addTable(page, 30, false);
        page.setDataMode(true);
        renderSheet(page, 1, QStringLiteral("s1.pdf"));
        QVERIFY(m_run->answerer.texts().isEmpty());
        // No, asked while sheet 0 is shown: its preview closes, no sheet follows.
        m_run->driver.setAction(PreviewDriver::Leave);
        m_run->answerer.answer(QMessageBox::No);
        page.print(true, -1);
        QCOMPARE(m_run->answerer.texts(), QStringList{overflowText});
        QCOMPARE(m_run->answerer.titles(), QStringList{QStringLiteral("Внимание!")});
        QVERIFY(m_run->driver.previewCount() <= 1);
        QVERIFY(page.cancelled() && !page.preview());
        QCOMPARE(page.pageIndex(), 0);
        // Asked once, though sheet 0 is painted for the preview and the print.
        m_run->answerer.clear();
        m_run->driver.setAction(PreviewDriver::PrintToPdf);
        m_run->answerer.answer(QMessageBox::Yes);
        page.print(true, -1);
        QCOMPARE(m_run->answerer.texts(), (QStringList{overflowText, turnOver, insertNext}));
        QVERIFY(!page.cancelled());
        const QString text = PdfFile::text(m_run->driver.pdfFiles().value(0));
        QVERIFY2(text.contains(QStringLiteral("Строка6")) && !text.contains(QStringLiteral("Строка7")), qPrintable(text));
    }

    // While sheet 0 is shown the page is deleted, or printed again: the old
    // preview goes with it and must not move the run on.
    void interruptedRun_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("page deleted") << true << QStringList{mark(0)};
        QTest::newRow("printed again") << false << QStringList{mark(0), mark(1), turnOver, mark(2)};
    }
    void interruptedRun()
    {
        QFETCH(bool, deleted);
        QFETCH(QStringList, expected);
        QPointer<ReportPage> page = new ReportPage(this);
        makeSheets(*page, 2);
        m_run->driver.setActions({PreviewDriver::Leave, PreviewDriver::PrintToPdf});
        m_run->driver.setOnPreview([page, deleted](QPrintPreviewDialog*, int index) {
            if (index == 0)
                QTimer::singleShot(0, page.data(), [page, deleted] { deleted ? delete page.data() : page->print(true, -1); });
        });
        page->print(true, -1);
        QCOMPARE(m_run->driver.events(), expected);
        QCOMPARE(page.isNull(), deleted);
        if (!deleted) {
            QCOMPARE(page->pageIndex(), 2);
            QVERIFY(PdfFile::text(m_run->driver.pdfFiles().value(1)).contains(QStringLiteral("Лист2")));
            delete page;
        }
    }

    void renderPageWithoutPrinterOrDeviceDoesNothing()
    {
        ReportPage page;
        makeSheets(page, 1);
        page.renderPage(nullptr);
        // A printer that cannot be painted on: a PDF file in a missing folder.
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_run->out.filePath(QStringLiteral("missing/dir/x.pdf")));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QTest::ignoreMessage(QtWarningMsg, "cant paint report sheet 0");
        page.renderPage(&printer);
        QVERIFY(m_run->answerer.texts().isEmpty());
    }
};

VELSPO_TEST_MAIN(TestReportPage)
#include "tst_reportpage.moc"
