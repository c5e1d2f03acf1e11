// The supplement's table of subjects as the report loader reads it for one
// document: the same rows, in the same order, as the view built with UNION
// gave, and read from that document's rows alone.

#include "engine/Database.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "support/DocumentFixtures.h"
#include "support/TestEnvironment.h"

#include <QAbstractItemModel>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace DocumentFixtures;

namespace {

// The view as it stood while its branches were joined by UNION, which
// de-duplicated and so built the rows of every document before the condition
// on spoId could apply. Kept as the reference for the rows.
const char* const unionView = R"(
CREATE TEMP VIEW IF NOT EXISTS UnionSpoDetails AS
SELECT spoId, col1, col2, col3 FROM (
    SELECT spoId, disciplineName AS col1, disciplineCount AS col2, disciplineRate AS col3, 1 AS order1, discId AS order2, 0 AS order3
    FROM DisciplineDetails
    UNION
    SELECT spoId, '', '', '', 2, moduleId, -3
    FROM ModuleDetails
    UNION
    SELECT spoId, moduleName, moduleCount, moduleRate, 2, moduleId, -2
    FROM ModuleDetails
    UNION
    SELECT spoId, '    ' || IFNULL(dmName, ''), dmCount, dmRate, 2, moduleId, dmId
    FROM DMDetails
    UNION
    SELECT spoId, '', '', '', 3, 0, 0
    FROM SpoDocuments
    UNION
    SELECT spoId, 'ВСЕГО часов теоретического обучения:', SUM(REPLACE(IFNULL(disciplineCount, 0), ',', '.')) + IFNULL((SELECT SUM(REPLACE(IFNULL(m.moduleCount, 0), ',', '.')) FROM ModuleDetails m WHERE m.spoId = DisciplineDetails.spoId), 0), 'х', 8, 0, 0
    FROM DisciplineDetails GROUP BY spoId
    UNION
    SELECT spoId, 'в том числе аудиторных часов:', SUM(REPLACE(IFNULL(disciplineCountAudit, 0), ',', '.')) + IFNULL((SELECT SUM(REPLACE(IFNULL(m.moduleCountAudit, 0), ',', '.')) FROM ModuleDetails m WHERE m.spoId = DisciplineDetails.spoId), 0), 'х', 9, 0, 0
    FROM DisciplineDetails GROUP BY spoId
    UNION
    SELECT spoId, 'Практика' || char(10) || 'в том числе:', practiceTotalCount, 'х', 10, 0, 0
    FROM SpoDocuments
    UNION
    SELECT spoId, practiceName, practiceCount, practiceRate, 11, pracId, 0
    FROM PracticeDetails
    UNION
    SELECT spoId, 'Государственная итоговая аттестация' || char(10) || 'в том числе:', attestationTotalCount, 'х', 20, 0, 0
    FROM SpoDocuments
    UNION
    SELECT spoId, attestationName, 'x', attestationRate, 21, attId, 0
    FROM AttestationDetails
)
ORDER BY order1, order2, order3
)";

// Each value with its storage class, so that 36 and '36' are told apart.
const QString typedColumns = QStringLiteral(
    "spoId, col1, typeof(col1), col2, typeof(col2), col3, typeof(col3)");

QStringList typedRows(const QString& view, const QString& condition = QString(), const QVariantList& values = {})
{
    return rows(QStringLiteral("SELECT %1 FROM %2 %3").arg(typedColumns, view, condition), values);
}

// What a table field bound to the model sees, with the type each value came as.
QStringList modelRows(const QAbstractItemModel* model)
{
    QStringList result;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c) {
            const QVariant value = model->index(r, c).data();
            cells << QStringLiteral("%1:%2").arg(QLatin1String(value.typeName()), value.toString());
        }
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

QStringList referenceModelRows(int spoId)
{
    QSqlQuery query(QSqlDatabase::database());
    query.prepare(QStringLiteral("SELECT * FROM UnionSpoDetails WHERE spoId = ?"));
    query.addBindValue(spoId);
    QStringList result;
    if (!query.exec())
        return {QStringLiteral("reference failed")};
    while (query.next()) {
        QStringList cells;
        for (int c = 0; c < query.record().count(); ++c)
            cells << QStringLiteral("%1:%2").arg(QLatin1String(query.value(c).typeName()), query.value(c).toString());
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

// The steps SQLite plans for the statement that read every row of a
// document table rather than looking the document's rows up.
QStringList tableScans(const QString& sql)
{
    static const QRegularExpression scan(QStringLiteral("\\bSCAN (SpoDocuments|\\w+Details)\\b"));
    return rows(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, {1}).filter(scan);
}

int insertModule(int spoId, const QString& name, const QVariant& hours, const QVariant& audit)
{
    return insertRow(QStringLiteral("ModuleDetails"), {{"spoId", spoId}, {"moduleName", name}, {"moduleCount", hours},
                                                       {"moduleCountAudit", audit}, {"moduleRate", "отлично"},
                                                       {"moduleExamCount", 6}});
}

bool insertSubSubject(int spoId, int moduleId, const QString& name, const QVariant& hours)
{
    return insertRow(QStringLiteral("DMDetails"), {{"spoId", spoId}, {"moduleId", moduleId}, {"dmName", name},
                                                   {"dmCount", hours}, {"dmCountAudit", 20}, {"dmRate", "хорошо"}})
        > 0;
}

// Every kind of row the supplement has, each kind also twice alike (name,
// hours and grade), hours typed with a comma, missing values, and
// sub-subjects written after a later module's.
int insertFullSupplement()
{
    const int id = insertDocument({{"fio1", "Полная"}, {"practiceTotalCount", "10 нед."},
                                   {"attestationTotalCount", QVariant(QVariant::String)}});
    bool ok = id > 0;
    for (const QVariantList& discipline : {QVariantList{"История", 72, 60, "отлично"},
                                           QVariantList{"Физическая культура", "36,5", "20,5", "зачтено"},
                                           QVariantList{"Физическая культура", "36,5", "20,5", "зачтено"},
                                           QVariantList{"Без часов", QVariant(), QVariant(), "хорошо"},
                                           QVariantList{"", 10, 10, ""}})
        ok = exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                  "disciplineRate) VALUES (?, ?, ?, ?, ?)",
                  QVariantList{id} + discipline) && ok;
    const int first = insertModule(id, "ПМ.01", 100, 80);
    const int second = insertModule(id, "ПМ.01", 100, 80);
    const int third = insertModule(id, "ПМ.03 без МДК", "12,5", QVariant());
    ok = ok && first > 0 && second > 0 && third > 0;
    ok = insertSubSubject(id, second, "МДК 02.01", 44) && ok;
    ok = insertSubSubject(id, first, "МДК 01.02", 30) && ok;
    ok = insertSubSubject(id, first, "МДК 01.01", 30) && ok;
    ok = insertSubSubject(id, first, "МДК 01.01", 30) && ok;
    ok = insertSubSubject(id, second, QString(), QVariant()) && ok;
    for (int i = 0; i < 2; ++i) {
        ok = exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                  "VALUES (?, 'Учебная практика', 72, 'отлично')", {id}) && ok;
        ok = exec("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) "
                  "VALUES (?, 'Демонстрационный экзамен', 'отлично')", {id}) && ok;
        ok = exec("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES (?, 'Курсовая', 'хорошо')", {id}) && ok;
    }
    ok = exec("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
              "VALUES (?, 'Производственная практика', '144,5', 'хорошо')", {id}) && ok;
    return ok ? id : -1;
}

} // namespace

class SupplementViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(openEmpty());
        QVERIFY(exec(QString::fromUtf8(unionView)));
    }

    void rowsAreThoseOfTheUnion()
    {
        const int neighbour = insertDocument({{"fio1", "Соседний"}});
        QVERIFY(insertDetails(neighbour));
        const int full = insertFullSupplement();
        QVERIFY(full > 0);
        QVERIFY(insertDetails(insertDocument({{"isTemplate", 1}})));
        const int bare = insertDocument();
        const int modulesOnly = insertDocument();
        QVERIFY(insertModule(modulesOnly, "ПМ.05", 50, 40) > 0);

        const QStringList fullRows = typedRows("ViewSpoDetails", "WHERE spoId = ?", {full});
        // 5 disciplines; 3 modules, each after a gap, with 5 sub-subjects; the
        // gap, 2 totals, the practice head and 3 practices, the attestation
        // head and 2 attestations.
        QCOMPARE(fullRows.size(), 5 + 3 * 2 + 5 + 1 + 2 + 1 + 3 + 1 + 2);
        QCOMPARE(fullRows.filter("|Физическая культура|text|36,5|text|зачтено|text").size(), 2);
        QCOMPARE(fullRows.filter("|    МДК 01.01|text|30|integer|хорошо|text").size(), 2);
        QCOMPARE(fullRows.filter("|ПМ.01|text|100|integer|").size(), 2);
        QCOMPARE(fullRows.filter("|Учебная практика|").size(), 2);
        QCOMPARE(fullRows.filter("|Демонстрационный экзамен|").size(), 2);
        QCOMPARE(fullRows.filter("|ВСЕГО часов теоретического обучения:|text|367.5|real|х|text").size(), 1);

        for (int id : {full, neighbour, bare, modulesOnly, full + 1000, 0}) {
            const QString condition = QStringLiteral("WHERE spoId = ?");
            QCOMPARE(typedRows("ViewSpoDetails", condition, {id}), typedRows("UnionSpoDetails", condition, {id}));
        }
        // The template's rows too, and nothing more or less for all of them.
        QStringList all = typedRows("ViewSpoDetails");
        QStringList reference = typedRows("UnionSpoDetails");
        all.sort();
        reference.sort();
        QCOMPARE(all, reference);
    }

    // What the printed table shows: the loader's model of the document.
    void loaderModelHoldsTheSameRows()
    {
        QVERIFY(insertDetails(insertDocument()));
        const int full = insertFullSupplement();
        ReportPage page;
        loadSpoData(&page, full, true);
        const QAbstractItemModel* model = page.itemModel(QStringLiteral("ViewSpoDetails"));
        QVERIFY(model);
        QCOMPARE(modelRows(model), referenceModelRows(full));
        QCOMPARE(model->rowCount(), 26);
    }

    // The condition on the document reaches every table, so one document
    // costs what it holds, however many documents the register has; the
    // reference shows what the check catches.
    void oneDocumentIsReadThroughItsKeys_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("restricted");
        QTest::newRow("subjects") << "SELECT * FROM ViewSpoDetails WHERE spoId = ?" << true;
        QTest::newRow("courseworks") << "SELECT * FROM ViewSpoCourseworks WHERE spoId = ?" << true;
        QTest::newRow("subjects, by UNION") << "SELECT * FROM UnionSpoDetails WHERE spoId = ?" << false;
    }
    void oneDocumentIsReadThroughItsKeys()
    {
        QFETCH(QString, sql);
        QFETCH(bool, restricted);
        const QStringList scans = tableScans(sql);
        QVERIFY2(scans.isEmpty() == restricted,
                 qPrintable(scans.isEmpty() ? QStringLiteral("every table is searched by key")
                                            : QStringLiteral("tables read whole: ") + scans.join(QStringLiteral("; "))));
    }

    // The views are made afresh at every opening, so a database that still
    // holds the UNION view reads one document's rows alone from then on.
    void openingReplacesTheOldView()
    {
        QVERIFY(exec("DROP VIEW ViewSpoDetails"));
        QVERIFY(exec(QString::fromUtf8(unionView).replace("TEMP VIEW IF NOT EXISTS UnionSpoDetails", "VIEW ViewSpoDetails")));
        const QString sql = QStringLiteral("SELECT * FROM ViewSpoDetails WHERE spoId = ?");
        QVERIFY(!tableScans(sql).isEmpty());
        Database::destroy();
        QVERIFY(Database::init(true));
        QCOMPARE(tableScans(sql), QStringList());
    }
};

VELSPO_TEST_MAIN(SupplementViewTest)
#include "tst_supplementview.moc"
