#pragma once

#include <QDialog>

namespace Ui {
class OptionsDialog;
}

// The organisation's requisites that every printed document carries: its
// name, head, city and the chairperson of the examination commission, kept
// as rows of Variables. Nothing is written until Save.
class OptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OptionsDialog(QWidget* parent = nullptr);
    ~OptionsDialog() override;

signals:
    void updateOptions();

public slots:
    void loadOptions();
    // All five requisites or none; false (and the user told) when they could
    // not be stored.
    bool saveOptions();

private slots:
    void on_pushButtonSave_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButtonBossGuide_clicked();

private:
    void fillBosses();

    Ui::OptionsDialog* ui = nullptr;
};
