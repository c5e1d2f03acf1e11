// The main window's tool bar icons: a sheet with a sign for each document action.
#include "ImageRegistry.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace {

using namespace IconPalette;

// A sheet with a folded corner and a few text lines, in a 48x48 box.
void drawSheet(QPainter& p, const QRectF& r)
{
    const qreal fold = r.width() * 0.28;
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0, kSheet);
    fill.setColorAt(1, kSheetShade);
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(sheet);

    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(kSheetShade);
    p.drawPath(corner);

    p.setPen(QPen(kLine, 1.6, Qt::SolidLine, Qt::RoundCap));
    const qreal left = r.left() + r.width() * 0.2;
    for (int i = 0; i < 4; ++i) {
        const qreal y = r.top() + r.height() * (0.38 + i * 0.15);
        const qreal right = r.right() - r.width() * (i == 3 ? 0.45 : 0.2);
        p.drawLine(QPointF(left, y), QPointF(right, y));
    }
}

// A round badge in the lower right corner.
void drawBadge(QPainter& p, const QColor& colour)
{
    p.setPen(QPen(colour.darker(130), 1.5));
    p.setBrush(colour);
    p.drawEllipse(QRectF(26, 26, 20, 20));
}

void drawAdd(QPainter& p, const QSize&)
{
    drawSheet(p, QRectF(7, 3, 28, 38));
    drawBadge(p, kGreen);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(36, 30), QPointF(36, 42));
    p.drawLine(QPointF(30, 36), QPointF(42, 36));
}

void drawEdit(QPainter& p, const QSize&)
{
    drawSheet(p, QRectF(5, 3, 28, 38));
    // A pencil lying across the sheet's corner.
    p.save();
    p.translate(33, 31);
    p.rotate(-45);
    const QRectF body(-15, -4, 24, 8);
    QLinearGradient wood(body.topLeft(), body.bottomLeft());
    wood.setColorAt(0, kOrange.lighter(120));
    wood.setColorAt(1, kOrange.darker(110));
    p.setPen(QPen(kInk, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(wood);
    p.drawRect(body);
    p.setBrush(QColor(0xf4, 0x9c, 0xa4));
    p.drawRect(QRectF(9, -4, 5, 8));
    QPainterPath tip;
    tip.moveTo(-15, -4);
    tip.lineTo(-22, 0);
    tip.lineTo(-15, 4);
    tip.closeSubpath();
    p.setBrush(QColor(0xf3, 0xdf, 0xb8));
    p.drawPath(tip);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(-21, 0), 1.2, 1.2);
    p.restore();
}

void drawCopy(QPainter& p, const QSize&)
{
    drawSheet(p, QRectF(4, 3, 25, 33));
    drawSheet(p, QRectF(17, 12, 25, 33));
    p.setPen(QPen(kBlue, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(23, 40), QPointF(36, 40));
}

void drawPrint(QPainter& p, const QSize&)
{
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Paper going in at the top.
    p.setBrush(kSheet);
    p.drawRect(QRectF(13, 4, 22, 14));
    // The body.
    const QRectF body(4, 16, 40, 18);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, QColor(0xd6, 0xdc, 0xe6));
    metal.setColorAt(1, QColor(0x8e, 0x99, 0xab));
    p.setBrush(metal);
    p.drawRoundedRect(body, 4, 4);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(37, 22), 2, 2);
    // The printed sheet coming out.
    p.setBrush(kSheet);
    p.drawRect(QRectF(11, 28, 26, 16));
    p.setPen(QPen(kLine, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 34), QPointF(33, 34));
    p.drawLine(QPointF(15, 39), QPointF(28, 39));
}

void drawRemove(QPainter& p, const QSize&)
{
    drawSheet(p, QRectF(7, 3, 28, 38));
    drawBadge(p, kRed);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(31.5, 31.5), QPointF(40.5, 40.5));
    p.drawLine(QPointF(40.5, 31.5), QPointF(31.5, 40.5));
}

const ImageRegistration addIcon(QStringLiteral("icons/icons/add.png"), QSize(48, 48), drawAdd);
const ImageRegistration editIcon(QStringLiteral("icons/icons/edit.png"), QSize(48, 48), drawEdit);
const ImageRegistration copyIcon(QStringLiteral("icons/icons/copy.png"), QSize(48, 48), drawCopy);
const ImageRegistration printIcon(QStringLiteral("icons/icons/print.png"), QSize(48, 48), drawPrint);
const ImageRegistration removeIcon(QStringLiteral("icons/icons/remove.png"), QSize(48, 48), drawRemove);

} // namespace
