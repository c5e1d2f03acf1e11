#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QStandardPaths>

// The helpers every other test relies on.
class TestSupportTest : public QObject
{
    Q_OBJECT
private slots:
    void answersBoxesInOrder()
    {
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::No);
        answerer.answer(QMessageBox::Yes);
        const auto first = QMessageBox::question(nullptr, "A", "first", QMessageBox::Yes | QMessageBox::No);
        const auto second = QMessageBox::question(nullptr, "B", "second", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(first, QMessageBox::No);
        QCOMPARE(second, QMessageBox::Yes);
        QCOMPARE(answerer.texts(), QStringList({"first", "second"}));
        QCOMPARE(answerer.titles(), QStringList({"A", "B"}));
    }

    void homeIsPrivate()
    {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QVERIFY2(config.contains(".qttest"), qPrintable(config));
        QVERIFY(!config.startsWith("/root/.qttest"));
    }
};

VELSPO_TEST_MAIN(TestSupportTest)
#include "tst_testsupport.moc"
