#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

// The helper that answers modal dialogs must never let a test hang.
class ModalAnswererTest : public QObject
{
    Q_OBJECT

private slots:
    void unansweredDialogFailsInsteadOfHanging_data()
    {
        QTest::addColumn<bool>("fileDialog");
        QTest::addColumn<QString>("expected");
        QTest::newRow("answered, left open") << false << "\"Застрявший\" (QDialog) was answered but is still open";
        QTest::newRow("real file dialog") << true << "a real file dialog \"Застрявший\" (QFileDialog)";
    }

    void unansweredDialogFailsInsteadOfHanging()
    {
        QFETCH(bool, fileDialog);
        QFETCH(QString, expected);
        ModalAnswerer answerer;
        answerer.setStuckLimit(100);
        QStringList failures;
        answerer.setFailureHandler([&](QWidget*, const QString& message) { failures << message; });
        answerer.onDialog([](QWidget*) { return true; }); // claims it, closes nothing
        QFileDialog files(nullptr, QStringLiteral("Застрявший"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        QDialog plain;
        plain.setWindowTitle(QStringLiteral("Застрявший"));
        QDialog* dialog = fileDialog ? static_cast<QDialog*>(&files) : &plain;
        QCOMPARE(dialog->exec(), int(QDialog::Rejected));
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.at(0).contains(expected), qPrintable(failures.at(0)));
    }

    void boxShownAgainIsAnsweredAgain()
    {
        ModalAnswerer answerer;
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Внимание!"), QStringLiteral("Ещё раз?"),
                        QMessageBox::Yes | QMessageBox::No);
        answerer.answer(QMessageBox::Yes);
        answerer.answer(QMessageBox::No);
        QCOMPARE(box.exec(), int(QMessageBox::Yes));
        QCOMPARE(box.exec(), int(QMessageBox::No));
        QCOMPARE(answerer.handledCount(), 2);
    }
};

VELSPO_TEST_MAIN(ModalAnswererTest)
#include "tst_modalanswerer.moc"
