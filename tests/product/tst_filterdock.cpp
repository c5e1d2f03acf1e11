#include "engine/Database.h"
#include "product/DocumentsTable.h"
#include "product/FilterDockWidget.h"
#include "product/MainWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QSqlTableModel>

using namespace DocumentFixtures;
using namespace FormWidgets;
using FilterList = QList<QPair<QString, QVariant>>;

namespace {

QString keys(const FilterList& list)
{
    QStringList parts;
    for (const auto& pair : list)
        parts << pair.first + '=' + (pair.second.type() == QVariant::Date ? pair.second.toDate().toString(Qt::ISODate) : pair.second.toString());
    return parts.join(' ');
}

} // namespace

// The filter panel's list and its place in the main window.
class FilterDockTest : public QObject
{
    Q_OBJECT
private slots:
    void panelList()
    {
        FilterDockWidget dock;
        QString sent;
        connect(&dock, &FilterDockWidgetAbstract::filtersChanged, [&sent](const FilterList& list) { sent = keys(list); });
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(keys(dock.filters()), QStringLiteral("fio= prof="));
        QCOMPARE(dock.windowTitle() + QString::number(dock.width()) + 'x' + QString::number(dock.height()),
                 QStringLiteral("Фильтры228x275"));
        QCOMPARE(dock.sizeHint().width(), 400);
        QCOMPARE(dock.features(), QDockWidget::DockWidgetClosable);

        edit(&dock, "lineEditProfessionName")->insert("  повар ");
        QCOMPARE(sent, QStringLiteral("fio= prof=повар"));
        auto* from = child<QDateEdit>(&dock, "dateEditFrom");
        auto* to = child<QDateEdit>(&dock, "dateEditTo");
        QVERIFY(!from->isEnabled());
        child<QCheckBox>(&dock, "checkBox")->setChecked(true);
        QVERIFY(from->isEnabled() && to->isEnabled());
        QCOMPARE(sent, QString("dateFrom=%1 dateTo=%1 fio= prof=повар").arg(today));

        // Each date bounds the other, within 2017-01-01 .. 2999-12-31.
        from->setDate(QDate::currentDate().addDays(5));
        QCOMPARE(from->date(), QDate::currentDate());
        to->setDate(QDate(2016, 5, 5));
        QCOMPARE(to->date(), QDate::currentDate());
        from->setDate(QDate(2010, 1, 1));
        QCOMPARE(from->date(), QDate(2017, 1, 1));
        QCOMPARE(sent, QString("dateFrom=2017-01-01 dateTo=%1 fio= prof=повар").arg(today));

        // Clearing drops the texts and the date box, but keeps the dates.
        button(&dock, "pushButtonClear")->click();
        QCOMPARE(sent, QStringLiteral("fio= prof="));
        QCOMPARE(from->date(), QDate(2017, 1, 1));
    }

    void panelFiltersTheRegister()
    {
        QVERIFY(openEmpty());
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
        QVERIFY(insertMany(30));
        QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", "Сегодняшний"}, {"issueDate", QDate::currentDate().toString(Qt::ISODate)}}) > 0);
        MainWindow window;
        FilterDockWidget* dock = window.filterPanel();
        DocumentsTable* table = window.documentsRegister();
        QCOMPARE(dock->minimumWidth(), 228);
        QCOMPARE(dock->maximumWidth(), 228);
        const auto visible = [table] {
            int rows = 0;
            for (int row = 0; row < table->tableModel()->rowCount(); ++row)
                rows += table->isRowHidden(row) ? 0 : 1;
            return rows;
        };
        QCOMPARE(visible(), 31);
        edit(dock, "lineEditFio1")->insert("фамилия2");
        QCOMPARE(visible(), 11); // 2, 20..29
        table->updateData();
        QCOMPARE(visible(), 11);
        edit(dock, "lineEditFio1")->clear();
        child<QCheckBox>(dock, "checkBox")->setChecked(true); // both dates today
        QCOMPARE(visible(), 1);

        // The panel and its menu entry follow each other.
        auto* action = child<QAction>(&window, "actionFilter");
        dock->close();
        QVERIFY(!action->isChecked());
        action->setChecked(true);
        QVERIFY(dock->isVisible());
        action->setChecked(false);
        QVERIFY(!dock->isVisible());
    }
};

VELSPO_TEST_MAIN(FilterDockTest)
#include "tst_filterdock.moc"
