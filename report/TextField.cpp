#include "report/TextField.h"

#include "report/MarkupCheck.h"
#include "report/ReportPage.h"

#include <QAbstractTextDocumentLayout>
#include <QDataStream>
#include <QJsonObject>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>

TextField::TextField(QObject* parent)
    : AbstractField(parent)
{
}

void TextField::prepare()
{
    m_prepared = true;
}

void TextField::draw(QPainter* painter, double dotsPerMm, double yOffset)
{
    ReportPage* const reportPage = page();
    // A field not yet placed on a page has no scale, fonts or variables.
    if (!painter || !reportPage)
        return;
    if (dotsPerMm < 0)
        dotsPerMm = reportPage->dotsPerMm();

    const double X = m_x * dotsPerMm;
    double Y = m_y * dotsPerMm - yOffset;
    const double W = m_width * dotsPerMm;
    double H = m_height * dotsPerMm;
    const QFont font = scaledFont(dotsPerMm);
    // Bounded before the conversion; beyond maxLineHeight Qt's layout of a
    // wrapped text no longer ends in reasonable time.
    const int L = int(qBound(0.0, saneLength(m_lineHeight), maxLineHeight) * dotsPerMm);
    // A line height moves the text by this much (upwards when negative).
    const double shift = L != 0 ? font.pixelSize() - L / 1.25 : 0.0;
    // Everything is drawn within the field's rectangle (from the shifted
    // top): a field wholly above or below the current sheet is skipped.
    const QRectF area = ReportPage::visibleArea(painter);
    if (Y + H <= area.top() || Y + qMin(0.0, shift) >= area.bottom())
        return;

    painter->save();
    painter->setRenderHint(QPainter::TextAntialiasing, true);

    // Values are what users typed: they go in as text, not as markup.
    QString text = boundedText(reportPage->dataMode()
                                   ? reportPage->substituteVariables(m_text, ReportPage::HtmlValues)
                                   : m_text);
    // Markup Qt cannot lay out quickly is shown as it is written.
    if (!MarkupCheck::isSafe(text))
        text = text.toHtmlEscaped();
    QTextDocument document;
    document.setDefaultFont(font);

    const int I = int(qMax(0.0, saneLength(m_indent)) * dotsPerMm);
    QString html;
    if (L == 0)
        html = QStringLiteral("<p style=\"text-indent: %1px;\">%2</p>").arg(I).arg(text);
    else
        html = QStringLiteral("<p style=\"line-height:%1px; text-indent: %2px;\">%3</p>")
                   .arg(L)
                   .arg(I)
                   .arg(text);
    if (m_wordWrap)
        html.replace(QLatin1Char('\n'), QLatin1String("<br>"));

    document.setHtml(html);
    document.setDocumentMargin(0);
    document.setTextWidth(W);
    QTextOption option = document.defaultTextOption();
    option.setAlignment(Qt::Alignment(m_alignFlags & 0xFF));
    option.setWrapMode(m_wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                  : QTextOption::NoWrap);
    document.setDefaultTextOption(option);

    Y += shift;
    H -= shift;
    painter->translate(X, Y);

    QRectF bounds;
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        bounds |= layout->blockBoundingRect(block);
    double T = bounds.height();
    if (font.pixelSize() < L)
        T = int(document.size().height());

    const Qt::Alignment alignment = option.alignment();
    int d = 0;
    if (alignment & Qt::AlignVCenter)
        d = int((H - T) * 0.5);
    else if (alignment & Qt::AlignBottom)
        d = int(H - T);
    double B = T;
    if (d > 0) {
        painter->translate(0, d);
        B = T + d;
    }

    document.drawContents(painter, QRectF(0, 0, W, H));
    painter->restore();

    if (m_zOnEmpty) {
        painter->save();
        painter->translate(X, Y);
        painter->setPen(QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        const double m = 2 * dotsPerMm;
        const double top = B + m;
        const double left = m;
        const double right = W - m;
        const double bottom = H - m;
        if (left < right && top < bottom) {
            painter->drawLine(QPointF(left, top), QPointF(right, top));
            painter->drawLine(QPointF(right, top), QPointF(left, bottom));
            painter->drawLine(QPointF(left, bottom), QPointF(right, bottom));
        }
        painter->restore();
    }
}

void TextField::writeStream(QDataStream& stream) const
{
    AbstractField::writeStream(stream);
    stream << m_text;
}

void TextField::readStream(QDataStream& stream)
{
    AbstractField::readStream(stream);
    stream >> m_text;
}

void TextField::readJson(const QJsonObject& object)
{
    AbstractField::readJson(object);
    m_text = object.value(QLatin1String("id")).toString();
    if (object.contains(QLatin1String("indent")))
        m_indent = saneLength(object.value(QLatin1String("indent")).toDouble());
    if (object.contains(QLatin1String("lineHeight")))
        m_lineHeight = saneLength(object.value(QLatin1String("lineHeight")).toDouble());
}

void TextField::writeJson(QJsonObject& object) const
{
    AbstractField::writeJson(object);
    object.insert(QLatin1String("id"), m_text);
    object.insert(QLatin1String("indent"), m_indent);
    object.insert(QLatin1String("lineHeight"), m_lineHeight);
}
