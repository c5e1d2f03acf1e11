#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// About the program: its picture, title with version and build, description,
// the maker's block, the version history (newest first) and Qt's about box.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog* ui;
};
