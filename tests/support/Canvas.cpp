#include "Canvas.h"

#include "report/AbstractField.h"
#include "report/ReportPage.h"

#include <QPainter>

Canvas::Canvas(int width, int height)
    : m_image(width, height, QImage::Format_ARGB32)
{
    m_image.fill(Qt::white);
}

Canvas Canvas::ofMm(double widthMm, double heightMm, double dotsPerMm)
{
    return Canvas(int(widthMm * dotsPerMm) + 1, int(heightMm * dotsPerMm) + 1);
}

Canvas& Canvas::draw(AbstractField* field, double dotsPerMm, double yOffset)
{
    QPainter painter(&m_image);
    if (field)
        field->draw(&painter, dotsPerMm, yOffset);
    return *this;
}

bool Canvas::isBlank() const
{
    QImage white(m_image.size(), m_image.format());
    white.fill(Qt::white);
    return m_image == white;
}

bool Canvas::isInk(int x, int y) const
{
    return m_image.rect().contains(x, y) && qGray(m_image.pixel(x, y)) < 160;
}

QRect Canvas::inkBox(const QRect& area) const
{
    const QRect r = area.isNull() ? m_image.rect() : area.intersected(m_image.rect());
    int left = r.right() + 1, top = -1, right = -1, bottom = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            if (qGray(line[x]) < 160) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

int Canvas::inkCount() const
{
    int count = 0;
    for (int y = 0; y < m_image.height(); ++y) {
        for (int x = 0; x < m_image.width(); ++x)
            count += isInk(x, y) ? 1 : 0;
    }
    return count;
}

int Canvas::inkLines() const
{
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < m_image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < m_image.width() && !ink; ++x)
            ink = isInk(x, y);
        lines += ink && !inLine ? 1 : 0;
        inLine = ink;
    }
    return lines;
}

bool Canvas::inkNear(double x, double y) const
{
    return !inkBox(QRect(int(x) - 1, int(y) - 1, 3, 3)).isNull();
}

double Canvas::inkShare(double x0, double x1, double y) const
{
    int ink = 0, total = 0;
    for (int x = int(x0); x <= int(x1); ++x, ++total)
        ink += isInk(x, int(y)) || isInk(x, int(y) + 1) || isInk(x, int(y) - 1) ? 1 : 0;
    return total ? double(ink) / total : 0.0;
}
