#include "modules/PrintDialog/PrintDialog.h"
#include "ui_PrintDialog.h"

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ReportInfo.h"

#include <QCoreApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QListWidgetItem>
#include <QScrollBar>
#include <QSettings>
#include <QSignalBlocker>

namespace {
const char* const settingsGroup = "PrintDialog";
}

PrintDialog::PrintDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::PrintDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Печать"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    m_scene = new QGraphicsScene(this);
    readSettings();
    m_previewItem = m_scene->addPixmap(QPixmap());

    const QList<ReportInfo*> reports = ReportList::allReports();
    for (const ReportInfo* info : reports) {
        auto* item = new QListWidgetItem(info->title, ui->listWidget);
        item->setData(Qt::UserRole, info->type);
    }
    // The titles tell the blanks apart only by their ends, so the list is as
    // wide as its longest title.
    QListWidget* list = ui->listWidget;
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth()
                          + list->verticalScrollBar()->sizeHint().width());
    ui->listWidget->setCurrentRow(m_lastPrintedRow);
    ui->graphicsView->setScene(m_scene);
    on_checkBoxPreview_toggled(ui->checkBoxPreview->isChecked());
}

PrintDialog::~PrintDialog()
{
    writeSettings();
    delete ui;
}

void PrintDialog::readSettings()
{
    QSettings* settings = Database::userSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(settingsGroup));
    restoreGeometry(settings->value(QStringLiteral("geometry")).toByteArray());
    // The constructor applies the state once the list is filled.
    const QSignalBlocker blocker(ui->checkBoxPreview);
    ui->checkBoxPreview->setChecked(settings->value(QStringLiteral("previewEnabled"), false).toBool());
    settings->endGroup();
    settings->beginGroup(ProductTypeInfo::applicationName());
    m_lastPrintedRow = settings->value(QStringLiteral("lastPrintedReport"), 0).toInt();
    settings->endGroup();
}

void PrintDialog::writeSettings()
{
    QSettings* settings = Database::userSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(settingsGroup));
    settings->setValue(QStringLiteral("geometry"), saveGeometry());
    settings->setValue(QStringLiteral("previewEnabled"), ui->checkBoxPreview->isChecked());
    settings->endGroup();
    settings->beginGroup(ProductTypeInfo::applicationName());
    settings->setValue(QStringLiteral("lastPrintedReport"), m_lastPrintedRow);
    settings->endGroup();
    settings->sync();
}

void PrintDialog::setEditMode()
{
    setWindowTitle(QStringLiteral("Редактировать шаблон"));
    ui->pushButtonPrint->setText(QStringLiteral("Редактировать"));
    ui->groupBox_3->setTitle(QStringLiteral("Выберите шаблон, который нужно отредактировать:"));
    ui->checkBoxBackground->setChecked(false);
    ui->checkBoxBackground->hide();
}

void PrintDialog::on_pushButtonCancel_clicked()
{
    deleteLater();
}

void PrintDialog::on_pushButtonPrint_clicked()
{
    m_lastPrintedRow = ui->listWidget->currentRow();
    on_listWidget_itemDoubleClicked(ui->listWidget->currentItem());
}

void PrintDialog::on_listWidget_itemDoubleClicked(QListWidgetItem* item)
{
    if (!item)
        return;
    setEnabled(false);
    QCoreApplication::processEvents();
    const auto type = static_cast<ReportList::ReportType>(item->data(Qt::UserRole).toInt());
    emit reportTypeSelected(type, ui->checkBoxBackground->isChecked());
    deleteLater();
}

void PrintDialog::on_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem* /*previous*/)
{
    if (!current)
        return;
    const auto type = static_cast<ReportList::ReportType>(current->data(Qt::UserRole).toInt());
    const ReportInfo* info = ReportList::info(type);
    ui->plainTextEdit->setPlainText(info ? info->description : QString());
    if (ui->checkBoxPreview->isChecked())
        m_previewItem->setPixmap(Engine::pixmap(type));
}

void PrintDialog::on_pushButtonScalePlus_clicked()
{
    ui->graphicsView->scale(m_scaleFactor, m_scaleFactor);
    m_currentScale *= m_scaleFactor;
    if (m_currentScale > 2.0)
        ui->pushButtonScalePlus->setEnabled(false);
    ui->pushButtonScaleMinus->setEnabled(true);
}

void PrintDialog::on_pushButtonScaleMinus_clicked()
{
    ui->graphicsView->scale(1.0 / m_scaleFactor, 1.0 / m_scaleFactor);
    m_currentScale /= m_scaleFactor;
    if (m_currentScale < 0.4)
        ui->pushButtonScaleMinus->setEnabled(false);
    ui->pushButtonScalePlus->setEnabled(true);
}

void PrintDialog::on_checkBoxPreview_toggled(bool checked)
{
    ui->pushButtonScaleMinus->setVisible(checked);
    ui->pushButtonScalePlus->setVisible(checked);
    ui->graphicsView->setVisible(checked);
    if (!checked)
        return;
    on_listWidget_currentItemChanged(ui->listWidget->currentItem(), nullptr);
    QCoreApplication::processEvents();
    on_pushButtonScaleMinus_clicked();
    on_pushButtonScalePlus_clicked();
}
