#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
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

    void printerFollowsThePage()
    {
        ReportPage page;
        QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A4);
        page.setOrientation(0);
        page.setPageSize(9);
        QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A5);
        // An unknown code is kept for the file but leaves the printer alone.
        page.setPageSize(9999);
        QCOMPARE(page.pageSize(), 9999);
        QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A5);
    }

    void substitution_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Иванов" << "Иванов";
        QTest::newRow("any case, blanks") << "ФИО: $V{ Fio }, $V{FIO}." << "ФИО: Петров Пётр, Петров Пётр.";
        QTest::newRow("lower-case v is text") << "$v{fio}" << "$v{fio}";
        QTest::newRow("adjacent") << "$V{city}$V{city}" << "МоскваМосква";
        QTest::newRow("backslash-n") << "$V{city}\\n$V{fio}" << "Москва\nПетров Пётр";
        QTest::newRow("missing and empty names") << "[$V{ Nothing }$V{}]" << "[]";
        // A closing brace before the next token, or a token never closed, ends
        // the scan: the rest, line feeds included, stays as it is.
        QTest::newRow("brace before token") << "a} $V{fio}\\n" << "a} $V{fio}\\n";
        QTest::newRow("never closed") << "x $V{fio\\n" << "x $V{fio\\n";
        QTest::newRow("brace after first token") << "$V{city} } $V{fio}\\n" << "Москва } $V{fio}\\n";
        QTest::newRow("brace without token") << "a}b\\n" << "a}b\n";
        // Values are data: never scanned for tokens again, so a value naming
        // itself ends too; its own "\n" still becomes a line feed.
        QTest::newRow("self-containing value") << "x $V{self} y" << "x <$V{self}$V{self}> y";
        QTest::newRow("value naming another") << "$V{ref} $V{city}" << "$V{city} Москва";
        QTest::newRow("brace inside value") << "$V{brace} $V{city}" << "x}y Москва";
        QTest::newRow("line feed in value") << "$V{multi}" << "one\ntwo";
    }
    void substitution()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        ReportPage page;
        // Names are kept trimmed and lower-cased, the last value winning.
        page.setVariable(QStringLiteral("fio"), QStringLiteral("Петров"));
        page.setVariable(QStringLiteral(" FIO "), QStringLiteral("Петров Пётр"));
        page.setVariable(QStringLiteral("city"), QStringLiteral("Москва"));
        page.setVariable(QStringLiteral("self"), QStringLiteral("<$V{self}$V{self}>"));
        page.setVariable(QStringLiteral("ref"), QStringLiteral("$V{city}"));
        page.setVariable(QStringLiteral("brace"), QStringLiteral("x}y"));
        page.setVariable(QStringLiteral("multi"), QStringLiteral("one\\ntwo"));
        QCOMPARE(page.substituteVariables(text), expected);
        // A name asked for but never set is added without a value, for the designer.
        if (text.contains(QLatin1String("Nothing")))
            QVERIFY(page.variables().contains(QStringLiteral("nothing"))
                    && !page.variables().value(QStringLiteral("nothing")).isValid());
    }

    void modelBinding()
    {
        ReportPage page;
        QSignalSpy spy(&page, &ReportPage::dataUpdated);
        QPointer<QStandardItemModel> first = new QStandardItemModel(&page);
        QStandardItemModel second;
        QVERIFY(page.addModel(QStringLiteral(" ViewSpoDetails "), first, false));
        QCOMPARE(page.itemModel(QStringLiteral("VIEWSPODETAILS")), first.data());
        // Binding again under the same name replaces without deleting.
        page.addModel(QStringLiteral("viewspodetails"), &second, false);
        QVERIFY(first);
        QCOMPARE(page.models(), (QMap<QString, QObject*>{{QStringLiteral("viewspodetails"), &second}}));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(second.parent(), nullptr);
        // A deleted model is none; an object that is no model is no item model.
        delete first;
        page.addModel(QStringLiteral("gone"), new QStandardItemModel, true);
        delete page.model(QStringLiteral("gone"));
        QVERIFY(!page.model(QStringLiteral("gone")));
        QCOMPARE(page.models().size(), 1);
        QObject notAModel;
        page.addModel(QStringLiteral("plain"), &notAModel, false);
        QCOMPARE(page.model(QStringLiteral("plain")), &notAModel);
        QVERIFY(!page.itemModel(QStringLiteral("plain")));
        QVERIFY(page.addModel(QStringLiteral("null"), nullptr, true));
        // An owned model and the fields go with the page.
        QPointer<QStandardItemModel> owned = new QStandardItemModel;
        QPointer<TextField> field = new TextField;
        {
            ReportPage owner;
            owner.addModel(QStringLiteral("m"), owned, true);
            owner.addField(field);
            QCOMPARE(field->page(), &owner);
        }
        QVERIFY(!owned && !field);
    }

    void backgroundImages()
    {
        QTemporaryDir dir;
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(dir.filePath(QStringLiteral("blank.png"))));
        ReportPage page;
        QVERIFY(page.loadBackgroundImage(dir.filePath(QStringLiteral("blank.png"))));
        QVERIFY(page.loadBackgroundImage2(dir.filePath(QStringLiteral("blank.png"))));
        // Scaled to the paper: landscape A4 at the printer's resolution.
        const QSize paper = page.printer()->pageLayout().fullRectPixels(page.printer()->resolution()).size();
        QCOMPARE(paper.width(), qRound(297 / 25.4 * page.printer()->resolution()));
        QCOMPARE(page.backgroundImage().size(), paper);
        QCOMPARE(page.backgroundImage2().toImage().pixelColor(5, 5), QColor(Qt::red));
        // A file that is no image, or none at all, keeps the image there was.
        const qint64 key = page.backgroundImage().cacheKey();
        QVERIFY(!page.loadBackgroundImage(TestEnvironment::sourcePath(QStringLiteral("CMakeLists.txt"))));
        QVERIFY(!page.loadBackgroundImage2(dir.filePath(QStringLiteral("missing.png"))));
        QCOMPARE(page.backgroundImage().cacheKey(), key);
        QVERIFY(!page.backgroundImage2().isNull());
    }
};

VELSPO_TEST_MAIN(TestReportPage)
#include "tst_reportpage.moc"
