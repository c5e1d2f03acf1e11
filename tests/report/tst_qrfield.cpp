#include "support/TestEnvironment.h"

#include "report/QrField.h"
#include "report/QrStyle.h"
#include "report/ReportPage.h"

#include <QImage>
#include <QJsonObject>
#include <QPainter>

#include <qrcodegen.hpp>

namespace {

QStringList g_messages;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_messages << message;
    if (g_previous)
        g_previous(type, context, message);
}

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

// Every module of the symbol, quiet zone included, read at its centre.
void checkModules(const QImage& image, const QString& text, QPointF origin, int size, int border)
{
    const qrcodegen::QrCode code =
        qrcodegen::QrCode::encodeText(text.toUtf8().constData(), qrcodegen::QrCode::Ecc::HIGH);
    const int n = code.getSize();
    const double s = double(size) / (2 * border + n);
    for (int y = -border; y < n + border; ++y) {
        for (int x = -border; x < n + border; ++x) {
            const int px = int(origin.x() + (x + border + 0.5) * s);
            const int py = int(origin.y() + (y + border + 0.5) * s);
            const bool dark = qGray(image.pixel(px, py)) < 128;
            if (dark != code.getModule(x, y))
                QFAIL(qPrintable(QStringLiteral("module %1,%2").arg(x).arg(y)));
        }
    }
}

QRect colourBox(const QImage& image, QRgb colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestQrField : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void defaults();
    void modulesMatchTheSymbol();
    void modulesAtScreenScale();
    void squareFitsTheShorterSide_data();
    void squareFitsTheShorterSide();
    void quietZoneUsesTheLightBrush();
    void tokensAreEncodedLiterally();
    void emptyTextGivesSmallestSymbol();
    void tooLongTextDrawsNothingAndLogsOnce();
    void fieldWithoutPageDrawsNothing();
    void aboveTheSheetDrawsNothing();
    void jsonForm();
};

void TestQrField::initTestCase()
{
    g_previous = qInstallMessageHandler(collect);
}

void TestQrField::cleanupTestCase()
{
    qInstallMessageHandler(g_previous);
}

void TestQrField::init()
{
    g_messages.clear();
}

void TestQrField::defaults()
{
    QrField field;
    QCOMPARE(field.type(), 3);
    QCOMPARE(field.style().border, 4);
    QCOMPARE(field.style().light.color(), QColor(Qt::white));
    QCOMPARE(field.style().dark.color(), QColor(Qt::black));
    QCOMPARE(field.style().left, 0.0f);
    QCOMPARE(field.style().top, 0.0f);
    field.prepare();
    QVERIFY(field.prepared());
}

void TestQrField::modulesMatchTheSymbol()
{
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setX(5);
    field->setY(7);
    field->setWidth(40);
    field->setHeight(40);
    const QString text = QStringLiteral("Диплом 123456 7654321, Петров Пётр Петрович");
    field->setText(text);
    const double dpm = 10.0;
    QImage image = blank(600, 600);
    QPainter painter(&image);
    field->draw(&painter, dpm, 0);
    painter.end();
    checkModules(image, text, QPointF(50, 70), 400, 4);
}

void TestQrField::modulesAtScreenScale()
{
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setX(10);
    field->setY(10);
    field->setWidth(30);
    field->setHeight(30);
    field->setText(QStringLiteral("VelSpo"));
    const double dpm = page.dotsPerMm();
    QImage image = blank(300, 300);
    QPainter painter(&image);
    field->draw(&painter, -1, 0);   // the page's scale
    painter.end();
    checkModules(image, field->text(), QPointF(10 * dpm, 10 * dpm), int(30 * dpm), 4);
}

void TestQrField::squareFitsTheShorterSide_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::newRow("tall") << 20.0 << 30.0;
    QTest::newRow("wide") << 30.0 << 20.0;
}

void TestQrField::squareFitsTheShorterSide()
{
    QFETCH(double, width);
    QFETCH(double, height);
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setX(3);
    field->setY(4);
    field->setWidth(width);
    field->setHeight(height);
    field->setStyle(QrStyle(4, QBrush(Qt::yellow), QBrush(Qt::black)));
    field->setText(QStringLiteral("square"));
    QImage image = blank(500, 500);
    QPainter painter(&image);
    field->draw(&painter, 10.0, 0);
    painter.end();
    // Everything painted lies in the 20 mm square at the top-left corner.
    const QRect yellow = colourBox(image, qRgb(255, 255, 0));
    QCOMPARE(yellow, QRect(30, 40, 200, 200));
    QCOMPARE(colourBox(image, qRgb(0, 0, 0)) | yellow, yellow);
    // The style remembers where it painted last.
    QCOMPARE(field->style().left, 30.0f);
    QCOMPARE(field->style().top, 40.0f);
}

void TestQrField::quietZoneUsesTheLightBrush()
{
    const qrcodegen::QrCode code =
        qrcodegen::QrCode::encodeText("quiet", qrcodegen::QrCode::Ecc::HIGH);
    QrStyle style(4, QBrush(Qt::green), QBrush(Qt::blue));
    const int n = code.getSize();
    const int size = (n + 8) * 5;   // five pixels per module
    QImage image = blank(size + 40, size + 40);
    QPainter painter(&image);
    style.paint(code, &painter, QRectF(20, 20, size, size + 50));
    painter.end();
    QCOMPARE(style.left, 20.0f);
    QCOMPARE(style.top, 20.0f);
    // The four-module band around the symbol is all light.
    for (int i = 0; i < size; ++i) {
        for (int band = 0; band < 4 * 5; ++band) {
            QCOMPARE(image.pixel(20 + i, 20 + band), qRgb(0, 255, 0));
            QCOMPARE(image.pixel(20 + band, 20 + i), qRgb(0, 255, 0));
            QCOMPARE(image.pixel(20 + i, 20 + size - 1 - band), qRgb(0, 255, 0));
            QCOMPARE(image.pixel(20 + size - 1 - band, 20 + i), qRgb(0, 255, 0));
        }
    }
    // Outside the square nothing is painted.
    QCOMPARE(image.pixel(19, 19), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(20 + size, 20 + size), qRgb(255, 255, 255));
    // The finder pattern's corner is dark.
    QCOMPARE(image.pixel(20 + 4 * 5 + 2, 20 + 4 * 5 + 2), qRgb(0, 0, 255));
}

void TestQrField::tokensAreEncodedLiterally()
{
    ReportPage page;
    page.setVariable(QStringLiteral("fio"), QStringLiteral("Петров"));
    page.setDataMode(true);
    auto* field = new QrField;
    page.addField(field);
    field->setWidth(40);
    field->setHeight(40);
    field->setText(QStringLiteral("$V{fio}"));
    QImage image = blank(400, 400);
    QPainter painter(&image);
    field->draw(&painter, 10.0, 0);
    painter.end();
    checkModules(image, QStringLiteral("$V{fio}"), QPointF(0, 0), 400, 4);
}

void TestQrField::emptyTextGivesSmallestSymbol()
{
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setWidth(29);
    field->setHeight(29);
    QImage image = blank(300, 300);
    QPainter painter(&image);
    field->draw(&painter, 10.0, 0);
    painter.end();
    QCOMPARE(qrcodegen::QrCode::encodeText("", qrcodegen::QrCode::Ecc::HIGH).getSize(), 21);
    checkModules(image, QString(), QPointF(0, 0), 290, 4);
}

void TestQrField::tooLongTextDrawsNothingAndLogsOnce()
{
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setWidth(40);
    field->setHeight(40);
    field->setText(QStringLiteral("очень длинный текст ").repeated(100));
    QImage image = blank(400, 400);
    QPainter painter(&image);
    field->draw(&painter, 10.0, 0);
    field->draw(&painter, 10.0, 0);
    painter.end();
    QCOMPARE(image, blank(400, 400));
    QCOMPARE(g_messages.size(), 1);

    // A shorter text draws again; a new long one is reported again.
    field->setText(QStringLiteral("коротко"));
    image = blank(400, 400);
    painter.begin(&image);
    field->draw(&painter, 10.0, 0);
    field->setText(QStringLiteral("z").repeated(5000));
    field->draw(&painter, 10.0, 0);
    painter.end();
    checkModules(image, QStringLiteral("коротко"), QPointF(0, 0), 400, 4);
    QCOMPARE(g_messages.size(), 2);
}

void TestQrField::fieldWithoutPageDrawsNothing()
{
    QrField field;
    field.setText(QStringLiteral("x"));
    QImage image = blank(300, 300);
    QPainter painter(&image);
    field.draw(&painter, 10.0, 0);
    field.draw(&painter, -1, 0);
    painter.end();
    QCOMPARE(image, blank(300, 300));
}

void TestQrField::aboveTheSheetDrawsNothing()
{
    ReportPage page;
    auto* field = new QrField;
    page.addField(field);
    field->setY(20);
    field->setText(QStringLiteral("x"));
    QImage image = blank(300, 300);
    QPainter painter(&image);
    field->draw(&painter, 10.0, 260.0);   // its bottom is exactly the sheet's top
    painter.end();
    QCOMPARE(image, blank(300, 300));
}

void TestQrField::jsonForm()
{
    QrField field;
    field.setX(1.5);
    field.setY(2);
    field.setWidth(20);
    field.setHeight(20);
    field.setText(QStringLiteral("код"));
    QJsonObject object;
    field.writeJson(object);
    QCOMPARE(object.value(QLatin1String("id")).toString(), QStringLiteral("код"));
    QrField copy;
    copy.readJson(object);
    QCOMPARE(copy.text(), QStringLiteral("код"));
    QCOMPARE(copy.x(), 1.5);
    QCOMPARE(copy.width(), 20.0);
}

VELSPO_TEST_MAIN(TestQrField)
#include "tst_qrfield.moc"
