#include "report/designer/StructureDockWidget.h"
#include "ui_StructureDockWidget.h"

#include "engine/DecimalNumber.h"
#include "report/AbstractField.h"
#include "report/QrField.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/ReportWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {

const Qt::ItemFlags ReadOnly = Qt::ItemIsSelectable | Qt::ItemIsEnabled;

// Which field kinds show a row: text, table, QR.
struct RowShown
{
    bool text;
    bool table;
    bool qr;
};

const RowShown FieldRowsShown[StructureDockWidget::FieldRowCount] = {
    {true, true, false},  // font
    {true, false, true},  // text
    {true, true, true},   // x
    {true, true, true},   // y
    {true, false, true},  // width
    {true, false, false}, // height
    {true, true, false},  // horizontal alignment
    {true, true, false},  // vertical alignment
    {true, true, false},  // word wrap
    {false, true, false}, // table content
    {false, true, false}, // preview rows
    {true, false, false}, // first-line indent
    {true, false, false}, // line spacing
    {true, true, false},  // end-of-field stroke
};

QString mm(double value)
{
    return DecimalNumber::withLocaleMark(QString::number(value, 'f', 1));
}

// The font dialog gives back a font of its own making: what the user sees of
// it is what counts.
bool sameFont(const QFont& a, const QFont& b)
{
    return a.family() == b.family() && a.pointSizeF() == b.pointSizeF() && a.weight() == b.weight()
           && a.italic() == b.italic() && a.underline() == b.underline() && a.strikeOut() == b.strikeOut();
}

} // namespace

StructureDockWidget::StructureDockWidget(QWidget* parent)
    : QDockWidget(parent)
    , ui(std::make_unique<Ui::StructureDockWidget>())
{
    ui->setupUi(this);

    m_pageTable = makeTable({QStringLiteral("Шрифт по умолчанию   "), QStringLiteral("Размер бумаги"),
                             QStringLiteral("Ориентация"), QStringLiteral("Печать фона"),
                             QStringLiteral("Количество страниц")});
    m_fieldTable = makeTable({QStringLiteral("Шрифт"), QStringLiteral("Текст"), QStringLiteral("X, мм"),
                              QStringLiteral("Y, мм"), QStringLiteral("Ширина, мм"),
                              QStringLiteral("Высота, мм"), QStringLiteral("Гориз. полож."),
                              QStringLiteral("Верт. полож."), QStringLiteral("Перенос строк   "),
                              QStringLiteral("Сожержимое   "),
                              QStringLiteral("Количество строк на превью  "),
                              QStringLiteral("Отступ первой строки, мм"),
                              QStringLiteral("Межстрочный интервал, мм"),
                              QStringLiteral("Росчерк до конца поля ")});

    // Value items: read-only where a double click or a cell widget edits.
    for (int row = 0; row < PageRowCount; ++row) {
        auto* item = new QTableWidgetItem;
        item->setFlags(ReadOnly);
        m_pageTable->setItem(row, 1, item);
    }
    m_pageTable->item(PageSizeRow, 1)->setText(QStringLiteral("A4"));
    m_pageTable->item(PageSizeRow, 1)->setFlags(Qt::ItemIsSelectable);
    for (int row = 0; row < FieldRowCount; ++row)
        m_fieldTable->setItem(row, 1, new QTableWidgetItem);
    for (int row : {FontRow, HAlignRow, VAlignRow, WordWrapRow, ContentRow, ZOnEmptyRow})
        m_fieldTable->item(row, 1)->setFlags(ReadOnly);

    m_pageSizeCombo = makeCombo(m_pageTable, PageSizeRow,
                                {{QStringLiteral("A5"), 9}, {QStringLiteral("A4"), 0}, {QStringLiteral("A3"), 8}});
    m_orientationCombo = makeCombo(m_pageTable, OrientationRow,
                                   {{QStringLiteral("Портретная"), 0}, {QStringLiteral("Альбомная"), 1}});
    m_printBackgroundCheck = makeCheckBox(m_pageTable, PrintBackgroundRow);
    m_pagesCountCombo = makeCombo(m_pageTable, PagesCountRow,
                                  {{QStringLiteral("1"), 1}, {QStringLiteral("2"), 2},
                                   {QStringLiteral("3"), 3}, {QStringLiteral("4"), 4}});

    m_hAlignCombo = makeCombo(m_fieldTable, HAlignRow,
                              {{QStringLiteral("Слева"), Qt::AlignLeft},
                               {QStringLiteral("По центру"), Qt::AlignHCenter},
                               {QStringLiteral("Справа"), Qt::AlignRight}});
    m_vAlignCombo = makeCombo(m_fieldTable, VAlignRow,
                              {{QStringLiteral("Сверху"), Qt::AlignTop},
                               {QStringLiteral("По центру"), Qt::AlignVCenter},
                               {QStringLiteral("Снизу"), Qt::AlignBottom}});
    m_wordWrapCheck = makeCheckBox(m_fieldTable, WordWrapRow);
    m_editTableButton = new QPushButton(QStringLiteral("Редактировать"));
    m_fieldTable->setCellWidget(ContentRow, 1, m_editTableButton);
    m_zOnEmptyCheck = makeCheckBox(m_fieldTable, ZOnEmptyRow);
    // Long labels must show whole in both tables.
    m_pageTable->resizeColumnToContents(0);
    m_fieldTable->resizeColumnToContents(0);

    connect(m_pageTable, &QTableWidget::itemChanged, this, &StructureDockWidget::onTblDocItemChanged);
    connect(m_fieldTable, &QTableWidget::itemChanged, this, &StructureDockWidget::onTblFieldItemChanged);
    connect(m_pageTable, &QTableWidget::cellDoubleClicked, this,
            &StructureDockWidget::onTblWidget_cellDoubleClicked);
    connect(m_fieldTable, &QTableWidget::cellDoubleClicked, this,
            &StructureDockWidget::onTblWidget_cellDoubleClicked);
    connectPageEdits();
    connectFieldEdits();

    resizeChildren();
    connect(this, &QDockWidget::dockLocationChanged, this, &StructureDockWidget::resizeChildren);
}

StructureDockWidget::~StructureDockWidget() = default;

QTableWidget* StructureDockWidget::makeTable(const QStringList& labels)
{
    auto* table = new QTableWidget(ui->dockWidgetContents);
    table->hide();
    table->setDragDropOverwriteMode(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSortingEnabled(false);
    table->clearContents();
    table->setColumnCount(2);
    table->setRowCount(labels.size());
    table->setHorizontalHeaderLabels({QStringLiteral("Свойство"), QStringLiteral("Значение")});
    for (int row = 0; row < labels.size(); ++row) {
        auto* label = new QTableWidgetItem(labels.at(row));
        label->setFlags(ReadOnly);
        table->setItem(row, 0, label);
    }
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QComboBox* StructureDockWidget::makeCombo(QTableWidget* table, int row,
                                          const QList<QPair<QString, int>>& entries)
{
    auto* combo = new QComboBox;
    for (const auto& entry : entries)
        combo->addItem(entry.first, entry.second);
    table->setCellWidget(row, 1, combo);
    return combo;
}

QCheckBox* StructureDockWidget::makeCheckBox(QTableWidget* table, int row)
{
    auto* box = new QCheckBox;
    table->setCellWidget(row, 1, box);
    return box;
}

void StructureDockWidget::connectPageEdits()
{
    auto pageCombo = [this](const QPointer<QComboBox>& combo, void (ReportPage::*set)(int)) {
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, combo, set] {
            if (m_updating || !m_page || !combo)
                return;
            (m_page->*set)(combo->currentData().toInt());
            emit pageUpdated();
        });
    };
    pageCombo(m_pageSizeCombo, &ReportPage::setPageSize);
    pageCombo(m_orientationCombo, &ReportPage::setOrientation);
    pageCombo(m_pagesCountCombo, &ReportPage::setPagesCount);
    connect(m_printBackgroundCheck, &QCheckBox::stateChanged, this, [this](int state) {
        if (m_updating || !m_page)
            return;
        m_page->setPrintBackgroundImage(state > 0);
        emit pageUpdated();
    });
}

void StructureDockWidget::connectFieldEdits()
{
    connect(m_hAlignCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &StructureDockWidget::onAlignCombosChanged);
    connect(m_vAlignCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &StructureDockWidget::onAlignCombosChanged);
    auto fieldCheck = [this](QCheckBox* box, void (AbstractField::*set)(bool)) {
        connect(box, &QCheckBox::stateChanged, this, [this, set](int state) {
            if (m_updating || !m_field)
                return;
            (m_field->*set)(state > 0);
            emit fieldUpdated();
        });
    };
    fieldCheck(m_wordWrapCheck, &AbstractField::setWordWrap);
    fieldCheck(m_zOnEmptyCheck, &AbstractField::setZOnEmpty);
    connect(m_editTableButton, &QPushButton::clicked, this, &StructureDockWidget::openTableDialog);
}

QSize StructureDockWidget::sizeHint() const
{
    return QSize(m_widthHint, QWidget::sizeHint().height());
}

int StructureDockWidget::fittingWidth() const
{
    // Labels of either table, the page's values (a field's are set when it is
    // selected), the row numbers, the frame and scroll bar, and the margin
    // resizeChildren() leaves.
    const QAbstractItemView* pageView = m_pageTable; // where the column hint is public
    const QAbstractItemView* fieldView = m_fieldTable;
    const int labels = qMax(pageView->sizeHintForColumn(0), fieldView->sizeHintForColumn(0));
    const int values = qMax(pageView->sizeHintForColumn(1), m_pageTable->horizontalHeader()->sectionSizeHint(1));
    return labels + values + m_pageTable->verticalHeader()->sizeHint().width() + 2 * m_pageTable->frameWidth()
           + m_pageTable->verticalScrollBar()->sizeHint().width() + 10;
}

QString StructureDockWidget::fontText(const QFont& font)
{
    const QFontInfo info(font);
    return info.family() + QStringLiteral(", ") + QString::number(info.pointSize()) + QStringLiteral("пт");
}

void StructureDockWidget::setFontCell(QTableWidget* table, const QString& text, const QFont& shownFont)
{
    QTableWidgetItem* item = table->item(0, 1);
    item->setText(text);
    item->setFont(QFont(shownFont.family(), 8));
}

void StructureDockWidget::setReportPage(ReportPage* page)
{
    m_page = page;
    // A field of the previous page must never be edited through this page.
    m_field = nullptr;
    if (m_page)
        m_font = m_page->defaultFont();
    onTypeChanged(PageStructure);
}

void StructureDockWidget::onFieldChanged(AbstractField* field)
{
    m_field = field;
    if (!field) {
        onTypeChanged(PageStructure);
        return;
    }
    m_font = field->font();
    onTypeChanged(FieldStructure);
    m_updating = true;

    if (m_font == QFont())
        setFontCell(m_fieldTable, QStringLiteral("По умолчанию"), m_page ? m_page->defaultFont() : QFont());
    else
        setFontCell(m_fieldTable, fontText(m_font), m_font);

    auto* text = qobject_cast<TextField*>(field);
    auto* qr = qobject_cast<QrField*>(field);
    auto* table = qobject_cast<TableField*>(field);
    if (text)
        m_fieldTable->item(TextRow, 1)->setText(text->text());
    else if (qr)
        m_fieldTable->item(TextRow, 1)->setText(qr->text());
    m_fieldTable->item(XRow, 1)->setText(mm(field->x()));
    m_fieldTable->item(YRow, 1)->setText(mm(field->y()));
    m_fieldTable->item(WidthRow, 1)->setText(mm(field->width()));
    m_fieldTable->item(HeightRow, 1)->setText(mm(field->height()));
    if (table)
        m_fieldTable->item(PreviewRowsRow, 1)->setText(QString::number(table->previewRowCount()));
    if (text) {
        m_fieldTable->item(IndentRow, 1)->setText(mm(text->indent()));
        m_fieldTable->item(LineHeightRow, 1)->setText(mm(text->lineHeight()));
    }
    if (m_hAlignCombo)
        m_hAlignCombo->setCurrentIndex(m_hAlignCombo->findData(field->alignFlags() & Qt::AlignHorizontal_Mask));
    if (m_vAlignCombo)
        m_vAlignCombo->setCurrentIndex(m_vAlignCombo->findData(field->alignFlags() & Qt::AlignVertical_Mask));
    if (m_wordWrapCheck)
        m_wordWrapCheck->setChecked(field->wordWrap());
    if (m_zOnEmptyCheck)
        m_zOnEmptyCheck->setChecked(field->zOnEmpty());

    m_updating = false;
}

void StructureDockWidget::onTypeChanged(StructureDockWidget::StructureType structureType)
{
    m_updating = true;
    m_structureType = structureType;
    if (structureType == PageStructure) {
        if (m_page) {
            m_font = m_page->defaultFont();
            if (m_printBackgroundCheck)
                m_printBackgroundCheck->setChecked(m_page->printBackgroundImage());
            if (m_orientationCombo)
                m_orientationCombo->setCurrentIndex(m_orientationCombo->findData(m_page->orientation()));
            if (m_pagesCountCombo)
                m_pagesCountCombo->setCurrentIndex(m_pagesCountCombo->findData(m_page->pagesCount()));
            if (m_pageSizeCombo)
                m_pageSizeCombo->setCurrentIndex(m_pageSizeCombo->findData(m_page->pageSize()));
            setFontCell(m_pageTable, fontText(m_font), m_font);
        }
        m_fieldTable->hide();
        m_pageTable->show();
    } else {
        const int type = m_field ? m_field->type() : 0;
        for (int row = 0; row < FieldRowCount; ++row) {
            const RowShown& shown = FieldRowsShown[row];
            const bool visible = type == AbstractField::TableFieldType ? shown.table
                                 : type == AbstractField::QrFieldType  ? shown.qr
                                                                       : shown.text;
            m_fieldTable->setRowHidden(row, !visible);
        }
        m_fieldTable->resizeColumnToContents(0);
        m_fieldTable->show();
        m_pageTable->hide();
    }
    m_updating = false;
}

void StructureDockWidget::onTblDocItemChanged(QTableWidgetItem* item)
{
    // Runs while the table is filled as well: storing the shown font again
    // changes nothing in the page.
    if (m_structureType != PageStructure || !item || item->row() != 0 || !m_page)
        return;
    m_page->setDefaultFont(m_font);
    emit pageUpdated();
}

void StructureDockWidget::onTblFieldItemChanged(QTableWidgetItem* item)
{
    if (m_updating || m_structureType != FieldStructure || !m_field)
        return;
    const int row = item && item->tableWidget() == m_fieldTable ? item->row() : -1;
    const QString value = item ? item->text() : QString();
    auto* text = qobject_cast<TextField*>(m_field);
    auto* qr = qobject_cast<QrField*>(m_field);
    auto* table = qobject_cast<TableField*>(m_field);
    if (!takeNumber(item, row))
        return;
    bool number = false;
    const double mmValue = DecimalNumber::parse(value, &number);
    switch (row) {
    case FontRow:
        m_field->setFont(m_font);
        break;
    case TextRow:
        if (text)
            text->setText(value);
        else if (qr)
            qr->setText(value);
        break;
    case XRow:
        m_field->setX(mmValue);
        break;
    case YRow:
        m_field->setY(mmValue);
        break;
    case WidthRow:
        m_field->setWidth(mmValue);
        if (qr)
            qr->setHeight(qr->width());
        break;
    case HeightRow:
        m_field->setHeight(mmValue);
        break;
    case PreviewRowsRow:
        if (table) {
            table->setPreviewRowCount(value.trimmed().toInt(nullptr, 10));
            table->prepare();
        }
        break;
    case IndentRow:
        if (text)
            text->setIndent(mmValue);
        break;
    case LineHeightRow:
        if (text)
            text->setLineHeight(mmValue);
        break;
    default:
        break;
    }
    emit fieldUpdated();
}

QString StructureDockWidget::shownNumber(int row) const
{
    auto* text = qobject_cast<TextField*>(m_field);
    auto* table = qobject_cast<TableField*>(m_field);
    switch (row) {
    case XRow:
        return mm(m_field->x());
    case YRow:
        return mm(m_field->y());
    case WidthRow:
        return mm(m_field->width());
    case HeightRow:
        return mm(m_field->height());
    case PreviewRowsRow:
        return table ? QString::number(table->previewRowCount()) : QString();
    case IndentRow:
        return text ? mm(text->indent()) : QString();
    case LineHeightRow:
        return text ? mm(text->lineHeight()) : QString();
    default:
        return QString();
    }
}

bool StructureDockWidget::takeNumber(QTableWidgetItem* item, int row)
{
    const bool whole = row == PreviewRowsRow;
    const bool decimal = row == XRow || row == YRow || row == WidthRow || row == HeightRow || row == IndentRow
                         || row == LineHeightRow;
    if (!whole && !decimal)
        return true;
    bool ok = false;
    if (whole) {
        item->text().trimmed().toInt(&ok, 10);
    } else {
        // A length the template file would not keep as it is (beyond
        // AbstractField::maxLength) is refused as well: saved, the field
        // would come back elsewhere or not at all.
        const double value = DecimalNumber::parse(item->text(), &ok);
        ok = ok && AbstractField::isKeptLength(value);
    }
    // Text that is no number keeps the value the field has; one typed with
    // the other decimal mark is shown with the locale's.
    const QString shown = ok ? DecimalNumber::withLocaleMark(item->text().trimmed()) : shownNumber(row);
    if (shown != item->text()) {
        m_updating = true;
        item->setText(shown);
        m_updating = false;
    }
    return ok;
}

void StructureDockWidget::onAlignCombosChanged()
{
    if (m_updating || !m_field || !m_vAlignCombo || !m_hAlignCombo)
        return;
    m_field->setAlignFlags(quint16(m_vAlignCombo->currentData().toInt() | m_hAlignCombo->currentData().toInt()));
    emit fieldUpdated();
}

void StructureDockWidget::openTableDialog()
{
    auto* table = qobject_cast<TableField*>(m_field);
    if (m_updating || !table)
        return;
    auto* dialog = new EditTableFieldDialog(nullptr);
    dialog->setTableField(table);
    connect(dialog, &EditTableFieldDialog::tableFieldModified, this, [this] {
        emit fieldUpdated();
        if (ReportWindow* window = ReportWindow::instance())
            window->setEdited();
    });
    dialog->show();
}

void StructureDockWidget::onTblWidget_cellDoubleClicked(int row, int column)
{
    if (row != 0 || column != 1)
        return;
    QFont start = m_font;
    if (start == QFont() && m_page)
        start = m_page->defaultFont();
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, start, this, QString());
    // Confirmed unchanged, a field that follows the page's font keeps following it.
    if (!ok || sameFont(chosen, start))
        return;
    m_font = chosen;
    // The table's own change handler stores the font in the field or the page.
    setFontCell(m_structureType == FieldStructure ? m_fieldTable : m_pageTable, fontText(m_font), m_font);
    emit pageUpdated();
}

void StructureDockWidget::resizeChildren()
{
    const QSize size(width() - 10, height() - 25);
    m_pageTable->resize(size);
    m_fieldTable->resize(size);
}

void StructureDockWidget::resizeEvent(QResizeEvent* event)
{
    resizeChildren();
    QDockWidget::resizeEvent(event);
}
