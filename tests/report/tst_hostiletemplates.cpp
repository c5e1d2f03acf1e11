#include "support/Canvas.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"
#include "support/WarningLog.h"

#include "engine/Database.h"
#include "modules/spellchecker/SpellChecker.h"
#include "report/AtomicFileWriter.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QBuffer>
#include <QPainter>
#include <QPrinter>
#include <QWidget>

// Widgets get a device pixel ratio of 2 (set before the application starts).
static const bool scaledScreen = qputenv("QT_SCALE_FACTOR", "2");

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
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(what).size(), 1);
    }

    // Each of these drew for seconds to minutes, or overflowed the stack.
    void hostileFieldsDrawAtOnce_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("table");
        QTest::newRow("z over 2^31-1 areas") << QByteArray(R"({"width": 50, "height": 60, "columnCount": 1,
            "columnsWidth": [50], "rowHeight": 5, "zOnEmpty": true, "splitsCount": 2147483647,
            "maxSplitHeight": [50], "splitX": [10], "splitY": [100]})") << true;
        const QByteArray nested = QByteArray("<table><tr><td>").repeated(5000) + "x";
        QTest::newRow("5000 nested tables") << QByteArray(R"({"width": 100, "height": 50, "id": ")") + nested + "\"}" << false;
        const QByteArray tall = QByteArray(R"(<p style=\"line-height:999999px\">x</p>)").repeated(10);
        QTest::newRow("huge line heights in markup") << QByteArray(R"({"width": 100, "height": 50, "id": ")") + tall + "\"}" << false;
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

    void formatKeepsLowBits()
    {
        ReportPage page;
        auto* table = load<TableField>(page, R"({"columnCount": 300, "previewRowCount": -1, "columnsAlign": [4228, 132]})");
        QCOMPARE(int(table->columnCount()), 44);
        QCOMPARE(int(table->previewRowCount()), 255);
        QCOMPARE(table->columnsAlign(), (QVector<quint8>{132, 132}));
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
