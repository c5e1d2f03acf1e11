#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Reads back a PDF the program printed, with the poppler tools and by
// inflating its content streams.
class PdfFile
{
public:
    // pdftotext of the file (layout kept), or a null string when it failed.
    // Like a printed sheet, it shows only what lies on the page.
    static QString text(const QString& file);
    // The first page rasterised at dpi, or a null image.
    static QImage image(const QString& file, int dpi = 10);
    // The decompressed drawing commands of every page: what was drawn, off
    // the page or not.
    static QByteArray content(const QString& file);
    // Text objects ("BT" operators) in the content: one per text drawn.
    static int textObjects(const QString& file);
};
