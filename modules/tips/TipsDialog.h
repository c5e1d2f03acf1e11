#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class TipsDialog;
}

// Tip of the day: one tip at a time from the compiled-in list, the next one on
// request, and the switch that shows the dialog at start-up.
class TipsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TipsDialog(QWidget* parent = nullptr);
    // Tips from another file and a given start value in place of rand().
    TipsDialog(QWidget* parent, const QString& tipsPath, int startValue);
    ~TipsDialog() override;

    static QString defaultTipsPath() { return QStringLiteral(":/common_tips.txt"); }

private slots:
    void on_pushButtonNext_clicked();
    void on_pushButtonClose_clicked();

private:
    void loadTips(const QString& path, int startValue);

    Ui::TipsDialog* ui;
    QStringList tips;
    int index = 0;
};
