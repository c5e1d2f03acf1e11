#include "support/Canvas.h"
#include "support/DocumentFixtures.h"
#include "support/ModalAnswerer.h"
#include "support/PdfFile.h"
#include "support/PreviewDriver.h"
#include "support/TestEnvironment.h"

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <numeric>

using namespace DocumentFixtures;

namespace {

// Landscape A4, mm; the sides of a blank follow each other on the page strip.
constexpr double kSheetWidth = 297.0;
constexpr double kSheetHeight = 210.0;

QString shippedFile(const QString& name)
{
    return TestEnvironment::sourcePath(QStringLiteral("resources/reports/%1.velrpt").arg(name));
}

// Dark pixels of a side's drawing (A4 landscape) inside a box in mm of that side.
int inkIn(const QImage& drawing, const QRectF& mm)
{
    const double scale = drawing.width() / kSheetWidth;
    const QRect box = QRectF(mm.topLeft() * scale, mm.size() * scale).toAlignedRect() & drawing.rect();
    int ink = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            ink += qGray(drawing.pixel(x, y)) < 160;
    }
    return ink;
}

// A token left unfilled.
const QRegularExpression leftover(QStringLiteral("\\$[DV]\\{"));

// Names inside every "<opener>...}" token of the text.
QStringList tokens(const QString& text, const QString& opener)
{
    QStringList names;
    auto it = QRegularExpression(QRegularExpression::escape(opener) + QStringLiteral("([^}]*)\\}")).globalMatch(text);
    while (it.hasNext())
        names.append(it.next().captured(1));
    return names;
}

template <typename T>
QList<T*> fieldsOf(const ReportPage& page)
{
    QList<T*> result;
    for (AbstractField* field : page.fields()) {
        if (auto* typed = qobject_cast<T*>(field))
            result.append(typed);
    }
    return result;
}

// Draws the page in data mode once, as the first printed sheet does: tables
// take their rows from the models when they are drawn in data mode.
void layOutFilled(ReportPage& page)
{
    page.setDataMode(true);
    Canvas sheet = Canvas::ofMm(kSheetWidth, kSheetHeight, page.dotsPerMm());
    for (AbstractField* field : page.fields())
        sheet.draw(field, page.dotsPerMm());
}

// The subjects table of the template filled with the document.
std::unique_ptr<ReportPage> filledPage(const QString& name, int spoId, TableField** subjects)
{
    auto page = std::make_unique<ReportPage>();
    if (!page->load(shippedFile(name)))
        return nullptr;
    loadSpoData(page.get(), spoId, true);
    layOutFilled(*page);
    for (TableField* table : fieldsOf<TableField>(*page)) {
        if (table->modelName() == QLatin1String("ViewSpoDetails"))
            *subjects = table;
    }
    return page;
}

// A full document with its detail rows, and n more disciplines.
int supplement(int disciplines)
{
    const int id = insertDocument(fullDocument());
    return id > 0 && insertDetails(id) && insertDisciplines(id, disciplines) ? id : -1;
}

} // namespace

// The report templates shipped with the program: they load, use only what
// the loader provides, stay on their sheets and print the document.
class TestDefaultTemplates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ReportList::registerReports(); }
    void init()
    {
        QVERIFY(openEmpty());
        clearUserReports();
    }

    void templateIsSound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("sides");
        QTest::addColumn<int>("type");
        QTest::newRow("id120") << "id120" << 1 << int(ReportList::SpoDiploma);
        QTest::newRow("id121") << "id121" << 2 << int(ReportList::SpoAddition);
        QTest::newRow("id121double") << "id121double" << 4 << int(ReportList::SpoAdditionDouble);
        QTest::newRow("id124") << "id124" << 1 << int(ReportList::SpoDiplomaExcellent);
    }

    // Strict JSON that the program writes back unchanged; A4 landscape
    // sides in Times New Roman, with the blank's drawing behind the first
    // side and the second (not printed unless asked). Every field lies on
    // one side of the blank, inside the sheet and on one half of it; so does
    // every area a table runs on into, and the last bounded area ends the
    // table. Text fields do not overlap and sit on blank paper of the
    // drawing; every column edge of a table meets a ruling of it.
    void templateIsSound()
    {
        QFETCH(QString, name);
        QFETCH(int, sides);
        QFile in(shippedFile(name));
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(in.fileName()));
        QJsonParseError error;
        const QJsonObject original = QJsonDocument::fromJson(in.readAll(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        ReportPage page;
        QTemporaryDir dir;
        QFile copy(dir.filePath(QStringLiteral("copy.velrpt")));
        QVERIFY(page.load(in.fileName()) && page.save(copy.fileName()) && copy.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(copy.readAll()).object(), original);
        QCOMPARE(QVector<int>({page.pagesCount(), page.orientation(), page.pageSize()}), QVector<int>({sides, 1, 0}));
        QVERIFY(!page.printBackgroundImage());
        const QImage drawings[] = {page.backgroundImage().toImage(), page.backgroundImage2().toImage()};
        QCOMPARE(drawings[1].isNull(), sides == 1);
        for (const QImage& drawing : drawings) {
            if (!drawing.isNull())
                QCOMPARE(qRound(drawing.width() * kSheetHeight / drawing.height()), int(kSheetWidth));
        }
        // Ink of the drawing of the box's side in the box; -1 for a side without one.
        const auto inkUnder = [&](const QRectF& box) {
            const int side = int(box.y() / kSheetHeight);
            return side < sides && side < 2 ? inkIn(drawings[side], box.translated(0, -side * kSheetHeight)) : -1;
        };
        for (AbstractField* field : page.fields()) {
            QCOMPARE(field->effectiveFont().family(), QStringLiteral("Times New Roman"));
            const double size = field->effectiveFont().pointSizeF();
            QVERIFY2(size >= 9 && size <= 22, qPrintable(QString::number(size)));
        }
        const auto checkBox = [&](const QRectF& box, const QString& what) {
            const int side = int(box.y() / kSheetHeight);
            const double top = box.y() - side * kSheetHeight;
            QVERIFY2(box.width() > 0 && box.height() > 0 && side >= 0 && side < sides, qPrintable(what));
            QVERIFY2(box.x() >= 5 && box.right() <= kSheetWidth - 5, qPrintable(what));
            QVERIFY2(top >= 5 && top + box.height() <= kSheetHeight - 5, qPrintable(what));
            QVERIFY2(box.right() <= kSheetWidth / 2 || box.x() >= kSheetWidth / 2, qPrintable(what));
        };
        const QList<TextField*> texts = fieldsOf<TextField>(page);
        QVERIFY(!texts.isEmpty());
        for (int i = 0; i < texts.size(); ++i) {
            const QRectF a(texts[i]->x(), texts[i]->y(), texts[i]->width(), texts[i]->height());
            checkBox(a, texts[i]->text());
            QVERIFY2(inkUnder(a.adjusted(1, 1, -1, -1)) <= 0, qPrintable(texts[i]->text()));
            for (int j = i + 1; j < texts.size(); ++j)
                QVERIFY2(!a.intersects(QRectF(texts[j]->x(), texts[j]->y(), texts[j]->width(), texts[j]->height())),
                         qPrintable(texts[i]->text() + QStringLiteral(" / ") + texts[j]->text()));
        }
        for (TableField* table : fieldsOf<TableField>(page)) {
            QCOMPARE(table->columnsWidth().size(), int(table->columnCount()));
            QVERIFY(table->splitsCount() >= 1);
            QCOMPARE(table->maxSplitHeight().size(), table->splitsCount());
            const double width = std::accumulate(table->columnsWidth().begin(), table->columnsWidth().end(), 0.0);
            QPointF at(table->x(), table->y());
            for (int area = 0; area < table->splitsCount(); ++area) {
                const QRectF box(at, QSizeF(width, table->maxSplitHeightAt(area)));
                checkBox(box, table->modelName());
                double edge = box.x();
                for (int c = 0; c <= table->columnCount(); ++c) {
                    const QString where = QStringLiteral("%1 %2 %3").arg(table->modelName()).arg(area).arg(c);
                    QVERIFY2(inkUnder(QRectF(edge - 0.5, box.y() + 5, 1, 10)) != 0, qPrintable(where));
                    edge += table->columnWidthAt(c);
                }
                at = QPointF(table->splitXAt(area), table->splitYAt(area));
            }
            QCOMPARE(at, QPointF());
        }
    }

    // Every "$V{" token is a variable the loader sets and every "$D{" token a
    // column of the table's own model, so nothing of them is left filled in.
    void tokensAreWhatTheLoaderProvides_data() { templateIsSound_data(); }
    void tokensAreWhatTheLoaderProvides()
    {
        QFETCH(QString, name);
        setRequisites();
        const int id = supplement(3);
        QVERIFY(id > 0);
        ReportPage page;
        QVERIFY(page.load(shippedFile(name)));
        loadSpoData(&page, id, true);
        const QStringList provided = page.variables().keys();
        for (TextField* field : fieldsOf<TextField>(page)) {
            for (const QString& token : tokens(field->text(), QStringLiteral("$V{")))
                QVERIFY2(provided.contains(token.trimmed().toLower()), qPrintable(token));
            const QString filled = page.substituteVariables(field->text());
            QVERIFY2(!filled.contains(leftover) && !filled.contains(QLatin1Char('}')), qPrintable(filled));
        }
        QCOMPARE(page.variables().keys(), provided);   // no token named a missing one
        layOutFilled(page);
        for (TableField* table : fieldsOf<TableField>(page)) {
            const QAbstractItemModel* model = page.itemModel(table->modelName());
            QVERIFY2(model, qPrintable(table->modelName()));
            QCOMPARE(table->columnIds().size(), int(table->columnCount()));
            for (const QString& id : table->columnIds()) {
                const QStringList found = tokens(id, QStringLiteral("$D{") + table->modelName() + QLatin1Char('.'));
                QCOMPARE(found.size(), 1);
                QVERIFY2(table->columnMap().contains(found.first()), qPrintable(id));
            }
            QVERIFY(table->rowCount() > 0);
        }
    }

    // A usual supplement fits one blank; a long one overflows it but fits
    // the two-blank template, running over more than its first back.
    void supplementCapacity()
    {
        const int usual = supplement(40);
        const int longer = supplement(100);
        TableField* table = nullptr;
        for (const char* name : {"id121", "id121double"}) {
            auto page = filledPage(QString::fromLatin1(name), usual, &table);
            QVERIFY(page);
            for (TableField* t : fieldsOf<TableField>(*page))
                QVERIFY2(!t->overflow(), name);
        }
        table = nullptr;
        auto single = filledPage(QStringLiteral("id121"), longer, &table);
        QVERIFY(single && table && table->overflow());
        table = nullptr;
        auto twice = filledPage(QStringLiteral("id121double"), longer, &table);
        QVERIFY(twice && table && !table->overflow());
        const double used = std::accumulate(table->rowHeights().begin(), table->rowHeights().end(), 0.0);
        QVERIFY2(used > table->maxSplitHeightAt(0) + table->maxSplitHeightAt(1), qPrintable(QString::number(used)));
    }

    // A print request with the shipped templates where the program finds
    // them, the blank's drawing printed too: every side comes out as a PDF
    // sheet with the document on it, the first two over the drawing. The
    // print chooser previews the drawing.
    void printsTheDocument_data() { templateIsSound_data(); }
    void printsTheDocument()
    {
        QFETCH(QString, name);
        QFETCH(int, sides);
        QFETCH(int, type);
        const QString reports = Database::dataPath() + QStringLiteral("/reports/");
        QVERIFY(QDir().mkpath(reports));
        QVERIFY(QFile::copy(shippedFile(name), reports + name + QStringLiteral(".velrpt")));
        QVERIFY(!Engine::pixmap(ReportList::ReportType(type)).isNull());
        setRequisites();
        const int id = supplement(12);
        QVERIFY(id > 0);
        QTemporaryDir out;
        ModalAnswerer answerer;
        answerer.setDefaultAnswer(QMessageBox::Yes);
        PreviewDriver driver(&answerer, out.path());
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::ReportType(type), id, true);
        QCOMPARE(errors.count(), 0);
        // One preview a side, the background question and a prompt between
        // two: no overflow question.
        QCOMPARE(driver.previewCount(), sides);
        QCOMPARE(answerer.texts().size(), sides);
        QStringList texts;
        const QRegularExpression image(QStringLiteral("/Im\\d+\\s+Do\\b"));
        for (const QString& pdf : driver.pdfFiles()) {
            QCOMPARE(QString::fromLatin1(PdfFile::content(pdf)).contains(image), texts.size() < 2);
            texts.append(PdfFile::text(pdf));
        }
        QCOMPARE(texts.size(), sides);
        for (const QString& text : texts)
            QVERIFY2(!text.isEmpty() && !text.contains(leftover), qPrintable(text));
        // Fronts name the holder; a diploma has the commission's decision
        // and the bosses, a supplement the subjects and totals on its first
        // back and the courseworks and remarks on its last side.
        QList<QPair<int, QString>> wanted{{0, "Иванова"}, {0, "Мария"}, {0, "Петровна"}, {0, "42-р"},
                                          {0, "12 декабря 2014"}, {0, "Техник-программист"}, {0, "09.02.03"},
                                          {0, "ДУБЛИКАТ"}};
        if (sides == 1) {
            wanted += {{0, "05 июня 2015"}, {0, "Сидоров П.И."}, {0, "О'Нил А."}};
        } else {
            wanted += {{0, "09 января 1996"}, {0, "с отличием"}, {1, "Модуль 2"}, {1, "МДК 1.1"}, {1, "Практика 1"},
                       {1, "ВСЕГО часов теоретического обучения:"}, {sides - 1, "Курсовая"},
                       {sides - 1, "переносом"}, {sides - 2, "Иванова"}};
            for (int i = 1; i <= 12; ++i)
                QVERIFY(texts.at(1).contains(QRegularExpression(QStringLiteral("Дисциплина %1\\b").arg(i))));
        }
        for (const auto& entry : wanted)
            QVERIFY2(texts.at(entry.first).contains(entry.second), qPrintable(entry.second + "\n" + texts.at(entry.first)));
    }
};

VELSPO_TEST_MAIN(TestDefaultTemplates)
#include "tst_defaulttemplates.moc"
