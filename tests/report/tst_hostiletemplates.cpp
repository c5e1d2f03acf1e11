#include "support/Canvas.h"
#include "support/FileSizeLimit.h"
#include "support/PageMaker.h"
#include "support/RowTimeLimit.h"
#include "support/TestEnvironment.h"
#include "support/WarningLog.h"

#include "engine/Database.h"
#include "modules/spellchecker/SpellChecker.h"
#include "report/AtomicFileWriter.h"
#include "report/MarkupCheck.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QBuffer>
#include <QDataStream>
#include <QJsonArray>
#include <QPainter>
#include <QPrinter>
#include <QWidget>

#include <cmath>

// Widgets get a device pixel ratio of 2 (set before the application starts).
static const bool scaledScreen = qputenv("QT_SCALE_FACTOR", "2");
// A test function that hangs (a guard gone) fails in seconds, not at the suite's limit.
static const bool watchdog = qputenv("QTEST_FUNCTION_TIMEOUT", "20000");

namespace {

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

} // namespace

class TestHostileTemplates : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // One page holding one field read from its JSON object.
    template <typename Field>
    Field* load(ReportPage& page, const QByteArray& json)
    {
        auto* field = new Field;
        field->readJson(QJsonDocument::fromJson(json).object());
        page.addField(field);
        return field;
    }

private slots:
    void failedWriteKeepsOldFile_data()
    {
        QTest::addColumn<QString>("what");
        for (const char* what : {"template", "dictionary", "backup", "writer"})
            QTest::newRow(what) << QString::fromLatin1(what);
    }
    void failedWriteKeepsOldFile()
    {
        QFETCH(QString, what);
        const QString target = path(what);
        const QByteArray old("old contents");
        QVERIFY(AtomicFileWriter::write(target, old));
        if (what == QLatin1String("backup"))
            QVERIFY(Database::init(true));
        ReportPage page;
        page.addField(new TextField);
        SpellChecker checker(path(QStringLiteral("none")), target);
        bool ok = true;
        WarningLog log;
        {
            FileSizeLimit limit(100);
            if (what == QLatin1String("template"))
                ok = page.save(target);
            else if (what == QLatin1String("dictionary"))
                ok = checker.addToUserWordlist(QString(200, QChar(u'ж')));
            else if (what == QLatin1String("backup"))
                ok = Database::backup(target);
            else
                ok = AtomicFileWriter::write(target, QByteArray(5000, 'x'));
        }
        QVERIFY(!ok);
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        // No temporary file is left beside it; a template's failure is logged.
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(what).size(), 1);
        QCOMPARE(log.messages().filter("Couldn't save report template").size(), int(what == QLatin1String("template")));
    }

    // Each of these drew for seconds to minutes, or overflowed the stack.
    void hostileFieldsDrawAtOnce_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("table");
        QTest::newRow("z over 2^31-1 areas") << QByteArray(R"({"width": 50, "height": 60, "columnCount": 1,
            "columnsWidth": [50], "rowHeight": 5, "zOnEmpty": true, "splitsCount": 2147483647,
            "maxSplitHeight": [50], "splitX": [10], "splitY": [100]})") << true;
        const QByteArray nested = QByteArray("<TABLE><TR><TD>").repeated(21) + "x";
        QTest::newRow("21 nested tables, upper case") << QByteArray(R"({"width": 100, "height": 50, "id": ")") + nested + "\"}" << false;
        const QByteArray tall = "<style>p{line-height:999999px}</style>" + QByteArray("<p>x</p>").repeated(10);
        QTest::newRow("huge line heights in a style sheet") << QByteArray(R"({"width": 100, "height": 50, "id": ")") + tall + "\"}" << false;
        QTest::newRow("line height 250000 mm, wrapped")
            << QByteArray(R"({"width": 20, "height": 50, "wordWrap": true, "lineHeight": 250000, "id": ")")
                   + QByteArray("word ").repeated(400) + "\"}" << false;
        QTest::newRow("extreme numbers") << QByteArray(R"({"x": 1e300, "width": 1e300, "height": 1e300,
            "lineHeight": 4294967296, "indent": 1e300, "id": "x"})") << false;
    }
    void hostileFieldsDrawAtOnce()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, table);
        ReportPage page;
        AbstractField* field = table ? static_cast<AbstractField*>(load<TableField>(page, json))
                                     : load<TextField>(page, json);
        QVERIFY(qAbs(field->width()) <= AbstractField::maxLength && qAbs(field->height()) <= AbstractField::maxLength);
        QElapsedTimer timer;
        timer.start();
        for (bool data : {false, true}) {
            page.setDataMode(data);
            Canvas(400, 400).draw(field, page.dotsPerMm());
        }
        // Minutes before the mend; a generous bound for slow machines.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // One row per rule of the markup check, each tag rule in both cases.
    void markupRules_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("safe");
        const auto nested = [](const QString& open, int levels) { return open.repeated(levels) + QStringLiteral("x"); };
        const QString limit = QString::number(MarkupCheck::maxNumber);
        const QString past = QString::number(MarkupCheck::maxNumber + 0.5);
        QTest::newRow("numbers in the text") << "Итого 999999 часов, <b>1e9</b>" << true;
        QTest::newRow("img") << "<img src=\"a.png\">" << false;
        QTest::newRow("IMG") << "<IMG SRC=\"a.png\"/>" << false;
        QTest::newRow("style block at the limit") << "<style>p{line-height:" + limit + "px}</style><p>x" << true;
        QTest::newRow("style block past") << "<style>p{line-height:" + past + "px}</style><p>x" << false;
        QTest::newRow("STYLE block past") << "<STYLE>P{LINE-HEIGHT:999999PX}</STYLE><P>x" << false;
        QTest::newRow("style block never closed") << "<style>p{margin:2px} p{font-size:1e6px}" << false;
        QTest::newRow("style attribute at the limit") << "<p style=\"line-height:" + limit + "px\">x" << true;
        QTest::newRow("style attribute past") << "<p style=\"line-height:" + past + "px\">x" << false;
        QTest::newRow("STYLE attribute past") << "<P STYLE=\"FONT-SIZE:" + past + "PX\">x" << false;
        QTest::newRow("number at the limit") << "<font size=\"" + limit + "\">x" << true;
        QTest::newRow("number past, as an exponent") << "<font size=\"2e3\">x" << false;
        QTest::newRow("percent at the limit") << "<table width=\"" + QString::number(MarkupCheck::maxPercent) + "%\">" << true;
        QTest::newRow("percent past") << "<TABLE WIDTH=\"" + QString::number(MarkupCheck::maxPercent + 1) + "%\">" << false;
        QTest::newRow("colour") << "<font color=\"#999999\">x" << true;
        QTest::newRow("tables at the limit") << nested("<table><tr><td>", MarkupCheck::maxTableDepth) << true;
        QTest::newRow("tables past") << nested("<table><tr><td>", MarkupCheck::maxTableDepth + 1) << false;
        QTest::newRow("TABLES past") << nested("<TABLE><TR><TD>", MarkupCheck::maxTableDepth + 1) << false;
        QTest::newRow("tables side by side") << QStringLiteral("<table><tr><td>x</td></tr></TABLE>").repeated(10) << true;
        QTest::newRow("depth at the limit") << nested("<div>", MarkupCheck::maxDepth) << true;
        QTest::newRow("depth past") << nested("<div>", MarkupCheck::maxDepth + 1) << false;
        QTest::newRow("DEPTH past") << nested("<DIV>", MarkupCheck::maxDepth + 1) << false;
        QTest::newRow("closed elements") << QStringLiteral("<span>x</SPAN>").repeated(1000) << true;
        QTest::newRow("self-closed elements") << nested("<span/>", 1000) << true;
        QTest::newRow("implicitly closed elements") << nested("<p><li><tr><td><br>", 1000) << true;
        QTest::newRow("IMPLICITLY CLOSED ELEMENTS") << nested("<P><LI><TR><TD><BR>", 1000) << true;
    }
    void markupRules()
    {
        QFETCH(QString, html);
        QFETCH(bool, safe);
        // Each rule takes microseconds; a check that never ends names its row.
        RowTimeLimit limit(5);
        QCOMPARE(MarkupCheck::isSafe(html), safe);
    }

    void typedMarkupIsText()
    {
        ReportPage page;
        page.setVariable(QStringLiteral("fio"), QStringLiteral("<b>Иванов</b> & <table>"));
        page.setVariable(QStringLiteral("addition"), QStringLiteral("с отличием<br>и так далее"));
        QCOMPARE(page.substituteVariables(QStringLiteral("<i>$V{fio}</i> $V{addition}"), ReportPage::HtmlValues),
                 QStringLiteral("<i>&lt;b&gt;Иванов&lt;/b&gt; &amp; &lt;table&gt;</i> с отличием<br>и так далее"));
        // Markup Qt cannot lay out quickly is drawn as the text it is.
        const QString deep = QStringLiteral("<table><tr><td>").repeated(30) + QStringLiteral("x");
        auto* asMarkup = load<TextField>(page, R"({"width": 150, "height": 100})");
        auto* asText = load<TextField>(page, R"({"width": 150, "height": 100})");
        asMarkup->setText(deep);
        asText->setText(deep.toHtmlEscaped());
        QCOMPARE(Canvas(600, 400).draw(asMarkup, 4.0).image(), Canvas(600, 400).draw(asText, 4.0).image());
        // What templates use stays markup.
        asMarkup->setText(QStringLiteral("<b>Ж</b><br><i>ж</i> <u>ж</u> <font face=\"Arial\" size=\"5\">ж</font>"));
        asText->setText(asMarkup->text().toHtmlEscaped());
        QVERIFY(Canvas(600, 400).draw(asMarkup, 4.0).image() != Canvas(600, 400).draw(asText, 4.0).image());
    }

    // The stream form carries doubles as they are; a font string may say "inf".
    void lengthsThatAreNoNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("NaN") << qQNaN();
        QTest::newRow("infinity") << qInf();
        QTest::newRow("-infinity") << -qInf();
    }
    void lengthsThatAreNoNumbers()
    {
        QFETCH(double, value);
        QByteArray bytes;
        {
            TableField source;
            source.setX(value);
            source.setY(value);
            source.setWidth(value);
            source.setHeight(value);
            source.setHeaderHeight(value);
            source.setRowHeight(value);
            source.setColumnsWidth({value, 5});
            QFont font(QStringLiteral("Liberation Serif"));
            font.setPointSizeF(value);
            source.setFont(font);
            QDataStream out(&bytes, QIODevice::WriteOnly);
            source.writeStream(out);
        }
        TableField table;
        QDataStream in(bytes);
        table.readStream(in);
        QCOMPARE(QVector<double>({table.x(), table.y(), table.width(), table.height(), table.headerHeight(), table.rowHeight()})
                     + table.columnsWidth(),
                 QVector<double>({0, 0, 0, 0, 0, 0, 0, 5}));
        QVERIFY(std::isfinite(table.font().pointSizeF()));

        const QString font = QStringLiteral("Liberation Serif,%1,-1,5,50,0,0,0,0,0").arg(value);
        ReportPage page;
        page.read(QJsonObject{{QStringLiteral("defaultFont"), font},
                              {QStringLiteral("textFields"), QJsonArray{QJsonObject{{QStringLiteral("font"), font}}}}});
        QVERIFY(std::isfinite(page.defaultFont().pointSizeF()));
        QVERIFY(std::isfinite(page.fields().value(0)->font().pointSizeF()));
    }

    // Sizes beyond the bound all draw at the bound.
    void fontSizeIsBoundedWhereDrawn()
    {
        ReportPage page;
        const double dpm = 4.0;
        QVector<QImage> drawn;
        for (double times : {1.2, 5.0}) {
            auto* field = PageMaker::field<TextField>(page, {0, 0, 250, 250}, QStringLiteral("Ш"));
            QFont font(QStringLiteral("Liberation Serif"));
            font.setPointSizeF(AbstractField::maxPixelSize * times * 72.0 / (dpm * 25.399931));
            field->setFont(font);
            const Canvas canvas = Canvas(1000, 1000).draw(field, dpm);
            QVERIFY(canvas.inkBox().height() > AbstractField::maxPixelSize / 2);
            drawn.append(canvas.image());
        }
        QCOMPARE(drawn.at(0), drawn.at(1));
    }

    void cutKeepsWholeCharacters_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("kept");
        QTest::newRow("across the cut") << AbstractField::maxTextLength - 1 << AbstractField::maxTextLength - 1;
        QTest::newRow("up to the cut") << AbstractField::maxTextLength - 2 << AbstractField::maxTextLength;
    }
    void cutKeepsWholeCharacters()
    {
        QFETCH(int, before);
        QFETCH(int, kept);
        const QString text = QString(before, QLatin1Char('x')) + QStringLiteral("😀") + QString(10, QLatin1Char('y'));
        QCOMPARE(AbstractField::boundedText(text), text.left(kept));
    }

    void hugeBackgroundIsRefused()
    {
        // A valid PNG header claiming 40000 x 40000 one-bit pixels, without the pixels.
        QImage small(8, 8, QImage::Format_Mono);
        small.fill(0);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "PNG");
        const QByteArray header = QByteArray("IHDR") + bigEndian(40000) + bigEndian(40000) + png.mid(24, 5);
        png.replace(12, 17, header);
        png.replace(29, 4, bigEndian(crc32(header)));
        QJsonObject object{{QStringLiteral("backgroundImage"), QString::fromLatin1(png.toBase64())}};
        ReportPage page;
        WarningLog log;
        page.read(object);
        QVERIFY(page.backgroundImage().isNull());
        QCOMPARE(log.messages().filter(QStringLiteral("40000")).size(), 1);
    }

    // Only 1 is landscape.
    void orientationOfAnyNumber()
    {
        ReportPage page;
        for (int orientation : {0, 2, -1, 1}) {
            page.read(QJsonObject{{QStringLiteral("orientation"), orientation}});
            QCOMPARE(page.orientation(), orientation);
            QCOMPARE(page.printer()->pageLayout().orientation(), orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
        }
    }

    void manyTokensInOnePass()
    {
        ReportPage page;
        page.setVariable(QStringLiteral("v"), QStringLiteral("ab"));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(page.substituteVariables(QStringLiteral("$V{v}.").repeated(160000)), QStringLiteral("ab.").repeated(160000));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    void visibleAreaOnScaledScreen()
    {
        struct Probe : QWidget {
            QRectF visible;
            void paintEvent(QPaintEvent*) override
            {
                QPainter painter(this);
                visible = ReportPage::visibleArea(&painter);
            }
        } widget;
        widget.resize(200, 100);
        widget.grab();
        if (widget.devicePixelRatioF() < 1.5)
            QSKIP("no scaled screen");
        QVERIFY2(widget.visible.contains(QRectF(0, 0, 200, 100)), qPrintable(QStringLiteral("%1 %2").arg(widget.visible.width()).arg(widget.visible.height())));
    }
};

VELSPO_TEST_MAIN(TestHostileTemplates)
#include "tst_hostiletemplates.moc"
