#include "dialogs/BossGuideDialog.h"
#include "dialogs/OptionsDialog.h"
#include "engine/Database.h"
#include "product/MainWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/Typing.h"

#include <QComboBox>
#include <QTableView>

using namespace DocumentFixtures;
using namespace FormWidgets;

// The organisation's requisites and the chairpersons guide it opens.
class OptionsDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(openEmpty()); }
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Typed quotes, blanks and statement-like text are stored and shown again whole.
    void requisitesRoundTrip()
    {
        const QString text = "  ГБПОУ 'Колледж' им. О'Генри \"№ 1\"'); DELETE FROM Variables; --  ";
        ModalAnswerer answerer; // a refused save fails here instead of waiting on its box
        QPointer<OptionsDialog> dialog = new OptionsDialog;
        dialog->show();
        typeRequisites(dialog, text);
        button(dialog, "pushButtonSave")->click();
        QVERIFY(dialog->isHidden() && answerer.texts().isEmpty());
        QCOMPARE(rows("SELECT Name, Value FROM Variables WHERE Name <> 'Date' ORDER BY rowid"),
                 QStringList({"OrgName_1|" + text + "lineEditOrgName_1", "City|" + text + "lineEditCity",
                              "Boss_1|" + text + "lineEditBoss_1", "Boss_2|" + text + "lineEditBoss_2"}));
        const QString date = scalar("SELECT Value FROM Variables WHERE Name = 'Date'").toString();
        QVERIFY(QDateTime::fromString(date, "yyyy-MM-dd hh:mm:ss").secsTo(QDateTime::currentDateTime()) < 60);
        QPointer<OptionsDialog> again = new OptionsDialog;
        QCOMPARE(edit(again, "lineEditOrgName_1")->text() + child<QComboBox>(again, "lineEditBoss_2")->currentText(),
                 text + "lineEditOrgName_1" + text + "lineEditBoss_2");
        button(again, "pushButtonCancel")->click();
    }

    // Cancel stores nothing. One requisite refused: the five are stored all or
    // none, the user is told, and the dialog keeps what was typed for a retry.
    void cancelAndFailedSaveStoreNothing()
    {
        QPointer<OptionsDialog> dialog = new OptionsDialog;
        dialog->show();
        typeRequisites(dialog, "Москва");
        button(dialog, "pushButtonCancel")->click();
        QCOMPARE(count("Variables"), 0);

        for (const char* name : {"OrgName_1", "City", "Date", "Boss_1", "Boss_2"})
            QVERIFY(exec("INSERT INTO Variables VALUES (?, 'старое')", {name}));
        QVERIFY(exec("CREATE TRIGGER noBoss BEFORE INSERT ON Variables WHEN NEW.Name = 'Boss_1' "
                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        dialog = new OptionsDialog;
        dialog->show();
        typeRequisites(dialog, "Тверь");
        ModalAnswerer answerer;
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить реквизиты организации.\nВведённые данные не записаны в базу данных."});
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(rows("SELECT DISTINCT Value FROM Variables"), QStringList{"старое"});
        QVERIFY(exec("DROP TRIGGER noBoss"));
        button(dialog, "pushButtonSave")->click();
        QCOMPARE(rows("SELECT Value FROM Variables WHERE Name <> 'Date' ORDER BY Name"),
                 QStringList({"ТверьlineEditBoss_1", "ТверьlineEditBoss_2", "ТверьlineEditCity", "ТверьlineEditOrgName_1"}));
    }

    void guideAddsDeletesAndHandsOver()
    {
        QVERIFY(exec("INSERT INTO Bosses (bossFio) VALUES ('Сидоров С.С.')"));
        QPointer<OptionsDialog> options = new OptionsDialog;
        auto* combo = child<QComboBox>(options, "lineEditBoss_2");
        Typing::typeOver(combo, "Набранный");
        button(options, "pushButtonBossGuide")->click();
        QPointer<BossGuideDialog> guide = options->findChild<BossGuideDialog*>();
        QVERIFY(guide);
        auto* view = child<QTableView>(guide, "tableView");
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("      "));

        // Added as typed, blanks and all; an empty name adds nothing; the refill keeps the typed name.
        Typing::typeOver(edit(guide, "lineEdit"), " О'Нил А. ");
        button(guide, "pushButtonAdd")->click();
        button(guide, "pushButtonAdd")->click();
        QCOMPARE(rows("SELECT bossFio FROM Bosses ORDER BY bossId"), (QStringList{"Сидоров С.С.", " О'Нил А. "}));
        QCOMPARE(combo->currentText() + QString::number(combo->count()), QStringLiteral("Набранный2"));

        // Refused by the database: the user is told, the typed name stays, the list shows what is stored.
        QVERIFY(exec("CREATE TRIGGER refused BEFORE INSERT ON Bosses BEGIN SELECT RAISE(ABORT, 'отказано'); END"));
        QVERIFY(exec("CREATE TRIGGER kept BEFORE DELETE ON Bosses BEGIN SELECT RAISE(ABORT, 'оставлено'); END"));
        ModalAnswerer answerer;
        Typing::typeOver(edit(guide, "lineEdit"), "Новиков Н.Н.", Qt::Key_Return); // Enter adds
        view->setCurrentIndex(view->model()->index(0, 1));
        button(guide, "pushButtonDelete")->click();
        QCOMPARE(answerer.texts(), QStringList({"Не удалось добавить председателя в справочник.\nотказано",
                                                "Вы уверены, что хотите удалить выделенную строку?",
                                                "Не удалось удалить председателя из справочника.\nоставлено"}));
        QCOMPARE(edit(guide, "lineEdit")->text() + QString::number(view->model()->rowCount() + count("Bosses")),
                 QStringLiteral("Новиков Н.Н.4"));
        QVERIFY(exec("DROP TRIGGER refused") && exec("DROP TRIGGER kept"));

        answerer.clear();
        answerer.answer(QMessageBox::Cancel);
        answerer.answer(QMessageBox::Ok);
        view->setCurrentIndex(view->model()->index(0, 1));
        button(guide, "pushButtonDelete")->click();
        QCOMPARE(count("Bosses"), 2);
        button(guide, "pushButtonDelete")->click();
        QCOMPARE(rows("SELECT bossFio FROM Bosses"), QStringList{" О'Нил А. "});
        QVERIFY(!button(guide, "pushButtonDelete")->isEnabled());

        // A double click hands the name over and closes the guide; nothing is stored yet.
        emit view->doubleClicked(view->model()->index(0, 1));
        QCOMPARE(combo->currentText(), QStringLiteral(" О'Нил А. "));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guide);
        QCOMPARE(count("Variables"), 0);
        delete options;
    }

    // From the menu; a dialog still open at exit keeps its geometry.
    void openedFromTheMenu()
    {
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
        Database::userSettings()->remove(QStringLiteral("VelSpo/OptionsDialogGeometry"));
        Database::userSettings()->sync();
        auto window = std::make_unique<MainWindow>();
        child<QAction>(window.get(), "actionSettings")->trigger();
        QVERIFY(window->findChild<OptionsDialog*>()->isVisible());
        window.reset();
        QFile stored(Database::userSettingsPath() + QStringLiteral("/settings.ini")); // on disk, not in a cache
        QVERIFY(stored.open(QIODevice::ReadOnly) && stored.readAll().contains("OptionsDialogGeometry"));
    }

private:
    // Each requisite typed as text followed by the widget's name.
    static void typeRequisites(QWidget* dialog, const QString& text)
    {
        for (const char* name : {"lineEditOrgName_1", "lineEditCity", "lineEditBoss_1", "lineEditBoss_2"})
            Typing::typeOver(child<QWidget>(dialog, name), text + name);
    }
};

VELSPO_TEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
