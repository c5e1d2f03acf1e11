#include "modules/about/AboutDialog.h"
#include "ui_AboutDialog.h"

#include "engine/ProductTypeInfo.h"
#include "engine/WidgetUtilities.h"

#include <QApplication>
#include <QFile>
#include <QTextCodec>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("О программе"));

    QFile history(QStringLiteral(":/whatsnew.txt"));
    if (history.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // The UTF-8 codec drops the byte-order mark the file starts with.
        ui->plainTextEdit->setPlainText(QTextCodec::codecForName("UTF-8")->toUnicode(history.readAll()));
    }
    ui->plainTextEdit->setReadOnly(true);

    ui->imgLabel->setPixmap(QPixmap(QStringLiteral(":/icons/banner3.png")));
    setLabelWrappedText(ProductTypeInfo::titleWithBuild(), ui->progNameLabel);
    setLabelWrappedText(ProductTypeInfo::description(), ui->progNameLabel_4);
    connect(ui->pushButtonAboutQt, &QPushButton::clicked, this, [] { QApplication::aboutQt(); });

    QFont makerFont = QApplication::font();
    makerFont.setPixelSize(10);
    ui->progNameLabel_3->setFont(makerFont);

    QTextCursor cursor = ui->plainTextEdit->textCursor();
    cursor.movePosition(QTextCursor::Start);
    ui->plainTextEdit->setTextCursor(cursor);
    ui->plainTextEdit->ensureCursorVisible();
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
