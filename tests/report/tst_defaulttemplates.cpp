#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/AbstractField.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "support/ModalAnswerer.h"
#include "support/PreviewDriver.h"
#include "support/TestEnvironment.h"
#include "engine/SpoDocumentFixture.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QImage>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace SpoDocumentFixture;

namespace {

// A4 in landscape, millimetres; sides of a blank follow each other on the
// page strip.
constexpr double kSheetWidth = 297.0;
constexpr double kSheetHeight = 210.0;

struct Shipped
{
    ReportList::ReportType type;
    const char* name;
    int sides;
};

const QList<Shipped> shipped = {
    {ReportList::SpoDiploma, "id120", 1},
    {ReportList::SpoAddition, "id121", 2},
    {ReportList::SpoAdditionDouble, "id121double", 4},
    {ReportList::SpoDiplomaExcellent, "id124", 1},
};

QString shippedFile(const QString& name)
{
    return TestEnvironment::sourcePath(QStringLiteral("resources/reports/%1.velrpt").arg(name));
}

// Names inside every "<opener>...}" token of the text.
QStringList tokens(const QString& text, const QString& opener)
{
    QStringList names;
    const QRegularExpression re(QRegularExpression::escape(opener) + QStringLiteral("([^}]*)\\}"));
    auto it = re.globalMatch(text);
    while (it.hasNext())
        names.append(it.next().captured(1));
    return names;
}

QList<TextField*> textFields(const ReportPage& page)
{
    QList<TextField*> result;
    for (AbstractField* field : page.fields())
        if (field->type() == AbstractField::TextFieldType)
            result.append(static_cast<TextField*>(field));
    return result;
}

QList<TableField*> tableFields(const ReportPage& page)
{
    QList<TableField*> result;
    for (AbstractField* field : page.fields())
        if (field->type() == AbstractField::TableFieldType)
            result.append(static_cast<TableField*>(field));
    return result;
}

QSet<QString> modelColumns(const QAbstractItemModel* model)
{
    QSet<QString> names;
    for (int c = 0; model && c < model->columnCount(); ++c)
        names.insert(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    return names;
}

QJsonObject readJson(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(in.readAll()).object();
}

bool insertSupplementRows(int spoId)
{
    return exec(QStringLiteral("INSERT INTO ModuleDetails (spoId, moduleName, moduleCount, moduleCountAudit, moduleRate) "
                               "VALUES (%1, 'ПМ.01 Разработка программных модулей', 612, 400, 'отлично');")
                    .arg(spoId))
        && exec(QStringLiteral("INSERT INTO DMDetails (spoId, moduleId, dmName, dmCount, dmRate) "
                               "SELECT %1, moduleId, 'МДК.01.01 Системное программирование', 180, "
                               "'удовлетворительно' FROM ModuleDetails WHERE spoId = %1;")
                    .arg(spoId))
        && exec(QStringLiteral("INSERT INTO PracticeDetails (spoId, practiceName, practiceCount, practiceRate) "
                               "VALUES (%1, 'Учебная практика', '9 нед.', 'отлично');")
                    .arg(spoId))
        && exec(QStringLiteral("INSERT INTO AttestationDetails (spoId, attestationName, attestationRate) "
                               "VALUES (%1, 'Защита выпускной квалификационной работы', 'отлично');")
                    .arg(spoId))
        && exec(QStringLiteral("INSERT INTO CourseworkDetails (spoId, cwName, cwRate) VALUES "
                               "(%1, 'Курсовая по базам данных', 'хорошо'), "
                               "(%1, 'Курсовая по сетям', 'отлично');")
                    .arg(spoId));
}

// Draws the page in data mode once, as the first printed sheet does: tables
// take their rows from the models when they are drawn in data mode.
void layOutFilled(ReportPage& page)
{
    page.setDataMode(true);
    const double dpm = page.dotsPerMm();
    QImage sheet(int(kSheetWidth * dpm) + 1, int(kSheetHeight * dpm) + 1, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (AbstractField* field : page.fields())
        field->draw(&painter, dpm, 0);
    painter.end();
    for (AbstractField* field : page.fields())
        field->prepare();
}

// A fresh page with the shipped template, filled for the document and laid
// out as printing lays it out.
std::unique_ptr<ReportPage> filledPage(const QString& name, int spoId)
{
    auto page = std::make_unique<ReportPage>();
    if (!page->load(shippedFile(name)))
        return nullptr;
    loadSpoData(page.get(), spoId, true);
    layOutFilled(*page);
    return page;
}

} // namespace

// The report templates shipped with the program: they load, use only what
// the loader provides, stay on their sheets and print the document.
class TestDefaultTemplates : public QObject
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
        QDir(Database::dataPath() + QStringLiteral("/reports")).removeRecursively();
    }

    void templateLoads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sides");
        for (const Shipped& s : shipped)
            QTest::newRow(s.name) << QString::fromLatin1(s.name) << s.sides;
    }

    void templateLoads()
    {
        QFETCH(QString, name);
        QFETCH(int, sides);
        const QString file = shippedFile(name);
        QVERIFY2(QFile::exists(file), qPrintable(file));

        // Strict JSON with a page object, not just something the lenient
        // reader accepts.
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(document.isObject());

        ReportPage page;
        QVERIFY(page.load(file));
        QVERIFY(!page.fields().isEmpty());
        QVERIFY(!textFields(page).isEmpty());
        QCOMPARE(page.pagesCount(), sides);
        QCOMPARE(page.orientation(), 1);
        QCOMPARE(page.pageSize(), 0);
        QVERIFY(!page.printBackgroundImage());
        QVERIFY(page.backgroundImage().isNull());
        QVERIFY(page.backgroundImage2().isNull());
        QCOMPARE(page.defaultFont().family(), QStringLiteral("Times New Roman"));
        for (AbstractField* field : page.fields()) {
            QCOMPARE(field->effectiveFont().family(), QStringLiteral("Times New Roman"));
            const double size = field->effectiveFont().pointSizeF();
            QVERIFY2(size >= 9 && size <= 22, qPrintable(QString::number(size)));
        }
        // The program writes the file back unchanged: it is what the
        // program itself writes.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("copy.velrpt"));
        QVERIFY(page.save(copy));
        QCOMPARE(readJson(copy), document.object());
    }

    // Every field lies on one side of the blank, inside the sheet; so does
    // every area a table runs on into.
    void fieldsStayOnTheirSides_data() { templateLoads_data(); }

    void fieldsStayOnTheirSides()
    {
        QFETCH(QString, name);
        QFETCH(int, sides);
        ReportPage page;
        QVERIFY(page.load(shippedFile(name)));

        auto checkBox = [&](double x, double y, double w, double h, const QString& what) {
            QVERIFY2(w > 0 && h > 0, qPrintable(what));
            QVERIFY2(x >= 5 && x + w <= kSheetWidth - 5, qPrintable(what));
            const int side = int(y / kSheetHeight);
            QVERIFY2(side >= 0 && side < sides, qPrintable(what));
            const double top = y - side * kSheetHeight;
            QVERIFY2(top >= 5 && top + h <= kSheetHeight - 5, qPrintable(what));
            // Nothing straddles the fold of a side.
            QVERIFY2(x + w <= kSheetWidth / 2 || x >= kSheetWidth / 2, qPrintable(what));
        };
        for (TextField* field : textFields(page))
            checkBox(field->x(), field->y(), field->width(), field->height(), field->text());
        for (TableField* table : tableFields(page)) {
            const QString what = table->modelName();
            double width = 0;
            for (int c = 0; c < table->columnCount(); ++c)
                width += table->columnWidthAt(c);
            QCOMPARE(table->columnsWidth().size(), int(table->columnCount()));
            QVERIFY(table->splitsCount() >= 1);
            QCOMPARE(table->maxSplitHeight().size(), table->splitsCount());
            double x = table->x();
            double y = table->y();
            for (int area = 0; area < table->splitsCount(); ++area) {
                checkBox(x, y, width, table->maxSplitHeightAt(area), what);
                x = table->splitXAt(area);
                y = table->splitYAt(area);
            }
            // The last bounded area ends the table: nothing runs on unbounded.
            QCOMPARE(x, 0.0);
            QCOMPARE(y, 0.0);
        }

        // Text fields on one side do not overlap.
        const QList<TextField*> texts = textFields(page);
        for (int i = 0; i < texts.size(); ++i)
            for (int j = i + 1; j < texts.size(); ++j) {
                const QRectF a(texts[i]->x(), texts[i]->y(), texts[i]->width(), texts[i]->height());
                const QRectF b(texts[j]->x(), texts[j]->y(), texts[j]->width(), texts[j]->height());
                QVERIFY2(!a.intersects(b), qPrintable(texts[i]->text() + QStringLiteral(" / ") + texts[j]->text()));
            }
    }

    // Every "$V{" token is a variable the loader sets, and every "$D{" token
    // names a column of the model the table is bound to.
    void tokensAreWhatTheLoaderProvides_data() { templateLoads_data(); }

    void tokensAreWhatTheLoaderProvides()
    {
        QFETCH(QString, name);
        setRequisites();
        const int id = insertDocument(fullDocument());
        QVERIFY(insertSupplementRows(id));

        ReportPage page;
        QVERIFY(page.load(shippedFile(name)));
        loadSpoData(&page, id, true);
        const QStringList provided = page.variables().keys();
        QVERIFY(!provided.isEmpty());

        for (TextField* field : textFields(page)) {
            for (const QString& token : tokens(field->text(), QStringLiteral("$V{")))
                QVERIFY2(provided.contains(token.trimmed().toLower()), qPrintable(token));
            QVERIFY2(tokens(field->text(), QStringLiteral("$D{")).isEmpty(), qPrintable(field->text()));
            const QString filled = page.substituteVariables(field->text());
            QVERIFY2(!filled.contains(QStringLiteral("$V{")), qPrintable(filled));
            QVERIFY2(!filled.contains(QLatin1Char('}')), qPrintable(filled));
        }
        // Substitution added no variable: no token named a missing one.
        QCOMPARE(page.variables().keys(), provided);

        for (TableField* table : tableFields(page)) {
            const QAbstractItemModel* model = page.itemModel(table->modelName());
            QVERIFY2(model, qPrintable(table->modelName()));
            const QSet<QString> columns = modelColumns(model);
            QCOMPARE(int(table->columnIds().size()), int(table->columnCount()));
            for (const QString& id : table->columnIds()) {
                const QStringList found = tokens(id, QStringLiteral("$D{"));
                QCOMPARE(found.size(), 1);
                const QString token = found.first();
                // The table fills only tokens of its own model, by exact name.
                QVERIFY2(token.startsWith(table->modelName() + QLatin1Char('.')), qPrintable(token));
                QVERIFY2(columns.contains(token.mid(table->modelName().size() + 1)), qPrintable(token));
            }
            layOutFilled(page);
            QVERIFY(table->useData());
            QVERIFY(table->rowCount() > 0);
            for (const QVector<QString>& row : table->cells())
                for (const QString& cell : row) {
                    QVERIFY2(!cell.contains(QStringLiteral("$D{")), qPrintable(cell));
                    QVERIFY2(!cell.contains(QStringLiteral("$V{")), qPrintable(cell));
                }
        }
    }

    // The designer fills templates with the first document and empty tables;
    // with no document at all every token still disappears.
    void sampleFillLeavesNoTokens_data() { templateLoads_data(); }

    void sampleFillLeavesNoTokens()
    {
        QFETCH(QString, name);
        ReportPage page;
        QVERIFY(page.load(shippedFile(name)));
        loadSpoData(&page, 0, false);
        const QStringList provided = page.variables().keys();
        for (TextField* field : textFields(page))
            QVERIFY(!page.substituteVariables(field->text()).contains(QStringLiteral("$V{")));
        QCOMPARE(page.variables().keys(), provided);
    }

    // A usual supplement fits one blank; a long one overflows it but fits
    // the two-blank template, running over every back half.
    void supplementCapacity()
    {
        const int usual = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(usual, 40));
        QVERIFY(insertSupplementRows(usual));
        const int longer = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(longer, 100));
        QVERIFY(insertSupplementRows(longer));

        auto subjects = [](ReportPage& page) -> TableField* {
            for (TableField* table : tableFields(page))
                if (table->modelName() == QLatin1String("ViewSpoDetails"))
                    return table;
            return nullptr;
        };

        for (const char* name : {"id121", "id121double"}) {
            auto page = filledPage(QString::fromLatin1(name), usual);
            QVERIFY(page);
            for (TableField* table : tableFields(*page))
                QVERIFY2(!table->overflow(), name);
        }

        auto single = filledPage(QStringLiteral("id121"), longer);
        QVERIFY(single);
        QVERIFY(subjects(*single) && subjects(*single)->overflow());

        auto twice = filledPage(QStringLiteral("id121double"), longer);
        QVERIFY(twice);
        TableField* table = subjects(*twice);
        QVERIFY(table);
        QVERIFY(!table->overflow());
        // The 100 subjects need more than the first blank's back.
        double used = 0;
        for (double h : table->rowHeights())
            used += h;
        QVERIFY2(used > table->maxSplitHeightAt(0) + table->maxSplitHeightAt(1), qPrintable(QString::number(used)));
    }

    // The road of a print request with the shipped templates put where the
    // program finds them: every side comes out as a PDF sheet with the
    // document on it.
    void printsTheDocument_data() { templateLoads_data(); }

    void printsTheDocument()
    {
        QFETCH(QString, name);
        QFETCH(int, sides);
        const Shipped* entry = nullptr;
        for (const Shipped& s : shipped)
            if (name == QLatin1String(s.name))
                entry = &s;
        QVERIFY(entry);

        const QString reports = Database::dataPath() + QStringLiteral("/reports/");
        QVERIFY(QDir().mkpath(reports));
        QVERIFY(QFile::copy(shippedFile(name), reports + name + QStringLiteral(".velrpt")));
        QCOMPARE(Engine::reportFilePath(entry->type), reports + name + QStringLiteral(".velrpt"));

        setRequisites();
        const int id = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(id, 12));
        QVERIFY(insertSupplementRows(id));

        QTemporaryDir out;
        ModalAnswerer answerer;
        answerer.setDefaultAnswer(QMessageBox::Yes);
        PreviewDriver driver(&answerer, out.path());
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(entry->type, id, false);
        QCOMPARE(errors.count(), 0);

        // One preview per side, with the prompts between them and no
        // overflow question.
        QStringList expected;
        for (int side = 0; side < sides; ++side) {
            if (side > 0)
                expected.append(side % 2 ? QStringLiteral("Переверните страницу!")
                                         : QStringLiteral("Вставьте следующий лист"));
            expected.append(QStringLiteral("[preview %1]").arg(side));
        }
        QCOMPARE(driver.events(), expected);
        const QStringList pdfs = driver.pdfFiles();
        QCOMPARE(pdfs.size(), sides);

        QStringList texts;
        for (const QString& pdf : pdfs) {
            const QString text = PreviewDriver::pdfText(pdf);
            QVERIFY2(!text.isNull(), qPrintable(pdf));
            QVERIFY2(!text.contains(QStringLiteral("$V{")) && !text.contains(QStringLiteral("$D{")), qPrintable(text));
            texts.append(text);
        }
        const QString& front = texts.first();
        QVERIFY2(front.contains(QStringLiteral("Иванова")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("Мария")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("Петровна")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("42-р")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("12 декабря 2014")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("Москва")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("Техник-программист")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("09.02.03")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("ДУБЛИКАТ")), qPrintable(front));

        if (sides == 1) {
            QVERIFY2(front.contains(QStringLiteral("05 июня 2015")), qPrintable(front)); // the commission's decision
            QVERIFY2(front.contains(QStringLiteral("Сидоров П.И.")), qPrintable(front));
            QVERIFY2(front.contains(QStringLiteral("О'Нил А.")), qPrintable(front));
            return;
        }
        // Supplement: each blank's front names the holder; the subjects and
        // the totals are on the first back, the courseworks and remarks on
        // the last.
        QVERIFY2(front.contains(QStringLiteral("09 января 1996")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("основное общее образование")), qPrintable(front));
        QVERIFY2(front.contains(QStringLiteral("с отличием")), qPrintable(front));
        for (int side = 2; side < sides; side += 2)
            QVERIFY2(texts[side].contains(QStringLiteral("Иванова")), qPrintable(texts[side]));
        const QString& back = texts[1];
        for (int i = 1; i <= 12; ++i)
            QVERIFY2(back.contains(QRegularExpression(QStringLiteral("Дисциплина %1\\b").arg(i))), qPrintable(back));
        QVERIFY(back.contains(QStringLiteral("ПМ.01 Разработка программных модулей")));
        QVERIFY(back.contains(QStringLiteral("ВСЕГО часов теоретического обучения:")));
        QVERIFY(back.contains(QStringLiteral("Учебная практика")));
        const QString& last = texts.last();
        QVERIFY2(last.contains(QStringLiteral("Курсовая по базам данных")), qPrintable(last));
        QVERIFY(last.contains(QStringLiteral("Курсовая по сетям")));
        QVERIFY(last.contains(QStringLiteral("переносом")));
    }
};

VELSPO_TEST_MAIN(TestDefaultTemplates)

#include "tst_defaulttemplates.moc"
