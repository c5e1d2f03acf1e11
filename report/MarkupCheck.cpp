#include "report/MarkupCheck.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Elements without content, and those whose end Qt's parser supplies itself:
// neither deepens the nesting in a way that can be counted from the text.
bool isCounted(const QString& name)
{
    static const QStringList uncounted = {
        QStringLiteral("br"),  QStringLiteral("hr"),   QStringLiteral("meta"),
        QStringLiteral("link"), QStringLiteral("col"), QStringLiteral("wbr"),
        QStringLiteral("p"),   QStringLiteral("li"),   QStringLiteral("td"),
        QStringLiteral("th"),  QStringLiteral("tr"),   QStringLiteral("dt"),
        QStringLiteral("dd"),  QStringLiteral("option"), QStringLiteral("!doctype"),
    };
    return !uncounted.contains(name);
}

bool hasHugeNumber(const QStringRef& tag)
{
    // Colours (#999999) and entity codes are not sizes.
    static const QRegularExpression number(
        QStringLiteral("(?<![#\\w.])(\\d+(?:\\.\\d*)?(?:[eE][+-]?\\d+)?)\\s*(%?)"));
    QRegularExpressionMatchIterator it = number.globalMatch(tag.toString());
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const double limit = match.capturedRef(2).isEmpty() ? MarkupCheck::maxNumber
                                                            : MarkupCheck::maxPercent;
        if (match.capturedRef(1).toDouble() > limit)
            return true;
    }
    return false;
}

} // namespace

bool MarkupCheck::isSafe(const QString& html)
{
    int depth = 0;
    int tables = 0;
    int pos = 0;
    for (;;) {
        const int open = html.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            return true;
        const int close = html.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            return true;   // the rest is text to the parser
        const QStringRef tag = html.midRef(open + 1, close - open - 1);
        pos = close + 1;
        const bool closing = tag.startsWith(QLatin1Char('/'));
        const int nameStart = closing ? 1 : 0;
        int nameEnd = nameStart;
        while (nameEnd < tag.size()
               && (tag.at(nameEnd).isLetterOrNumber() || tag.at(nameEnd) == QLatin1Char('!')))
            ++nameEnd;
        const QString name = tag.mid(nameStart, nameEnd - nameStart).toString().toLower();
        if (name.isEmpty())
            continue;
        // Images are files of any size, read from wherever the tag points.
        if (name == QLatin1String("img"))
            return false;
        if (!closing && hasHugeNumber(tag))
            return false;
        // A style sheet sets sizes as well.
        if (!closing && name == QLatin1String("style")) {
            int end = html.indexOf(QLatin1String("</style"), pos, Qt::CaseInsensitive);
            if (end < 0)
                end = html.size();
            if (hasHugeNumber(html.midRef(pos, end - pos)))
                return false;
            pos = end;
            continue;
        }
        const bool selfClosed = tag.endsWith(QLatin1Char('/'));
        if (name == QLatin1String("table")) {
            tables = qMax(0, tables + (closing ? -1 : 1));
            if (tables > maxTableDepth)
                return false;
        }
        if (!isCounted(name) || selfClosed)
            continue;
        depth = qMax(0, depth + (closing ? -1 : 1));
        if (depth > maxDepth)
            return false;
    }
}
