#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QPointer>

class QSqlTableModel;

namespace Ui {
class BossGuideDialog;
}

// The guide of chairpersons of the examination commission (table Bosses):
// names are added, deleted, edited in place, and picked by a double click.
class BossGuideDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BossGuideDialog(QWidget* parent = nullptr);
    ~BossGuideDialog() override;

signals:
    void bossesUpdated();
    void bossSelected(QString bossFio);

public slots:
    void onCurrentChanged(QModelIndex current, QModelIndex previous);

private slots:
    void on_pushButtonClose_clicked();
    void on_pushButtonDelete_clicked();
    void on_pushButtonAdd_clicked();
    void on_tableView_doubleClicked(QModelIndex index);

private:
    void reload();
    // Tells the user why a change of the table was not stored.
    void reportFailure(const QString& text);

    Ui::BossGuideDialog* ui = nullptr;
    // The shared model of the table, owned by Database.
    QPointer<QSqlTableModel> model;
};
