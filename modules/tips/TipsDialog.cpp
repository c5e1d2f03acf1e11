#include "modules/tips/TipsDialog.h"
#include "ui_TipsDialog.h"

#include "engine/Database.h"
#include "engine/ProductTypeInfo.h"

#include <QFile>
#include <QSettings>
#include <cstdlib>

namespace {

QString showTipsKey()
{
    return ProductTypeInfo::applicationName() + QStringLiteral("/showTipsOnStartup");
}

} // namespace

TipsDialog::TipsDialog(QWidget* parent)
    : TipsDialog(parent, defaultTipsPath(), std::rand())
{
}

TipsDialog::TipsDialog(QWidget* parent, const QString& tipsPath, int startValue)
    : QDialog(parent)
    , ui(new Ui::TipsDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("Совет дня"));
    ui->textEdit->setReadOnly(true);
    ui->imgLabel->setPixmap(QPixmap(QStringLiteral(":/icons/tips_logo.png")));

    ui->checkBox->setChecked(Database::userSettings()->value(showTipsKey(), true).toBool());

    QTextCursor cursor = ui->textEdit->textCursor();
    cursor.movePosition(QTextCursor::Start);
    ui->textEdit->setTextCursor(cursor);
    ui->textEdit->ensureCursorVisible();

    loadTips(tipsPath, startValue);
    on_pushButtonNext_clicked();
}

TipsDialog::~TipsDialog()
{
    Database::userSettings()->setValue(showTipsKey(), ui->checkBox->isChecked());
    delete ui;
}

void TipsDialog::loadTips(const QString& path, int startValue)
{
    QFile file(path);
    QString text;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        text = QString::fromUtf8(file.readAll());
    if (!text.isEmpty())
        tips = text.split(QStringLiteral("**"), Qt::KeepEmptyParts);
    if (tips.isEmpty())
        tips.append(QStringLiteral("Ни одного совета не найдено =("));
    for (QString& tip : tips) {
        if (tip.startsWith(QLatin1Char('\n')))
            tip.remove(0, 1);
    }
    // Reduced at once, so that stepping on never overflows past the top of
    // the generator's range.
    index = int((unsigned(startValue)) % unsigned(tips.size()));
}

void TipsDialog::on_pushButtonNext_clicked()
{
    if (tips.isEmpty())
        return;
    index = (index + 1) % tips.size();
    ui->textEdit->setText(tips.at(index));
}

void TipsDialog::on_pushButtonClose_clicked()
{
    deleteLater();
}
