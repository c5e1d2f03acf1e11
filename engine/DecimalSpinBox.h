#pragma once

#include <QDoubleSpinBox>

// A QDoubleSpinBox that takes a comma and a point alike as the decimal mark
// and shows the locale's. The plain one drops a point typed under the
// Russian locale ("1.5" becomes 15) and reads a comma typed under the C
// locale as a group separator.
class DecimalSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit DecimalSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    double valueFromText(const QString& text) const override;
};
