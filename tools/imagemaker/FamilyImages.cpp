// Pictures of the family modules: the tips logo, the About banner and the
// animated default banner of the banner strip.
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

// Largest pixel size (from start down) at which text fits the width.
QFont fittedFont(const QString& family, const QString& text, qreal width, int start, bool bold)
{
    QFont font(family);
    font.setBold(bold);
    for (int px = start; px > 8; --px) {
        font.setPixelSize(px);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width)
            break;
    }
    return font;
}

// A glowing light bulb over an open book.
void drawTipsLogo(QPainter& p, const QSize& size)
{
    const qreal w = size.width();
    const qreal h = size.height();
    QLinearGradient back(0, 0, 0, h);
    back.setColorAt(0, kNavy.lighter(160));
    back.setColorAt(1, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0, 0, w, h), 14, 14);

    const QPointF bulb(w / 2, 105);
    QRadialGradient glow(bulb, 95);
    glow.setColorAt(0, QColor(255, 240, 170, 170));
    glow.setColorAt(1, QColor(255, 240, 170, 0));
    p.setBrush(glow);
    p.drawEllipse(bulb, 95, 95);

    QRadialGradient glass(bulb - QPointF(14, 16), 60);
    glass.setColorAt(0, QColor(0xff, 0xfb, 0xe2));
    glass.setColorAt(1, kGold);
    p.setPen(QPen(kInk, 3));
    p.setBrush(glass);
    p.drawEllipse(bulb, 46, 50);
    p.setBrush(QColor(0xb8, 0xbf, 0xc9));
    p.drawRoundedRect(QRectF(bulb.x() - 20, bulb.y() + 46, 40, 30), 5, 5);
    p.setPen(QPen(kInk.lighter(150), 3));
    for (int i = 1; i < 3; ++i)
        p.drawLine(QPointF(bulb.x() - 18, bulb.y() + 46 + i * 10), QPointF(bulb.x() + 18, bulb.y() + 46 + i * 10));

    // Rays.
    p.setPen(QPen(QColor(0xff, 0xf1, 0xb0), 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = -3; i <= 3; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 8;
        p.drawLine(bulb + QPointF(qCos(angle) * 62, qSin(angle) * 62), bulb + QPointF(qCos(angle) * 80, qSin(angle) * 80));
    }

    // The book.
    const qreal top = 215;
    p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kPaper);
    for (const int side : {-1, 1}) {
        QPainterPath page;
        page.moveTo(w / 2, top + 12);
        page.cubicTo(w / 2 + side * 30, top, w / 2 + side * 60, top, w / 2 + side * 80, top + 8);
        page.lineTo(w / 2 + side * 80, top + 70);
        page.cubicTo(w / 2 + side * 60, top + 62, w / 2 + side * 30, top + 62, w / 2, top + 74);
        page.closeSubpath();
        p.drawPath(page);
        p.save();
        p.setPen(QPen(kInk.lighter(170), 2));
        for (int line = 0; line < 4; ++line) {
            const qreal y = top + 22 + line * 11;
            p.drawLine(QPointF(w / 2 + side * 12, y), QPointF(w / 2 + side * 68, y - 2));
        }
        p.restore();
    }
}

// The About box's strip: the product's name on a navy band with a gold rule.
void drawAboutBanner(QPainter& p, const QSize& size)
{
    const qreal w = size.width();
    const qreal h = size.height();
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, kNavy.darker(120));
    band.setColorAt(1, kNavy.lighter(150));
    p.fillRect(QRectF(0, 0, w, h), band);
    p.fillRect(QRectF(0, h - 6, w, 6), kGold);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 20));
    p.drawEllipse(QPointF(w - 60, 10), 80, 80);

    const QString title = QString::fromUtf8("ВЕЛФОРМА");
    const QFont titleFont = fittedFont(QStringLiteral("DejaVu Serif"), title, w * 0.45, 44, true);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    p.drawText(QRectF(20, 0, w * 0.5, h - 6), Qt::AlignLeft | Qt::AlignVCenter, title);

    const QString subtitle = QString::fromUtf8("документы о среднем\nпрофессиональном образовании");
    p.setFont(fittedFont(QStringLiteral("DejaVu Sans"), subtitle.section('\n', 1), w * 0.44, 16, false));
    p.setPen(QColor(0xea, 0xf0, 0xfb));
    p.drawText(QRectF(w * 0.52, 0, w * 0.46, h - 6), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
}

// The default banner: the product's name with a gold shine sweeping across.
void drawAnimatedBanner(QPainter& p, const QSize& size, int frame)
{
    const qreal w = size.width();
    const qreal h = size.height();
    QLinearGradient band(0, 0, 0, h);
    band.setColorAt(0, kNavy.lighter(140));
    band.setColorAt(1, kNavy.darker(110));
    p.fillRect(QRectF(0, 0, w, h), band);

    const qreal x = -80 + frame * (w + 160) / 12.0;
    QLinearGradient shine(x - 60, 0, x + 60, 0);
    shine.setColorAt(0, QColor(255, 255, 255, 0));
    shine.setColorAt(0.5, QColor(255, 230, 150, 110));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, w, h), shine);

    const QString title = QString::fromUtf8("ВЕЛФОРМА");
    p.setFont(fittedFont(QStringLiteral("DejaVu Serif"), title, w - 40, 40, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 8, w, h * 0.6), Qt::AlignCenter, title);
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(kGold);
    p.drawText(QRectF(0, h * 0.6, w, h * 0.35), Qt::AlignCenter, QString::fromUtf8("бланки документов об образовании"));
}

const ImageRegistration tipsLogo(QStringLiteral("icons/tips_logo.png"), QSize(200, 310), drawTipsLogo);
const ImageRegistration aboutBanner(QStringLiteral("icons/banner3.png"), QSize(541, 91), drawAboutBanner);
const AnimationRegistration animatedBanner(QStringLiteral("icons/animated_banner.gif"), QSize(300, 100), 12, 120,
                                           drawAnimatedBanner);

} // namespace
