#include "engine/DecimalNumber.h"
#include "engine/DecimalSpinBox.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QLocale>

// Decimals typed with a comma or a point, under both locales the program
// meets (the suite itself also runs under each).
class TestDecimalInput : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << " 35,5 " << true << 35.5;
        QTest::newRow("point") << "35.5" << true << 35.5;
        QTest::newRow("whole") << "12" << true << 12.0;
        QTest::newRow("negative") << "-0,25" << true << -0.25;
        QTest::newRow("no group separator") << "1,234" << true << 1.234;
        QTest::newRow("two marks") << "1.234,5" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        bool parsed = !ok;
        QCOMPARE(DecimalNumber::parse(text, &parsed), value);
        QCOMPARE(parsed, ok);
    }

    void shownWithTheLocaleMark()
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(DecimalNumber::withLocaleMark("4.8"), QStringLiteral("4,8"));
        QCOMPARE(DecimalNumber::withLocaleMark("-0,25"), QStringLiteral("-0,25"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(DecimalNumber::withLocaleMark("4,8"), QStringLiteral("4.8"));
    }

    void spinBoxTakesEitherMark_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        for (const QLocale& locale : {russian, QLocale::c()}) {
            const QByteArray name = locale.name().toLatin1();
            QTest::newRow(name + " comma") << locale << "1,5" << 1.5;
            QTest::newRow(name + " point") << locale << "1.5" << 1.5;
            QTest::newRow(name + " whole") << locale << "12" << 12.0;
        }
    }
    void spinBoxTakesEitherMark()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(double, value);
        QLocale::setDefault(locale);
        DecimalSpinBox box;
        box.setLocale(locale);
        box.setDecimals(1);
        box.setRange(0, 90);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        Typing::typeOver(&box, typed, Qt::Key_Enter);
        QCOMPARE(box.value(), value);
        QCOMPARE(box.text(), locale.toString(value, 'f', 1));
    }
};

VELSPO_TEST_MAIN(TestDecimalInput)
#include "tst_decimalinput.moc"
