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
    if (!parsed || !std::isfinite(value))
        value = 0.0, parsed = false;
    if (ok)
        *ok = parsed;
    return value;
}

QString DecimalNumber::text(double value, int decimals)
{
    QString shown = QLocale::c().toString(value, 'f', decimals);
    if (shown.contains(QLatin1Char('.'))) {
        while (shown.endsWith(QLatin1Char('0')))
            shown.chop(1);
        if (shown.endsWith(QLatin1Char('.')))
            shown.chop(1);
    }
    if (shown == QLatin1String("-0"))
        shown = QStringLiteral("0");
    return withLocaleMark(shown);
}

QString DecimalNumber::withLocaleMark(QString text)
{
    const QChar mark = QLocale().decimalPoint();
    for (QChar& c : text)
        if (c == QLatin1Char(',') || c == QLatin1Char('.'))
            c = mark;
    return text;
}
