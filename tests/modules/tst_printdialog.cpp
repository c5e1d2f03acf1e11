#include "engine/Database.h"
#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "report/ReportPage.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>

using FormWidgets::button;
using FormWidgets::child;

// The report type chooser: its list, description and preview, the print and
// edit modes, the zoom limits and the settings it keeps.
class PrintDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        QVERIFY(Database::init(true));
    }

    void init()
    {
        Database::userSettings()->remove("PrintDialog");
        Database::userSettings()->remove("VelSpo/lastPrintedReport");
        DocumentFixtures::clearUserReports();
        dialog = new PrintDialog;
    }

    void cleanup()
    {
        delete dialog;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void listsRegisteredTypesInOrder()
    {
        auto* list = child<QListWidget>(dialog, "listWidget");
        QStringList shown, expected;
        for (int row = 0; row < list->count(); ++row)
            shown << list->item(row)->text() + list->item(row)->data(Qt::UserRole).toString();
        for (const ReportInfo* report : ReportList::allReports())
            expected << report->title + QString::number(report->type);
        QCOMPARE(shown, expected);
        QCOMPARE(shown.size(), 4);
        QVERIFY(shown.at(3).endsWith("404"));
        // Row 0 the first time, with its description.
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText(), ReportList::allReports().at(0)->description);
        list->setCurrentRow(2);
        QVERIFY(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText().endsWith("\nДва экземпляра бланка!"));
        QCOMPARE(QStringList({dialog->windowTitle(), child<QGroupBox>(dialog, "groupBox_3")->title(),
                              child<QGroupBox>(dialog, "groupBox_2")->title(), button(dialog, "checkBoxBackground")->text(),
                              button(dialog, "checkBoxPreview")->text(), button(dialog, "pushButtonPrint")->text(),
                              button(dialog, "pushButtonCancel")->text()}).join('|'),
                 QStringLiteral("Печать|Выберите шаблон для печати: |Полное название|Печатать фон|Предпросмотр|Печать|Отмена"));
    }

    void printRemembersRowAndSendsChoice()
    {
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(3);
        button(dialog, "checkBoxBackground")->setChecked(true);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoDiplomaExcellent), true}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        // The next one opens on that row; a double click does not move it.
        dialog = new PrintDialog;
        auto* list = child<QListWidget>(dialog, "listWidget");
        QCOMPARE(list->currentRow(), 3);
        QSignalSpy doubleClicked(dialog.data(), &PrintDialog::reportTypeSelected);
        emit list->itemDoubleClicked(list->item(1));
        QCOMPARE(doubleClicked.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoAddition), false}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(Database::userSettings()->value("VelSpo/lastPrintedReport").toInt(), 3);
    }

    void printWithoutRowOrCancelSendsNothing()
    {
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(-1);
        button(dialog, "pushButtonPrint")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog); // still open
        button(dialog, "pushButtonCancel")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(chosen.count(), 0);
        dialog = new PrintDialog; // no row remembered: none chosen
        QCOMPARE(child<QListWidget>(dialog, "listWidget")->currentRow(), -1);
    }

    void editModeNeverAsksForBackground()
    {
        button(dialog, "checkBoxBackground")->setChecked(true);
        dialog->setEditMode();
        dialog->show();
        QCOMPARE(dialog->windowTitle() + '|' + button(dialog, "pushButtonPrint")->text() + '|'
                     + child<QGroupBox>(dialog, "groupBox_3")->title(),
                 QStringLiteral("Редактировать шаблон|Редактировать|Выберите шаблон, который нужно отредактировать:"));
        QVERIFY(button(dialog, "checkBoxBackground")->isHidden());
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(1).toBool(), false);
    }

    void previewShowsTemplateBackground()
    {
        // A template for 401 with a red background; 402 has none.
        QVERIFY(QDir().mkpath(Database::dataPath() + "/reports"));
        QPixmap image(40, 60);
        image.fill(Qt::red);
        ReportPage page;
        page.setBackgroundImage(image);
        QVERIFY(page.save(Database::dataPath() + "/reports/id120.velrpt"));
        dialog->show();
        const auto previewShown = [this] {
            QString flags;
            for (const char* name : {"graphicsView", "pushButtonScalePlus", "pushButtonScaleMinus"})
                flags += child<QWidget>(dialog, name)->isHidden() ? '0' : '1';
            return flags;
        };
        const auto pixmap = [this] {
            for (QGraphicsItem* item : child<QGraphicsView>(dialog, "graphicsView")->scene()->items())
                if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
                    return pixmapItem->pixmap();
            return QPixmap();
        };
        QCOMPARE(previewShown(), QStringLiteral("000"));
        button(dialog, "checkBoxPreview")->setChecked(true);
        QCOMPARE(previewShown(), QStringLiteral("111"));
        QCOMPARE(pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(pixmap().size(), QSize(40, 60));
        QVERIFY(qFuzzyCompare(dialog->currentScale(), 1.0));
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(1);
        QVERIFY(pixmap().isNull()); // a type without a template
        // The switch is remembered, both ways.
        delete dialog;
        QVERIFY(Database::userSettings()->contains("PrintDialog/geometry"));
        dialog = new PrintDialog;
        QCOMPARE(previewShown(), QStringLiteral("111"));
        QCOMPARE(pixmap().size(), QSize(40, 60));
        button(dialog, "checkBoxPreview")->setChecked(false);
        delete dialog;
        dialog = new PrintDialog;
        QCOMPARE(previewShown(), QStringLiteral("000"));
    }

    void zoomLimits()
    {
        auto* plus = button(dialog, "pushButtonScalePlus");
        auto* minus = button(dialog, "pushButtonScaleMinus");
        int clicks = 0;
        for (; plus->isEnabled() && clicks < 20; ++clicks)
            plus->click();
        QCOMPARE(clicks, 4); // up to about 2.07
        for (clicks = 0; minus->isEnabled() && clicks < 20; ++clicks)
            minus->click();
        QCOMPARE(clicks, 10); // down to about 0.33
        QVERIFY(plus->isEnabled());
        QVERIFY(child<QGraphicsView>(dialog, "graphicsView")->transform().m11() < 0.4);
    }

private:
    QPointer<PrintDialog> dialog;
};

VELSPO_TEST_MAIN(PrintDialogTest)
#include "tst_printdialog.moc"
