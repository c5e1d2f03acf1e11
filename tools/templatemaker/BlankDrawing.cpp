#include "BlankDrawing.h"

#include "BlankGeometry.h"

#include <QImage>
#include <QPainter>
#include <cstdio>
#include <iterator>

using namespace Blank;
using BlankDrawing::kDotsPerMm;

namespace {

constexpr int kCentre = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kRight = Qt::AlignRight | Qt::AlignVCenter;

constexpr double kLeftEnd = kLeftX + kHalfWidth;
constexpr double kRightEnd = kRightX + kHalfWidth;

// One side of a blank being drawn; everything is given in millimetres.
class Side
{
public:
    Side()
        : m_image(qRound(kSheetWidth * kDotsPerMm), qRound(kSideHeight * kDotsPerMm), QImage::Format_RGB32)
    {
        m_image.fill(Qt::white);
        // Point sizes then come out as on paper.
        m_image.setDotsPerMeterX(qRound(kDotsPerMm * 1000));
        m_image.setDotsPerMeterY(qRound(kDotsPerMm * 1000));
        m_painter.begin(&m_image);
        m_painter.setRenderHint(QPainter::Antialiasing);
    }

    // A caption centred (or aligned) in the box, wrapped at word ends.
    void text(double x, double y, double w, double h, const QString& body, double points,
              int align = kCentre, bool bold = false)
    {
        QFont font(QStringLiteral("Times New Roman"));
        font.setPointSizeF(points);
        font.setBold(bold);
        m_painter.setFont(font);
        m_painter.setPen(Qt::black);
        const QRectF box = mm(x, y, w, h);
        const int flags = align | Qt::TextWordWrap;
        if (!box.adjusted(-1, -1, 1, 1).contains(m_painter.boundingRect(box, flags, body)))
            std::fprintf(stderr, "caption does not fit its box: %s\n", qPrintable(body));
        m_painter.drawText(box, flags, body);
    }

    void line(double x1, double y1, double x2, double y2, double width = 0.2)
    {
        m_painter.setPen(QPen(Qt::black, width * kDotsPerMm));
        m_painter.drawLine(QPointF(x1, y1) * kDotsPerMm, QPointF(x2, y2) * kDotsPerMm);
    }

    // A line to write on, under a field that ends at y.
    void rule(double x1, double x2, double y) { line(x1, y + 0.3, x2, y + 0.3); }

    void frame(double x, double y, double w, double h, double width = 0.2)
    {
        m_painter.setPen(QPen(Qt::black, width * kDotsPerMm));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(mm(x, y, w, h));
    }

    // The frame of a table with its column rulings; the rows are not ruled,
    // their heights follow the text.
    template <size_t N>
    void table(double x, double top, double bottom, const double (&widths)[N])
    {
        double right = x;
        for (double w : widths)
            right += w;
        frame(x, top, right - x, bottom - top);
        double at = x;
        for (size_t c = 0; c + 1 < N; ++c) {
            at += widths[c];
            line(at, top, at, bottom);
        }
    }

    QPixmap finish()
    {
        m_painter.end();
        return QPixmap::fromImage(m_image);
    }

private:
    static QRectF mm(double x, double y, double w, double h)
    {
        return QRectF(x * kDotsPerMm, y * kDotsPerMm, w * kDotsPerMm, h * kDotsPerMm);
    }

    QImage m_image;
    QPainter m_painter;
};

// A double frame round either half, clear of the fold.
void halfFrames(Side& side)
{
    for (double x : {4.0, kSheetWidth / 2 + 4}) {
        side.frame(x, 4, kSheetWidth / 2 - 8, kSideHeight - 8, 0.6);
        side.frame(x + 1.5, 5.5, kSheetWidth / 2 - 11, kSideHeight - 11);
    }
}

// The headings of the subjects table on one half, above its area.
void subjectsHeading(Side& side, double x)
{
    const QStringList names = BlankDrawing::subjectHeadings();
    double at = x;
    for (size_t c = 0; c < std::size(kSubjectWidths); ++c) {
        side.text(at + 0.5, 4, kSubjectWidths[c] - 1, kAreaTop - 4, names.value(int(c)), 6);
        at += kSubjectWidths[c];
    }
    side.line(x, kAreaTop, at, kAreaTop);
}

} // namespace

QStringList BlankDrawing::subjectHeadings()
{
    return {QStringLiteral("Наименование учебных предметов, курсов, дисциплин (модулей), практик"),
            QStringLiteral("Общее количество часов"), QStringLiteral("Оценка")};
}

QPixmap BlankDrawing::diploma(bool excellent)
{
    Side side;
    halfFrames(side);

    // Title half.
    side.text(kLeftX, 25, kHalfWidth, 8, QStringLiteral("РОССИЙСКАЯ ФЕДЕРАЦИЯ"), 12, kCentre, true);
    side.rule(kLeftX, kLeftEnd, 80);
    side.rule(kLeftX, kLeftEnd, 90);
    side.text(kLeftX, 100, kHalfWidth, 12, QStringLiteral("ДИПЛОМ"), 26, kCentre, true);
    side.text(kLeftX, 113, kHalfWidth, 6, QStringLiteral("о среднем профессиональном образовании"), 12);
    if (excellent)
        side.text(kLeftX, 120, kHalfWidth, 8, QStringLiteral("с отличием"), 16, kCentre, true);
    side.text(kLeftX, 158, 64, 8, QStringLiteral("Регистрационный номер"), 11, kLeft);
    side.rule(78, kLeftEnd, 166);
    side.text(kLeftX, 170, 64, 8, QStringLiteral("Дата выдачи"), 11, kLeft);
    side.rule(78, kLeftEnd, 178);

    // The holder, the programme, the commission's decision, the qualification.
    side.text(kRightX, 24, kHalfWidth, 8, QStringLiteral("Настоящий диплом свидетельствует о том, что"), 12);
    side.rule(kRightX, kRightEnd, 47);
    side.rule(kRightX, kRightEnd, 59);
    side.text(kRightX, 62, kHalfWidth, 14,
              QStringLiteral("освоил(а) образовательную программу\nсреднего профессионального образования"), 12);
    side.rule(kRightX, kRightEnd, 102);
    side.text(kRightX, 103.5, kHalfWidth, 7,
              QStringLiteral("и успешно прошёл(а) государственную итоговую аттестацию"), 11);
    side.text(kRightX, 111, kHalfWidth, 7, QStringLiteral("Решение государственной экзаменационной комиссии"), 11);
    side.text(kRightX, 120, 43, 8, QStringLiteral("от"), 11, kRight);
    side.rule(205, kRightEnd, 128);
    side.text(kRightX, 130, kHalfWidth, 7, QStringLiteral("присвоена квалификация"), 11);
    side.rule(kRightX, kRightEnd, 154);
    side.text(kRightX, 164, 46, 12, QStringLiteral("Председатель государственной экзаменационной комиссии"),
              9, kLeft);
    side.rule(208, kRightEnd, 175);
    side.text(kRightX, 180, 46, 10, QStringLiteral("Руководитель образовательной организации"), 9, kLeft);
    side.rule(208, kRightEnd, 189);
    side.text(kRightX + 4, 192, 16, 6, QStringLiteral("М.П."), 10, kLeft);
    return side.finish();
}

QPixmap BlankDrawing::supplementFront()
{
    Side side;
    halfFrames(side);

    // Title half.
    side.text(kLeftX, 23, kHalfWidth, 8, QStringLiteral("РОССИЙСКАЯ ФЕДЕРАЦИЯ"), 12, kCentre, true);
    side.rule(kLeftX, kLeftEnd, 66.5);
    side.rule(kLeftX, kLeftEnd, 76);
    side.text(kLeftX, 79, kHalfWidth, 10, QStringLiteral("ПРИЛОЖЕНИЕ"), 20, kCentre, true);
    side.text(kLeftX, 89, kHalfWidth, 6.5, QStringLiteral("к диплому"), 12);
    side.text(kLeftX, 150, 64, 8, QStringLiteral("Регистрационный номер"), 11, kLeft);
    side.rule(78, kLeftEnd, 158);
    side.text(kLeftX, 162, 64, 8, QStringLiteral("Дата выдачи"), 11, kLeft);
    side.rule(78, kLeftEnd, 170);
    side.text(kLeftX, 183, 50, 11, QStringLiteral("Руководитель образовательной организации"), 9, kLeft);
    side.rule(64, kLeftEnd, 193);
    side.text(kLeftX + 4, 195, 16, 6, QStringLiteral("М.П."), 10, kLeft);

    // 1. The holder; 2. the qualification.
    side.text(kRightX, 12, kHalfWidth, 8, QStringLiteral("1. Сведения о личности обладателя диплома"), 11, kLeft,
              true);
    const char* const person[] = {"Фамилия", "Имя", "Отчество", "Дата рождения"};
    for (int row = 0; row < 4; ++row) {
        const double y = 22 + 9 * row;
        side.text(kRightX, y, 29, 8, QString::fromUtf8(person[row]), 10, kLeft);
        side.rule(190, kRightEnd, y + 8);
    }
    side.text(kRightX, 59, kHalfWidth, 6.5, QStringLiteral("Предшествующий документ об образовании"), 10, kLeft);
    side.rule(kRightX, kRightEnd, 80);
    side.text(kRightX, 82, kHalfWidth, 7, QStringLiteral("2. Сведения о квалификации"), 11, kLeft, true);
    side.text(kRightX, 89, kHalfWidth, 6.5, QStringLiteral("Нормативный срок освоения образовательной программы"),
              10, kLeft);
    side.rule(kRightX, kRightEnd, 104);
    side.text(kRightX, 110, kHalfWidth, 7, QStringLiteral("Квалификация"), 10, kLeft);
    side.rule(kRightX, kRightEnd, 132);
    side.text(kRightX, 134, kHalfWidth, 7, QStringLiteral("Специальность (профессия)"), 10, kLeft);
    side.rule(kRightX, kRightEnd, 156);
    side.text(kRightX, 166, kHalfWidth, 12,
              QStringLiteral("3. Сведения о содержании и результатах освоения образовательной программы "
                             "среднего профессионального образования: на обороте"),
              10, kLeft, true);
    return side.finish();
}

QPixmap BlankDrawing::supplementBack(bool last)
{
    Side side;
    for (double x : {kLeftX, kRightX})
        subjectsHeading(side, x);
    side.table(kLeftX, 4, kAreaTop + kAreaHeight, kSubjectWidths);
    side.table(kRightX, 4, kAreaTop + (last ? kLastAreaHeight : kAreaHeight), kSubjectWidths);
    if (last) {
        side.table(kRightX, kWorksTableTop, kWorksTableTop + kWorksHeight, kWorksWidths);
        side.text(kRightX, kRemarksTop - 7, kHalfWidth, 6, QStringLiteral("Дополнительные сведения:"), 10, kLeft,
                  true);
    }
    return side.finish();
}
