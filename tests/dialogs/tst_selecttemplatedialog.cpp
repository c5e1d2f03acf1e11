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

    void choices()
    {
        open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Создать документ"));
        QCOMPARE(buttonStates(), QStringLiteral("EC-NI-K-D-")); // no templates: two ways on
        QSignalSpy created(dialog.data(), &SelectTemplateDialog::newTemplate);
        button(dialog, "pushButtonNewTempl")->click();
        QCOMPARE(created.count(), 1);

        const int id = insertTemplate("Повар");
        dialog->fillListWidget();
        list()->setCurrentRow(0);
        QCOMPARE(buttonStates(), QStringLiteral("ECNIKD"));
        QSignalSpy edited(dialog.data(), &SelectTemplateDialog::editTemplate);
        button(dialog, "pushButtonEditTempl")->click();
        QSignalSpy selected(dialog.data(), &SelectTemplateDialog::spoIdSelected);
        button(dialog, "pushButtonCreateWithTemplate")->click();
        QCOMPARE(QList<QVariant>({edited.value(0).value(0), selected.value(0).value(0)}), QList<QVariant>({id, id}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog); // a create action ends the dialog
    }

    void copyKeepsEverySupplementRow()
    {
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id));
        open();
        list()->setCurrentRow(0);
        button(dialog, "pushButtonCopyTempl")->click();
        QCOMPARE(list()->count(), 2);
        const int copy = list()->currentItem()->data(Qt::UserRole).toInt();
        QCOMPARE(list()->currentItem()->text(), QStringLiteral("КОПИЯ Повар"));
        QCOMPARE(column(copy, "isTemplate").toInt(), 1);
        for (const QString& table : detailTables())
            QCOMPARE(detailCount(table, copy), detailCount(table, id));
        QCOMPARE(count("DMDetails", "moduleId IN (SELECT moduleId FROM ModuleDetails WHERE spoId = ?)", {copy}), 3);
    }

    // A template removed meanwhile, or a supplement that cannot be copied,
    // leaves no row behind and says so.
    void failedCopyLeavesNothing_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("template gone") << "DELETE FROM SpoDocuments";
        QTest::newRow("details refused") << "CREATE TRIGGER noCopy BEFORE INSERT ON DMDetails "
                                            "BEGIN SELECT RAISE(ABORT, 'no'); END";
    }

    void failedCopyLeavesNothing()
    {
        QFETCH(QString, sql);
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id));
        open();
        list()->setCurrentRow(0);
        QVERIFY(exec(sql));
        ModalAnswerer answerer;
        button(dialog, "pushButtonCopyTempl")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось создать копию шаблона."});
        QCOMPARE(count("SpoDocuments", "spoId > ?", {id}), 0);
        for (const QString& table : detailTables())
            QCOMPARE(count(table, "spoId <> ?", {id}), 0);
    }

    void deleteAsksFirst()
    {
        const int id = insertTemplate("Повар");
        QVERIFY(insertDetails(id));
        const int other = insertTemplate("Токарь");
        QVERIFY(insertDetails(other));
        open();
        list()->setCurrentRow(0);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        button(dialog, "pushButtonDeleteTempl")->click();
        QCOMPARE(list()->count(), 2);
        button(dialog, "pushButtonDeleteTempl")->click();
        QCOMPARE(answerer.texts().value(1), QStringLiteral("Вы уверены, что хотите удалить шаблон \"Повар\"?"));
        QCOMPARE(list()->count(), 1);
        for (const QString& table : documentTables())
            QCOMPARE(count(table, "spoId = ?", {id}), 0);
        QCOMPARE(detailCount("DMDetails", other), 3);
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
