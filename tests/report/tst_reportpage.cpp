#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QImage>
#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>

class TestReportPage : public QObject
{
    Q_OBJECT

private slots:
    void newPageDefaults();
    void dotsPerMmUsesThePrinterResolution();
    void orientationAndPageSizeReachThePrinter();

    void variableNamesAreTrimmedAndLowerCased();
    void substitution_data();
    void substitution();
    void missingVariableIsAddedWithoutValue();
    void selfContainingValueTerminates();
    void valuesAreNotScannedAgain();
    void replaceTokensWithOtherOpener();

    void modelsAreBoundByName();
    void rebindingReplacesWithoutDeleting();
    void tablesFollowNewModels();
    void ownedModelDiesWithThePage();
    void deletedOrForeignModelActsAsNone();

    void backgroundImageIsScaledToThePaper();
    void unreadableBackgroundKeepsTheOldOne();
    void fieldsAreDeletedWithThePage();

private:
    QTemporaryDir m_dir;
};

void TestReportPage::newPageDefaults()
{
    ReportPage page;
    QCOMPARE(page.orientation(), 1);
    QCOMPARE(page.pagesCount(), 1);
    QCOMPARE(page.pageSize(), 0);
    QCOMPARE(page.dataMode(), false);
    QCOMPARE(page.printBackgroundImage(), false);
    QCOMPARE(page.defaultFont().family(), QStringLiteral("Times New Roman"));
    QCOMPARE(page.defaultFont().pointSize(), 14);
    QVERIFY(page.fields().isEmpty());
    QVERIFY(page.backgroundImage().isNull());
    QVERIFY(page.backgroundImage2().isNull());
    QCOMPARE(page.margins(), QMarginsF());
    QVERIFY(page.printer());
    QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A4);
    QVERIFY(page.printer()->fullPage());
}

void TestReportPage::dotsPerMmUsesThePrinterResolution()
{
    ReportPage page;
    const int dpi = page.printer()->logicalDpiX();
    QCOMPARE(dpi, 100);   // the offscreen platform's logical resolution
    QCOMPARE(page.dotsPerMm(), dpi / 25.399931);
    QVERIFY(page.dotsPerMm() > dpi / 25.4);
}

void TestReportPage::orientationAndPageSizeReachThePrinter()
{
    ReportPage page;
    page.setOrientation(0);
    QCOMPARE(page.orientation(), 0);
    QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Portrait);
    page.setPageSize(9);
    QCOMPARE(page.pageSize(), 9);
    QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A5);
    page.setPageSize(8);
    QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A3);
    // An unknown code is kept but leaves the printer alone.
    page.setPageSize(9999);
    QCOMPARE(page.pageSize(), 9999);
    QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A3);
    page.setOrientation(1);
    QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Landscape);
}

void TestReportPage::variableNamesAreTrimmedAndLowerCased()
{
    ReportPage page;
    QSignalSpy spy(&page, &ReportPage::dataUpdated);
    page.setVariable(QStringLiteral(" Name "), QStringLiteral("first"));
    QCOMPARE(page.variables().keys(), QStringList{QStringLiteral("name")});
    page.setVariable(QStringLiteral("NAME"), QStringLiteral("second"));
    QCOMPARE(page.variables().size(), 1);
    QCOMPARE(page.variables().value(QStringLiteral("name")).toString(), QStringLiteral("second"));
    QCOMPARE(spy.count(), 2);
}

void TestReportPage::substitution_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "Иванов" << "Иванов";
    QTest::newRow("lower") << "ФИО: $V{fio}." << "ФИО: Петров Пётр.";
    QTest::newRow("upper") << "$V{FIO}" << "Петров Пётр";
    QTest::newRow("blanks") << "$V{ Fio }" << "Петров Пётр";
    QTest::newRow("lower-case v is text") << "$v{fio}" << "$v{fio}";
    QTest::newRow("two tokens") << "$V{fio}, $V{city}" << "Петров Пётр, Москва";
    QTest::newRow("adjacent") << "$V{city}$V{city}" << "МоскваМосква";
    QTest::newRow("backslash-n") << "a\\nb" << "a\nb";
    QTest::newRow("backslash-n after token") << "$V{city}\\n$V{fio}" << "Москва\nПетров Пётр";
    QTest::newRow("brace before token") << "a} $V{fio}\\n" << "a} $V{fio}\\n";
    QTest::newRow("never closed") << "x $V{fio\\n" << "x $V{fio\\n";
    QTest::newRow("brace after first token") << "$V{city} } $V{fio}\\n"
                                             << "Москва } $V{fio}\\n";
    QTest::newRow("closing without token") << "a}b\\n" << "a}b\n";
    QTest::newRow("empty name") << "<$V{}>" << "<>";
    QTest::newRow("value with line feed token") << "$V{multi}" << "one\ntwo";
}

void TestReportPage::substitution()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ReportPage page;
    page.setVariable(QStringLiteral("fio"), QStringLiteral("Петров Пётр"));
    page.setVariable(QStringLiteral("city"), QStringLiteral("Москва"));
    page.setVariable(QStringLiteral("multi"), QStringLiteral("one\\ntwo"));
    QCOMPARE(page.substituteVariables(text), expected);
}

void TestReportPage::missingVariableIsAddedWithoutValue()
{
    ReportPage page;
    QCOMPARE(page.substituteVariables(QStringLiteral("[$V{ Nothing }]")), QStringLiteral("[]"));
    QVERIFY(page.variables().contains(QStringLiteral("nothing")));
    QVERIFY(!page.variables().value(QStringLiteral("nothing")).isValid());
}

void TestReportPage::selfContainingValueTerminates()
{
    ReportPage page;
    page.setVariable(QStringLiteral("a"), QStringLiteral("$V{a}"));
    page.setVariable(QStringLiteral("b"), QStringLiteral("<$V{b}$V{b}>"));
    QCOMPARE(page.substituteVariables(QStringLiteral("x $V{a} y")), QStringLiteral("x $V{a} y"));
    QCOMPARE(page.substituteVariables(QStringLiteral("$V{b}|$V{a}")),
             QStringLiteral("<$V{b}$V{b}>|$V{a}"));
}

void TestReportPage::valuesAreNotScannedAgain()
{
    ReportPage page;
    page.setVariable(QStringLiteral("a"), QStringLiteral("$V{b}"));
    page.setVariable(QStringLiteral("b"), QStringLiteral("B"));
    page.setVariable(QStringLiteral("brace"), QStringLiteral("x}y"));
    QCOMPARE(page.substituteVariables(QStringLiteral("$V{a} $V{b}")), QStringLiteral("$V{b} B"));
    // A closing brace inside a value does not stop the tokens after it.
    QCOMPARE(page.substituteVariables(QStringLiteral("$V{brace} $V{b}")), QStringLiteral("x}y B"));
}

void TestReportPage::replaceTokensWithOtherOpener()
{
    const auto lookup = [](const QString& name) { return name == QLatin1String("col1") ? QStringLiteral("$D{m.col1}") : QStringLiteral("?"); };
    bool stopped = true;
    QCOMPARE(ReportPage::replaceTokens(QStringLiteral("$D{m.col1}/$D{m.col2}/$D{n.col1}"),
                                       QStringLiteral("$D{m."), lookup, &stopped),
             QStringLiteral("$D{m.col1}/?/$D{n.col1}"));
    QVERIFY(!stopped);
    QCOMPARE(ReportPage::replaceTokens(QStringLiteral("x} $D{m.col1}"), QStringLiteral("$D{m."),
                                       lookup, &stopped),
             QStringLiteral("x} $D{m.col1}"));
    QVERIFY(stopped);
    QCOMPARE(ReportPage::replaceTokens(QStringLiteral("$D{m.col1"), QStringLiteral("$D{m."),
                                       lookup, &stopped),
             QStringLiteral("$D{m.col1"));
    QVERIFY(stopped);
}

void TestReportPage::modelsAreBoundByName()
{
    ReportPage page;
    QSignalSpy spy(&page, &ReportPage::dataUpdated);
    QStandardItemModel model(2, 2);
    QVERIFY(page.addModel(QStringLiteral(" ViewSpoDetails "), &model, false));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(page.model(QStringLiteral("viewspodetails")), &model);
    QCOMPARE(page.itemModel(QStringLiteral("VIEWSPODETAILS")), &model);
    QCOMPARE(page.models().keys(), QStringList{QStringLiteral("viewspodetails")});
    QVERIFY(!page.model(QStringLiteral("other")));
    QCOMPARE(model.parent(), nullptr);
}

void TestReportPage::rebindingReplacesWithoutDeleting()
{
    ReportPage page;
    QPointer<QStandardItemModel> first = new QStandardItemModel(&page);
    QStandardItemModel second;
    page.addModel(QStringLiteral("m"), first, false);
    page.addModel(QStringLiteral("M"), &second, false);
    QVERIFY(first);
    QCOMPARE(page.model(QStringLiteral("m")), &second);
    QCOMPARE(page.models().size(), 1);
}

void TestReportPage::tablesFollowNewModels()
{
    ReportPage page;
    auto* table = new TableField;
    page.addField(table);
    table->setModelName(QStringLiteral("ViewSpoDetails"));
    QVERIFY(!table->boundModel());
    QStandardItemModel first(1, 1);
    QStandardItemModel second(2, 1);
    page.addModel(QStringLiteral("viewspodetails"), &first, false);
    QCOMPARE(table->boundModel(), &first);
    page.addModel(QStringLiteral("VIEWSPODETAILS "), &second, false);
    QCOMPARE(table->boundModel(), &second);
    // A plain object under the name is no model.
    QObject plain;
    page.addModel(QStringLiteral("ViewSpoDetails"), &plain, false);
    QVERIFY(!table->boundModel());
}

void TestReportPage::ownedModelDiesWithThePage()
{
    QPointer<QStandardItemModel> model = new QStandardItemModel;
    {
        ReportPage page;
        page.addModel(QStringLiteral("m"), model, true);
        QCOMPARE(model->parent(), &page);
    }
    QVERIFY(!model);
}

void TestReportPage::deletedOrForeignModelActsAsNone()
{
    ReportPage page;
    auto* model = new QStandardItemModel;
    page.addModel(QStringLiteral("gone"), model, false);
    delete model;
    QVERIFY(!page.model(QStringLiteral("gone")));
    QVERIFY(!page.itemModel(QStringLiteral("gone")));
    QVERIFY(page.models().isEmpty());

    QObject notAModel;
    page.addModel(QStringLiteral("plain"), &notAModel, false);
    QCOMPARE(page.model(QStringLiteral("plain")), &notAModel);
    QVERIFY(!page.itemModel(QStringLiteral("plain")));
    QVERIFY(page.addModel(QStringLiteral("null"), nullptr, true));
    QVERIFY(!page.model(QStringLiteral("null")));
}

void TestReportPage::backgroundImageIsScaledToThePaper()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString fileName = m_dir.filePath(QStringLiteral("blank.png"));
    QVERIFY(image.save(fileName));

    ReportPage page;
    QVERIFY(page.loadBackgroundImage(fileName));
    const QRect paper = page.printer()->pageLayout().fullRectPixels(page.printer()->resolution());
    QCOMPARE(page.backgroundImage().size(), paper.size());
    // Landscape A4 at the screen's resolution.
    QCOMPARE(paper.width(), qRound(297 / 25.4 * page.printer()->resolution()));
    QVERIFY(page.backgroundImage2().isNull());
    QVERIFY(page.loadBackgroundImage2(fileName));
    QCOMPARE(page.backgroundImage2().size(), paper.size());
    QCOMPARE(page.backgroundImage2().toImage().pixelColor(5, 5), QColor(Qt::red));
}

void TestReportPage::unreadableBackgroundKeepsTheOldOne()
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString good = m_dir.filePath(QStringLiteral("good.png"));
    QVERIFY(image.save(good));
    const QString bad = m_dir.filePath(QStringLiteral("bad.png"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();

    ReportPage page;
    QVERIFY(page.loadBackgroundImage(good));
    const qint64 key = page.backgroundImage().cacheKey();
    QVERIFY(!page.loadBackgroundImage(bad));
    QVERIFY(!page.loadBackgroundImage(m_dir.filePath(QStringLiteral("missing.png"))));
    QCOMPARE(page.backgroundImage().cacheKey(), key);
    QVERIFY(!page.loadBackgroundImage2(bad));
    QVERIFY(page.backgroundImage2().isNull());
}

void TestReportPage::fieldsAreDeletedWithThePage()
{
    QPointer<TextField> field = new TextField;
    {
        ReportPage page;
        page.addField(field);
        QCOMPARE(field->page(), &page);
        QCOMPARE(page.fields().size(), 1);
    }
    QVERIFY(!field);
}

VELSPO_TEST_MAIN(TestReportPage)
#include "tst_reportpage.moc"
