#pragma once

#include <QDockWidget>
#include <QList>
#include <QPair>
#include <QVariant>

// The family's filter panel: it sends its whole filter list whenever the user
// changes a criterion; the product's panel says what the list holds.
class FilterDockWidgetAbstract : public QDockWidget
{
    Q_OBJECT

public:
    explicit FilterDockWidgetAbstract(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    virtual QList<QPair<QString, QVariant>> filters() const = 0;

signals:
    void filtersChanged(QList<QPair<QString, QVariant>> filterList);

public slots:
    virtual void apply();
    virtual void clearForms() = 0;

private:
    int widthHint = 400;
};
