#include "DatabaseFixtures.h"
#include "engine/Engine.h"
#include "engine/ReportEditor.h"
#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "support/PageMaker.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace DocumentFixtures;
using DatabaseFixtures::writeBytes;

namespace {

const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");

QString cell(const QAbstractItemModel* model, int row, int column) { return model->index(row, column).data().toString(); }

QString variable(const ReportPage& page, const char* name) { return page.variables().value(name).toString(); }

QString mark(int index) { return QStringLiteral("[preview %1]").arg(index); }

// Name and subjects on sheet 0, the short name on sheet 1.
bool writeTemplate(const QString& path, int sheets)
{
    ReportPage page;
    page.setPagesCount(sheets);
    PageMaker::field<TextField>(page, {20, 10, 200, 10}, QStringLiteral("ФИО: $V{Full_Name} $V{City}"));
    PageMaker::field<TextField>(page, {20, 210 + 195, 200, 10}, QStringLiteral("Подпись: $V{Full_Name_short}"));
    PageMaker::table(page, 20, 45, QStringLiteral("ViewSpoDetails"), {"col1"}, {150}, 8, 7)
        ->setHeaderNames({QStringLiteral("Заголовок-col1")});
    return QDir().mkpath(QFileInfo(path).absolutePath()) && page.save(path);
}

QString installedPath(const QString& name) { return Database::dataPath() + "/reports/" + name + ".velrpt"; }

// A designer window as the engine sees it: it owns the page it edits.
class FakeEditor : public QWidget, public ReportEditor
{
public:
    static inline int created = 0;
    static inline bool opens = true;
    static inline QPointer<FakeEditor> last;

    FakeEditor() : m_page(new ReportPage(this)) { ++created, last = this; }

    bool openFile(const QString& fileName) override { return opens && QFileInfo::exists(fileName); }
    ReportPage* reportPage() override { return m_page; }
    QWidget* editorWindow() override { return this; }
    QPointer<ReportPage> m_page;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// True when every row of the document in table can be read.
bool readsWhole(const QString& table, int spoId)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT * FROM %1 WHERE spoId = ?").arg(table));
    query.addBindValue(spoId);
    bool read = query.exec();
    while (read && query.next()) {
    }
    return read && !query.lastError().isValid();
}

} // namespace

class EngineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        // The relative fallback is resolved against the working directory.
        QVERIFY(QDir::setCurrent(m_workDir.path()));
    }

    void init()
    {
        QVERIFY(openEmpty());
        clearUserReports();
        QDir(m_workDir.path() + "/reports").removeRecursively();
        FakeEditor::opens = true;
        ReportEditor::setFactory([] { return new FakeEditor; });
        m_run = std::make_unique<PrintRun>();
        m_engine = std::make_unique<Engine>();
        m_errors = std::make_unique<QSignalSpy>(m_engine.get(), &Engine::error);
    }

    void cleanup()
    {
        if (m_damaged)
            resetDataDir(); // the next test starts from a sound file
        m_damaged = false;
        Database::setKnownDamaged(false);
        m_errors.reset();
        m_engine.reset();
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        m_run.reset();
        delete FakeEditor::last.data();
        flushDeletes();
    }

    // Every type is found by its number and has its exact title and description.
    void registersFourTypesOnce()
    {
        ReportList::registerReports(); // again: changes nothing
        QStringList texts;
        for (ReportInfo* info : ReportList::allReports()) {
            texts << QStringLiteral("%1 %2").arg(info->type).arg(info->name) << info->title << info->description;
            QCOMPARE(ReportList::info(ReportList::ReportType(info->type)), info);
        }
        for (int type : {0, 400, 405}) {
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("unregistered report type %1$").arg(type)));
            QVERIFY(!ReportList::info(ReportList::ReportType(type)));
        }
        const QString addition = QStringLiteral(
            "Бланк приложения к диплому о среднем профессиональном образовании/ диплому о среднем "
            "профессиональном образовании с отличием (Приказ №531 от 04.07.2013 в ред. Приказов №1243 от "
            "15.11.2013, № 380 от 09.04.2015)");
        QCOMPARE(texts,
                 QStringList({"401 id120", "Бланк диплома о среднем профессиональном образовании",
                              "Бланк диплома о среднем профессиональном образовании (Приказ №531 от 04.07.2013 в "
                              "ред. Приказа №1243 от 15.11.2013, № 380 от 09.04.2015)",
                              "402 id121", "Бланк приложения к диплому о среднем профессиональном образовании", addition,
                              "403 id121double", "Бланк приложения к диплому о среднем профессиональном образовании 2 листа",
                              addition + "\nДва экземпляра бланка!", "404 id124",
                              "Бланк диплома о среднем профессиональном образовании с отличием",
                              // "4.07.2013" and "№380" stand as the blank's order prints them.
                              "Бланк диплома о среднем профессиональном образовании с отличием (Приказ №531 от "
                              "4.07.2013 в ред. Приказа №1243 от 15.11.2013, №380 от 09.04.2015)"}));
    }

    // Stored dates in words and digits (empty when invalid), short names, months.
    void loaderTexts_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("date, blanks around") << " 2014-12-12 " << "12 декабря 2014|12.12.2014";
        QTest::newRow("date, empty") << "" << "|";
        QTest::newRow("date, impossible day") << "2015-02-30" << "|";
        QTest::newRow("date, other order") << "05.06.2015" << "|";
        QTest::newRow("name, one word") << "Иванов" << "Иванов";
        QTest::newRow("name, blanks only") << "   " << "";
        QTest::newRow("name, extra white space") << "  Иванов \t Иван\n Иванович " << "Иванов И.И.";
        QTest::newRow("name, lower case initials") << "петров пётр петрович" << "петров П.П.";
        QTest::newRow("name, four parts") << "Ким Анна Мария Ли" << "Ким Анна М.Л.";
        QTest::newRow("name, hyphenated") << "Римский-Корсаков Николай Андреевич" << "Римский-Корсаков Н.А.";
        QTest::newRow("months 0 to 13") << ""
                                        << ",января,февраля,марта,апреля,мая,июня,июля,августа,сентября,октября,ноября,"
                                           "декабря,,";
    }

    void loaderTexts()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString kind = QString(QTest::currentDataTag()).section(' ', 0, 0);
        QString actual;
        if (kind == "date,")
            actual = dateToText(storedDate(input)) + "|" + formatDate(storedDate(input), "dd.MM.yyyy");
        else if (kind == "name,")
            actual = fioToShort(input);
        for (int month = 0; kind == "months" && month <= 13; ++month)
            actual += monthNameGenitive(month) + ",";
        QCOMPARE(actual, expected);
    }

    void fullDocumentSetsEveryVariable()
    {
        setRequisites();
        insertDocument({{"fio1", QStringLiteral("Другой")}}); // a neighbour that must not leak in
        const int id = insertDocument(fullDocument());
        ReportPage page;
        QSignalSpy updates(&page, &ReportPage::dataUpdated);
        loadSpoData(&page, id, true);

        const QStringList expected = {
            "attestation_total_count=6 нед.", "birth=09 января 1996", "birth_digit=09.01.1996",
            "boss1=Сидоров  Пётр   Ильич", "boss1_short=Сидоров П.И.", "boss2=О'Нил Анна", "boss2_short=О'Нил А.",
            "city=Москва", "comment=с\nпереносом 'и' кавычками", "decision_date=05 июня 2015",
            "decision_date_digit=05.06.2015", "first_name=Мария", "full_name=Иванова Мария Петровна",
            "full_name_short=Иванова М.П.", "is_duplicate=ДУБЛИКАТ", "is_excellent=с отличием",
            "issue_out=12 декабря 2014", "issue_out_digit=12.12.2014", "issue_out_year=2014", "last_name=Иванова",
            "middle_name=Петровна", "number=1234567", "orgname=ГБПОУ \"Колледж № 1\"",
            "practice_total_count=1080", "previous_education=основное общее образование",
            "profession_code=09.02.03", "profession_name=Программирование в компьютерных системах",
            "program_type=специальности", "qual=Техник-программист", "reg_number=42-р",
            "text_for_addition=о среднем профессиональном образовании<br>с отличием", "total_count=5940"};
        QStringList actual;
        const QMap<QString, QVariant> variables = page.variables();
        for (auto it = variables.cbegin(); it != variables.cend(); ++it)
            actual << it.key() + "=" + it.value().toString();
        QCOMPARE(actual, expected);
        // 33 variables set, "reg_Number" and "Reg_Number" on the same key; 2 models.
        QCOMPARE(updates.count(), 33 + 2);
    }

    // NULL, 0 or empty flags and program type, dates neither stored nor valid, no requisites: empty texts.
    void emptyValuesGiveEmptyTexts()
    {
        ReportPage page;
        for (const QVariant& stored : {QVariant(0), QVariant(QVariant::Int), QVariant(QString(""))}) {
            loadSpoData(&page, insertDocument({{"programType", stored}, {"isExcellent", 0}, {"isDuplicate", QVariant(QVariant::Int)},
                                               {"fio1", "Иванов"}, {"fio2", "Иван"}, {"issueDate", "не указана"}}), true);
            QCOMPARE(variable(page, "program_type"), QString("профессии"));
        }
        QCOMPARE(variable(page, "text_for_addition") + "|" + variable(page, "full_name") + "|"
                     + variable(page, "full_name_short"),
                 QStringLiteral("о среднем профессиональном образовании|Иванов Иван|Иванов И."));
        for (const char* name : {"is_excellent", "is_duplicate", "middle_name", "issue_out", "issue_out_year",
                                 "decision_date_digit", "birth", "boss1", "boss2_short", "city", "orgname"})
            QVERIFY2(variable(page, name).isEmpty(), name);
    }

    // Sample data: the first row and empty tables, or without documents only the words and requisites.
    void loadingWithoutTheDocument()
    {
        setRequisites();
        const int first = insertDocument(fullDocument());
        insertDocument({{"fio1", QStringLiteral("Второй")}});
        QVERIFY(insertDisciplines(first, 3));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no page to fill"));
        loadSpoData(nullptr, first, true);

        ReportPage sample;
        loadSpoData(&sample, 0, false);
        QCOMPARE(variable(sample, "full_name") + "|" + variable(sample, "city"), QStringLiteral("Иванова Мария Петровна|Москва"));
        QCOMPARE(sample.itemModel("ViewSpoDetails")->rowCount(), 0);
        QVERIFY(exec("DELETE FROM SpoDocuments"));
        ReportPage empty;
        loadSpoData(&empty, 0, false);
        QCOMPARE(empty.variables().size(), 32);
        QCOMPARE(variable(empty, "program_type") + "|" + variable(empty, "boss1") + "|" + variable(empty, "full_name"),
                 QStringLiteral("профессии|Сидоров  Пётр   Ильич|"));
        QCOMPARE(empty.itemModel("ViewSpoCourseworks")->rowCount(), 0);
    }

    void modelsHoldTheDocumentsRowsAndDieWithThePage()
    {
        const int id = insertDocument(fullDocument());
        const int other = insertDocument({{"fio1", QStringLiteral("Другой")}});
        QVERIFY(insertDisciplines(id, 600));
        QVERIFY(insertDisciplines(other, 5));
        QVERIFY(exec(QStringLiteral("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES "
                                    "(%1, 'Курсовая 1', 'хорошо'), (%1, 'Курсовая 2', 'отлично'), "
                                    "(%2, 'Чужая', 'удовлетворительно')").arg(id).arg(other)));
        auto page = std::make_unique<ReportPage>();
        loadSpoData(page.get(), id, true);
        QAbstractItemModel* works = page->itemModel("viewspocourseworks");
        QVERIFY(works && works->rowCount() == 2);
        QCOMPARE(works->headerData(1, Qt::Horizontal).toString() + "|" + cell(works, 1, 2), QStringLiteral("cwName|отлично"));
        // Fetched whole: the disciplines, the gap, two totals, the practice and attestation heads.
        QAbstractItemModel* details = page->itemModel("ViewSpoDetails");
        QVERIFY(!details->canFetchMore(QModelIndex()));
        QCOMPARE(details->rowCount(), 600 + 5);
        QCOMPARE(cell(details, 599, 1) + "|" + cell(details, 601, 2), QStringLiteral("Дисциплина 600|21600"));

        // Loading another document replaces the values.
        loadSpoData(page.get(), other, true);
        QCOMPARE(variable(*page, "last_name") + variable(*page, "is_excellent"), QStringLiteral("Другой"));
        QCOMPARE(page->itemModel("ViewSpoDetails")->rowCount(), 10);
        QPointer<QObject> models[] = {page->model("ViewSpoDetails"), page->model("ViewSpoCourseworks")};
        page.reset();
        QVERIFY(!models[0] && !models[1]);
    }
    void templatePathsAndBadRequests()
    {
        QVERIFY(writeTemplate(installedPath("id120"), 1));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoDiploma), installedPath("id120"));
        // Else the relative fallback, unchecked; a directory is no template.
        QVERIFY(QDir().mkpath(installedPath("id121")));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAddition), QStringLiteral("reports/id121.velrpt"));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAdditionDouble), QStringLiteral("reports/id121double.velrpt"));
        QVERIFY(fileExists(installedPath("id120")) && !fileExists(installedPath("id121")) && !fileExists(QString()));
        // A file at the relative fallback is printed.
        QVERIFY(writeTemplate(m_workDir.path() + "/reports/id124.velrpt", 0));
        m_engine->onDocumentPrint(ReportList::SpoDiplomaExcellent, insertDocument(fullDocument()), false);
        QCOMPARE(m_engine->currentPage()->fields().size(), 3);
        QCOMPARE(m_engine->currentPage()->variables().value("last_name").toString(), QStringLiteral("Иванова"));
        // A bad document id, an unregistered type, a missing page or designer: refused with a log line.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing sqlDocId < 0 -1$"));
        m_engine->onDocumentPrint(ReportList::SpoDiploma, -1, true);
        QVERIFY(m_engine->currentPage()->fields().isEmpty() && !m_engine->currentPage()->dataMode());
        const auto bad = ReportList::ReportType(400);
        const int editors = FakeEditor::created;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing: unregistered report type 400$"));
        m_engine->onDocumentPrint(bad, 1, true);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error editing: unregistered report type 400$"));
        m_engine->onGuiEdit(bad);
        QCOMPARE(FakeEditor::created, editors);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("unregistered report type 400$"));
        QCOMPARE(Engine::reportFilePath(bad), QString());
        QVERIFY(Engine::pixmap(bad).isNull());
        ReportPage page;
        QVERIFY(!Engine::loadReportData(bad, &page, 1, true) && !Engine::loadReportData(ReportList::SpoDiploma, nullptr, 1, true));
        // Without a designer the editor road stops with a log line.
        ReportEditor::setFactory(ReportEditor::Factory());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no report designer available$"));
        m_engine->onGuiEdit(ReportList::SpoDiploma);
        QCOMPARE(m_errors->count(), 0);
    }

    // Nothing is filled, asked or printed; a designer that cannot open the file is released unshown.
    void badTemplateIsReported_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QByteArray>("content"); // empty: directories named like the template
        QTest::newRow("print, missing") << false << QByteArray();
        QTest::newRow("print, not JSON") << false << QByteArray("это не шаблон");
        QTest::newRow("print, no read permission") << false << QByteArray("unreadable");
        QTest::newRow("edit, missing") << true << QByteArray();
        QTest::newRow("edit, designer cannot open it") << true << QByteArray("refused");
    }

    void badTemplateIsReported()
    {
        QFETCH(bool, edit);
        QFETCH(QByteArray, content);
        const QString path = installedPath("id121");
        if (content.isEmpty())
            QVERIFY(QDir().mkpath(path) && QDir().mkpath(m_workDir.path() + "/reports/id121.velrpt"));
        else
            QVERIFY(content == "unreadable" || content == "refused" ? writeTemplate(path, 1) : writeBytes(path, content));
        if (content == "unreadable") {
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
            if (QFile(path).open(QIODevice::ReadOnly))
                QSKIP("this user reads files without read permission");
        }
        FakeEditor::opens = content != "refused";
        const int editors = FakeEditor::created;
        if (edit) {
            m_engine->onGuiEdit(ReportList::SpoAddition);
        } else {
            if (content.isEmpty())
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cant find report file \"reports/id121.velrpt\"$"));
            m_engine->onDocumentPrint(ReportList::SpoAddition, insertDocument(fullDocument()), true);
        }
        QCOMPARE(m_errors->count(), 1);
        QCOMPARE(m_errors->at(0).at(0).toString(), content.isEmpty() ? QString("Шаблон отчёта reports/id121.velrpt не найден.")
                                                                     : QString("Шаблон отчёта %1 имеет неверный формат.").arg(path));
        QCOMPARE((*m_errors)[0][1].toString(), QStringLiteral("Ошибка"));
        QVERIFY(m_run->answerer.texts().isEmpty() && m_run->driver.previewCount() == 0);
        QVERIFY(!m_engine->currentPage() || (m_engine->currentPage()->variables().isEmpty() && !m_engine->currentPage()->dataMode()));
        QCOMPARE(FakeEditor::created, editors + int(edit && !content.isEmpty()));
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(!editor || (!editor->isVisible() && editor->reportPage()->variables().isEmpty()));
        flushDeletes();
        QVERIFY(!editor);
    }

    // Each print takes a page of its own; the designer's page is never taken.
    void printingReplacesItsOwnPageOnly()
    {
        insertDocument(fullDocument());
        const int other = insertDocument({{"fio1", QStringLiteral("Петров")}});
        // No sheets: print() sets its modes and shows nothing. The designer gets sample data of the first document.
        QVERIFY(writeTemplate(installedPath("id120"), 0));
        m_engine->onGuiEdit(ReportList::SpoDiploma);
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(editor->isVisible() && !m_engine->currentPage());
        QPointer<ReportPage> designerPage = editor->reportPage();

        m_engine->onDocumentPrint(ReportList::SpoDiploma, other, true);
        QPointer<ReportPage> firstPage = m_engine->currentPage();
        QCOMPARE(firstPage->parent(), m_engine.get());
        QVERIFY(firstPage->dataMode() && firstPage->printBackgroundImage());
        m_engine->onDocumentPrint(ReportList::SpoDiploma, other, false);
        QCOMPARE(m_engine->currentPage()->variables().value("last_name").toString(), QStringLiteral("Петров"));
        flushDeletes();
        QVERIFY(!firstPage && designerPage);
        QVERIFY(variable(*designerPage, "last_name") == "Иванова" && !designerPage->dataMode());
        m_errors.reset();
        m_engine.reset();
        flushDeletes();
        QVERIFY(designerPage);
        // The window alone decides the page's end.
        delete editor.data();
        QVERIFY(!designerPage);
    }

    // A missing document prints the template empty. Printing again starts a new run; the first page goes
    // once its dialogs are gone.
    void printRuns()
    {
        setRequisites();
        QVERIFY(writeTemplate(installedPath("id121double"), 2));
        m_run->answerer.answer(QMessageBox::Yes);
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, 4242, true);
        QPointer<ReportPage> first = m_engine->currentPage();
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, insertDocument(fullDocument()), false);
        QCOMPARE(m_errors->count(), 0);
        QCOMPARE(m_run->driver.events(),
                 (QStringList{backgroundQuestion, mark(0), turnOver, mark(1), mark(2), turnOver, mark(3)}));
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty() && !first);
        QCOMPARE(m_engine->currentPage()->pageIndex(), 2);
        // Tokens print as nothing; the table keeps its header.
        const QString empty = PreviewDriver::pdfText(m_run->driver.pdfFiles().value(0));
        QVERIFY2(empty.contains("ФИО:") && empty.contains("Заголовок-col1"), qPrintable(empty));
        for (const char* text : {"$V{", "Москва", "Практика"})
            QVERIFY2(!empty.contains(QString::fromUtf8(text)), text);
    }

    // "Print to file" into the database, by its name or a link: refused before
    // the file is opened, the run stops there; the next run prints.
    void printIntoTheDatabaseIsRefused()
    {
        QVERIFY(writeTemplate(installedPath("id121double"), 2));
        const int spoId = insertDocument(fullDocument());
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(Database::databaseFileName(), elsewhere.filePath("link.pdf")));
        const QByteArray before = readFile(Database::databaseFileName());
        for (const QString& target : {Database::databaseFileName(), elsewhere.filePath("link.pdf")}) {
            m_run->answerer.clear();
            m_run->driver.setPdfFileName(target);
            m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, spoId, false);
            const QStringList events = m_run->driver.events();
            QVERIFY2(events.size() >= 2 && events.first() == mark(0)
                         && events.at(1).startsWith("Файл " + target + " нельзя перезаписать: это рабочая база данных"),
                     qPrintable(events.join('|')));
            QVERIFY(!events.contains(turnOver));
            QCOMPARE(readFile(Database::databaseFileName()), before);
            QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
            m_run = std::make_unique<PrintRun>();
        }
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, spoId, false);
        QCOMPARE(m_run->driver.events(), (QStringList{mark(0), turnOver, mark(1)}));
        QCOMPARE(rows("SELECT count(*) FROM SpoDocuments"), QStringList{"1"});
    }

    void unreadableDocumentIsNotPrinted_data()
    {
        QTest::addColumn<QString>("table"); // the table with a damaged page
        QTest::addColumn<QString>("part");  // named in the box
        QTest::newRow("subjects") << "DisciplineDetails" << "предметы, модули, практика, аттестация и итоги часов";
        QTest::newRow("document row") << "SpoDocuments" << "сведения о документе";
        // Rows a model reads past its first batch: the fetch stops part-way.
        QTest::newRow("courseworks further on") << "CourseworkDetails" << "курсовые проекты";
        QTest::newRow("requisites") << "Variables" << "реквизиты организации";
    }

    // A damaged page under one document: it is not printed, the user is told why, and the database is
    // known damaged from then on; a sound document of the same file still prints. The designer opens
    // without sample data it could read only in part, and says so.
    void unreadableDocumentIsNotPrinted()
    {
        QFETCH(QString, table);
        QFETCH(QString, part);
        setRequisites();
        QVERIFY(writeTemplate(installedPath("id121double"), 2));
        QList<int> ids;
        for (int i = 0; i < (table == "SpoDocuments" ? 60 : table == "CourseworkDetails" ? 3 : 8); ++i) {
            ids << insertDocument(fullDocument());
            QVERIFY(ids.last() > 0 && insertDisciplines(ids.last(), table == "DisciplineDetails" ? 150 : 3));
            QVERIFY(table != "CourseworkDetails"
                    || exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                            "INSERT INTO CourseworkDetails (spoId, cwName, cwRate) SELECT ?, 'Курсовая ' || i, 'хорошо' FROM n",
                            {ids.last()}));
        }
        m_damaged = true;
        QVERIFY(damageTable(table));
        QVERIFY(Database::init(true));
        // The requisites are every document's; else the document whose rows sit on the damaged page.
        int unread = table == "Variables" ? ids.first() : -1;
        int sound = -1;
        for (int id : ids)
            (table != "Variables" && !readsWhole(table, id) ? unread : sound) = id;
        QVERIFY(sound > 0 && unread > 0);
        QVERIFY(!Database::isKnownDamaged());
        m_run->answerer.answer(QMessageBox::Yes);
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, unread, true);
        QCOMPARE(m_errors->count(), 1);
        const QString said = m_errors->at(0).at(0).toString();
        QVERIFY2(said.startsWith("Документ не удалось полностью прочитать из базы данных (не прочитано: " + part)
                     && said.endsWith("восстановите его из резервной копии."),
                 qPrintable(said));
        QVERIFY(m_run->answerer.texts().isEmpty() && m_run->driver.previewCount() == 0);
        QVERIFY(m_engine->currentPage()->variables().isEmpty() && m_engine->currentPage()->models().isEmpty());
        QVERIFY(Database::isKnownDamaged());

        // The designer's sample data is the first document's.
        const int editors = FakeEditor::created;
        m_engine->onGuiEdit(ReportList::SpoAdditionDouble);
        QCOMPARE(FakeEditor::created, editors + 1);
        QVERIFY(FakeEditor::last->isVisible());
        const bool firstUnread = table == "Variables" || unread == ids.first();
        QCOMPARE(m_errors->count(), firstUnread ? 2 : 1);
        if (firstUnread) {
            QVERIFY(m_errors->at(1).at(0).toString().startsWith("Данные первого документа для примера не удалось "
                                                                "полностью прочитать из базы данных (не прочитано: "
                                                                + part + "), поэтому шаблон открыт без них."));
            QVERIFY(FakeEditor::last->reportPage()->variables().isEmpty()
                    && FakeEditor::last->reportPage()->models().isEmpty());
        }
        if (table == "Variables")
            return;
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, sound, true);
        QCOMPARE(m_run->driver.events(), (QStringList{backgroundQuestion, mark(0), turnOver, mark(1)}));
        QCOMPARE(m_errors->count(), firstUnread ? 2 : 1);
        QCOMPARE(variable(*m_engine->currentPage(), "city"), QStringLiteral("Москва"));
    }

private:
    bool m_damaged = false;
    QTemporaryDir m_workDir;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<QSignalSpy> m_errors;
    std::unique_ptr<PrintRun> m_run;
};

VELSPO_TEST_MAIN(EngineTest)
#include "tst_engine.moc"
