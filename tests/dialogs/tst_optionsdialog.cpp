#include "dialogs/BossGuideDialog.h"
#include "dialogs/OptionsDialog.h"
#include "engine/Database.h"
#include "product/MainWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QTableView>

using namespace DocumentFixtures;
using namespace FormWidgets;

namespace {

QString variable(const char* name)
{
    return scalar("SELECT Value FROM Variables WHERE Name = ?", {QString::fromLatin1(name)}).toString();
}

} // namespace

// The organisation's requisites and the chairpersons guide it opens.
class OptionsDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(openEmpty()); }
    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void requisitesRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes, blanks kept") << "  ГБПОУ 'Колледж' им. О'Генри \"№ 1\"  ";
        QTest::newRow("statement-like") << "x'); DELETE FROM Variables; --";
        QTest::newRow("empty") << "";
    }

    void requisitesRoundTrip()
    {
        QFETCH(QString, text);
        QPointer<OptionsDialog> dialog = new OptionsDialog;
        for (const char* name : {"lineEditOrgName_1", "lineEditBoss_1", "lineEditCity"})
            edit(dialog, name)->setText(text + name);
        child<QComboBox>(dialog, "lineEditBoss_2")->setCurrentText(text);
        button(dialog, "pushButtonSave")->click();
        QVERIFY(dialog->isHidden());
        QCOMPARE(variable("OrgName_1") + '|' + variable("Boss_1") + '|' + variable("City") + '|' + variable("Boss_2"),
                 QStringList({text + "lineEditOrgName_1", text + "lineEditBoss_1", text + "lineEditCity", text}).join('|'));
        QVERIFY(QDateTime::fromString(variable("Date"), "yyyy-MM-dd hh:mm:ss").secsTo(QDateTime::currentDateTime()) < 60);

        // Shown again as stored.
        QPointer<OptionsDialog> again = new OptionsDialog;
        QCOMPARE(edit(again, "lineEditOrgName_1")->text() + child<QComboBox>(again, "lineEditBoss_2")->currentText(),
                 text + "lineEditOrgName_1" + text);
        button(again, "pushButtonCancel")->click();
    }

    void cancelAndFailedSaveStoreNothing()
    {
        QPointer<OptionsDialog> dialog = new OptionsDialog;
        QCOMPARE(edit(dialog, "lineEditCity")->text() + edit(dialog, "lineEditDate")->text(), QString());
        edit(dialog, "lineEditCity")->setText("Москва");
        button(dialog, "pushButtonCancel")->click();
        QCOMPARE(count("Variables"), 0);

        // A database that takes no writes: the user is told, the dialog stays
        // with what was typed, and no requisite is half-saved.
        QVERIFY(exec("INSERT INTO Variables VALUES ('City', 'Тверь')"));
        dialog = new OptionsDialog;
        edit(dialog, "lineEditCity")->setText("Москва");
        dialog->show();
        QVERIFY(exec("PRAGMA query_only = 1"));
        ModalAnswerer answerer;
        button(dialog, "pushButtonSave")->click();
        QVERIFY(exec("PRAGMA query_only = 0"));
        QCOMPARE(answerer.texts(), QStringList{"Не удалось сохранить реквизиты организации.\nВведённые данные не записаны в базу данных."});
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(edit(dialog, "lineEditCity")->text(), QStringLiteral("Москва"));
        QCOMPARE(count("Variables"), 1);
        QCOMPARE(variable("City"), QStringLiteral("Тверь"));
        delete dialog;
    }

    void guideAddsDeletesAndHandsOver()
    {
        QVERIFY(exec("INSERT INTO Bosses (bossFio) VALUES ('Сидоров С.С.')"));
        QPointer<OptionsDialog> options = new OptionsDialog;
        auto* combo = child<QComboBox>(options, "lineEditBoss_2");
        combo->setCurrentText("Набранный");
        button(options, "pushButtonBossGuide")->click();
        QPointer<BossGuideDialog> guide = options->findChild<BossGuideDialog*>();
        QVERIFY(guide);
        auto* view = child<QTableView>(guide, "tableView");
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("      "));
        QVERIFY(!button(guide, "pushButtonDelete")->isEnabled());

        // Added as typed, blanks and all; an empty name adds nothing.
        edit(guide, "lineEdit")->setText(" О'Нил А. ");
        button(guide, "pushButtonAdd")->click();
        button(guide, "pushButtonAdd")->click();
        QCOMPARE(rows("SELECT bossFio FROM Bosses ORDER BY bossId"), (QStringList{"Сидоров С.С.", " О'Нил А. "}));
        QCOMPARE(view->currentIndex().row(), 1);
        QVERIFY(button(guide, "pushButtonDelete")->isEnabled());
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentText(), QStringLiteral("Набранный")); // the refill keeps it

        // Delete asks; Cancel keeps the row, Ok removes it.
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Cancel);
        answerer.answer(QMessageBox::Ok);
        view->setCurrentIndex(view->model()->index(0, 1));
        button(guide, "pushButtonDelete")->click();
        QCOMPARE(count("Bosses"), 2);
        button(guide, "pushButtonDelete")->click();
        QCOMPARE(answerer.texts().value(1), QStringLiteral("Вы уверены, что хотите удалить выделенную строку?"));
        QCOMPARE(rows("SELECT bossFio FROM Bosses"), QStringList{" О'Нил А. "});
        QVERIFY(!button(guide, "pushButtonDelete")->isEnabled());

        // A double click hands the name over and closes the guide; nothing is stored yet.
        emit view->doubleClicked(view->model()->index(0, 1));
        QCOMPARE(combo->currentText(), QStringLiteral(" О'Нил А. "));
        QVERIFY(guide->isHidden());
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
};

VELSPO_TEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
