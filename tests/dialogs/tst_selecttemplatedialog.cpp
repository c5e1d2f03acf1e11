#include "dialogs/SelectTemplateDialog.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QListWidget>
#include <QSignalSpy>

using namespace DocumentFixtures;
using namespace FormWidgets;

// Templates: start a document, create, edit, copy and delete them.
class SelectTemplateDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(openEmpty()); }
    void cleanup() { delete dialog; }

    // The copy, with its supplement, becomes current and the actions go to it;
    // a copy that fails says so and adds nothing; a create action ends the dialog.
    void copyAndChoose()
    {
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id));
        open();
        list()->setCurrentRow(0);
        QCOMPARE(buttonStates(), QStringLiteral("ECNIKD"));
        button(dialog, "pushButtonCopyTempl")->click();
        const int copy = list()->currentItem()->data(Qt::UserRole).toInt();
        QCOMPARE(list()->currentItem()->text() + '|' + column(copy, "isTemplate").toString(), QStringLiteral("КОПИЯ Повар|1"));
        QCOMPARE(count("DMDetails", "moduleId IN (SELECT moduleId FROM ModuleDetails WHERE spoId = ?)", {copy}), 3);
        QVERIFY(exec("CREATE TRIGGER noCopy BEFORE INSERT ON DMDetails BEGIN SELECT RAISE(ABORT, 'no'); END"));
        ModalAnswerer answerer;
        button(dialog, "pushButtonCopyTempl")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось создать копию шаблона."});
        QCOMPARE(list()->count() + count("SpoDocuments") + count("PracticeDetails"), 2 + 2 + 4);
        QSignalSpy edited(dialog.data(), &SelectTemplateDialog::editTemplate),
            selected(dialog.data(), &SelectTemplateDialog::spoIdSelected);
        button(dialog, "pushButtonEditTempl")->click();
        button(dialog, "pushButtonCreateWithTemplate")->click();
        QCOMPARE(QList<QVariant>({edited.value(0).value(0), selected.value(0).value(0)}), QList<QVariant>({copy, copy}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
    }

    void deleteAsksFirst()
    {
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id) && insertDetails(insertTemplate("Токарь")));
        open();
        QCOMPARE(buttonStates(), QStringLiteral("EC-NI-K-D-")); // nothing chosen yet
        list()->setCurrentRow(0);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        button(dialog, "pushButtonDeleteTempl")->click();
        QCOMPARE(list()->count(), 2);
        button(dialog, "pushButtonDeleteTempl")->click();
        QCOMPARE(answerer.texts().value(1), QStringLiteral("Вы уверены, что хотите удалить шаблон \"Повар\"?"));
        QCOMPARE(list()->count() + detailCount("DMDetails", id), 1);
        QCOMPARE(rows("SELECT fio1 FROM SpoDocuments"), QStringList{"Токарь"});
        QCOMPARE(buttonStates(), QStringLiteral("EC-NI-K-D-"));
    }

private:
    void open()
    {
        dialog = new SelectTemplateDialog;
        dialog->show();
    }
    QListWidget* list() const { return child<QListWidget>(dialog, "listWidget"); }
    static int insertTemplate(const QString& name) { return insertDocument({{"isTemplate", 1}, {"fio1", name}}); }
    QString buttonStates() const
    {
        return states(dialog, {{'e', "pushButtonCreateEmpty"}, {'c', "pushButtonCreateWithTemplate"},
                               {'n', "pushButtonNewTempl"}, {'i', "pushButtonEditTempl"},
                               {'k', "pushButtonCopyTempl"}, {'d', "pushButtonDeleteTempl"}});
    }

    QPointer<SelectTemplateDialog> dialog;
};

VELSPO_TEST_MAIN(SelectTemplateDialogTest)
#include "tst_selecttemplatedialog.moc"
