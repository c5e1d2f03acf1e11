#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UnexpectedBoxGuard.h"

#include "engine/TaskProgressDialog.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QThread>

#include <atomic>

// A test function that hangs fails in seconds, naming itself.
static const bool watchdog = qputenv("QTEST_FUNCTION_TIMEOUT", "60000");

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

    // Run in a child only: a box that nobody answers.
    void childShowsABox()
    {
        if (qEnvironmentVariableIsEmpty("VELSPO_BOX_CHILD"))
            QSKIP("run by unexpectedBoxFailsTheTest in a child process");
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Неверные значения"),
                        QStringLiteral("Эти значения не являются числами"), QMessageBox::Ok);
        box.exec();
        std::printf("AFTER THE BOX\n");
    }

    // In any test executable, a box shown while no answerer lives fails the
    // running test at once, named by its title and text, and is closed.
    void unexpectedBoxFailsTheTest()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELSPO_BOX_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("childShowsABox")});
        const bool finished = child.waitForFinished(30000);
        if (!finished)
            child.kill();
        QVERIFY2(finished, "the child hung on the box");
        const QString output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 1, qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("FAIL!  : ModalAnswererTest::childShowsABox()"))
                     && output.contains(QStringLiteral("title \"Неверные значения\", text \"Эти значения не являются числами\""))
                     && output.contains(QStringLiteral("AFTER THE BOX")),
                 qPrintable(output));
    }

    // A box an answerer lives for is its to answer; a progress dialog is no
    // box to answer at all.
    void expectedDialogsAreLeftAlone()
    {
        UnexpectedBoxGuard* guard = UnexpectedBoxGuard::instance();
        QVERIFY(guard);
        QStringList failures;
        guard->setFailureHandler([&failures](const QString& message) { failures << message; });
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Внимание!"), QStringLiteral("Продолжить?"),
                        QMessageBox::Yes | QMessageBox::No);
        box.setInformativeText(QStringLiteral("Подробности"));
        QCOMPARE(box.exec(), int(QDialog::Rejected));
        {
            ModalAnswerer answerer;
            answerer.answer(QMessageBox::Yes);
            QCOMPARE(box.exec(), int(QMessageBox::Yes));
            QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Продолжить?")});
        }
        std::atomic_bool shown{false};
        QTimer look;
        connect(&look, &QTimer::timeout, [&shown] {
            if (qobject_cast<TaskProgressDialog*>(QApplication::activeModalWidget()))
                shown = true;
        });
        look.start(5);
        TaskProgressDialog::run(nullptr, QStringLiteral("Работа"), [&shown](LongTask& task) {
            task.beginStage(QStringLiteral("Шаг"));
            while (!shown)
                QThread::msleep(5);
        });
        guard->setFailureHandler({});
        QCOMPARE(failures, QStringList{QStringLiteral("a message box with no ModalAnswerer to answer it: "
                                                      "title \"Внимание!\", text \"Продолжить?\nПодробности\"")});
    }
};

VELSPO_TEST_MAIN(ModalAnswererTest)
#include "tst_modalanswerer.moc"
