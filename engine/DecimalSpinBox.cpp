#include "engine/DecimalSpinBox.h"

#include "engine/DecimalNumber.h"

DecimalSpinBox::DecimalSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
}

QValidator::State DecimalSpinBox::validate(QString& input, int& pos) const
{
    // The other mark becomes the locale's in place, so the field shows what
    // will be stored; the base class then judges range and decimals.
    input = DecimalNumber::withLocaleMark(input);
    return QDoubleSpinBox::validate(input, pos);
}

double DecimalSpinBox::valueFromText(const QString& text) const
{
    QString number = text;
    if (!prefix().isEmpty() && number.startsWith(prefix()))
        number.remove(0, prefix().size());
    if (!suffix().isEmpty() && number.endsWith(suffix()))
        number.chop(suffix().size());
    bool ok = false;
    const double value = DecimalNumber::parse(number, &ok);
    return ok ? value : QDoubleSpinBox::valueFromText(text);
}
