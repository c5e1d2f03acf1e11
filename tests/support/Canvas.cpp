#include "Canvas.h"

#include "report/AbstractField.h"
#include "report/ReportPage.h"

#include <QPainter>

#include <climits>

Canvas::Canvas(int width, int height)
    : m_image(width, height, QImage::Format_ARGB32)
{
    clear();
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

void Canvas::clear()
{
    m_image.fill(Qt::white);
}

bool Canvas::isBlank() const
{
    for (int y = 0; y < m_image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < m_image.width(); ++x) {
            if (line[x] != qRgb(255, 255, 255))
                return false;
        }
    }
    return true;
}

bool Canvas::isInk(int x, int y) const
{
    return m_image.rect().contains(x, y) && qGray(m_image.pixel(x, y)) < 160;
}

QRect Canvas::inkBox(const QRect& area) const
{
    const QRect r = area.isNull() ? m_image.rect() : area.intersected(m_image.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            if (qGray(line[x]) < 160) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

int Canvas::inkCount() const
{
    int count = 0;
    for (int y = 0; y < m_image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < m_image.width(); ++x)
            count += qGray(line[x]) < 160 ? 1 : 0;
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
        if (ink && !inLine)
            ++lines;
        inLine = ink;
    }
    return lines;
}

bool Canvas::inkNear(double x, double y) const
{
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (isInk(int(x) + dx, int(y) + dy))
                return true;
        }
    }
    return false;
}

double Canvas::inkShare(double x0, double x1, double y) const
{
    int ink = 0;
    int total = 0;
    for (int x = int(x0); x <= int(x1); ++x) {
        ++total;
        if (isInk(x, int(y)) || isInk(x, int(y) + 1) || isInk(x, int(y) - 1))
            ++ink;
    }
    return total ? double(ink) / total : 0.0;
}

QRect Canvas::colourBox(QRgb colour) const
{
    QRect box;
    for (int y = 0; y < m_image.height(); ++y) {
        for (int x = 0; x < m_image.width(); ++x) {
            if (m_image.pixel(x, y) == colour)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}
