#pragma once

#include "report/AbstractField.h"

#include <QMap>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVector>

class QAbstractItemModel;
class QFontMetrics;

// A ruled table whose rows come from a table model bound to the page by name.
// Each column shows a text built from a "$D{model.column}" token. Rows grow
// when their text wraps; a table that does not fit in its rectangle continues
// in further areas ("splits") elsewhere on the page strip, and reports
// overflow when its rows cannot be placed at all. Outside data mode it shows
// previewRowCount rows with the raw tokens.
//
// Column arrays (columnsWidth, headerNames, columnIds, columnsAlign) hold one
// entry per column, split arrays (maxSplitHeight, splitX, splitY) one per
// area; entries missing from shorter arrays count as 0 or empty text.
class TableField : public AbstractField
{
    Q_OBJECT

public:
    explicit TableField(QObject* parent = nullptr);
    ~TableField() override;

    int type() const override { return TableFieldType; }
    void prepare() override;
    void draw(QPainter* painter, double dotsPerMm, double yOffset) override;
    void writeStream(QDataStream& stream) const override;
    void readStream(QDataStream& stream) override;
    void readJson(const QJsonObject& object) override;
    void writeJson(QJsonObject& object) const override;

    // --- Template (stored in the file) ---
    bool headerIsVisible() const { return m_headerIsVisible; }
    void setHeaderIsVisible(bool visible) { m_headerIsVisible = visible; }
    bool autoWidth() const { return m_autoWidth; }
    void setAutoWidth(bool on) { m_autoWidth = on; }
    // Kept in 8 bits, as in the file.
    quint8 columnCount() const { return m_columnCount; }
    void setColumnCount(int count) { m_columnCount = quint8(count); }
    quint8 previewRowCount() const { return m_previewRowCount; }
    void setPreviewRowCount(int count) { m_previewRowCount = quint8(count); }
    // mm
    double headerHeight() const { return m_headerHeight; }
    void setHeaderHeight(double height) { m_headerHeight = height; }
    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height) { m_rowHeight = height; }
    // mm per column, used when autoWidth is off.
    const QVector<double>& columnsWidth() const { return m_columnsWidth; }
    void setColumnsWidth(const QVector<double>& widths) { m_columnsWidth = widths; }
    const QVector<QString>& headerNames() const { return m_headerNames; }
    void setHeaderNames(const QVector<QString>& names) { m_headerNames = names; }
    // Cell template per column, normally one "$D{model.column}" token.
    const QVector<QString>& columnIds() const { return m_columnIds; }
    void setColumnIds(const QVector<QString>& ids) { m_columnIds = ids; }
    // Qt::Alignment bits per column; 0 takes the field's own alignFlags.
    const QVector<quint8>& columnsAlign() const { return m_columnsAlign; }
    void setColumnsAlign(const QVector<quint8>& align) { m_columnsAlign = align; }
    bool drawBorders() const { return m_drawBorders; }
    void setDrawBorders(bool on) { m_drawBorders = on; }
    // Number of bounded areas.
    int splitsCount() const { return m_splitsCount; }
    void setSplitsCount(int count) { m_splitsCount = count; }
    // Per area: its greatest height, mm (<= 0.000001 unbounded).
    const QVector<double>& maxSplitHeight() const { return m_maxSplitHeight; }
    void setMaxSplitHeight(const QVector<double>& heights) { m_maxSplitHeight = heights; }
    // Per area: x and y, mm, of the area that follows it; both 0 means the
    // table may not continue.
    const QVector<double>& splitX() const { return m_splitX; }
    void setSplitX(const QVector<double>& x) { m_splitX = x; }
    const QVector<double>& splitY() const { return m_splitY; }
    void setSplitY(const QVector<double>& y) { m_splitY = y; }
    // Name of the page model the table shows (JSON key "mModelName").
    QString modelName() const { return m_modelName; }
    // Stores the name and rebinds.
    void setModelName(const QString& name);

    // Bounded reads of the arrays above: missing entries give 0 or "".
    double columnWidthAt(int column) const;
    QString headerNameAt(int column) const;
    QString columnIdAt(int column) const;
    quint8 columnAlignAt(int column) const;
    // The right edge of each column, the first column starting at left, at
    // unitsPerMm units a millimetre (the designer's pixels, say).
    QVector<double> columnEdges(double left, double unitsPerMm) const;
    double maxSplitHeightAt(int area) const;
    double splitXAt(int area) const;
    double splitYAt(int area) const;

    // Looks the model up on the page again and rebuilds the column map;
    // false without a page or without an item model under the name.
    bool rebind();

    // --- Layout (working state) ---
    // Rows did not fit into the areas at the last layout.
    bool overflow() const { return m_overflow; }
    // The cells were last built in data mode.
    bool useData() const { return m_useData; }
    double minAutoWidth() const { return m_minAutoWidth; }
    int rowCount() const { return m_rowCount; }
    // Column widths in use, mm, columnCount entries.
    const QVector<double>& widths() const { return m_widths; }
    // Height of every laid-out row, mm.
    const QVector<double>& rowHeights() const { return m_rowHeights; }
    double headerHeightUsed() const { return m_headerHeightUsed; }
    double totalHeight() const { return m_totalHeight; }
    double totalWidth() const { return m_totalWidth; }
    // Device units per mm of the last draw (or the page's).
    double dotsPerMm() const { return m_dotsPerMm; }
    // The bound model, or null when none is bound or it was deleted.
    QAbstractItemModel* boundModel() const;
    const QMap<QString, int>& columnMap() const { return m_columnMap; }
    const QVector<QVector<QString>>& cells() const { return m_cells; }

protected:
    void buildCells();
    // The cell text for a column template at a model row: the page's "$V{"
    // substitution of the template's own text, with the bound model's values
    // put in for its "$D{" tokens as plain text.
    QString cellText(const QString& columnTemplate, int row);
    QString modelValue(const QString& columnName, int row) const;
    void computeRowHeights(const QFontMetrics& metrics);
    void drawHeader(QPainter* painter, double x, double y);
    void drawHeaderCell(QPainter* painter, int column, double x, double y);
    void drawRow(QPainter* painter, int row, double x, double y);
    void drawCell(QPainter* painter, int row, int column, double x, double y);

private:
    void bindWhenAvailable();
    // Rows of the bound model, all of them fetched first (SQL models hand
    // out their rows in portions).
    int modelRowCount() const;
    void drawCellFrameAndText(QPainter* painter, double x, double y, double w, double h,
                              int column, const QString& text);

    bool m_headerIsVisible = true;
    bool m_autoWidth = false;
    quint8 m_columnCount = 0;
    quint8 m_previewRowCount = 1;
    double m_headerHeight = 0.0;
    double m_rowHeight = 0.0;
    QVector<double> m_columnsWidth;
    QVector<QString> m_headerNames;
    QVector<QString> m_columnIds;
    QVector<quint8> m_columnsAlign;
    bool m_drawBorders = true;
    int m_splitsCount = 0;
    QVector<double> m_maxSplitHeight;
    QVector<double> m_splitX;
    QVector<double> m_splitY;
    QString m_modelName;

    bool m_useData = false;
    double m_minAutoWidth = 10.0;
    int m_rowCount = 0;
    QVector<double> m_widths;
    QVector<double> m_rowHeights;
    double m_headerHeightUsed = 0.0;
    double m_totalHeight = 0.0;
    double m_totalWidth = 0.0;
    double m_dotsPerMm = 0.0;
    QPointer<QAbstractItemModel> m_boundModel;
    QMap<QString, int> m_columnMap;
    QVector<QVector<QString>> m_cells;
    bool m_overflow = false;
    // What the last layout was made from: the stored form, which holds the
    // geometry the designer may have changed since, and what the page adds.
    // A prepare() with the same inputs lays the table out exactly as before,
    // so it returns at once (the page asks again for the overflow flag of a
    // table it has just drawn).
    QByteArray layoutInputs(int rowCount) const;
    QByteArray m_laidOutFrom;
    // The cells were rebuilt after the last layout.
    bool m_cellsRebuilt = true;
    // A new binding: cells and row heights are rebuilt at the next layout.
    bool m_bindingChanged = false;
    static QRectF everywhere() { return QRectF(-1e12, -1e12, 2e12, 2e12); }
    // What the painter of the draw under way shows; cells outside it are skipped.
    QRectF m_visible = everywhere();
};
