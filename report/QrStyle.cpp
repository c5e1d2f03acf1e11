#include "report/QrStyle.h"

#include <QPainter>

#include <qrcodegen.hpp>

namespace {
const double maxSide = 1.0e6;
}

QrStyle::QrStyle(int border, const QBrush& light, const QBrush& dark)
    : border(border)
    , left(0)
    , top(0)
    , light(light)
    , dark(dark)
{
}

void QrStyle::paint(const qrcodegen::QrCode& code, QPainter* painter, const QRectF& target)
{
    left = float(target.x());
    top = float(target.y());
    const float ratio = float(target.width()) / float(target.height());
    const double side = ratio > 1.0f ? target.height() : target.width();
    // Bounded before the conversion; nothing larger fits on any device.
    const int size = side > 0.0 ? int(qMin(side, maxSide)) : 0;
    paint(code, painter, size);
}

void QrStyle::paint(const qrcodegen::QrCode& code, QPainter* painter, int size)
{
    if (!painter)
        return;
    painter->save();
    const int n = code.getSize();
    const float s = float(size) / float(2 * border + n);

    const QRectF square(left, top, size, size);
    painter->setPen(Qt::NoPen);
    painter->setBrush(dark);
    painter->setClipRect(square, Qt::ReplaceClip);
    painter->fillRect(square, light);

    for (int y = -border; y < n + border; ++y) {
        for (int x = -border; x < n + border; ++x) {
            if (code.getModule(x, y)) {
                painter->drawRect(QRectF(left + float(x + border) * s, top + float(y + border) * s,
                                         s, s));
            }
        }
    }
    painter->restore();
}
