#include "support/Canvas.h"
#include "support/PageMaker.h"
#include "support/TestEnvironment.h"
#include "support/WarningLog.h"

#include "report/QrField.h"
#include "report/ReportPage.h"

#include <qrcodegen.hpp>

#include <memory>

namespace {

// Every module of the symbol, quiet zone included, read at its centre.
void checkModules(const QImage& image, const QString& text, QPointF origin, int size)
{
    const int border = 4;
    const qrcodegen::QrCode code =
        qrcodegen::QrCode::encodeText(text.toUtf8().constData(), qrcodegen::QrCode::Ecc::HIGH);
    const int n = code.getSize();
    const double s = double(size) / (2 * border + n);
    for (int y = -border; y < n + border; ++y) {
        for (int x = -border; x < n + border; ++x) {
            const QPoint centre(int(origin.x() + (x + border + 0.5) * s), int(origin.y() + (y + border + 0.5) * s));
            if ((qGray(image.pixel(centre)) < 128) != code.getModule(x, y))
                QFAIL(qPrintable(QStringLiteral("module %1,%2").arg(x).arg(y)));
        }
    }
}

} // namespace

class TestQrField : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReportPage> m_page;
    QrField* addField(const QRectF& box, const QString& text) { return PageMaker::field<QrField>(*m_page, box, text); }

private slots:
    void init() { m_page = std::make_unique<ReportPage>(); }

    void modulesMatchTheSymbol_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("dpm");   // negative: the page's own scale
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("Cyrillic") << "Диплом 123456 7654321, Петров Пётр Петрович" << 10.0 << QSizeF(40, 40);
        QTest::newRow("page scale") << "VelSpo" << -1.0 << QSizeF(30, 30);
        QTest::newRow("tokens stay literal") << "$V{fio}" << 10.0 << QSizeF(40, 40);
        QTest::newRow("empty") << QString() << 10.0 << QSizeF(29, 29);
        QTest::newRow("tall") << "square" << 10.0 << QSizeF(20, 30);
        QTest::newRow("wide") << "square" << 10.0 << QSizeF(30, 20);
    }
    void modulesMatchTheSymbol()
    {
        QFETCH(QString, text);
        QFETCH(double, dpm);
        QFETCH(QSizeF, size);
        m_page->setVariable(QStringLiteral("fio"), QStringLiteral("Петров"));
        m_page->setDataMode(true);
        QrField* field = addField({QPointF(3, 5), size}, text);
        Canvas canvas(600, 600);
        canvas.draw(field, dpm);
        const double scale = dpm > 0 ? dpm : m_page->dotsPerMm();
        const double side = qMin(size.width(), size.height()) * scale;
        checkModules(canvas.image(), text, QPointF(3 * scale, 5 * scale), int(side));
        QVERIFY(QRectF(3 * scale, 5 * scale, side, side).contains(canvas.inkBox()));
    }

    void tooLongTextDrawsNothingAndLogsOnce()
    {
        WarningLog log;
        QrField* field = addField({0, 0, 40, 40}, QStringLiteral("очень длинный текст ").repeated(100));
        Canvas canvas(400, 400);
        canvas.draw(field, 10.0).draw(field, 10.0);
        QVERIFY(canvas.isBlank());
        QCOMPARE(log.messages().size(), 1);
        field->setText(QStringLiteral("коротко"));
        canvas.draw(field, 10.0);
        field->setText(QStringLiteral("z").repeated(5000));
        canvas.draw(field, 10.0);
        checkModules(canvas.image(), QStringLiteral("коротко"), QPointF(0, 0), 400);
        QCOMPARE(log.messages().size(), 2);
    }

    void drawsNothingWithoutPageOrAboveTheSheet()
    {
        QrField loose;
        loose.setText(QStringLiteral("x"));
        Canvas canvas(300, 300);
        QVERIFY(canvas.draw(&loose, 10.0).draw(&loose, -1).isBlank());
        // Its bottom is exactly the sheet's top.
        QrField* field = addField({0, 20, 20, 6}, QStringLiteral("x"));
        QVERIFY(canvas.draw(field, 10.0, 260.0).isBlank());
    }
};

VELSPO_TEST_MAIN(TestQrField)
#include "tst_qrfield.moc"
