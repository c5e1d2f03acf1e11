#include "engine/Database.h"
#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "report/ReportPage.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
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

namespace {

QPixmap previewPixmap(PrintDialog* dialog)
{
    for (QGraphicsItem* item : child<QGraphicsView>(dialog, "graphicsView")->scene()->items()) {
        if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
            return pixmapItem->pixmap();
    }
    return QPixmap();
}

int lastPrintedReport()
{
    return Database::userSettings()->value(QStringLiteral("VelSpo/lastPrintedReport")).toInt();
}

} // namespace

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
        Database::userSettings()->remove(QStringLiteral("PrintDialog"));
        Database::userSettings()->remove(QStringLiteral("VelSpo/lastPrintedReport"));
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
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Печать"));
        auto* list = child<QListWidget>(dialog, "listWidget");
        const QList<ReportInfo*> reports = ReportList::allReports();
        QCOMPARE(list->count(), 4);
        for (int row = 0; row < reports.size(); ++row) {
            QCOMPARE(list->item(row)->text(), reports.at(row)->title);
            QCOMPARE(list->item(row)->data(Qt::UserRole).toInt(), reports.at(row)->type);
        }
        QCOMPARE(list->item(3)->data(Qt::UserRole).toInt(), 404);

        // Row 0 the first time, with its description.
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText(), reports.at(0)->description);
        list->setCurrentRow(2);
        QVERIFY(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText().endsWith("\nДва экземпляра бланка!"));

        QCOMPARE(child<QGroupBox>(dialog, "groupBox_3")->title(), QStringLiteral("Выберите шаблон для печати: "));
        QCOMPARE(child<QGroupBox>(dialog, "groupBox_2")->title(), QStringLiteral("Полное название"));
        QCOMPARE(button(dialog, "checkBoxBackground")->text(), QStringLiteral("Печатать фон"));
        QCOMPARE(button(dialog, "checkBoxPreview")->text(), QStringLiteral("Предпросмотр"));
        QCOMPARE(button(dialog, "pushButtonPrint")->text(), QStringLiteral("Печать"));
        QCOMPARE(button(dialog, "pushButtonCancel")->text(), QStringLiteral("Отмена"));
    }

    void printRemembersRowAndSendsChoice()
    {
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(3);
        button(dialog, "checkBoxBackground")->setChecked(true);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoDiplomaExcellent);
        QCOMPARE(chosen.at(0).at(1).toBool(), true);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(lastPrintedReport(), 3);

        // The next one opens on that row; a double click does not move it.
        dialog = new PrintDialog;
        auto* list = child<QListWidget>(dialog, "listWidget");
        QCOMPARE(list->currentRow(), 3);
        QSignalSpy doubleClicked(dialog.data(), &PrintDialog::reportTypeSelected);
        emit list->itemDoubleClicked(list->item(1));
        QCOMPARE(doubleClicked.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoAddition);
        QCOMPARE(doubleClicked.at(0).at(1).toBool(), false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QCOMPARE(lastPrintedReport(), 3);
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
        // No row remembered: the next one opens without one.
        dialog = new PrintDialog;
        QCOMPARE(child<QListWidget>(dialog, "listWidget")->currentRow(), -1);
    }

    void editModeNeverAsksForBackground()
    {
        button(dialog, "checkBoxBackground")->setChecked(true);
        dialog->setEditMode();
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Редактировать шаблон"));
        QCOMPARE(button(dialog, "pushButtonPrint")->text(), QStringLiteral("Редактировать"));
        QCOMPARE(child<QGroupBox>(dialog, "groupBox_3")->title(),
                 QStringLiteral("Выберите шаблон, который нужно отредактировать:"));
        QVERIFY(button(dialog, "checkBoxBackground")->isHidden());
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(1).toBool(), false);
    }

    void previewShowsTemplateBackground()
    {
        // A template for 401 with a red background; 402 has none.
        QVERIFY(QDir().mkpath(Database::dataPath() + QStringLiteral("/reports")));
        QPixmap image(40, 60);
        image.fill(Qt::red);
        ReportPage page;
        page.setBackgroundImage(image);
        QVERIFY(page.save(Database::dataPath() + QStringLiteral("/reports/id120.velrpt")));
        dialog->show();
        const auto previewShown = [this] {
            QString flags;
            for (const char* name : {"graphicsView", "pushButtonScalePlus", "pushButtonScaleMinus"})
                flags += child<QWidget>(dialog, name)->isHidden() ? QLatin1Char('0') : QLatin1Char('1');
            return flags;
        };
        QCOMPARE(previewShown(), QStringLiteral("000"));
        button(dialog, "checkBoxPreview")->setChecked(true);
        QCOMPARE(previewShown(), QStringLiteral("111"));
        QCOMPARE(previewPixmap(dialog).toImage().pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(previewPixmap(dialog).size(), QSize(40, 60));
        QVERIFY(qFuzzyCompare(dialog->currentScale(), 1.0));
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(1);
        QVERIFY(previewPixmap(dialog).isNull()); // a type without a template

        // The switch is remembered, both ways.
        delete dialog;
        QVERIFY(Database::userSettings()->contains("PrintDialog/geometry"));
        dialog = new PrintDialog;
        QCOMPARE(previewShown(), QStringLiteral("111"));
        QCOMPARE(previewPixmap(dialog).size(), QSize(40, 60));
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
