#include "engine/Database.h"
#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "report/ReportPage.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QGraphicsPixmapItem>
#include <QGraphicsView>
#include <QGroupBox>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

namespace {

template <typename T>
T* child(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(QLatin1String(name));
    if (!widget)
        qWarning() << "no widget" << name;
    return widget;
}

QPixmap previewPixmap(PrintDialog* dialog)
{
    const auto items = child<QGraphicsView>(dialog, "graphicsView")->scene()->items();
    for (QGraphicsItem* item : items) {
        if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
            return pixmapItem->pixmap();
    }
    return QPixmap();
}

// Runs the posted deletions, so that a dialog that closed itself is gone.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
        QSettings* settings = Database::userSettings();
        settings->remove(QStringLiteral("PrintDialog"));
        settings->remove(QStringLiteral("VelSpo/lastPrintedReport"));
        QDir(Database::dataPath() + QStringLiteral("/reports")).removeRecursively();
    }

    void listsRegisteredTypesInOrder()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Печать"));
        QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);

        auto* list = child<QListWidget>(dialog, "listWidget");
        const QList<ReportInfo*> reports = ReportList::allReports();
        QCOMPARE(list->count(), 4);
        for (int row = 0; row < reports.size(); ++row) {
            QCOMPARE(list->item(row)->text(), reports.at(row)->title);
            QCOMPARE(list->item(row)->data(Qt::UserRole).toInt(), reports.at(row)->type);
        }
        QCOMPARE(list->item(0)->data(Qt::UserRole).toInt(), 401);
        QCOMPARE(list->item(3)->data(Qt::UserRole).toInt(), 404);

        // Row 0 the first time, with its description.
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText(), reports.at(0)->description);
        list->setCurrentRow(2);
        QVERIFY(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText().endsWith("\nДва экземпляра бланка!"));

        QCOMPARE(child<QGroupBox>(dialog, "groupBox_3")->title(), QStringLiteral("Выберите шаблон для печати: "));
        QCOMPARE(child<QGroupBox>(dialog, "groupBox_2")->title(), QStringLiteral("Полное название"));
        QCOMPARE(child<QCheckBox>(dialog, "checkBoxBackground")->text(), QStringLiteral("Печатать фон"));
        QCOMPARE(child<QCheckBox>(dialog, "checkBoxPreview")->text(), QStringLiteral("Предпросмотр"));
        QCOMPARE(child<QPushButton>(dialog, "pushButtonPrint")->text(), QStringLiteral("Печать"));
        QCOMPARE(child<QPushButton>(dialog, "pushButtonCancel")->text(), QStringLiteral("Отмена"));
        QCOMPARE(child<QGraphicsView>(dialog, "graphicsView")->dragMode(), QGraphicsView::ScrollHandDrag);
        delete dialog;
    }

    void printButtonRemembersRowAndSendsChoice()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(3);
        child<QCheckBox>(dialog, "checkBoxBackground")->setChecked(true);
        child<QPushButton>(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoDiplomaExcellent);
        QCOMPARE(chosen.at(0).at(1).toBool(), true);
        flushDeletes();
        QVERIFY(!dialog);
        QCOMPARE(Database::userSettings()->value("VelSpo/lastPrintedReport").toInt(), 3);

        // The next one opens on that row; a double click does not move it.
        dialog = new PrintDialog;
        auto* list = child<QListWidget>(dialog, "listWidget");
        QCOMPARE(list->currentRow(), 3);
        QSignalSpy doubleClicked(dialog.data(), &PrintDialog::reportTypeSelected);
        emit list->itemDoubleClicked(list->item(1));
        QCOMPARE(doubleClicked.count(), 1);
        QCOMPARE(doubleClicked.at(0).at(0).value<ReportList::ReportType>(), ReportList::SpoAddition);
        QCOMPARE(doubleClicked.at(0).at(1).toBool(), false);
        flushDeletes();
        QVERIFY(!dialog);
        QCOMPARE(Database::userSettings()->value("VelSpo/lastPrintedReport").toInt(), 3);
    }

    void printWithoutCurrentRow()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(-1);
        child<QPushButton>(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 0);
        flushDeletes();
        QVERIFY(dialog); // still open
        delete dialog;
        QCOMPARE(Database::userSettings()->value("VelSpo/lastPrintedReport").toInt(), -1);
        dialog = new PrintDialog;
        QCOMPARE(child<QListWidget>(dialog, "listWidget")->currentRow(), -1);
        delete dialog;
    }

    void cancelSendsNothing()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QPushButton>(dialog, "pushButtonCancel")->click();
        flushDeletes();
        QVERIFY(!dialog);
        QCOMPARE(chosen.count(), 0);
    }

    void editMode()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        child<QCheckBox>(dialog, "checkBoxBackground")->setChecked(true);
        dialog->setEditMode();
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Редактировать шаблон"));
        QCOMPARE(child<QPushButton>(dialog, "pushButtonPrint")->text(), QStringLiteral("Редактировать"));
        QCOMPARE(child<QGroupBox>(dialog, "groupBox_3")->title(),
                 QStringLiteral("Выберите шаблон, который нужно отредактировать:"));
        QVERIFY(child<QCheckBox>(dialog, "checkBoxBackground")->isHidden());
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        child<QPushButton>(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(1).toBool(), false);
        flushDeletes();
        QVERIFY(!dialog);
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

        QPointer<PrintDialog> dialog = new PrintDialog;
        dialog->show();
        auto* preview = child<QCheckBox>(dialog, "checkBoxPreview");
        auto* view = child<QGraphicsView>(dialog, "graphicsView");
        auto* plus = child<QPushButton>(dialog, "pushButtonScalePlus");
        auto* minus = child<QPushButton>(dialog, "pushButtonScaleMinus");
        QVERIFY(!preview->isChecked());
        QVERIFY(view->isHidden() && plus->isHidden() && minus->isHidden());
        QVERIFY(previewPixmap(dialog).isNull());

        preview->setChecked(true);
        QVERIFY(!view->isHidden() && !plus->isHidden() && !minus->isHidden());
        QCOMPARE(previewPixmap(dialog).size(), QSize(40, 60));
        QCOMPARE(previewPixmap(dialog).toImage().pixelColor(5, 5), QColor(Qt::red));
        QVERIFY(qFuzzyCompare(dialog->currentScale(), 1.0));

        // A type without a template shows an empty preview.
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(1);
        QVERIFY(previewPixmap(dialog).isNull());

        preview->setChecked(false);
        QVERIFY(view->isHidden() && plus->isHidden() && minus->isHidden());
        delete dialog;
        QCOMPARE(Database::userSettings()->value("PrintDialog/previewEnabled").toBool(), false);

        // The switch is remembered.
        dialog = new PrintDialog;
        child<QCheckBox>(dialog, "checkBoxPreview")->setChecked(true);
        delete dialog;
        QCOMPARE(Database::userSettings()->value("PrintDialog/previewEnabled").toBool(), true);
        QVERIFY(Database::userSettings()->contains("PrintDialog/geometry"));
        dialog = new PrintDialog;
        QVERIFY(child<QCheckBox>(dialog, "checkBoxPreview")->isChecked());
        QVERIFY(!child<QGraphicsView>(dialog, "graphicsView")->isHidden());
        QCOMPARE(previewPixmap(dialog).size(), QSize(40, 60));
        delete dialog;
    }

    void zoomLimits()
    {
        QPointer<PrintDialog> dialog = new PrintDialog;
        auto* plus = child<QPushButton>(dialog, "pushButtonScalePlus");
        auto* minus = child<QPushButton>(dialog, "pushButtonScaleMinus");
        for (int i = 1; i <= 3; ++i) {
            plus->click();
            QVERIFY(plus->isEnabled());
        }
        plus->click(); // fourth: about 2.07
        QVERIFY(!plus->isEnabled());
        QVERIFY(minus->isEnabled());
        QVERIFY(dialog->currentScale() > 2.0);
        for (int i = 0; i < 4; ++i)
            minus->click(); // back to 1.0
        QVERIFY(qFuzzyCompare(dialog->currentScale(), 1.0));
        QVERIFY(plus->isEnabled());
        for (int i = 1; i <= 5; ++i) {
            minus->click();
            QVERIFY(minus->isEnabled());
        }
        minus->click(); // sixth: about 0.33
        QVERIFY(!minus->isEnabled());
        QVERIFY(child<QGraphicsView>(dialog, "graphicsView")->transform().m11() < 0.4);
        delete dialog;
    }
};

VELSPO_TEST_MAIN(PrintDialogTest)
#include "tst_printdialog.moc"
