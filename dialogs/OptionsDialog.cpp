#include "dialogs/OptionsDialog.h"
#include "ui_OptionsDialog.h"

#include "dialogs/BossGuideDialog.h"
#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/WidgetUtilities.h"
#include "modules/DocumentsTableAbstract/SqlSavepoint.h"

#include <QDateTime>
#include <QMessageBox>

OptionsDialog::OptionsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::OptionsDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Настройки"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    fillBosses();
    loadOptions();
    restoreWidgetGeometry(this);
}

OptionsDialog::~OptionsDialog()
{
    saveWidgetGeometry(this);
    delete ui;
}

void OptionsDialog::fillBosses()
{
    fillComboBoxFromDb(QStringLiteral("Bosses"), QStringLiteral("bossFio"), ui->lineEditBoss_2, 0);
}

void OptionsDialog::loadOptions()
{
    ui->lineEditOrgName_1->setText(Database::getVariable(QStringLiteral("OrgName_1")));
    ui->lineEditCity->setText(Database::getVariable(QStringLiteral("City")));
    ui->lineEditDate->setText(Database::getVariable(QStringLiteral("Date")));
    ui->lineEditBoss_1->setText(Database::getVariable(QStringLiteral("Boss_1")));
    ui->lineEditBoss_2->setCurrentText(Database::getVariable(QStringLiteral("Boss_2")));
}

bool OptionsDialog::saveOptions()
{
    const QList<QPair<QString, QString>> values = {
        {QStringLiteral("OrgName_1"), ui->lineEditOrgName_1->text()},
        {QStringLiteral("City"), ui->lineEditCity->text()},
        {QStringLiteral("Date"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))},
        {QStringLiteral("Boss_1"), ui->lineEditBoss_1->text()},
        {QStringLiteral("Boss_2"), ui->lineEditBoss_2->currentText()},
    };
    // Half-saved requisites would print a new name beside an old head.
    SqlSavepoint savepoint(QStringLiteral("saveOptions"));
    bool stored = savepoint.isOpen();
    for (int i = 0; stored && i < values.size(); ++i)
        stored = Database::setVariable(values.at(i).first, values.at(i).second);
    if (stored)
        stored = savepoint.release();
    else
        savepoint.rollback();
    if (!stored) {
        VLOG << "requisites not stored";
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Не удалось сохранить реквизиты организации.\n"
                                            "Введённые данные не записаны в базу данных."));
    }
    return stored;
}

void OptionsDialog::on_pushButtonSave_clicked()
{
    // On failure the dialog stays open, so that nothing typed is lost.
    if (!saveOptions())
        return;
    emit updateOptions();
    deleteLater();
    hide();
}

void OptionsDialog::on_pushButtonCancel_clicked()
{
    deleteLater();
    hide();
}

void OptionsDialog::on_pushButtonBossGuide_clicked()
{
    auto* guide = new BossGuideDialog(this);
    connect(guide, &BossGuideDialog::bossesUpdated, this, [this] {
        // The refill keeps what stands in the combo, even a deleted name.
        const QString current = ui->lineEditBoss_2->currentText();
        ui->lineEditBoss_2->clear();
        fillBosses();
        ui->lineEditBoss_2->setCurrentText(current);
    });
    connect(guide, &BossGuideDialog::bossSelected, ui->lineEditBoss_2, &QComboBox::setCurrentText);
    guide->show();
}
