#include "report/TableField.h"

#include "report/ReportFile.h"
#include "report/ReportPage.h"
#include "report/TableAreaWalker.h"

#include <QAbstractItemModel>
#include <QDataStream>
#include <QFontMetrics>
#include <QJsonObject>
#include <QPainter>
#include <QPen>

namespace {
const double epsilon = 0.000001;
// Cell padding, mm.
const double cellPadding = 0.3;
// Height of the box in which a cell text is measured, device units.
const int measureHeight = 1800;
// Widest box a cell text is measured in, device units (bounded before the
// conversion to int).
const double maxMeasureWidth = 1.0e6;

// The grade word ("удовлетворительно", "Удовлетворительно",
// "неудовлетворительно") is too long for the narrow grade column of the
// blanks; a hyphen and a blank let it break after its ninth letter.
const QString gradeStem = QStringLiteral("довлетворительно");
const QString gradeStemHyphenated = QStringLiteral("довлетво- рительно");

template <typename T>
T valueAt(const QVector<T>& values, int index, const T& fallback = T())
{
    return index >= 0 && index < values.size() ? values.at(index) : fallback;
}
} // namespace

TableField::TableField(QObject* parent)
    : AbstractField(parent)
{
}

TableField::~TableField() = default;

void TableField::setModelName(const QString& name)
{
    m_modelName = name;
    rebind();
}

double TableField::columnWidthAt(int column) const
{
    return valueAt(m_columnsWidth, column, 0.0);
}

QVector<double> TableField::columnEdges(double left, double unitsPerMm) const
{
    QVector<double> edges(m_columnCount);
    for (int c = 0; c < edges.size(); ++c) {
        left += columnWidthAt(c) * unitsPerMm;
        edges[c] = left;
    }
    return edges;
}

QString TableField::headerNameAt(int column) const
{
    return valueAt(m_headerNames, column);
}

QString TableField::columnIdAt(int column) const
{
    return valueAt(m_columnIds, column);
}

quint8 TableField::columnAlignAt(int column) const
{
    return valueAt(m_columnsAlign, column, quint8(0));
}

double TableField::maxSplitHeightAt(int area) const
{
    return valueAt(m_maxSplitHeight, area, 0.0);
}

double TableField::splitXAt(int area) const
{
    return valueAt(m_splitX, area, 0.0);
}

double TableField::splitYAt(int area) const
{
    return valueAt(m_splitY, area, 0.0);
}

QAbstractItemModel* TableField::boundModel() const
{
    return m_boundModel.data();
}

bool TableField::rebind()
{
    // Columns of an earlier model must not leak into the new binding, and
    // the cells and heights laid out from it are stale.
    m_columnMap.clear();
    m_boundModel = nullptr;
    m_cells.clear();
    m_rowHeights.clear();
    m_bindingChanged = true;

    ReportPage* const reportPage = page();
    if (!reportPage)
        return false;
    QAbstractItemModel* const model = reportPage->itemModel(m_modelName);
    m_boundModel = model;
    if (!model)
        return false;
    const int columns = model->columnCount();
    for (int c = 0; c < columns; ++c)
        m_columnMap.insert(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), c);
    return true;
}

void TableField::bindWhenAvailable()
{
    // A table placed on the page after its model was bound (a new table in
    // the designer) has not seen addModel; it binds as soon as it can.
    ReportPage* const reportPage = page();
    if (!m_boundModel && reportPage && reportPage->itemModel(m_modelName))
        rebind();
}

int TableField::modelRowCount() const
{
    QAbstractItemModel* const model = m_boundModel.data();
    if (!model)
        return 0;
    while (model->canFetchMore(QModelIndex())) {
        const int before = model->rowCount();
        model->fetchMore(QModelIndex());
        if (model->rowCount() <= before)
            break;   // a model that promises more but gives nothing
    }
    return model->rowCount();
}

QString TableField::modelValue(const QString& columnName, int row) const
{
    QAbstractItemModel* const model = m_boundModel.data();
    if (!model)
        return QString();
    const auto it = m_columnMap.constFind(columnName);
    if (it == m_columnMap.constEnd())
        return QString();
    return model->data(model->index(row, it.value()), Qt::DisplayRole).toString();
}

QString TableField::cellText(const QString& columnTemplate, int row)
{
    if (!m_useData)
        return columnTemplate;
    // Only the template's own text gets the page's variables and line
    // breaks; model values are what users typed and go in after that, as
    // they are (a subject named "$V{Full_Name}" or with a backslash-n
    // prints as named). The scan continues after each value, so a token
    // inside one is never expanded either. The model name matches in any
    // case, as the page looks models up: the variable manager offers its
    // tokens lower-cased, while templates name models as typed.
    ReportPage* const reportPage = page();
    return ReportPage::replaceTokens(
        columnTemplate, QStringLiteral("$D{%1.").arg(m_modelName.trimmed()),
        [this, row](const QString& columnName) { return modelValue(columnName, row); }, nullptr,
        [reportPage](const QString& text) {
            return reportPage ? reportPage->substituteVariables(text) : text;
        },
        Qt::CaseInsensitive);
}

QByteArray TableField::layoutInputs(int rowCount) const
{
    QByteArray inputs;
    QDataStream stream(&inputs, QIODevice::WriteOnly);
    writeStream(stream);
    stream << m_splitsCount << m_maxSplitHeight << m_splitX << m_splitY << m_dotsPerMm
           << m_useData << rowCount << effectiveFont() << m_minAutoWidth;
    return inputs;
}

void TableField::buildCells()
{
    m_cellsRebuilt = true;
    const int rows = m_useData ? modelRowCount() : int(m_previewRowCount);
    const int columns = m_columnCount;
    m_cells = QVector<QVector<QString>>(rows, QVector<QString>(columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            m_cells[r][c] = boundedText(cellText(columnIdAt(c), r));
    }
}

void TableField::prepare()
{
    ReportPage* const reportPage = page();
    // Without a page there is no scale, font or model to lay out with.
    if (!reportPage)
        return;
    bindWhenAvailable();
    if (m_dotsPerMm < epsilon)
        m_dotsPerMm = reportPage->dotsPerMm();
    const double dpm = m_dotsPerMm;
    const int columns = m_columnCount;
    const int rowCount = m_useData ? modelRowCount() : int(m_previewRowCount);
    if (m_prepared && !m_bindingChanged && !m_cellsRebuilt && m_laidOutFrom == layoutInputs(rowCount))
        return;

    m_widths = QVector<double>(columns);
    for (int c = 0; c < columns; ++c)
        m_widths[c] = columnWidthAt(c);
    m_headerHeightUsed = m_headerIsVisible ? m_headerHeight : 0.0;

    const QFontMetrics metrics(scaledFont(dpm));
    auto raiseWidth = [this, &metrics, dpm](int column, const QString& text) {
        const double needed = metrics.horizontalAdvance(text) / dpm + 2.0;
        if (m_widths[column] < needed)
            m_widths[column] = needed;
    };

    if (m_autoWidth) {
        m_widths.fill(m_minAutoWidth);
        for (int c = 0; c < columns; ++c)
            raiseWidth(c, boundedText(headerNameAt(c)));
    }

    m_rowCount = rowCount;
    const bool cellsMatch = m_cells.size() == m_rowCount
                            && (m_cells.isEmpty() || m_cells.first().size() == columns);
    if (!cellsMatch)
        buildCells();
    if (m_autoWidth) {
        if (m_useData) {
            for (const QVector<QString>& row : qAsConst(m_cells)) {
                for (int c = 0; c < columns; ++c)
                    raiseWidth(c, row.at(c));
            }
        } else {
            for (int c = 0; c < columns; ++c)
                raiseWidth(c, boundedText(columnIdAt(c)));
        }
    }

    computeRowHeights(metrics);

    m_totalWidth = 0.0;
    for (double w : qAsConst(m_widths))
        m_totalWidth += w;
    m_totalHeight = m_headerHeightUsed;
    for (double h : qAsConst(m_rowHeights))
        m_totalHeight += h;

    m_width = m_totalWidth;
    m_height = m_splitsCount >= 1 ? maxSplitHeightAt(0) : m_totalHeight;

    // Worked out afresh each time, so a template that was mended stops
    // reporting overflow.
    m_overflow = false;
    TableAreaWalker walker(m_splitsCount, m_maxSplitHeight, m_splitX, m_splitY,
                           m_headerHeightUsed);
    for (int i = 0; i < m_rowCount; ++i) {
        if (walker.place(m_rowHeights.at(i)) == TableAreaWalker::Overflow) {
            m_overflow = true;
            break;
        }
    }

    m_bindingChanged = false;
    m_cellsRebuilt = false;
    m_laidOutFrom = layoutInputs(m_rowCount);
    if (!m_prepared) {
        m_prepared = true;
        emit fieldChanged();
    }
}

void TableField::computeRowHeights(const QFontMetrics& metrics)
{
    if (!m_prepared || m_rowHeights.size() != m_rowCount)
        m_rowHeights = QVector<double>(m_rowCount, m_rowHeight);
    if (!m_wordWrap || m_rowCount <= 0)
        return;

    const double dpm = m_dotsPerMm;
    const double p = cellPadding * dpm;
    const int columns = m_columnCount;
    const int flags = textFlags(0);
    for (int r = 0; r < m_rowCount; ++r) {
        QVector<QString>& row = m_cells[r];
        bool empty = true;
        for (const QString& text : qAsConst(row)) {
            if (!text.isEmpty()) {
                empty = false;
                break;
            }
        }
        if (columns == 0 || empty) {
            m_rowHeights[r] = m_rowHeight * 0.7;
            continue;
        }
        for (int c = 0; c < columns; ++c) {
            const double boxWidth = (m_widths.at(c) - 1.0) * dpm;
            const QRect box(0, 0, boxWidth > 0.0 ? int(qMin(boxWidth, maxMeasureWidth)) : 0,
                            measureHeight);
            QString& text = row[c];
            QRect bounds = metrics.boundingRect(box, flags, text);
            if (m_widths.at(c) * dpm < bounds.width() + p && text.contains(gradeStem)) {
                text.replace(gradeStem, gradeStemHyphenated);
                bounds = metrics.boundingRect(box, flags, text);
            }
            const double need = bounds.height() + p;
            if (m_rowHeights.at(r) * dpm + epsilon < need)
                m_rowHeights[r] = need / dpm;
        }
    }
}

void TableField::draw(QPainter* painter, double dotsPerMm, double yOffset)
{
    ReportPage* const reportPage = page();
    // A field not yet placed on a page has no scale, fonts or models.
    if (!painter || !reportPage)
        return;
    bindWhenAvailable();
    if (dotsPerMm < epsilon)
        dotsPerMm = reportPage->dotsPerMm();
    m_dotsPerMm = dotsPerMm;

    const bool dataMode = reportPage->dataMode();
    // A model that was deleted, or whose rows changed, is laid out anew.
    const bool rowsChanged = dataMode && m_useData && m_rowCount != modelRowCount();
    if (dataMode != m_useData || !m_prepared || m_bindingChanged || rowsChanged) {
        m_useData = dataMode;
        buildCells();
        prepare();
    }

    painter->save();
    painter->setFont(scaledFont(dotsPerMm));
    QPen pen(Qt::black);
    pen.setStyle(m_drawBorders ? Qt::SolidLine : Qt::DotLine);
    // A mitred frame looks the same as the default bevelled one, but the
    // PDF engine writes it as plain rectangles instead of filled outlines.
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);

    // Rows are still walked through every area, but only those reaching the
    // current sheet are drawn: the rest would be cut off on paper and would
    // only fill a PDF with text nobody sees.
    const QRectF visible = ReportPage::visibleArea(painter);
    m_visible = visible;
    const auto onSheet = [&visible](double top, double height) {
        return top + height > visible.top() && top < visible.bottom();
    };

    double X = m_x * dotsPerMm;
    double Y = m_y * dotsPerMm - yOffset;
    if (m_headerIsVisible && onSheet(Y, m_headerHeightUsed * dotsPerMm))
        drawHeader(painter, X, Y);
    Y += m_headerHeightUsed * dotsPerMm;

    TableAreaWalker walker(m_splitsCount, m_maxSplitHeight, m_splitX, m_splitY,
                           m_headerHeightUsed);
    const int rows = qMin(m_rowCount, m_rowHeights.size());
    for (int i = 0; i < rows; ++i) {
        const TableAreaWalker::Placement placement = walker.place(m_rowHeights.at(i));
        if (placement == TableAreaWalker::Overflow)
            break;
        if (placement == TableAreaWalker::NextArea) {
            X = walker.breakX() * dotsPerMm;
            Y = walker.breakY() * dotsPerMm - yOffset;
        }
        const double height = m_rowHeights.at(i) * dotsPerMm;
        if (onSheet(Y, height))
            drawRow(painter, i, X, Y);
        Y += height;
    }

    // Strike the empty rest of every bounded area from where the rows end;
    // the unbounded last area gets no Z.
    const int area = walker.area();
    if (m_zOnEmpty && area < m_maxSplitHeight.size() && maxSplitHeightAt(area) > epsilon) {
        painter->setPen(QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        // Areas without a height of their own get no Z: the walk ends with
        // the entries that exist, whatever splitsCount claims.
        const int areas = qMin(m_splitsCount, m_maxSplitHeight.size());
        for (int k = area; k < areas; ++k) {
            const double left = X + 2.0 * dotsPerMm;
            const double top = Y + 2.0 * dotsPerMm;
            const double right = X + (m_width - 2.0) * dotsPerMm;
            const double areaTop = k == 0 ? m_y : splitYAt(k - 1);
            const double bottom = (areaTop + maxSplitHeightAt(k) - 2.0) * dotsPerMm - yOffset;
            if (left < right && maxSplitHeightAt(k) > epsilon && top < bottom) {
                painter->drawLine(QPointF(left, top), QPointF(right, top));
                painter->drawLine(QPointF(right, top), QPointF(left, bottom));
                painter->drawLine(QPointF(left, bottom), QPointF(right, bottom));
            }
            X = splitXAt(k) * dotsPerMm;
            Y = splitYAt(k) * dotsPerMm - yOffset;
        }
    }

    painter->restore();
    m_visible = everywhere();
}

void TableField::drawHeader(QPainter* painter, double x, double y)
{
    const int columns = qMin(int(m_columnCount), m_widths.size());
    for (int c = 0; c < columns; ++c) {
        drawHeaderCell(painter, c, x, y);
        x += m_widths.at(c) * m_dotsPerMm;
    }
}

void TableField::drawHeaderCell(QPainter* painter, int column, double x, double y)
{
    drawCellFrameAndText(painter, x, y, valueAt(m_widths, column, 0.0) * m_dotsPerMm,
                         m_headerHeightUsed * m_dotsPerMm, column, boundedText(headerNameAt(column)));
}

void TableField::drawRow(QPainter* painter, int row, double x, double y)
{
    const int columns = qMin(int(m_columnCount), m_widths.size());
    for (int c = 0; c < columns; ++c) {
        drawCell(painter, row, c, x, y);
        x += m_widths.at(c) * m_dotsPerMm;
    }
}

void TableField::drawCell(QPainter* painter, int row, int column, double x, double y)
{
    const QString text =
        m_useData ? valueAt(valueAt(m_cells, row), column) : boundedText(columnIdAt(column));
    drawCellFrameAndText(painter, x, y, valueAt(m_widths, column, 0.0) * m_dotsPerMm,
                         valueAt(m_rowHeights, row, 0.0) * m_dotsPerMm, column, text);
}

void TableField::drawCellFrameAndText(QPainter* painter, double x, double y, double w, double h,
                                      int column, const QString& text)
{
    // Cells beside the sheet are cut off anyway; a wide table would spend
    // its time stroking them.
    if (x + w < m_visible.left() || x > m_visible.right())
        return;
    // On screen the cells always show (dotted when the borders are off), so
    // the table can be found in the designer; paper gets them only when asked.
    if (m_drawBorders || !isPrinterDevice(painter))
        painter->drawRect(QRectF(x, y, w, h));
    const double p = cellPadding * m_dotsPerMm;
    const int flags = textFlags(columnAlignAt(column)) & 0xFFFF;
    painter->drawText(QRectF(x + p, y + p, w - 2 * p, h - p), flags, text);
}

void TableField::writeStream(QDataStream& stream) const
{
    AbstractField::writeStream(stream);
    stream << m_headerIsVisible << m_autoWidth << m_columnCount << m_previewRowCount
           << m_headerHeight << m_rowHeight << m_columnsWidth << m_headerNames << m_columnIds
           << m_modelName << m_drawBorders;
}

void TableField::readStream(QDataStream& stream)
{
    AbstractField::readStream(stream);
    stream >> m_headerIsVisible >> m_autoWidth >> m_columnCount >> m_previewRowCount
        >> m_headerHeight >> m_rowHeight >> m_columnsWidth >> m_headerNames >> m_columnIds
        >> m_modelName >> m_drawBorders;
    m_headerHeight = saneLength(m_headerHeight);
    m_rowHeight = saneLength(m_rowHeight);
    for (double& width : m_columnsWidth)
        width = saneLength(width);
    if (m_columnsAlign.size() < m_columnCount)
        m_columnsAlign.resize(m_columnCount);
}

void TableField::readJson(const QJsonObject& object)
{
    ReportFile::readTableField(*this, object);
}

void TableField::writeJson(QJsonObject& object) const
{
    ReportFile::writeTableField(*this, object);
}
