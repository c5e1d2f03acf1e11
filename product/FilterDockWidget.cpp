#include "product/FilterDockWidget.h"
#include "ui_FilterDockWidget.h"

#include "engine/DateTypingFilter.h"

#include <QDate>

FilterDockWidget::FilterDockWidget(QWidget* parent)
    : FilterDockWidgetAbstract(parent)
    , ui(new Ui::FilterDockWidget)
{
    ui->setupUi(this);
    DateTypingFilter::install(ui->dateEditFrom);
    DateTypingFilter::install(ui->dateEditTo);
    connect(ui->pushButtonClear, &QPushButton::clicked, this, &FilterDockWidget::clearForms);
    // The from-date can never pass the to-date.
    connect(ui->dateEditFrom, &QDateEdit::dateChanged, ui->dateEditTo, &QDateEdit::setMinimumDate);
    connect(ui->dateEditTo, &QDateEdit::dateChanged, ui->dateEditFrom, &QDateEdit::setMaximumDate);

    ui->dateEditTo->setDate(QDate::currentDate());
    ui->dateEditFrom->setDate(QDate::currentDate());
    ui->checkBox->setChecked(false);
    on_checkBox_stateChanged(0);

    // Connected only now, so that setting up the form sends nothing more.
    connect(ui->dateEditFrom, &QDateEdit::dateChanged, this, &FilterDockWidget::apply);
    connect(ui->dateEditTo, &QDateEdit::dateChanged, this, &FilterDockWidget::apply);
    connect(ui->lineEditFio1, &QLineEdit::textEdited, this, &FilterDockWidget::apply);
    connect(ui->lineEditProfessionName, &QLineEdit::textEdited, this, &FilterDockWidget::apply);
}

FilterDockWidget::~FilterDockWidget()
{
    delete ui;
}

QList<QPair<QString, QVariant>> FilterDockWidget::filters() const
{
    QList<QPair<QString, QVariant>> list;
    if (ui->checkBox->isChecked()) {
        list.append({QStringLiteral("dateFrom"), ui->dateEditFrom->date()});
        list.append({QStringLiteral("dateTo"), ui->dateEditTo->date()});
    }
    list.append({QStringLiteral("fio"), ui->lineEditFio1->text().trimmed()});
    list.append({QStringLiteral("prof"), ui->lineEditProfessionName->text().trimmed()});
    return list;
}

void FilterDockWidget::clearForms()
{
    // The dates stay: they are off with the check box anyway.
    ui->checkBox->setChecked(false);
    ui->lineEditFio1->clear();
    ui->lineEditProfessionName->clear();
    apply();
}

void FilterDockWidget::on_checkBox_stateChanged(int arg1)
{
    ui->dateEditFrom->setEnabled(arg1 != 0);
    ui->dateEditTo->setEnabled(arg1 != 0);
    apply();
}
