#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "support/TestEnvironment.h"
#include "SpoDocumentFixture.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>

#include <memory>

using namespace SpoDocumentFixture;

namespace {

QString cell(const QAbstractItemModel* model, int row, int column)
{
    return model->index(row, column).data().toString();
}

} // namespace

// The report registry and the loader that fills a page from one document.
class ReportListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        QVERIFY(openEmpty());
    }

    void init()
    {
        QVERIFY(openEmpty());
    }

    // --- registry -----------------------------------------------------------

    void registersFourTypesInOrder()
    {
        const QList<ReportInfo*> all = ReportList::allReports();
        QCOMPARE(all.size(), 4);
        QCOMPARE(all[0]->type, 401);
        QCOMPARE(all[1]->type, 402);
        QCOMPARE(all[2]->type, 403);
        QCOMPARE(all[3]->type, 404);
        QCOMPARE(all[0]->name, QStringLiteral("id120"));
        QCOMPARE(all[1]->name, QStringLiteral("id121"));
        QCOMPARE(all[2]->name, QStringLiteral("id121double"));
        QCOMPARE(all[3]->name, QStringLiteral("id124"));
        for (ReportInfo* info : all)
            QCOMPARE(ReportList::info(ReportList::ReportType(info->type)), info);
    }

    void titlesAndDescriptionsAreExact()
    {
        const QString addition = QStringLiteral(
            "Бланк приложения к диплому о среднем профессиональном образовании/ диплому о среднем "
            "профессиональном образовании с отличием (Приказ №531 от 04.07.2013 в ред. Приказов №1243 от "
            "15.11.2013, № 380 от 09.04.2015)");
        const ReportInfo* diploma = ReportList::info(ReportList::SpoDiploma);
        const ReportInfo* supplement = ReportList::info(ReportList::SpoAddition);
        const ReportInfo* twoSheets = ReportList::info(ReportList::SpoAdditionDouble);
        const ReportInfo* excellent = ReportList::info(ReportList::SpoDiplomaExcellent);
        QVERIFY(diploma && supplement && twoSheets && excellent);

        QCOMPARE(diploma->title, QStringLiteral("Бланк диплома о среднем профессиональном образовании"));
        QCOMPARE(diploma->description,
                 QStringLiteral("Бланк диплома о среднем профессиональном образовании (Приказ №531 от 04.07.2013 в "
                                "ред. Приказа №1243 от 15.11.2013, № 380 от 09.04.2015)"));
        QCOMPARE(supplement->title,
                 QStringLiteral("Бланк приложения к диплому о среднем профессиональном образовании"));
        QCOMPARE(supplement->description, addition);
        QCOMPARE(twoSheets->title,
                 QStringLiteral("Бланк приложения к диплому о среднем профессиональном образовании 2 листа"));
        QCOMPARE(twoSheets->description, addition + QStringLiteral("\nДва экземпляра бланка!"));
        QCOMPARE(excellent->title,
                 QStringLiteral("Бланк диплома о среднем профессиональном образовании с отличием"));
        // "4.07.2013" and "№380" stand as the blank's order prints them.
        QCOMPARE(excellent->description,
                 QStringLiteral("Бланк диплома о среднем профессиональном образовании с отличием (Приказ №531 от "
                                "4.07.2013 в ред. Приказа №1243 от 15.11.2013, №380 от 09.04.2015)"));
    }

    void registeringAgainChangesNothing()
    {
        const QList<ReportInfo*> before = ReportList::allReports();
        ReportList::registerReports();
        QCOMPARE(ReportList::allReports(), before);
    }

    void allReportsIsACopy()
    {
        QList<ReportInfo*> copy = ReportList::allReports();
        copy.clear();
        QCOMPARE(ReportList::allReports().size(), 4);
    }

    void unregisteredTypeIsNullWithLogLine_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("0") << 0;
        QTest::newRow("400") << 400;
        QTest::newRow("405") << 405;
        QTest::newRow("-401") << -401;
    }

    void unregisteredTypeIsNullWithLogLine()
    {
        QFETCH(int, type);
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QStringLiteral("unregistered report type %1$").arg(type)));
        QCOMPARE(ReportList::info(ReportList::ReportType(type)), static_cast<ReportInfo*>(nullptr));
    }

    void everyTypeLoadsThroughTheSharedLoader()
    {
        const int id = insertDocument({{"fio1", QStringLiteral("Петров")}});
        for (ReportInfo* info : ReportList::allReports()) {
            ReportPage page;
            info->loadData(&page, id, true);
            QCOMPARE(page.variables().value("last_name").toString(), QStringLiteral("Петров"));
            QVERIFY(page.itemModel("ViewSpoDetails"));
        }
    }

    void newEntryLoaderDoesNothing()
    {
        ReportInfo info(999, "t", "n", "d");
        ReportPage page;
        info.loadData(&page, 1, true);
        QVERIFY(page.variables().isEmpty());
    }

    // --- dates and names ----------------------------------------------------

    void genitiveMonths()
    {
        const QStringList expected = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                      "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
        for (int month = 1; month <= 12; ++month)
            QCOMPARE(monthNameGenitive(month), expected[month - 1]);
        QCOMPARE(monthNameGenitive(0), QString());
        QCOMPARE(monthNameGenitive(13), QString());
        QCOMPARE(monthNameGenitive(-1), QString());
    }

    void dateInWords_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("text");
        QTest::newRow("day below ten") << QDate(2015, 6, 5) << QStringLiteral("05 июня 2015");
        QTest::newRow("two-digit day") << QDate(2014, 12, 12) << QStringLiteral("12 декабря 2014");
        QTest::newRow("ninth") << QDate(2016, 1, 9) << QStringLiteral("09 января 2016");
        QTest::newRow("tenth") << QDate(2016, 5, 10) << QStringLiteral("10 мая 2016");
        QTest::newRow("leap day") << QDate(2016, 2, 29) << QStringLiteral("29 февраля 2016");
        QTest::newRow("invalid") << QDate() << QString();
        QTest::newRow("impossible") << QDate(2015, 2, 30) << QString();
    }

    void dateInWords()
    {
        QFETCH(QDate, date);
        QFETCH(QString, text);
        QCOMPARE(dateToText(date), text);
    }

    void storedDatesAndFormats_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("year");
        QTest::newRow("valid") << "2015-06-05" << "05.06.2015" << "2015";
        QTest::newRow("blanks around") << " 2015-06-05 " << "05.06.2015" << "2015";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("null") << QString() << "" << "";
        QTest::newRow("garbage") << "вчера" << "" << "";
        QTest::newRow("impossible day") << "2015-02-30" << "" << "";
        QTest::newRow("other order") << "05.06.2015" << "" << "";
    }

    void storedDatesAndFormats()
    {
        QFETCH(QString, stored);
        QFETCH(QString, digits);
        QFETCH(QString, year);
        const QDate date = storedDate(stored);
        QCOMPARE(formatDate(date, "dd.MM.yyyy"), digits);
        QCOMPARE(formatDate(date, "yyyy"), year);
        QCOMPARE(dateToText(date).isEmpty(), digits.isEmpty());
    }

    void shortNames_data()
    {
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("three parts") << "Иванов Иван Иванович" << "Иванов И.И.";
        QTest::newRow("two parts") << "Иванов Иван" << "Иванов И.";
        QTest::newRow("one word") << "Иванов" << "Иванов";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("blanks only") << "   " << "";
        QTest::newRow("extra white space") << "  Иванов \t Иван\n Иванович " << "Иванов И.И.";
        QTest::newRow("lower case initials") << "петров пётр петрович" << "петров П.П.";
        QTest::newRow("four parts") << "Ким Анна Мария Ли" << "Ким Анна М.Л.";
        QTest::newRow("hyphenated") << "Римский-Корсаков Николай Андреевич" << "Римский-Корсаков Н.А.";
    }

    void shortNames()
    {
        QFETCH(QString, fio);
        QFETCH(QString, shortName);
        QCOMPARE(fioToShort(fio), shortName);
    }

    // --- loader ---------------------------------------------------------------

    void fullDocumentSetsEveryVariable()
    {
        setRequisites();
        insertDocument({{"fio1", QStringLiteral("Другой")}}); // a neighbour that must not leak in
        const int id = insertDocument(fullDocument());
        QVERIFY(id > 0);

        ReportPage page;
        QSignalSpy updates(&page, &ReportPage::dataUpdated);
        loadSpoData(&page, id, true);

        QMap<QString, QVariant> expected;
        auto expect = [&expected](const QString& name, const QString& value) { expected[name.toLower()] = value; };
        expect("Last_Name", "Иванова");
        expect("First_Name", "Мария");
        expect("Middle_Name", "Петровна");
        expect("Full_Name", "Иванова Мария Петровна");
        expect("Full_Name_short", "Иванова М.П.");
        expect("Number", "1234567");
        expect("reg_Number", "42-р");
        expect("decision_Date", "05 июня 2015");
        expect("decision_Date_digit", "05.06.2015");
        expect("Issue_Out", "12 декабря 2014");
        expect("Issue_Out_digit", "12.12.2014");
        expect("Issue_Out_year", "2014");
        expect("birth", "09 января 1996");
        expect("birth_digit", "09.01.1996");
        expect("Reg_Number", "42-р");
        expect("profession_Code", "09.02.03");
        expect("profession_Name", "Программирование в компьютерных системах");
        expect("qual", "Техник-программист");
        expect("program_Type", "специальности");
        expect("previous_Education", "основное общее образование");
        expect("total_Count", "5940");
        expect("attestation_Total_Count", "6 нед.");
        expect("practice_Total_Count", "1080");
        expect("comment", "с\nпереносом 'и' кавычками");
        expect("text_for_addition", "о среднем профессиональном образовании<br>с отличием");
        expect("is_excellent", "с отличием");
        expect("is_duplicate", "ДУБЛИКАТ");
        expect("Boss1_short", "Сидоров П.И.");
        expect("Boss1", "Сидоров  Пётр   Ильич");
        expect("Boss2_short", "О'Нил А.");
        expect("Boss2", "О'Нил Анна");
        expect("City", "Москва");
        expect("OrgName", "ГБПОУ \"Колледж № 1\"");

        const QMap<QString, QVariant> actual = page.variables();
        QCOMPARE(actual.keys(), expected.keys());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(actual.value(it.key()).toString(), it.value().toString());
        // 33 variables set, "reg_Number" and "Reg_Number" on the same key; 2 models.
        QCOMPARE(updates.count(), 33 + 2);
    }

    void plainDocumentFlags()
    {
        QVariantMap columns = fullDocument();
        columns["isExcellent"] = 0;
        columns["isDuplicate"] = QVariant(QVariant::Int); // NULL
        const int id = insertDocument(columns);
        ReportPage page;
        loadSpoData(&page, id, true);
        QCOMPARE(page.variables().value("text_for_addition").toString(),
                 QStringLiteral("о среднем профессиональном образовании"));
        QCOMPARE(page.variables().value("is_excellent").toString(), QString());
        QCOMPARE(page.variables().value("is_duplicate").toString(), QString());
    }

    void programType_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << QVariant(0) << "профессии";
        QTest::newRow("1") << QVariant(1) << "специальности";
        QTest::newRow("2") << QVariant(2) << "специальности";
        QTest::newRow("-1") << QVariant(-1) << "профессии";
        QTest::newRow("NULL") << QVariant(QVariant::Int) << "профессии";
        QTest::newRow("empty text") << QVariant(QString("")) << "профессии";
    }

    void programType()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, text);
        const int id = insertDocument({{"programType", stored}});
        ReportPage page;
        loadSpoData(&page, id, true);
        QCOMPARE(page.variables().value("program_type").toString(), text);
    }

    void emptyOrInvalidDatesGiveEmptyTexts_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("NULL") << QVariant(QVariant::String);
        QTest::newRow("empty") << QVariant(QString(""));
        QTest::newRow("garbage") << QVariant(QString("не указана"));
        QTest::newRow("impossible") << QVariant(QString("2015-02-30"));
    }

    void emptyOrInvalidDatesGiveEmptyTexts()
    {
        QFETCH(QVariant, stored);
        const int id = insertDocument({{"issueDate", stored}, {"decisionDate", stored}, {"birthDate", stored}});
        ReportPage page;
        loadSpoData(&page, id, true);
        for (const char* name : {"issue_out", "issue_out_digit", "issue_out_year", "decision_date",
                                 "decision_date_digit", "birth", "birth_digit"})
            QVERIFY2(page.variables().value(name).toString().isEmpty(), name);
    }

    void missingNamePartsJoinWithoutStrayBlanks()
    {
        const int id = insertDocument({{"fio1", QStringLiteral("Иванов")}, {"fio2", QStringLiteral("Иван")}});
        ReportPage page;
        loadSpoData(&page, id, true);
        QCOMPARE(page.variables().value("full_name").toString(), QStringLiteral("Иванов Иван"));
        QCOMPARE(page.variables().value("full_name_short").toString(), QStringLiteral("Иванов И."));
        QCOMPARE(page.variables().value("middle_name").toString(), QString());
    }

    void missingDocumentLeavesPageEmpty()
    {
        setRequisites();
        const int id = insertDocument(fullDocument());
        ReportPage page;
        QSignalSpy updates(&page, &ReportPage::dataUpdated);
        loadSpoData(&page, id + 100, true);
        QVERIFY(page.variables().isEmpty());
        QVERIFY(!page.model("ViewSpoDetails"));
        QVERIFY(!page.model("ViewSpoCourseworks"));
        QCOMPARE(updates.count(), 0);
        // Every token then prints as empty text.
        QCOMPARE(page.substituteVariables("$V{Full_Name}"), QString());
    }

    void sampleDataTakesTheFirstRowAndEmptyTables()
    {
        setRequisites();
        const int first = insertDocument(fullDocument());
        insertDocument({{"fio1", QStringLiteral("Второй")}});
        QVERIFY(insertDisciplines(first, 3));

        ReportPage page;
        loadSpoData(&page, 0, false);
        QCOMPARE(page.variables().value("full_name").toString(), QStringLiteral("Иванова Мария Петровна"));
        QCOMPARE(page.variables().value("city").toString(), QStringLiteral("Москва"));
        QAbstractItemModel* details = page.itemModel("ViewSpoDetails");
        QVERIFY(details);
        QCOMPARE(details->rowCount(), 0);
    }

    void sampleDataOnEmptyTable()
    {
        setRequisites();
        ReportPage page;
        loadSpoData(&page, 0, false);
        const QMap<QString, QVariant> vars = page.variables();
        for (const char* name : {"last_name", "first_name", "middle_name", "full_name", "full_name_short", "number",
                                 "reg_number", "decision_date", "decision_date_digit", "issue_out", "issue_out_digit",
                                 "issue_out_year", "birth", "birth_digit", "profession_code", "profession_name", "qual",
                                 "previous_education", "total_count", "attestation_total_count",
                                 "practice_total_count", "comment", "is_excellent", "is_duplicate"}) {
            QVERIFY2(vars.contains(name), name);
            QVERIFY2(vars.value(name).toString().isEmpty(), name);
        }
        QCOMPARE(vars.value("program_type").toString(), QStringLiteral("профессии"));
        QCOMPARE(vars.value("text_for_addition").toString(), QStringLiteral("о среднем профессиональном образовании"));
        QCOMPARE(vars.value("boss1").toString(), QStringLiteral("Сидоров  Пётр   Ильич"));
        QCOMPARE(vars.value("orgname").toString(), QStringLiteral("ГБПОУ \"Колледж № 1\""));
        QVERIFY(page.itemModel("ViewSpoDetails"));
        QCOMPARE(page.itemModel("ViewSpoDetails")->rowCount(), 0);
        QVERIFY(page.itemModel("ViewSpoCourseworks"));
        QCOMPARE(page.itemModel("ViewSpoCourseworks")->rowCount(), 0);
    }

    void missingRequisitesAreEmpty()
    {
        const int id = insertDocument(fullDocument());
        ReportPage page;
        loadSpoData(&page, id, true);
        for (const char* name : {"boss1", "boss1_short", "boss2", "boss2_short", "city", "orgname"}) {
            QVERIFY2(page.variables().contains(name), name);
            QVERIFY2(page.variables().value(name).toString().isEmpty(), name);
        }
    }

    void modelsHoldTheDocumentsRows()
    {
        const int id = insertDocument(fullDocument());
        const int other = insertDocument({{"fio1", QStringLiteral("Другой")}});
        QVERIFY(insertDisciplines(id, 2));
        QVERIFY(insertDisciplines(other, 5));
        QVERIFY(exec(QStringLiteral("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES "
                                    "(%1, 'Курсовая 1', 'хорошо'), (%1, 'Курсовая 2', 'отлично'), "
                                    "(%2, 'Чужая', 'удовлетворительно');")
                         .arg(id)
                         .arg(other)));

        ReportPage page;
        loadSpoData(&page, id, true);
        QAbstractItemModel* works = page.itemModel("viewspocourseworks");
        QVERIFY(works);
        QCOMPARE(works->rowCount(), 2);
        QCOMPARE(works->columnCount(), 3);
        QCOMPARE(works->headerData(1, Qt::Horizontal).toString(), QStringLiteral("cwName"));
        QCOMPARE(cell(works, 0, 1), QStringLiteral("Курсовая 1"));
        QCOMPARE(cell(works, 1, 2), QStringLiteral("отлично"));

        QAbstractItemModel* details = page.itemModel("ViewSpoDetails");
        QVERIFY(details);
        // 2 disciplines, the gap, two totals, the practice and attestation heads.
        QCOMPARE(details->rowCount(), 7);
        QCOMPARE(cell(details, 0, 1), QStringLiteral("Дисциплина 1"));
        QCOMPARE(cell(details, 3, 1), QStringLiteral("ВСЕГО часов теоретического обучения:"));
        QCOMPARE(cell(details, 3, 2), QStringLiteral("72"));
    }

    void longSupplementIsFetchedWhole()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(id, 600));
        ReportPage page;
        loadSpoData(&page, id, true);
        QAbstractItemModel* details = page.itemModel("ViewSpoDetails");
        QVERIFY(details);
        QVERIFY(!details->canFetchMore(QModelIndex()));
        QCOMPARE(details->rowCount(), 600 + 5);
        QCOMPARE(cell(details, 599, 1), QStringLiteral("Дисциплина 600"));
    }

    void modelsDieWithThePage()
    {
        const int id = insertDocument(fullDocument());
        auto page = std::make_unique<ReportPage>();
        loadSpoData(page.get(), id, true);
        QPointer<QObject> details = page->model("ViewSpoDetails");
        QPointer<QObject> works = page->model("ViewSpoCourseworks");
        QVERIFY(details && works);
        QCOMPARE(details->parent(), page.get());
        QCOMPARE(works->parent(), page.get());
        page.reset();
        QVERIFY(!details);
        QVERIFY(!works);
    }

    void loadingTwiceReplacesTheValues()
    {
        const int first = insertDocument(fullDocument());
        const int second = insertDocument({{"fio1", QStringLiteral("Петров")}, {"isExcellent", 0}});
        ReportPage page;
        loadSpoData(&page, first, true);
        loadSpoData(&page, second, true);
        QCOMPARE(page.variables().value("last_name").toString(), QStringLiteral("Петров"));
        QCOMPARE(page.variables().value("is_excellent").toString(), QString());
    }

    void nullPageIsRefused()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no page to fill"));
        loadSpoData(nullptr, 1, true);
    }
};

VELSPO_TEST_MAIN(ReportListTest)
#include "tst_reportlist.moc"
