// The template designer's tool bar icons: zoom, the three kinds of field and
// removing a field.
#include "ImageRegistry.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QRadialGradient>

namespace {

using namespace IconPalette;

// A magnifying glass; the sign inside it is drawn by the caller.
void drawLens(QPainter& p)
{
    // Handle first, so the rim covers its end.
    p.setPen(QPen(kInk, 7.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(30, 30), QPointF(42, 42));
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x2e), 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(33, 33), QPointF(41, 41));

    QRadialGradient glass(QPointF(16, 15), 18);
    glass.setColorAt(0, kSheet);
    glass.setColorAt(1, kGlass);
    p.setPen(QPen(kInk, 3.0));
    p.setBrush(glass);
    p.drawEllipse(QPointF(20, 20), 14, 14);
}

void drawZoomIn(QPainter& p, const QSize&)
{
    drawLens(p);
    p.setPen(QPen(kBlue, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 20), QPointF(27, 20));
    p.drawLine(QPointF(20, 13), QPointF(20, 27));
}

void drawZoomOut(QPainter& p, const QSize&)
{
    drawLens(p);
    p.setPen(QPen(kBlue, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 20), QPointF(27, 20));
}

// A field's frame: a dashed rectangle with corner handles, as the designer
// shows a selected field.
void drawFieldFrame(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(kInk, 1.6, Qt::DashLine));
    p.setBrush(kSheet);
    p.drawRect(r);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kBlue);
    for (const QPointF& c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        p.drawRect(QRectF(c.x() - 2.5, c.y() - 2.5, 5, 5));
}

// A round badge in the lower right corner with a plus or a cross.
void drawBadge(QPainter& p, const QColor& colour, bool cross)
{
    p.setPen(QPen(colour.darker(130), 1.5));
    p.setBrush(colour);
    p.drawEllipse(QRectF(26, 26, 20, 20));
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    if (cross) {
        p.drawLine(QPointF(31.5, 31.5), QPointF(40.5, 40.5));
        p.drawLine(QPointF(40.5, 31.5), QPointF(31.5, 40.5));
    } else {
        p.drawLine(QPointF(36, 30), QPointF(36, 42));
        p.drawLine(QPointF(30, 36), QPointF(42, 36));
    }
}

void drawTextFieldAdd(QPainter& p, const QSize&)
{
    const QRectF frame(4, 8, 36, 24);
    drawFieldFrame(p, frame);
    // A serif "T" and two text lines.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRect(QRectF(9, 12, 12, 3));
    p.drawRect(QRectF(13.5, 12, 3, 15));
    p.drawRect(QRectF(11, 25, 8, 2));
    p.setPen(QPen(kLine, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(25, 16), QPointF(35, 16));
    p.drawLine(QPointF(25, 22), QPointF(32, 22));
    drawBadge(p, kGreen, false);
}

void drawTableFieldAdd(QPainter& p, const QSize&)
{
    const QRectF frame(4, 6, 36, 28);
    drawFieldFrame(p, frame);
    const QRectF grid(8, 10, 28, 20);
    QLinearGradient head(grid.topLeft(), QPointF(grid.left(), grid.top() + 6));
    head.setColorAt(0, kGlass);
    head.setColorAt(1, kSheetShade);
    p.setPen(Qt::NoPen);
    p.setBrush(head);
    p.drawRect(QRectF(grid.left(), grid.top(), grid.width(), 6));
    p.setPen(QPen(kInk, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(grid);
    for (const qreal y : {16.0, 23.0})
        p.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
    for (const qreal x : {17.0, 26.0})
        p.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
    drawBadge(p, kGreen, false);
}

void drawQrFieldAdd(QPainter& p, const QSize&)
{
    const QRectF frame(4, 4, 32, 32);
    drawFieldFrame(p, frame);
    // Three finder squares and a scatter of modules on a grid of 8 modules of 3 px.
    const qreal left = 9;
    const qreal top = 9;
    const qreal m = 3;
    auto finder = [&](int col, int row) {
        p.setPen(QPen(kInk, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(left + col * m + 0.9, top + row * m + 0.9, 3 * m - 1.8, 3 * m - 1.8));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(left + (col + 1) * m, top + (row + 1) * m, m, m));
    };
    finder(0, 0);
    finder(5, 0);
    finder(0, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const int modules[][2] = {{4, 0}, {4, 1}, {3, 2}, {3, 4}, {4, 3}, {5, 4}, {6, 3},
                              {4, 5}, {6, 6}, {5, 7}, {3, 6}, {7, 4}, {7, 7}};
    for (const auto& cell : modules)
        p.drawRect(QRectF(left + cell[0] * m, top + cell[1] * m, m, m));
    drawBadge(p, kGreen, false);
}

void drawFieldRemove(QPainter& p, const QSize&)
{
    drawFieldFrame(p, QRectF(4, 8, 36, 24));
    p.setPen(QPen(kLine, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 16), QPointF(32, 16));
    p.drawLine(QPointF(10, 23), QPointF(26, 23));
    drawBadge(p, kRed, true);
}

const ImageRegistration zoomInIcon(QStringLiteral("images/zoomIn.png"), QSize(48, 48), drawZoomIn);
const ImageRegistration zoomOutIcon(QStringLiteral("images/zoomOut.png"), QSize(48, 48), drawZoomOut);
const ImageRegistration textIcon(QStringLiteral("images/textFieldAdd.png"), QSize(48, 48), drawTextFieldAdd);
const ImageRegistration tableIcon(QStringLiteral("images/tableFieldAdd.png"), QSize(48, 48), drawTableFieldAdd);
const ImageRegistration qrIcon(QStringLiteral("images/qrFieldAdd.png"), QSize(48, 48), drawQrFieldAdd);
const ImageRegistration removeIcon(QStringLiteral("images/fieldRemove.png"), QSize(48, 48), drawFieldRemove);

} // namespace
