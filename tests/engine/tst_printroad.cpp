#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "support/DocumentFixtures.h"
#include "support/ModalAnswerer.h"
#include "support/PreviewDriver.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace DocumentFixtures;

namespace {

const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");

QString mark(int index)
{
    return QStringLiteral("[preview %1]").arg(index);
}

QString templatePath(const QString& name)
{
    return Database::dataPath() + QStringLiteral("/reports/") + name + QStringLiteral(".velrpt");
}

TextField* text(ReportPage& page, double x, double y, const QString& body)
{
    auto* field = new TextField;
    field->setX(x);
    field->setY(y);
    field->setWidth(200);
    field->setHeight(10);
    field->setText(body);
    page.addField(field);
    return field;
}

TableField* table(ReportPage& page, const QString& model, const QStringList& columns, double y)
{
    auto* field = new TableField;
    field->setX(20);
    field->setY(y);
    field->setColumnCount(columns.size());
    QVector<double> widths;
    QVector<QString> ids;
    QVector<QString> headers;
    for (const QString& column : columns) {
        widths.append(column == QLatin1String("col1") || column == QLatin1String("cwName") ? 120 : 30);
        ids.append(QStringLiteral("$D{%1.%2}").arg(model, column));
        headers.append(QStringLiteral("Заголовок-%1").arg(column));
    }
    field->setColumnsWidth(widths);
    field->setColumnIds(ids);
    field->setHeaderNames(headers);
    field->setHeaderHeight(8);
    field->setRowHeight(7);
    field->setModelName(model);
    page.addField(field);
    return field;
}

// The two-sheet supplement: names and dates on sheet 0, the subjects table
// starting on sheet 0 and running on over sheet 1, the courseworks and the
// short name on sheet 1.
bool writeSupplementTemplate(bool withBackground)
{
    ReportPage page;
    page.setPagesCount(2);
    text(page, 20, 10, QStringLiteral("ФИО: $V{Full_Name}"));
    text(page, 20, 20, QStringLiteral("Рег. номер: $V{reg_Number}, выдан $V{Issue_Out}"));
    text(page, 20, 30, QStringLiteral("$V{City} $V{is_duplicate} $V{program_Type}"));
    TableField* subjects = table(page, QStringLiteral("ViewSpoDetails"),
                                 {QStringLiteral("col1"), QStringLiteral("col2"), QStringLiteral("col3")}, 45);
    subjects->setSplitsCount(1);
    subjects->setMaxSplitHeight({70});
    subjects->setSplitX({20});
    subjects->setSplitY({210 + 20});
    table(page, QStringLiteral("ViewSpoCourseworks"), {QStringLiteral("cwName"), QStringLiteral("cwRate")},
          210 + 150);
    text(page, 20, 210 + 195, QStringLiteral("Подпись: $V{Full_Name_short}"));
    if (withBackground) {
        QPixmap red(297, 210);
        red.fill(Qt::red);
        page.setBackgroundImage(red);
    }
    QDir().mkpath(Database::dataPath() + QStringLiteral("/reports"));
    return page.save(templatePath(QStringLiteral("id121double")));
}

bool insertCourseworks(int spoId)
{
    return exec(QStringLiteral("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES "
                               "(%1, 'Курсовая по базам данных', 'хорошо'), "
                               "(%1, 'Курсовая по сетям', 'отлично');")
                    .arg(spoId));
}

} // namespace

// One print request from the document register down to the printed sheets.
class TestPrintRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportList::registerReports();
    }

    void init()
    {
        QVERIFY(openEmpty());
        clearUserReports();
        m_out = std::make_unique<QTemporaryDir>();
        m_answerer = std::make_unique<ModalAnswerer>();
        m_driver = std::make_unique<PreviewDriver>(m_answerer.get(), m_out->path());
    }

    void cleanup()
    {
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        m_driver.reset();
        m_answerer.reset();
        m_out.reset();
    }

    void documentPrintsWhatTemplateAndDocumentSay()
    {
        setRequisites();
        const int id = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(id, 12));
        QVERIFY(insertCourseworks(id));
        // Another document's rows must not show.
        const int other = insertDocument({{"fio1", QStringLiteral("Петров")}});
        QVERIFY(exec("INSERT INTO DisciplineDetails (spoId, disciplineName) VALUES (?, 'Чужая')", {other}));
        QVERIFY(writeSupplementTemplate(false));

        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(m_driver->events(), (QStringList{mark(0), turnOver, mark(1)}));
        const QStringList pdfs = m_driver->pdfFiles();
        QCOMPARE(pdfs.size(), 2);
        const QString first = PreviewDriver::pdfText(pdfs[0]);
        const QString second = PreviewDriver::pdfText(pdfs[1]);
        for (const char* text : {"ФИО: Иванова Мария Петровна", "Рег. номер: 42-р, выдан 12 декабря 2014",
                                 "Москва ДУБЛИКАТ специальности", "Заголовок-col1", "Дисциплина 1 "})
            QVERIFY2(first.contains(QString::fromUtf8(text)), text);
        // The subjects run on from sheet 0 to sheet 1 without a header; the
        // totals come last.
        for (const char* text : {"Подпись: Иванова М.П.", "Курсовая по базам данных", "Курсовая по сетям",
                                 "Дисциплина 12", "ВСЕГО часов теоретического обучения:", "432"})
            QVERIFY2(second.contains(QString::fromUtf8(text)), text);
        QVERIFY(!second.contains(QStringLiteral("Заголовок-col1")));
        // Every subject is printed once; nothing of the other document, no raw token.
        const QString both = first + second;
        for (int i = 1; i <= 12; ++i)
            QCOMPARE(both.count(QRegularExpression(QStringLiteral("Дисциплина %1\\b").arg(i))), 1);
        for (const char* text : {"Чужая", "$V{", "$D{"})
            QVERIFY2(!both.contains(QString::fromUtf8(text)), text);
        QVERIFY(!both.contains(QRegularExpression("\\bПетров\\b", QRegularExpression::UseUnicodePropertiesOption)));
    }

    void backgroundIsAskedForFirst()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(true));
        Engine engine;
        // No: nothing printed, no preview.
        m_answerer->answer(QMessageBox::No);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_driver->events(), QStringList{backgroundQuestion});
        QCOMPARE(m_answerer->titles(), QStringList{QStringLiteral("Внимание!")});
        // Yes: the blank's image under sheet 0.
        m_answerer->answer(QMessageBox::Yes);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_driver->events(), (QStringList{backgroundQuestion, backgroundQuestion, mark(0), turnOver, mark(1)}));
        const QImage sheet = PreviewDriver::pdfImage(m_driver->pdfFiles().value(0));
        const QColor centre = sheet.pixelColor(sheet.width() / 2, sheet.height() - 3);
        QVERIFY2(centre.red() > 200 && centre.green() < 60, qPrintable(centre.name()));
    }

    void missingDocumentPrintsTheTemplateEmpty()
    {
        setRequisites();
        QVERIFY(writeSupplementTemplate(false));
        Engine engine;
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, 4242, false);
        QCOMPARE(m_driver->events(), (QStringList{mark(0), turnOver, mark(1)}));
        const QString first = PreviewDriver::pdfText(m_driver->pdfFiles().value(0));
        // Tokens print as nothing; the table keeps its header.
        QVERIFY2(first.contains(QStringLiteral("ФИО:")) && first.contains(QStringLiteral("Заголовок-col1")),
                 qPrintable(first));
        for (const char* text : {"$V{", "Москва", "Дисциплина"})
            QVERIFY2(!first.contains(QString::fromUtf8(text)), text);
    }

    void printingAgainStartsANewRun()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(false));
        Engine engine;
        m_driver->setAction(PreviewDriver::Close);
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QPointer<ReportPage> first = engine.currentPage();
        engine.onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QCOMPARE(m_driver->events(), (QStringList{mark(0), turnOver, mark(1), mark(2), turnOver, mark(3)}));
        // The first page goes once its dialogs are gone.
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        QVERIFY(!first);
        QCOMPARE(engine.currentPage()->pageIndex(), 2);
    }

private:
    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<PreviewDriver> m_driver;
};

VELSPO_TEST_MAIN(TestPrintRoad)
#include "tst_printroad.moc"
