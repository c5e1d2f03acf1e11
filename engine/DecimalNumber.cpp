#include "engine/DecimalNumber.h"

#include <QLocale>

#include <cmath>

double DecimalNumber::parse(const QString& text, bool* ok)
{
    QString plain = text.trimmed();
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool parsed = false;
    // The C locale takes no group separators: "1.2.3" and "" are refused, and
    // so are infinities and NaN.
    double value = QLocale::c().toDouble(plain, &parsed);
    if (!parsed || !std::isfinite(value)) {
        value = 0.0;
        parsed = false;
    }
    if (ok)
        *ok = parsed;
    return value;
}

QString DecimalNumber::withLocaleMark(QString text)
{
    const QChar mark = QLocale().decimalPoint();
    for (QChar& c : text)
        if (c == QLatin1Char(',') || c == QLatin1Char('.'))
            c = mark;
    return text;
}
