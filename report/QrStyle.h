#pragma once

#include <QBrush>
#include <QRectF>

namespace qrcodegen {
class QrCode;
}
class QPainter;

// How a QR symbol is painted: a square filled with the light brush (quiet
// zone included) and the dark modules on top.
class QrStyle
{
public:
    QrStyle(int border = 4, const QBrush& light = QBrush(Qt::white),
            const QBrush& dark = QBrush(Qt::black));

    // Paints a square symbol at the target's top-left corner, its side the
    // shorter side of the target.
    void paint(const qrcodegen::QrCode& code, QPainter* painter, const QRectF& target);
    // Paints a symbol of side size at (left, top).
    void paint(const qrcodegen::QrCode& code, QPainter* painter, int size);

    int border;   // quiet zone, modules
    float left;   // device units, set by painting into a rectangle
    float top;
    QBrush light;
    QBrush dark;
};
