#include "support/TestEnvironment.h"

#include "report/ReportPage.h"
#include "report/TextField.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

namespace {

// Bounding box of the dark pixels of an image (null when there are none).
QRect inkBox(const QImage& image, const QRect& area = QRect())
{
    const QRect r = area.isNull() ? image.rect() : area.intersected(image.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            if (qGray(line[x]) < 128) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

int inkCount(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += qGray(line[x]) < 128 ? 1 : 0;
    }
    return count;
}

// Distinct runs of inked rows: one per printed line of text.
int inkLines(const QImage& image)
{
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = qGray(line[x]) < 128;
        if (ink && !inLine)
            ++lines;
        inLine = ink;
    }
    return lines;
}

} // namespace

class TestTextField : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaults();
    void fontFollowsThePageDefault();
    void textFlags();
    void streamForm();

    void horizontalAlignment_data();
    void horizontalAlignment();
    void verticalAlignment_data();
    void verticalAlignment();
    void wrapping();
    void lineFeeds();
    void longWordWrapsAnywhere();
    void indent();
    void lineHeightSpacesTheLines();

    void zStrokeBelowEmptyText();
    void noZStrokeWhenTextFills();
    void sheetOffset();
    void dataModeFillsVariables();
    void markupTakesEffect();
    void fieldWithoutPageDrawsNothing();
    void drawsOntoPdfPrinter();

private:
    QImage render(TextField* field, double dotsPerMm, double yOffset = 0);

    ReportPage* m_page = nullptr;
    // A scale well above the screen's, so that positions are sharp in pixels.
    const double m_dpm = 10.0;
};

void TestTextField::init()
{
    m_page = new ReportPage;
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSize(14);
    m_page->setDefaultFont(font);
}

void TestTextField::cleanup()
{
    delete m_page;
    m_page = nullptr;
}

QImage TestTextField::render(TextField* field, double dotsPerMm, double yOffset)
{
    const double scale = dotsPerMm > 0 ? dotsPerMm : 4.0;
    QImage image(int(150 * scale), int(80 * scale), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    field->draw(&painter, dotsPerMm, yOffset);
    painter.end();
    return image;
}

void TestTextField::defaults()
{
    TextField field;
    QCOMPARE(field.type(), 1);
    QCOMPARE(field.x(), 0.0);
    QCOMPARE(field.width(), 20.0);
    QCOMPARE(field.height(), 6.0);
    QCOMPARE(field.indent(), 0.0);
    QCOMPARE(field.lineHeight(), 0.0);
    QVERIFY(field.text().isEmpty());
    QVERIFY(field.font() == QFont());
    QVERIFY(!field.prepared());
    field.prepare();
    QVERIFY(field.prepared());
}

void TestTextField::fontFollowsThePageDefault()
{
    ReportPage page;
    auto* field = new TextField;
    QVERIFY(field->effectiveFont() == QFont());
    page.addField(field);
    QCOMPARE(field->effectiveFont().family(), QStringLiteral("Times New Roman"));
    QCOMPARE(field->effectiveFont().pointSize(), 14);

    const double dpm = page.dotsPerMm();
    const QFont scaled = field->scaledFont(dpm);
    const double points = QFontInfo(page.defaultFont()).pointSizeF();
    QCOMPARE(scaled.pixelSize(), int(points * dpm * 25.399931 / 72.0));
    QCOMPARE(scaled.pixelSize(), 19);   // 14 pt at 100 dpi
    QCOMPARE(scaled.hintingPreference(), QFont::PreferNoHinting);

    const QFont own(QStringLiteral("Liberation Sans"), 10);
    field->setFont(own);
    QCOMPARE(field->effectiveFont(), own);
    QCOMPARE(field->scaledFont(m_dpm).pixelSize(),
             int(QFontInfo(own).pointSizeF() * m_dpm * 25.399931 / 72.0));
}

void TestTextField::textFlags()
{
    TextField field;
    field.setAlignFlags(Qt::AlignRight | Qt::AlignBottom);
    QCOMPARE(field.textFlags(0), int(Qt::AlignRight | Qt::AlignBottom));
    QCOMPARE(field.textFlags(Qt::AlignLeft), int(Qt::AlignLeft));
    QCOMPARE(field.textFlags(Qt::AlignLeft | Qt::TextWordWrap), int(Qt::AlignLeft));
    // Only the low 16 bits decide whether the field's own alignment is used.
    QCOMPARE(field.textFlags(0x10000), int(Qt::AlignRight | Qt::AlignBottom));
    field.setWordWrap(true);
    QCOMPARE(field.textFlags(Qt::AlignHCenter), int(Qt::AlignHCenter | Qt::TextWordWrap));
}

void TestTextField::streamForm()
{
    TextField field;
    field.setX(1.5);
    field.setY(2.5);
    field.setWidth(30);
    field.setHeight(8);
    field.setWrap(2);
    field.setWordWrap(true);
    field.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    field.setAlignFlags(Qt::AlignRight);
    field.setText(QStringLiteral("поток"));
    field.setIndent(4);   // not part of the stream form
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        field.writeStream(out);
    }
    TextField copy;
    QDataStream in(bytes);
    copy.readStream(in);
    QCOMPARE(in.status(), QDataStream::Ok);
    QVERIFY(in.atEnd());
    QCOMPARE(copy.x(), 1.5);
    QCOMPARE(copy.y(), 2.5);
    QCOMPARE(copy.width(), 30.0);
    QCOMPARE(copy.height(), 8.0);
    QCOMPARE(copy.wrap(), 2);
    QCOMPARE(copy.wordWrap(), true);
    QCOMPARE(copy.font(), field.font());
    QCOMPARE(copy.alignFlags(), quint16(Qt::AlignRight));
    QCOMPARE(copy.text(), QStringLiteral("поток"));
    QCOMPARE(copy.indent(), 0.0);
}

void TestTextField::horizontalAlignment_data()
{
    QTest::addColumn<int>("flags");
    QTest::newRow("left") << int(Qt::AlignLeft);
    QTest::newRow("right") << int(Qt::AlignRight);
    QTest::newRow("centre") << int(Qt::AlignHCenter);
}

void TestTextField::horizontalAlignment()
{
    QFETCH(int, flags);
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(20);
    field->setY(10);
    field->setWidth(100);
    field->setHeight(20);
    field->setText(QStringLiteral("Ш Ш Ш"));
    field->setAlignFlags(quint16(flags));
    const QRect ink = inkBox(render(field, m_dpm));
    QVERIFY(!ink.isNull());
    const double left = 20 * m_dpm, right = 120 * m_dpm;
    const int slack = 6;   // side bearings of the glyphs
    if (flags & Qt::AlignLeft) {
        QVERIFY2(qAbs(ink.left() - left) <= slack, qPrintable(QString::number(ink.left())));
    } else if (flags & Qt::AlignRight) {
        QVERIFY2(qAbs(ink.right() + 1 - right) <= slack, qPrintable(QString::number(ink.right())));
    } else {
        const double centre = (ink.left() + ink.right() + 1) / 2.0;
        QVERIFY2(qAbs(centre - (left + right) / 2) <= slack, qPrintable(QString::number(centre)));
    }
    // Whatever the alignment, the text stays in its line at the top.
    QVERIFY(ink.top() >= 10 * m_dpm);
    QVERIFY(ink.bottom() < 10 * m_dpm + field->scaledFont(m_dpm).pixelSize() * 1.3);
}

void TestTextField::verticalAlignment_data()
{
    QTest::addColumn<int>("flags");
    QTest::newRow("top") << int(Qt::AlignTop);
    QTest::newRow("middle") << int(Qt::AlignVCenter);
    QTest::newRow("bottom") << int(Qt::AlignBottom);
    QTest::newRow("none") << 0;
}

void TestTextField::verticalAlignment()
{
    QFETCH(int, flags);
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(100);
    field->setHeight(40);
    field->setText(QStringLiteral("ШШШ"));
    field->setAlignFlags(quint16(flags | Qt::AlignLeft));
    const QRect ink = inkBox(render(field, m_dpm));
    QVERIFY(!ink.isNull());
    const double top = 10 * m_dpm, bottom = 50 * m_dpm;
    const int px = field->scaledFont(m_dpm).pixelSize();
    const double centre = (ink.top() + ink.bottom() + 1) / 2.0;
    if (flags & Qt::AlignVCenter) {
        QVERIFY2(qAbs(centre - (top + bottom) / 2) <= px * 0.35, qPrintable(QString::number(centre)));
    } else if (flags & Qt::AlignBottom) {
        QVERIFY2(ink.bottom() < bottom && ink.bottom() > bottom - px * 0.6,
                 qPrintable(QString::number(ink.bottom())));
    } else {
        QVERIFY2(ink.top() >= top && ink.top() < top + px * 0.5, qPrintable(QString::number(ink.top())));
    }
}

void TestTextField::wrapping()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(5);
    field->setWidth(60);
    field->setHeight(60);
    field->setText(QStringLiteral("слово ").repeated(16).trimmed());

    const QImage single = render(field, m_dpm);
    QCOMPARE(inkLines(single), 1);
    // Cut off at the field's right edge.
    QVERIFY(inkBox(single).right() < 70 * m_dpm);
    QVERIFY(inkBox(single).right() > 65 * m_dpm);

    field->setWordWrap(true);
    const QImage wrapped = render(field, m_dpm);
    QVERIFY(inkLines(wrapped) >= 3);
    const QRect ink = inkBox(wrapped);
    QVERIFY(ink.left() >= 10 * m_dpm - 2);
    QVERIFY(ink.right() < 70 * m_dpm);
    // Whole words: every line starts at the left edge.
    QVERIFY(ink.left() <= 10 * m_dpm + 6);
}

void TestTextField::lineFeeds()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(5);
    field->setWidth(100);
    field->setHeight(40);
    field->setText(QStringLiteral("первая\nвторая"));
    QCOMPARE(inkLines(render(field, m_dpm)), 1);
    field->setWordWrap(true);
    QCOMPARE(inkLines(render(field, m_dpm)), 2);
}

void TestTextField::longWordWrapsAnywhere()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(5);
    field->setWidth(30);
    field->setHeight(70);
    field->setWordWrap(true);
    field->setText(QString(40, QChar(0x0428)));
    const QImage image = render(field, m_dpm);
    QVERIFY(inkLines(image) >= 3);
    QVERIFY(inkBox(image).right() < 40 * m_dpm);
}

void TestTextField::indent()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(5);
    field->setWidth(100);
    field->setHeight(20);
    field->setText(QStringLiteral("Ш"));
    const int plain = inkBox(render(field, m_dpm)).left();
    field->setIndent(15);
    const int indented = inkBox(render(field, m_dpm)).left();
    QVERIFY2(qAbs(indented - plain - 15 * m_dpm) <= 1.0,
             qPrintable(QStringLiteral("%1 %2").arg(plain).arg(indented)));
    field->setIndent(-5);
    QCOMPARE(inkBox(render(field, m_dpm)).left(), plain);
}

void TestTextField::lineHeightSpacesTheLines()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(5);
    field->setWidth(100);
    field->setHeight(60);
    field->setWordWrap(true);
    field->setText(QStringLiteral("Ш\nШ"));
    field->setLineHeight(12);
    const QImage image = render(field, m_dpm);
    QCOMPARE(inkLines(image), 2);
    const QRect first = inkBox(image, QRect(0, 0, image.width(), int(17 * m_dpm)));
    const QRect second = inkBox(image, QRect(0, int(17 * m_dpm), image.width(), image.height()));
    QVERIFY(!first.isNull() && !second.isNull());
    QVERIFY2(qAbs(second.top() - first.top() - 12 * m_dpm) <= 1,
             qPrintable(QStringLiteral("%1 %2").arg(first.top()).arg(second.top())));
}

void TestTextField::zStrokeBelowEmptyText()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(80);
    field->setHeight(50);
    field->setZOnEmpty(true);
    const QImage image = render(field, m_dpm);
    const QRect ink = inkBox(image);
    QVERIFY(!ink.isNull());
    const int px = field->scaledFont(m_dpm).pixelSize();
    // Left and right 2 mm inside the field; bottom 2 mm above its bottom.
    QVERIFY(qAbs(ink.left() - 12 * m_dpm) <= 1);
    QVERIFY(qAbs(ink.right() - 88 * m_dpm) <= 1);
    QVERIFY(qAbs(ink.bottom() - 58 * m_dpm) <= 1);
    // The top stroke starts 2 mm below the first (empty) line.
    QVERIFY2(ink.top() > 12 * m_dpm + px * 0.8 && ink.top() < 12 * m_dpm + px * 1.6,
             qPrintable(QString::number(ink.top())));
    // Both horizontal strokes run across, the diagonal meets the middle.
    const int mid = int(50 * m_dpm);
    QVERIFY(qGray(image.pixel(mid, ink.top())) < 128);
    QVERIFY(qGray(image.pixel(mid, ink.bottom())) < 128);
    const QRect middleRow = inkBox(image, QRect(0, (ink.top() + ink.bottom()) / 2, image.width(), 1));
    QVERIFY(qAbs(middleRow.center().x() - mid) <= 2);

    // With text, the Z starts below the text.
    field->setText(QStringLiteral("ШШШ"));
    field->setWordWrap(true);
    const QImage withText = render(field, m_dpm);
    const QRect strokeRow = inkBox(withText, QRect(int(60 * m_dpm), 0, int(25 * m_dpm), withText.height()));
    QVERIFY(qAbs(strokeRow.top() - ink.top()) <= 1);
    // Nothing drawn without the switch.
    field->setText(QString());
    field->setZOnEmpty(false);
    QVERIFY(inkBox(render(field, m_dpm)).isNull());
}

void TestTextField::noZStrokeWhenTextFills()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(80);
    field->setHeight(6);
    field->setText(QStringLiteral("Иванов"));
    const QImage without = render(field, m_dpm);
    field->setZOnEmpty(true);
    QCOMPARE(render(field, m_dpm), without);
}

void TestTextField::sheetOffset()
{
    auto* field = new TextField;
    m_page->addField(field);
    const double dpm = m_page->dotsPerMm();
    field->setX(10);
    field->setY(250);
    field->setWidth(100);
    field->setHeight(10);
    field->setText(QStringLiteral("ШШШ"));
    const double sheet = 210 * dpm;
    const QRect ink = inkBox(render(field, dpm, sheet));
    QVERIFY(!ink.isNull());
    QVERIFY2(ink.top() >= int(40 * dpm) && ink.top() < 40 * dpm + field->scaledFont(dpm).pixelSize() * 0.5,
             qPrintable(QString::number(ink.top())));
    // A field on sheet 0 is not drawn on sheet 1.
    field->setY(20);
    field->setZOnEmpty(true);
    field->setText(QString());
    QVERIFY(inkBox(render(field, dpm, sheet)).isNull());
}

void TestTextField::dataModeFillsVariables()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(120);
    field->setHeight(10);
    field->setText(QStringLiteral("$V{empty}"));
    m_page->setVariable(QStringLiteral("empty"), QString());
    QVERIFY(!inkBox(render(field, m_dpm)).isNull());   // the raw token
    m_page->setDataMode(true);
    QVERIFY(inkBox(render(field, m_dpm)).isNull());
    m_page->setVariable(QStringLiteral("Empty"), QStringLiteral("Ш"));
    QVERIFY(inkBox(render(field, m_dpm)).width() < 10 * m_dpm);
}

void TestTextField::markupTakesEffect()
{
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(120);
    field->setHeight(10);
    field->setText(QStringLiteral("Жирный"));
    const int plain = inkCount(render(field, m_dpm));
    field->setText(QStringLiteral("<b>Жирный</b>"));
    const int bold = inkCount(render(field, m_dpm));
    QVERIFY2(bold > plain * 1.2, qPrintable(QStringLiteral("%1 %2").arg(plain).arg(bold)));
    m_page->setDataMode(true);
    QCOMPARE(inkCount(render(field, m_dpm)), bold);
}

void TestTextField::fieldWithoutPageDrawsNothing()
{
    TextField field;
    field.setText(QStringLiteral("Ш"));
    field.setZOnEmpty(true);
    field.setWidth(50);
    field.setHeight(50);
    QVERIFY(inkBox(render(&field, m_dpm)).isNull());
    QVERIFY(inkBox(render(&field, -1)).isNull());
}

void TestTextField::drawsOntoPdfPrinter()
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("page.pdf"));
    auto* field = new TextField;
    m_page->addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(100);
    field->setHeight(20);
    field->setZOnEmpty(true);
    field->setText(QStringLiteral("Печать"));
    const double dpm = m_page->dotsPerMm();

    QPrinter* printer = m_page->printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(fileName);
    QCOMPARE(m_page->dotsPerMm(), dpm);   // the same scale on paper
    QPainter painter;
    QVERIFY(painter.begin(printer));
    QVERIFY(AbstractField::isPrinterDevice(&painter));
    field->draw(&painter, -1, 0);
    QVERIFY(painter.end());
    QFile pdf(fileName);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(4) == "%PDF");
    QVERIFY(pdf.size() > 500);

    QImage image(10, 10, QImage::Format_ARGB32);
    QPainter imagePainter(&image);
    QVERIFY(!AbstractField::isPrinterDevice(&imagePainter));
    QVERIFY(!AbstractField::isPrinterDevice(nullptr));
}

VELSPO_TEST_MAIN(TestTextField)
#include "tst_textfield.moc"
