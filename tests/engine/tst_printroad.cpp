#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "support/DocumentFixtures.h"
#include "support/ModalAnswerer.h"
#include "support/PageMaker.h"
#include "support/PreviewDriver.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace DocumentFixtures;

namespace {

const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");

QString mark(int index) { return QStringLiteral("[preview %1]").arg(index); }

// A two-sheet supplement template: the name and the subjects table on sheet
// 0, the short name on sheet 1; optionally a red background.
bool writeSupplementTemplate(bool withBackground)
{
    ReportPage page;
    page.setPagesCount(2);
    PageMaker::field<TextField>(page, {20, 10, 200, 10}, QStringLiteral("ФИО: $V{Full_Name} $V{City}"));
    PageMaker::field<TextField>(page, {20, 210 + 195, 200, 10}, QStringLiteral("Подпись: $V{Full_Name_short}"));
    PageMaker::table(page, 20, 45, QStringLiteral("ViewSpoDetails"), {"col1"}, {150}, 8, 7)
        ->setHeaderNames({QStringLiteral("Заголовок-col1")});
    if (withBackground) {
        QPixmap red(297, 210);
        red.fill(Qt::red);
        page.setBackgroundImage(red);
    }
    QDir().mkpath(Database::dataPath() + QStringLiteral("/reports"));
    return page.save(Database::dataPath() + QStringLiteral("/reports/id121double.velrpt"));
}

} // namespace

// One print request from the engine down to the printed sheets. The shipped
// templates are printed the same way by the report tests.
class TestPrintRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ReportList::registerReports(); }

    void init()
    {
        QVERIFY(openEmpty());
        clearUserReports();
        m_run = std::make_unique<PrintRun>();
        QVERIFY(m_run->out.isValid());
    }

    void cleanup()
    {
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        m_run.reset();
    }

    void backgroundIsAskedForFirst()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(true));
        Engine engine;
        // No: nothing printed, no preview.
        m_run->answerer.answer(QMessageBox::No);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_run->driver.events() + m_run->answerer.titles(), (QStringList{backgroundQuestion, "Внимание!"}));
        // Yes: the blank's image under sheet 0 and the document's values over it.
        m_run->answerer.answer(QMessageBox::Yes);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_run->driver.events(), (QStringList{backgroundQuestion, backgroundQuestion, mark(0), turnOver, mark(1)}));
        const QImage sheet = PreviewDriver::pdfImage(m_run->driver.pdfFiles().value(0));
        const QColor centre = sheet.pixelColor(sheet.width() / 2, sheet.height() - 3);
        QVERIFY2(centre.red() > 200 && centre.green() < 60, qPrintable(centre.name()));
        const QString text = PreviewDriver::pdfText(m_run->driver.pdfFiles().value(0));
        QVERIFY2(text.contains("ФИО: Иванова Мария Петровна") && text.contains("Практика"), qPrintable(text));
        QVERIFY(PreviewDriver::pdfText(m_run->driver.pdfFiles().value(1)).contains("Подпись: Иванова М.П."));
    }

    void missingDocumentPrintsTheTemplateEmpty()
    {
        setRequisites();
        QVERIFY(writeSupplementTemplate(false));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, 4242, false);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(m_run->driver.events(), (QStringList{mark(0), turnOver, mark(1)}));
        const QString first = PreviewDriver::pdfText(m_run->driver.pdfFiles().value(0));
        // Tokens print as nothing; the table keeps its header.
        QVERIFY2(first.contains(QStringLiteral("ФИО:")) && first.contains(QStringLiteral("Заголовок-col1")),
                 qPrintable(first));
        for (const char* text : {"$V{", "Москва", "Практика"})
            QVERIFY2(!first.contains(QString::fromUtf8(text)), text);
    }

    void printingAgainStartsANewRun()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(false));
        Engine engine;
        m_run->driver.setAction(PreviewDriver::Close);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QPointer<ReportPage> first = engine.currentPage();
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QCOMPARE(m_run->driver.events(), (QStringList{mark(0), turnOver, mark(1), mark(2), turnOver, mark(3)}));
        // The first page goes once its dialogs are gone.
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty() && !first);
        QCOMPARE(engine.currentPage()->pageIndex(), 2);
    }

private:
    std::unique_ptr<PrintRun> m_run;
};

VELSPO_TEST_MAIN(TestPrintRoad)
#include "tst_printroad.moc"
