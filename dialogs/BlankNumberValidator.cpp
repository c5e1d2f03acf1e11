#include "dialogs/BlankNumberValidator.h"

#include <QLocale>

BlankNumberValidator::BlankNumberValidator(int bottom, int top, QObject* parent)
    : QIntValidator(bottom, top, parent)
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    setLocale(locale);
}

QValidator::State BlankNumberValidator::validate(QString& input, int& pos) const
{
    for (const QChar c : qAsConst(input)) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    }
    return QIntValidator::validate(input, pos);
}
