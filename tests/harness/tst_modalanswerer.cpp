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
    void unansweredDialogFailsInsteadOfHanging()
    {
        ModalAnswerer answerer;
        answerer.setStuckLimit(100);
        QStringList failures;
        answerer.setFailureHandler([&](QWidget*, const QString& message) { failures << message; });
        answerer.onDialog([](QWidget*) { return true; }); // claims it, closes nothing
        QDialog plain;
        plain.setWindowTitle(QStringLiteral("Застрявший"));
        QFileDialog files(nullptr, QStringLiteral("Застрявший"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(plain.exec(), int(QDialog::Rejected));
        QCOMPARE(files.exec(), int(QDialog::Rejected));
        QCOMPARE(failures.size(), 2);
        QVERIFY2(failures.at(0).contains("\"Застрявший\" (QDialog) was answered but is still open"), qPrintable(failures.at(0)));
        QVERIFY2(failures.at(1).contains("a real file dialog \"Застрявший\" (QFileDialog)"), qPrintable(failures.at(1)));
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
    }
};

VELSPO_TEST_MAIN(ModalAnswererTest)
#include "tst_modalanswerer.moc"
