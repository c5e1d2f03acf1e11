#include "engine/Database.h"
#include "engine/LongTask.h"
#include "engine/ProtectedFiles.h"
#include "engine/TaskProgressDialog.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>

#include <unistd.h>

// Work on a thread of its own under a progress dialog, and the files no save
// road may write over.
class LongWorkTest : public QObject
{
    Q_OBJECT
private slots:
    // The dialog shows each stage while the window's event loop runs; Cancel
    // is offered only where the work can stop, and the work stops there.
    void progressAndCancel()
    {
        QSemaphore held;
        LongTask::setStageHookForTesting([&held](const QString& stage) {
            if (stage == QStringLiteral("Копирование"))
                held.acquire();
        });
        ModalAnswerer answerer;
        QStringList seen;
        QTimer ticks; // the event loop goes on while the work is held
        int ticked = 0;
        connect(&ticks, &QTimer::timeout, [&ticked] { ++ticked; });
        ticks.start(5);
        answerer.onDialog([&](QWidget* dialog) {
            auto* progress = qobject_cast<TaskProgressDialog*>(dialog);
            if (!progress || !progress->labelText().startsWith(QStringLiteral("Копирование")))
                return false;
            seen << progress->windowTitle() << QString::number(progress->findChild<QPushButton*>()->isEnabled());
            progress->findChild<QPushButton*>()->click();
            seen << progress->labelText();
            held.release();
            return true;
        });
        bool stoppedWhereAsked = false, reachedTheEnd = false;
        const bool cancelled = TaskProgressDialog::run(nullptr, QStringLiteral("Резервная копия"), [&](LongTask& task) {
            task.beginStage(QStringLiteral("Подготовка"), 0, false);
            task.beginStage(QStringLiteral("Копирование"), 1000);
            for (int i = 0; i <= 1000; i += 10) {
                task.setProgress(i);
                if (task.isCancelled()) {
                    stoppedWhereAsked = true;
                    return;
                }
            }
            reachedTheEnd = true;
        });
        LongTask::setStageHookForTesting({});
        QVERIFY(cancelled && stoppedWhereAsked && !reachedTheEnd);
        QCOMPARE(seen, QStringList({"Резервная копия", "1", "Копирование\n" + TaskProgressDialog::cancellingText()}));
        QVERIFY(ticked > 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The database and its settings by any name; other files, and templates
    // beside them, may be written.
    void protectedFiles()
    {
        QVERIFY(Database::init(true));
        const QString data = Database::dataPath();
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(Database::databaseFileName(), elsewhere.filePath("link.db")));
        QVERIFY(QFile::link(Database::databaseFileName() + "-journal", elsewhere.filePath("journal-link")));
        QVERIFY(::link(QFile::encodeName(Database::databaseFileName()).constData(),
                       QFile::encodeName(elsewhere.filePath("hard.db")).constData()) == 0);
        using Kind = ProtectedFiles::Kind;
        const QList<QPair<QString, Kind>> cases = {
            {Database::databaseFileName(), Kind::Database},
            {data + "/../" + QFileInfo(data).fileName() + "/VelSpo.db", Kind::Database},
            {elsewhere.filePath("link.db"), Kind::Database},
            {elsewhere.filePath("journal-link"), Kind::Database},
            {elsewhere.filePath("hard.db"), Kind::Database},
            {data + "/VelSpo.db-wal", Kind::Database},
            {data + "/settings.ini", Kind::Settings},
            {data + "/VelSpo.ini", Kind::Settings},
            {Database::userSettingsPath() + "/settings.ini", Kind::Settings},
            {data + "/reports/id120.velrpt", Kind::None},
            {data + "/VelSpo.db.xlsx", Kind::None},
            {elsewhere.filePath("copy.db"), Kind::None},
        };
        for (const auto& c : cases)
            QVERIFY2(ProtectedFiles::kindOf(c.first) == c.second, qPrintable(c.first));
        QVERIFY(ProtectedFiles::refusalText(elsewhere.filePath("hard.db")).contains("рабочая база данных"));
        QVERIFY(ProtectedFiles::refusalText(elsewhere.filePath("copy.db")).isEmpty());
        Database::destroy();
    }
};

VELSPO_TEST_MAIN(LongWorkTest)
#include "tst_longwork.moc"
