// The application icon and the splash banner.
#include "ImageRegistry.h"
#include "Palette.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace {

using namespace BrandPalette;

// A rolled diploma sheet with a wax seal and ribbon, drawn into a 128x128 box.
void drawDiploma(QPainter& p)
{
    const QPen outline(kInk, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    // Sheet.
    const QRectF sheet(22, 18, 84, 90);
    QLinearGradient paper(sheet.topLeft(), sheet.topRight());
    paper.setColorAt(0, kPaper);
    paper.setColorAt(1, kPaperShade.lighter(112));
    p.setPen(outline);
    p.setBrush(paper);
    p.drawRect(sheet);

    // Rolls at the top and the bottom.
    for (const qreal y : {12.0, 102.0}) {
        const QRectF roll(14, y, 100, 14);
        QLinearGradient shade(roll.topLeft(), roll.bottomLeft());
        shade.setColorAt(0, kPaper);
        shade.setColorAt(0.5, kPaperShade);
        shade.setColorAt(1, kPaperShade.darker(115));
        p.setBrush(shade);
        p.drawRoundedRect(roll, 7, 7);
        p.setBrush(kPaperShade.darker(120));
        p.drawEllipse(QRectF(roll.right() - 10, roll.top() + 2, 8, 10));
    }

    // Title bar and text lines.
    p.setPen(QPen(kNavy, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(42, 38), QPointF(86, 38));
    p.setPen(QPen(kInk.lighter(170), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const qreal y = 52 + i * 10;
        const qreal right = (i == 3) ? 62 : 94;
        p.drawLine(QPointF(34, y), QPointF(right, y));
    }

    // Ribbon tails, then the seal over them.
    const QPointF centre(88, 86);
    p.setPen(QPen(kSealDark, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kSeal);
    for (const int side : {-1, 1}) {
        QPainterPath tail;
        tail.moveTo(centre + QPointF(side * 4, 4));
        tail.lineTo(centre + QPointF(side * 13, 30));
        tail.lineTo(centre + QPointF(side * 7, 26));
        tail.lineTo(centre + QPointF(side * 4, 32));
        tail.lineTo(centre + QPointF(side * -2, 6));
        tail.closeSubpath();
        p.drawPath(tail);
    }
    QPainterPath seal;
    const int points = 16;
    for (int i = 0; i <= points * 2; ++i) {
        const qreal angle = M_PI * i / points;
        const qreal radius = (i % 2) ? 14.0 : 17.0;
        const QPointF pt = centre + QPointF(qCos(angle) * radius, qSin(angle) * radius);
        if (i == 0)
            seal.moveTo(pt);
        else
            seal.lineTo(pt);
    }
    QRadialGradient wax(centre - QPointF(5, 5), 20);
    wax.setColorAt(0, kSeal.lighter(140));
    wax.setColorAt(1, kSeal);
    p.setBrush(wax);
    p.drawPath(seal);
    p.setPen(QPen(kGold, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 9, 9);
}

void drawAppIcon(QPainter& p, const QSize& size)
{
    p.save();
    p.scale(size.width() / 128.0, size.height() / 128.0);
    drawDiploma(p);
    p.restore();
}

void drawBanner(QPainter& p, const QSize& size)
{
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal band = 54; // light strip at the bottom for the black loading message

    QLinearGradient sky(0, 0, 0, h - band);
    sky.setColorAt(0, kNavy.darker(115));
    sky.setColorAt(1, kNavy.lighter(150));
    p.fillRect(QRectF(0, 0, w, h - band), sky);
    p.fillRect(QRectF(0, h - band, w, band), QColor(0xf6, 0xf2, 0xe8));

    // Soft circles in the background, kept off the bottom strip.
    p.save();
    p.setClipRect(QRectF(0, 0, w, h - band));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 22));
    p.drawEllipse(QPointF(w - 40, 30), 90, 90);
    p.drawEllipse(QPointF(w - 150, h - band - 10), 50, 50);
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawEllipse(QPointF(60, h - band), 110, 110);
    p.restore();

    // Gold rule between the picture and the bottom strip.
    p.fillRect(QRectF(0, h - band - 4, w, 4), kGold);

    // The diploma on the left.
    p.save();
    p.translate(28, 24);
    p.scale(1.25, 1.25);
    drawDiploma(p);
    p.restore();

    // Title and subtitle on the right.
    const qreal left = 205;
    QFont title(QStringLiteral("DejaVu Serif"));
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    // Largest size that fits beside the picture.
    for (int px = 44; px > 12; --px) {
        title.setPixelSize(px);
        if (QFontMetricsF(title).horizontalAdvance(QString::fromUtf8("ВЕЛФОРМА")) <= w - left - 20)
            break;
    }
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRectF(left + 2, 38 + 2, w - left, 56), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("ВЕЛФОРМА"));
    p.setPen(Qt::white);
    p.drawText(QRectF(left, 38, w - left, 56), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("ВЕЛФОРМА"));

    p.fillRect(QRectF(left, 100, 250, 3), kGold);

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(16);
    p.setFont(subtitle);
    p.setPen(QColor(0xea, 0xf0, 0xfb));
    p.drawText(QRectF(left, 112, w - left - 16, 70), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               QString::fromUtf8("для документов о среднем\nпрофессиональном образовании"));
}

const ImageRegistration appIcon(QStringLiteral("icons/default.png"), QSize(128, 128), drawAppIcon);
const ImageRegistration banner(QStringLiteral("icons/banner2.png"), QSize(500, 250), drawBanner);

} // namespace
