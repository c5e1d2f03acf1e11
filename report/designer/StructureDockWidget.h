#pragma once

#include <QDockWidget>
#include <QFont>
#include <QPointer>

#include <memory>

class AbstractField;
class QCheckBox;
class QComboBox;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class ReportPage;

namespace Ui {
class StructureDockWidget;
}

// The designer's property editor: the page's properties while no field is
// selected, else those of the selected field. Edits go straight into the
// page or the field and are announced by fieldUpdated() and pageUpdated().
class StructureDockWidget : public QDockWidget
{
    Q_OBJECT

public:
    enum StructureType { PageStructure = 1, FieldStructure = 2 };

    // Rows of the two tables.
    enum PageRow { PageFontRow, PageSizeRow, OrientationRow, PrintBackgroundRow, PagesCountRow, PageRowCount };
    enum FieldRow {
        FontRow, TextRow, XRow, YRow, WidthRow, HeightRow, HAlignRow, VAlignRow, WordWrapRow,
        ContentRow, PreviewRowsRow, IndentRow, LineHeightRow, ZOnEmptyRow, FieldRowCount
    };

    explicit StructureDockWidget(QWidget* parent = nullptr);
    ~StructureDockWidget() override;

    // Shows the page's properties; the field of an earlier page is forgotten.
    void setReportPage(ReportPage* page);
    QSize sizeHint() const override;
    // The width that shows the labels and the page's values whole.
    int fittingWidth() const;

    QTableWidget* fieldTable() const { return m_fieldTable; }
    QTableWidget* pageTable() const { return m_pageTable; }
    StructureType structureType() const { return m_structureType; }
    // The text a font row shows for the font.
    static QString fontText(const QFont& font);

signals:
    void fieldUpdated();
    void pageUpdated();

public slots:
    void onFieldChanged(AbstractField* field);
    void onTblFieldItemChanged(QTableWidgetItem* item);
    void onTblDocItemChanged(QTableWidgetItem* item);
    void onAlignCombosChanged();
    void onTypeChanged(StructureDockWidget::StructureType structureType);
    void resizeChildren();
    void onTblWidget_cellDoubleClicked(int row, int column);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTableWidget* makeTable(const QStringList& labels);
    QComboBox* makeCombo(QTableWidget* table, int row, const QList<QPair<QString, int>>& entries);
    QCheckBox* makeCheckBox(QTableWidget* table, int row);
    void setFontCell(QTableWidget* table, const QString& text, const QFont& shownFont);
    void connectPageEdits();
    void connectFieldEdits();
    void openTableDialog();
    // The text a number row shows for the field's value.
    QString shownNumber(int row) const;
    // False, with the cell showing the field's value again, when a number row
    // was given text that is no number; true for the other rows.
    bool takeNumber(QTableWidgetItem* item, int row);

    std::unique_ptr<Ui::StructureDockWidget> ui;
    quint16 m_widthHint = 400;
    QTableWidget* m_fieldTable = nullptr;
    QTableWidget* m_pageTable = nullptr;
    QPointer<ReportPage> m_page;
    QPointer<AbstractField> m_field;
    bool m_updating = false;
    QFont m_font;
    QPointer<QComboBox> m_vAlignCombo;
    QPointer<QComboBox> m_hAlignCombo;
    QPointer<QComboBox> m_orientationCombo;
    QPointer<QCheckBox> m_printBackgroundCheck;
    QPointer<QCheckBox> m_wordWrapCheck;
    QPointer<QCheckBox> m_zOnEmptyCheck;
    QPointer<QPushButton> m_editTableButton;
    QPointer<QComboBox> m_pagesCountCombo;
    QPointer<QComboBox> m_pageSizeCombo;
    StructureType m_structureType = FieldStructure;
};
