#include "TemplateLayouts.h"

#include "BlankDrawing.h"
#include "BlankGeometry.h"

#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QFont>

#include <iterator>

using namespace Blank;

namespace {

constexpr quint16 kLeft = Qt::AlignLeft;
constexpr quint16 kCentre = Qt::AlignHCenter;
constexpr quint16 kRight = Qt::AlignRight;
constexpr quint16 kLeftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
constexpr quint16 kCentreMiddle = Qt::AlignHCenter | Qt::AlignVCenter;

const char* const kFamily = "Times New Roman";

QFont font(double points, bool bold = false)
{
    QFont f(QString::fromLatin1(kFamily));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// Places the fields of one side of a blank; y is measured from the top of
// that side and shifted onto the page strip.
class SideBuilder
{
public:
    SideBuilder(ReportPage& page, int side) : m_page(page), m_top(side * kSideHeight) {}

    TextField* text(double x, double y, double w, double h, const QString& body, double points,
                    quint16 align, bool bold = false, bool wrap = false)
    {
        auto* field = new TextField;
        field->setX(x);
        field->setY(m_top + y);
        field->setWidth(w);
        field->setHeight(h);
        field->setText(body);
        field->setFont(font(points, bold));
        field->setAlignFlags(align);
        field->setWordWrap(wrap);
        m_page.addField(field);
        return field;
    }

    double top() const { return m_top; }

private:
    ReportPage& m_page;
    double m_top;
};

template <size_t N>
QVector<double> widths(const double (&columns)[N])
{
    return QVector<double>(std::begin(columns), std::end(columns));
}

void preparePage(ReportPage& page, int sides)
{
    page.setOrientation(1);
    page.setPageSize(0);
    page.setPagesCount(sides);
    page.setPrintBackgroundImage(false);
    page.setDefaultFont(font(12));
}

TableField* table(ReportPage& page, const QString& model, const QStringList& columns,
                  const QStringList& headers, const QVector<double>& widths, double x, double y)
{
    auto* field = new TableField;
    field->setX(x);
    field->setY(y);
    field->setFont(font(10));
    field->setAlignFlags(kLeftMiddle);
    field->setWordWrap(true);
    // The blank carries the column headings and rulings; the names stay in
    // the template for whoever prints on plain paper and switches them on.
    field->setHeaderIsVisible(false);
    field->setDrawBorders(false);
    field->setHeaderHeight(10.0);
    field->setRowHeight(4.8);
    field->setPreviewRowCount(3);
    field->setColumnCount(columns.size());
    QVector<QString> ids;
    QVector<QString> names;
    QVector<quint8> align;
    for (int c = 0; c < columns.size(); ++c) {
        ids.append(QStringLiteral("$D{%1.%2}").arg(model, columns.at(c)));
        names.append(headers.value(c));
        // The first column (names) follows the field; hours and grades are centred.
        align.append(c == 0 ? 0 : quint8(kCentreMiddle));
    }
    field->setColumnIds(ids);
    field->setHeaderNames(names);
    field->setColumnsAlign(align);
    field->setColumnsWidth(widths);
    field->setWidth(0);
    for (double w : widths)
        field->setWidth(field->width() + w);
    field->setModelName(model);
    page.addField(field);
    return field;
}

// Front of a supplement blank: the title half and the holder's data.
void supplementFront(ReportPage& page, int side)
{
    SideBuilder s(page, side);
    // Title half.
    s.text(kLeftX, 10, kHalfWidth, 9, QStringLiteral("$V{is_duplicate}"), 14, kCentre, true);
    s.text(kLeftX, 36, kHalfWidth, 30, QStringLiteral("$V{OrgName}"), 13, kCentreMiddle, false, true);
    s.text(kLeftX, 68, kHalfWidth, 8, QStringLiteral("$V{City}"), 13, kCentre);
    s.text(kLeftX, 96, kHalfWidth, 14, QStringLiteral("$V{text_for_addition}"), 12, kCentre, false, true);
    s.text(78, 150, 58.5, 8, QStringLiteral("$V{reg_Number}"), 13, kCentre);
    s.text(78, 162, 58.5, 8, QStringLiteral("$V{Issue_Out}"), 13, kCentre);
    s.text(86.5, 186, 50, 7, QStringLiteral("$V{Boss1_short}"), 12, kRight);

    // 1. The holder; 2. the qualification.
    s.text(190, 22, 95, 8, QStringLiteral("$V{Last_Name}"), 13, kLeft, true);
    s.text(190, 31, 95, 8, QStringLiteral("$V{First_Name}"), 13, kLeft, true);
    s.text(190, 40, 95, 8, QStringLiteral("$V{Middle_Name}"), 13, kLeft, true);
    s.text(190, 49, 95, 8, QStringLiteral("$V{birth}"), 13, kLeft);
    s.text(kRightX, 66, kHalfWidth, 14, QStringLiteral("$V{previous_Education}"), 12, kLeft, false, true);
    s.text(kRightX, 96, kHalfWidth, 8, QStringLiteral("$V{total_Count}"), 12, kCentre);
    s.text(kRightX, 118, kHalfWidth, 14, QStringLiteral("$V{qual}"), 13, kCentre, true, true);
    s.text(kRightX, 142, kHalfWidth, 14, QStringLiteral("$V{profession_Code} $V{profession_Name}"), 12,
           kCentre, false, true);
}

} // namespace

void layoutDiploma(ReportPage& page, bool excellent)
{
    preparePage(page, 1);
    page.setBackgroundImage(BlankDrawing::diploma(excellent));
    SideBuilder s(page, 0);
    // Title half: the organisation, the registration number and the date.
    s.text(kLeftX, 12, kHalfWidth, 9, QStringLiteral("$V{is_duplicate}"), 14, kCentre, true);
    s.text(kLeftX, 50, kHalfWidth, 30, QStringLiteral("$V{OrgName}"), 14, kCentreMiddle, false, true);
    s.text(kLeftX, 82, kHalfWidth, 8, QStringLiteral("$V{City}"), 14, kCentre);
    s.text(78, 158, 58.5, 8, QStringLiteral("$V{reg_Number}"), 14, kCentre);
    s.text(78, 170, 58.5, 8, QStringLiteral("$V{Issue_Out}"), 14, kCentre);

    // The holder, the programme, the commission's decision, the qualification.
    s.text(kRightX, 36, kHalfWidth, 11, QStringLiteral("$V{Last_Name}"), 20, kCentre, true);
    s.text(kRightX, 48, kHalfWidth, 11, QStringLiteral("$V{First_Name} $V{Middle_Name}"), 18, kCentre, true);
    s.text(kRightX, 78, kHalfWidth, 7, QStringLiteral("по $V{program_Type}"), 13, kCentre);
    s.text(kRightX, 86, kHalfWidth, 16, QStringLiteral("$V{profession_Code} $V{profession_Name}"), 14,
           kCentre, false, true);
    s.text(205, 120, 80, 8, QStringLiteral("$V{decision_Date}"), 13, kCentre);
    s.text(kRightX, 138, kHalfWidth, 16, QStringLiteral("$V{qual}"), 16, kCentre, true, true);
    s.text(235, 168, 50, 7, QStringLiteral("$V{Boss2_short}"), 12, kRight);
    s.text(235, 182, 50, 7, QStringLiteral("$V{Boss1_short}"), 12, kRight);
}

void layoutSupplement(ReportPage& page, int blanks)
{
    if (blanks < 1)
        blanks = 1;
    preparePage(page, 2 * blanks);
    // The designer and the printer show the first two sides: the front and
    // the back of the first blank.
    page.setBackgroundImage(BlankDrawing::supplementFront());
    page.setBackgroundImage2(BlankDrawing::supplementBack(blanks == 1));
    for (int blank = 0; blank < blanks; ++blank)
        supplementFront(page, 2 * blank);

    // The subjects run down the left half of each back, then down its right
    // half; the right half of the last back stops early to leave room for
    // the courseworks and the remarks.
    const int lastBack = 2 * blanks - 1;
    QVector<double> heights;
    QVector<double> nextX;
    QVector<double> nextY;
    for (int blank = 0; blank < blanks; ++blank) {
        const double backTop = (2 * blank + 1) * kSideHeight + kAreaTop;
        const bool last = blank == blanks - 1;
        // Left half, continued on the right half of the same back.
        heights.append(kAreaHeight);
        nextX.append(kRightX);
        nextY.append(backTop);
        // Right half, continued on the left half of the next blank's back.
        heights.append(last ? kLastAreaHeight : kAreaHeight);
        nextX.append(last ? 0.0 : kLeftX);
        nextY.append(last ? 0.0 : backTop + 2 * kSideHeight);
    }
    TableField* subjects = table(
        page, QStringLiteral("ViewSpoDetails"),
        {QStringLiteral("col1"), QStringLiteral("col2"), QStringLiteral("col3")},
        BlankDrawing::subjectHeadings(), widths(kSubjectWidths), kLeftX, kSideHeight + kAreaTop);
    subjects->setSplitsCount(heights.size());
    subjects->setMaxSplitHeight(heights);
    subjects->setSplitX(nextX);
    subjects->setSplitY(nextY);
    // The unused lines of the blank are struck out, so nothing can be added.
    subjects->setZOnEmpty(true);
    subjects->setHeight(kAreaHeight);

    SideBuilder back(page, lastBack);
    back.text(kRightX, kWorksTop, kHalfWidth, 6, QStringLiteral("Курсовые проекты (работы):"), 10, kLeft, true);
    TableField* works = table(page, QStringLiteral("ViewSpoCourseworks"),
                              {QStringLiteral("cwName"), QStringLiteral("cwRate")},
                              {QStringLiteral("Наименование курсового проекта (работы)"), QStringLiteral("Оценка")},
                              widths(kWorksWidths), kRightX, back.top() + kWorksTableTop);
    works->setSplitsCount(1);
    works->setMaxSplitHeight({kWorksHeight});
    works->setSplitX({0.0});
    works->setSplitY({0.0});
    works->setHeight(kWorksHeight);
    back.text(kRightX, kRemarksTop, kHalfWidth, kRemarksHeight, QStringLiteral("$V{comment}"), 10, kLeft, false, true);
}

QList<TemplateDefinition> templateDefinitions()
{
    return {
        {QStringLiteral("id120"), [](ReportPage& page) { layoutDiploma(page, false); }},
        {QStringLiteral("id121"), [](ReportPage& page) { layoutSupplement(page, 1); }},
        {QStringLiteral("id121double"), [](ReportPage& page) { layoutSupplement(page, 2); }},
        {QStringLiteral("id124"), [](ReportPage& page) { layoutDiploma(page, true); }},
    };
}
