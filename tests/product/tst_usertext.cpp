#include "dialogs/DocumentEditDialog.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "report/designer/ReportWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QListWidget>

using namespace DocumentFixtures;
using namespace FormWidgets;

// Names, paths and texts from the user, a file, the database or a server appear in message
// boxes as they stand: markup in them is not obeyed (a picture named there would be loaded).
class UserTextTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(openEmpty()); }

    void boxesShowTextAsTyped_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("shown"); // the box's text, %1 standing for the hostile text
        QTest::newRow("template name") << "template" << "Вы уверены, что хотите удалить шаблон \"%1\"?";
        QTest::newRow("database's refusal") << "document" << "Не удалось сохранить документ, изменения не записаны.\n%1";
        QTest::newRow("program's message road") << "message" << "Не удалось сохранить файл %1.";
        QTest::newRow("template file path") << "designer" << "Не удалось сохранить шаблон в файл %1/a.velrpt.";
    }
    void boxesShowTextAsTyped()
    {
        QFETCH(QString, where);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        const QString hostile = dir.filePath("<img src=\"x.png\"><b>жирный</b>");
        ModalAnswerer answerer;
        if (where == "template") {
            QVERIFY(insertDocument({{"isTemplate", 1}, {"fio1", hostile}}) > 0);
            SelectTemplateDialog templates;
            child<QListWidget>(&templates, "listWidget")->setCurrentRow(0);
            answerer.answer(QMessageBox::Cancel);
            button(&templates, "pushButtonDeleteTempl")->click();
        } else if (where == "document") {
            QVERIFY(exec(QStringLiteral("CREATE TRIGGER refused BEFORE INSERT ON SpoDocuments BEGIN SELECT RAISE(ABORT, '%1'); END")
                             .arg(hostile)));
            DocumentEditDialog dialog;
            dialog.setSpoId(0);
            button(&dialog, "pushButtonSave")->click();
        } else if (where == "message") {
            Database::userSettings()->setValue("VelSpo/showTipsOnStartup", false);
            VelMainWindow window;
            emit window.reportEngine()->error(shown.arg(hostile), QStringLiteral("Ошибка"));
        } else {
            ReportWindow window(nullptr);
            FileChoiceAnswerer files;
            files.answer(hostile + "/a.velrpt"); // no such folder
            child<QAction>(&window, "actionSaveAs")->trigger();
        }
        QCOMPARE(answerer.texts().value(0), shown.arg(hostile));
        QCOMPARE(answerer.formats().value(0, Qt::AutoText), Qt::PlainText);
    }
};

VELSPO_TEST_MAIN(UserTextTest)
#include "tst_usertext.moc"
