#pragma once

#include <QImage>
#include <QRect>

class AbstractField;

// A white image that report fields are drawn on, and where their ink landed
// (ink: pixels darker than a light grey).
class Canvas
{
public:
    Canvas(int width, int height);
    static Canvas ofMm(double widthMm, double heightMm, double dotsPerMm);

    const QImage& image() const { return m_image; }
    // Draws the field as a sheet starting at device y yOffset draws it.
    Canvas& draw(AbstractField* field, double dotsPerMm, double yOffset = 0.0);
    bool isBlank() const;
    bool isInk(int x, int y) const;
    // Bounding box of the ink inside area (the whole image when null); null
    // when there is none.
    QRect inkBox(const QRect& area = QRect()) const;
    int inkCount() const;
    // Runs of inked pixel rows: one per printed line of text.
    int inkLines() const;
    // Ink within a pixel of the point.
    bool inkNear(double x, double y) const;
    // Share of the pixels from x0 to x1 at y (give or take a pixel) that are ink.
    double inkShare(double x0, double x1, double y) const;

private:
    QImage m_image;
};
