#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "support/DocumentFixtures.h"
#include "support/TestEnvironment.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>

#include <memory>

using namespace DocumentFixtures;

namespace {

QString cell(const QAbstractItemModel* model, int row, int column) { return model->index(row, column).data().toString(); }

QString variable(const ReportPage& page, const char* name) { return page.variables().value(name).toString(); }

} // namespace

// The report registry and the loader that fills a page from one document.
class ReportListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ReportList::registerReports(); }
    void init() { QVERIFY(openEmpty()); }

    // Every type is found by its number, fills pages through the shared loader
    // and has its exact title and description.
    void registersFourTypesOnce()
    {
        ReportList::registerReports(); // again: changes nothing
        const int id = insertDocument({{"fio1", QStringLiteral("Петров")}});
        QStringList seen, texts;
        for (ReportInfo* info : ReportList::allReports()) {
            seen << QStringLiteral("%1 %2").arg(info->type).arg(info->name);
            texts << info->title << info->description;
            QCOMPARE(ReportList::info(ReportList::ReportType(info->type)), info);
            ReportPage page;
            info->loadData(&page, id, true);
            QCOMPARE(variable(page, "last_name"), QStringLiteral("Петров"));
        }
        QCOMPARE(seen, QStringList({"401 id120", "402 id121", "403 id121double", "404 id124"}));
        for (int type : {0, 400, 405}) {
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("unregistered report type %1$").arg(type)));
            QVERIFY(!ReportList::info(ReportList::ReportType(type)));
        }
        const QString addition = QStringLiteral(
            "Бланк приложения к диплому о среднем профессиональном образовании/ диплому о среднем "
            "профессиональном образовании с отличием (Приказ №531 от 04.07.2013 в ред. Приказов №1243 от "
            "15.11.2013, № 380 от 09.04.2015)");
        QCOMPARE(texts,
                 QStringList({"Бланк диплома о среднем профессиональном образовании",
                              "Бланк диплома о среднем профессиональном образовании (Приказ №531 от 04.07.2013 в "
                              "ред. Приказа №1243 от 15.11.2013, № 380 от 09.04.2015)",
                              "Бланк приложения к диплому о среднем профессиональном образовании", addition,
                              "Бланк приложения к диплому о среднем профессиональном образовании 2 листа",
                              addition + "\nДва экземпляра бланка!",
                              "Бланк диплома о среднем профессиональном образовании с отличием",
                              // "4.07.2013" and "№380" stand as the blank's order prints them.
                              "Бланк диплома о среднем профессиональном образовании с отличием (Приказ №531 от "
                              "4.07.2013 в ред. Приказа №1243 от 15.11.2013, №380 от 09.04.2015)"}));
    }

    void datesInWordsAndDigits_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("digits");
        QTest::newRow("day below ten") << "2015-06-05" << "05 июня 2015" << "05.06.2015";
        QTest::newRow("blanks around") << " 2014-12-12 " << "12 декабря 2014" << "12.12.2014";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("garbage") << "вчера" << "" << "";
        QTest::newRow("impossible day") << "2015-02-30" << "" << "";
        QTest::newRow("other order") << "05.06.2015" << "" << "";
    }

    void datesInWordsAndDigits()
    {
        QFETCH(QString, stored);
        QFETCH(QString, words);
        QFETCH(QString, digits);
        const QDate date = storedDate(stored);
        QCOMPARE(dateToText(date) + "|" + formatDate(date, "dd.MM.yyyy"), words + "|" + digits);
    }

    void genitiveMonths()
    {
        QStringList months;
        for (int month = 0; month <= 13; ++month)
            months << monthNameGenitive(month);
        QCOMPARE(months.join(','), ",января,февраля,марта,апреля,мая,июня,июля,августа,сентября,октября,ноября,декабря,");
    }

    void shortNames_data()
    {
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("three parts") << "Иванов Иван Иванович" << "Иванов И.И.";
        QTest::newRow("two parts") << "Иванов Иван" << "Иванов И.";
        QTest::newRow("one word") << "Иванов" << "Иванов";
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

    void programTypeAndFlags_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << QVariant(0) << "профессии";
        QTest::newRow("2") << QVariant(2) << "специальности";
        QTest::newRow("NULL") << QVariant(QVariant::Int) << "профессии";
        QTest::newRow("empty text") << QVariant(QString("")) << "профессии";
    }

    void programTypeAndFlags()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, text);
        // NULL or 0 flags, dates neither stored nor valid, no requisites: empty texts.
        const int id = insertDocument({{"programType", stored}, {"isExcellent", 0}, {"isDuplicate", QVariant(QVariant::Int)},
                                       {"fio1", "Иванов"}, {"fio2", "Иван"}, {"issueDate", "не указана"}});
        ReportPage page;
        loadSpoData(&page, id, true);
        QCOMPARE(variable(page, "program_type"), text);
        QCOMPARE(variable(page, "text_for_addition") + "|" + variable(page, "full_name") + "|"
                     + variable(page, "full_name_short"),
                 QStringLiteral("о среднем профессиональном образовании|Иванов Иван|Иванов И."));
        QCOMPARE(page.variables().size(), 32);
        for (const char* name : {"is_excellent", "is_duplicate", "middle_name", "issue_out", "issue_out_year",
                                 "decision_date_digit", "birth", "boss1", "boss2_short", "city", "orgname"})
            QVERIFY2(variable(page, name).isEmpty(), name);
    }

    // A missing document leaves the page empty. Sample data take the first
    // row and empty tables, or empty values but for the words and requisites
    // when there is no document at all.
    void loadingWithoutTheDocument()
    {
        setRequisites();
        const int first = insertDocument(fullDocument());
        insertDocument({{"fio1", QStringLiteral("Второй")}});
        QVERIFY(insertDisciplines(first, 3));
        ReportPage missing;
        QSignalSpy updates(&missing, &ReportPage::dataUpdated);
        loadSpoData(&missing, first + 100, true);
        QVERIFY(missing.variables().isEmpty() && !missing.model("ViewSpoDetails") && updates.isEmpty());
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
        // A long supplement is fetched whole: the disciplines, the gap, two
        // totals, the practice and attestation heads.
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
};

VELSPO_TEST_MAIN(ReportListTest)
#include "tst_reportlist.moc"
