#include "support/Canvas.h"
#include "support/PageMaker.h"
#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TextField.h"

#include <memory>

class TestTextField : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReportPage> m_page;
    // Well above the screen's scale, so that positions are sharp in pixels.
    const double m_dpm = 10.0;

    TextField* addField(const QRectF& box, const QString& text) { return PageMaker::field<TextField>(*m_page, box, text); }
    Canvas render(TextField* field) const { return Canvas::ofMm(150, 80, m_dpm).draw(field, m_dpm); }

private slots:
    void init()
    {
        m_page = std::make_unique<ReportPage>();
        m_page->setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 14));
    }

    // Without hinting, so layouts match on paper.
    void font()
    {
        TextField* field = addField({}, QString());
        QCOMPARE(field->effectiveFont(), m_page->defaultFont());
        const QFont scaled = field->scaledFont(m_page->dotsPerMm());
        QVERIFY(scaled.pixelSize() == 19 && scaled.hintingPreference() == QFont::PreferNoHinting);
    }

    // Where the ink sits across and down the field (0 at the start, 1 at the
    // end), in how many lines, never beyond the field's right edge.
    void layout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("wordWrap");
        QTest::addColumn<int>("flags");
        QTest::addColumn<double>("across");
        QTest::addColumn<double>("down");
        QTest::addColumn<int>("lines");   // negative: at least that many
        const QString three = QStringLiteral("Ш Ш Ш"), words = QStringLiteral("слово ").repeated(16).trimmed();
        const QString lineFeed = QStringLiteral("первая\nвторая");
        QTest::newRow("none") << three << 100.0 << false << 0 << 0.0 << 0.0 << 1;
        QTest::newRow("right") << three << 100.0 << false << int(Qt::AlignRight) << 1.0 << 0.0 << 1;
        QTest::newRow("centre") << three << 100.0 << false << int(Qt::AlignHCenter) << 0.5 << 0.0 << 1;
        QTest::newRow("middle") << three << 100.0 << false << int(Qt::AlignLeft | Qt::AlignVCenter) << 0.0 << 0.5 << 1;
        QTest::newRow("bottom") << three << 100.0 << false << int(Qt::AlignLeft | Qt::AlignBottom) << 0.0 << 1.0 << 1;
        QTest::newRow("cut off at the edge") << words << 60.0 << false << 0 << 0.0 << 0.0 << 1;
        QTest::newRow("words wrap") << words << 60.0 << true << 0 << 0.0 << 0.0 << -3;
        QTest::newRow("line feed without wrap") << lineFeed << 100.0 << false << 0 << 0.0 << 0.0 << 1;
        QTest::newRow("line feed with wrap") << lineFeed << 100.0 << true << 0 << 0.0 << 0.0 << 2;
        QTest::newRow("long word wraps anywhere") << QString(40, QChar(0x0428)) << 30.0 << true << 0 << 0.0 << 0.0 << -3;
    }
    void layout()
    {
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(bool, wordWrap);
        QFETCH(int, flags);
        QFETCH(double, across);
        QFETCH(double, down);
        QFETCH(int, lines);
        TextField* field = addField({20, 10, width, 60}, text);
        field->setWordWrap(wordWrap);
        field->setAlignFlags(quint16(flags));
        const Canvas canvas = render(field);
        QVERIFY2(lines < 0 ? canvas.inkLines() >= -lines : canvas.inkLines() == lines, qPrintable(QString::number(canvas.inkLines())));
        const QRect ink = canvas.inkBox();
        const double x = (20 + width * across) * m_dpm - ink.width() * across;
        const double y = (10 + 60 * down) * m_dpm - ink.height() * down;
        // Side bearings of the glyphs across; ascent and descent of the line down.
        QVERIFY2(qAbs(ink.left() - x) <= 6 && qAbs(ink.top() - y) <= field->scaledFont(m_dpm).pixelSize() * 0.5,
                 qPrintable(QStringLiteral("%1,%2").arg(ink.left()).arg(ink.top())));
        QVERIFY(ink.right() < (20 + width) * m_dpm);
    }

    void indentAndLineHeight()
    {
        TextField* field = addField({10, 5, 100, 60}, QStringLiteral("Ш"));
        const int plain = render(field).inkBox().left();
        field->setIndent(15);
        const int indented = render(field).inkBox().left();
        QVERIFY2(qAbs(indented - plain - 15 * m_dpm) <= 1.0, qPrintable(QStringLiteral("%1 %2").arg(plain).arg(indented)));
        field->setIndent(-5);   // no indent
        QCOMPARE(render(field).inkBox().left(), plain);
        field->setIndent(0);
        field->setWordWrap(true);
        field->setText(QStringLiteral("Ш\nШ"));
        field->setLineHeight(12);
        const Canvas canvas = render(field);
        QCOMPARE(canvas.inkLines(), 2);
        const int split = int(17 * m_dpm);
        const QRect first = canvas.inkBox(QRect(0, 0, canvas.image().width(), split));
        const QRect second = canvas.inkBox(QRect(0, split, canvas.image().width(), canvas.image().height()));
        QVERIFY2(qAbs(second.top() - first.top() - 12 * m_dpm) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(first.top()).arg(second.top())));
    }

    void zStroke()
    {
        TextField* field = addField({10, 10, 80, 50}, QString());
        field->setZOnEmpty(true);
        const Canvas canvas = render(field);
        const QRect ink = canvas.inkBox();
        const int px = field->scaledFont(m_dpm).pixelSize();
        // 2 mm inside the field, on top 2 mm below the first (empty) line.
        QVERIFY(qAbs(ink.left() - 12 * m_dpm) <= 1 && qAbs(ink.right() - 88 * m_dpm) <= 1 && qAbs(ink.bottom() - 58 * m_dpm) <= 1);
        QVERIFY2(ink.top() > 12 * m_dpm + px * 0.8 && ink.top() < 12 * m_dpm + px * 1.6, qPrintable(QString::number(ink.top())));
        const int mid = int(50 * m_dpm);
        QVERIFY(canvas.isInk(mid, ink.top()) && canvas.isInk(mid, ink.bottom()));
        QVERIFY(qAbs(canvas.inkBox(QRect(0, ink.center().y(), canvas.image().width(), 1)).center().x() - mid) <= 2);
        // Below a text it starts below the text.
        field->setText(QStringLiteral("ШШШ"));
        field->setWordWrap(true);
        const Canvas withText = render(field);
        QVERIFY(qAbs(withText.inkBox(QRect(int(60 * m_dpm), 0, int(25 * m_dpm), withText.image().height())).top() - ink.top()) <= 1);
        // A text that fills the field leaves no room for it.
        field->setHeight(6);
        field->setText(QStringLiteral("Иванов"));
        const QImage filled = render(field).image();
        field->setZOnEmpty(false);
        QCOMPARE(render(field).image(), filled);
    }

    // No field shows more than maxTextLength characters: the rest is cut
    // before the text is laid out, whether it is the template's own text or
    // what the variables make of it.
    void longTextIsCutWhereDrawn_data()
    {
        QTest::addColumn<bool>("dataMode");
        QTest::addColumn<int>("blanks");
        QTest::addColumn<bool>("shown");
        for (bool data : {false, true}) {
            const char* const mode = data ? "value" : "template";
            QTest::addRow("%s, the letter is the last one kept", mode) << data << AbstractField::maxTextLength - 1 << true;
            QTest::addRow("%s, the letter is the first one cut", mode) << data << AbstractField::maxTextLength << false;
        }
    }
    void longTextIsCutWhereDrawn()
    {
        QFETCH(bool, dataMode);
        QFETCH(int, blanks);
        QFETCH(bool, shown);
        // The blanks fold into one in the layout, so a letter that is kept
        // shows at the start of the field.
        const QString text = QString(blanks, QLatin1Char(' ')) + QStringLiteral("Ж");
        m_page->setVariable(QStringLiteral("long"), text);
        m_page->setDataMode(dataMode);
        TextField* field = addField({10, 10, 100, 20}, dataMode ? QStringLiteral("$V{long}") : text);
        const bool drawn = !render(field).isBlank();
        QVERIFY2(drawn == shown, qPrintable(QStringLiteral("the letter after %1 blanks was %2drawn")
                                                .arg(blanks)
                                                .arg(drawn ? QString() : QStringLiteral("not "))));
    }

    void fieldWithoutPageDrawsNothing()
    {
        TextField* field = addField({0, 0, 50, 50}, QStringLiteral("Ш"));
        field->setZOnEmpty(true);
        field->setPage(nullptr);
        QVERIFY(render(field).isBlank() && Canvas(300, 300).draw(field, -1).isBlank());
    }
};

VELSPO_TEST_MAIN(TestTextField)
#include "tst_textfield.moc"
