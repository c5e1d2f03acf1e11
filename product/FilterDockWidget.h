#pragma once

#include "modules/FilterDockWidgetAbstract/FilterDockWidgetAbstract.h"

namespace Ui {
class FilterDockWidget;
}

// The register's filter panel: full name, profession and a range of issue
// dates that counts only while its check box is ticked.
class FilterDockWidget : public FilterDockWidgetAbstract
{
    Q_OBJECT

public:
    explicit FilterDockWidget(QWidget* parent = nullptr);
    ~FilterDockWidget() override;

    // "dateFrom", "dateTo" (only with the date box ticked), "fio", "prof".
    QList<QPair<QString, QVariant>> filters() const override;

public slots:
    void clearForms() override;

private slots:
    void on_checkBox_stateChanged(int arg1);

private:
    Ui::FilterDockWidget* ui = nullptr;
};
