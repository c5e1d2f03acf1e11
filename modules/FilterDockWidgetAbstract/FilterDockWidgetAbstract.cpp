#include "modules/FilterDockWidgetAbstract/FilterDockWidgetAbstract.h"

FilterDockWidgetAbstract::FilterDockWidgetAbstract(QWidget* parent)
    : QDockWidget(parent)
{
}

QSize FilterDockWidgetAbstract::sizeHint() const
{
    return QSize(widthHint, QWidget::sizeHint().height());
}

void FilterDockWidgetAbstract::apply()
{
    emit filtersChanged(filters());
}
