#include "engine/Database.h"
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

using namespace FormWidgets;

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

    void choiceSentAndRemembered()
    {
        auto* list = child<QListWidget>(dialog, "listWidget");
        QCOMPARE(list->currentRow(), 0); // row 0 the first time
        list->setCurrentRow(2);
        QVERIFY(child<QPlainTextEdit>(dialog, "plainTextEdit")->toPlainText().endsWith("\nДва экземпляра бланка!"));
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        list->setCurrentRow(-1);
        button(dialog, "pushButtonPrint")->click(); // no row: nothing sent, still open
        list->setCurrentRow(3);
        button(dialog, "checkBoxBackground")->setChecked(true);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0), (QVariantList{QVariant::fromValue(ReportList::SpoDiplomaExcellent), true}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        // The next one opens on that row; a double click does not move it.
        dialog = new PrintDialog;
        list = child<QListWidget>(dialog, "listWidget");
        QCOMPARE(list->currentRow(), 3);
        QSignalSpy doubleClicked(dialog.data(), &PrintDialog::reportTypeSelected);
        emit list->itemDoubleClicked(list->item(1));
        QCOMPARE(doubleClicked.value(0), (QVariantList{QVariant::fromValue(ReportList::SpoAddition), false}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Database::userSettings()->value("VelSpo/lastPrintedReport").toInt(), 3);
    }

    void editModeNeverAsksForBackground()
    {
        button(dialog, "checkBoxBackground")->setChecked(true);
        const QString printTitle = dialog->windowTitle();
        dialog->setEditMode();
        QCOMPARE(printTitle + '|' + dialog->windowTitle() + '|' + button(dialog, "pushButtonPrint")->text() + '|'
                     + child<QGroupBox>(dialog, "groupBox_3")->title(),
                 QStringLiteral("Печать|Редактировать шаблон|Редактировать|Выберите шаблон, который нужно отредактировать:"));
        QVERIFY(button(dialog, "checkBoxBackground")->isHidden());
        QSignalSpy chosen(dialog.data(), &PrintDialog::reportTypeSelected);
        button(dialog, "pushButtonPrint")->click();
        QCOMPARE(chosen.value(0).value(1).toBool(), false);
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
        const auto preview = [this] {
            for (QGraphicsItem* item : child<QGraphicsView>(dialog, "graphicsView")->scene()->items())
                if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
                    return pixmapItem->pixmap().toImage();
            return QImage();
        };
        const auto shown = [this] {
            return states(dialog, {{'v', "graphicsView"}, {'p', "pushButtonScalePlus"}, {'m', "pushButtonScaleMinus"}});
        };
        QCOMPARE(shown(), QStringLiteral("vpm"));
        button(dialog, "checkBoxPreview")->setChecked(true);
        QCOMPARE(shown() + QString::number(dialog->currentScale()), QStringLiteral("VPM1"));
        QCOMPARE(preview().size(), QSize(40, 60));
        QCOMPARE(preview().pixelColor(5, 5), QColor(Qt::red));
        child<QListWidget>(dialog, "listWidget")->setCurrentRow(1);
        QVERIFY(preview().isNull()); // a type without a template
        // The switch is remembered both ways, and applied once the list is filled.
        for (const char* expected : {"VPM40", "vpm0"}) {
            delete dialog;
            dialog = new PrintDialog;
            QCOMPARE(shown() + QString::number(preview().width()), expected);
            button(dialog, "checkBoxPreview")->setChecked(false);
        }
    }

    void zoomLimits()
    {
        const auto clicksUntilOff = [this](const char* name) {
            int clicks = 0;
            for (; button(dialog, name)->isEnabled() && clicks < 20; ++clicks)
                button(dialog, name)->click();
            return clicks;
        };
        QCOMPARE(clicksUntilOff("pushButtonScalePlus"), 4); // up to about 2.07
        QCOMPARE(clicksUntilOff("pushButtonScaleMinus"), 10); // down to about 0.33
        QVERIFY(button(dialog, "pushButtonScalePlus")->isEnabled());
        QVERIFY(child<QGraphicsView>(dialog, "graphicsView")->transform().m11() < 0.4);
    }

private:
    QPointer<PrintDialog> dialog;
};

VELSPO_TEST_MAIN(PrintDialogTest)
#include "tst_printdialog.moc"
