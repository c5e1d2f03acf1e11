#include "support/Canvas.h"
#include "support/DocumentFixtures.h"
#include "support/PdfFile.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QDir>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <numeric>

using namespace DocumentFixtures;

namespace {

// Landscape A4 in mm; a blank's sides follow each other down the page strip.
constexpr double kSheetWidth = 297.0;
constexpr double kSheetHeight = 210.0;

QString shippedFile(const QString& name) { return TestEnvironment::sourcePath("resources/reports/" + name + ".velrpt"); }

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

// Tables take their rows from the models when drawn in data mode.
void layOutFilled(ReportPage& page)
{
    page.setDataMode(true);
    Canvas sheet = Canvas::ofMm(kSheetWidth, kSheetHeight, page.dotsPerMm());
    for (AbstractField* field : page.fields())
        sheet.draw(field, page.dotsPerMm());
}

int supplement(int disciplines)
{
    const int id = insertDocument(fullDocument());
    return id > 0 && insertDetails(id) && insertDisciplines(id, disciplines) ? id : -1;
}

} // namespace

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

    // Fields lie on one half of one side; texts sit apart on blank paper of
    // the blank's drawing, column edges on its rulings; tokens are the loader's.
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
        for (const QImage& drawing : drawings)
            QVERIFY(drawing.isNull() || qRound(drawing.width() * kSheetHeight / drawing.height()) == int(kSheetWidth));
        // -1: a side without a drawing.
        const auto inkUnder = [&](const QRectF& box) {
            const int side = int(box.y() / kSheetHeight);
            return side < sides && side < 2 ? inkIn(drawings[side], box.translated(0, -side * kSheetHeight)) : -1;
        };
        const auto checkBox = [&](const QRectF& box, const QString& what) {
            const int side = int(box.y() / kSheetHeight);
            const double top = box.y() - side * kSheetHeight;
            QVERIFY2(box.width() > 0 && box.height() > 0 && side >= 0 && side < sides && top >= 5
                         && top + box.height() <= kSheetHeight - 5 && box.x() >= 5 && box.right() <= kSheetWidth - 5
                         && (box.right() <= kSheetWidth / 2 || box.x() >= kSheetWidth / 2), qPrintable(what));
        };
        const QList<TextField*> texts = fieldsOf<TextField>(page);
        QVERIFY(!texts.isEmpty());
        for (int i = 0; i < texts.size(); ++i) {
            const QFont font = texts[i]->effectiveFont();
            QVERIFY(font.family() == QStringLiteral("Times New Roman") && font.pointSizeF() >= 9 && font.pointSizeF() <= 22);
            const QRectF a(texts[i]->x(), texts[i]->y(), texts[i]->width(), texts[i]->height());
            checkBox(a, texts[i]->text());
            QVERIFY2(inkUnder(a.adjusted(1, 1, -1, -1)) <= 0, qPrintable(texts[i]->text()));
            for (int j = i + 1; j < texts.size(); ++j)
                QVERIFY2(!a.intersects(QRectF(texts[j]->x(), texts[j]->y(), texts[j]->width(), texts[j]->height())),
                         qPrintable(texts[i]->text() + QStringLiteral(" / ") + texts[j]->text()));
        }
        for (TableField* table : fieldsOf<TableField>(page)) {
            QVERIFY(table->splitsCount() >= 1 && table->maxSplitHeight().size() == table->splitsCount());
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
        setRequisites();
        loadSpoData(&page, supplement(3), true);
        const QStringList provided = page.variables().keys();
        for (TextField* field : texts) {
            for (const QString& token : tokens(field->text(), QStringLiteral("$V{")))
                QVERIFY2(provided.contains(token.trimmed().toLower()), qPrintable(token));
            const QString filled = page.substituteVariables(field->text());
            QVERIFY2(!filled.contains(leftover) && !filled.contains(QLatin1Char('}')), qPrintable(filled));
        }
        layOutFilled(page);
        for (TableField* table : fieldsOf<TableField>(page)) {
            QVERIFY2(page.itemModel(table->modelName()), qPrintable(table->modelName()));
            QCOMPARE(table->columnIds().size(), int(table->columnCount()));
            for (const QString& id : table->columnIds()) {
                const QStringList found = tokens(id, QStringLiteral("$D{") + table->modelName() + QLatin1Char('.'));
                QVERIFY2(found.size() == 1 && table->columnMap().contains(found.first()), qPrintable(id));
            }
            QVERIFY(table->rowCount() > 0);
        }
    }

    void supplementCapacity_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("disciplines");
        QTest::addColumn<bool>("overflow");
        QTest::newRow("usual, one blank") << "id121" << 40 << false;
        QTest::newRow("usual, two blanks") << "id121double" << 40 << false;
        QTest::newRow("long, one blank") << "id121" << 100 << true;
        QTest::newRow("long, two blanks") << "id121double" << 100 << false;
    }
    void supplementCapacity()
    {
        QFETCH(QString, name);
        QFETCH(int, disciplines);
        QFETCH(bool, overflow);
        ReportPage page;
        QVERIFY(page.load(shippedFile(name)));
        loadSpoData(&page, supplement(disciplines), true);
        layOutFilled(page);
        for (TableField* table : fieldsOf<TableField>(page)) {
            const bool subjects = table->modelName() == QLatin1String("ViewSpoDetails");
            QCOMPARE(table->overflow(), overflow && subjects);
            const double used = std::accumulate(table->rowHeights().begin(), table->rowHeights().end(), 0.0);
            if (subjects && disciplines == 100 && !overflow)
                QVERIFY2(used > table->maxSplitHeightAt(0) + table->maxSplitHeightAt(1), qPrintable(QString::number(used)));
        }
    }

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
        // Names print as typed, tokens and backslash-n included.
        const QString typed = QStringLiteral("Тема $V{Full_Name}\\n1");
        QVERIFY(exec("INSERT INTO DisciplineDetails (spoId, disciplineName, disciplineCount, disciplineCountAudit, "
                     "disciplineRate) VALUES (?, ?, 36, 30, 'хорошо')", {id, typed}));
        PrintRun run;
        run.answerer.setDefaultAnswer(QMessageBox::Yes);
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::ReportType(type), id, true);
        QCOMPARE(errors.count(), 0);
        // No overflow question.
        QCOMPARE(run.driver.previewCount(), sides);
        QCOMPARE(run.answerer.texts().size(), sides);
        QStringList texts;
        const QRegularExpression image(QStringLiteral("/Im\\d+\\s+Do\\b"));
        for (const QString& pdf : run.driver.pdfFiles()) {
            QCOMPARE(QString::fromLatin1(PdfFile::content(pdf)).contains(image), texts.size() < 2);
            texts.append(PdfFile::text(pdf));
        }
        for (const QString& text : texts)
            QVERIFY2(!text.isEmpty() && !QString(text).remove(typed).contains(leftover), qPrintable(text));
        QCOMPARE(texts.join(QString()).contains(typed), sides > 1);
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
