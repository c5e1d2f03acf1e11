#include "report/designer/DataManagerDockWidget.h"
#include "ui_DataManagerDockWidget.h"

#include "report/ReportPage.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>

DataManagerDockWidget::DataManagerDockWidget(QWidget* parent)
    : QDockWidget(parent)
    , ui(std::make_unique<Ui::DataManagerDockWidget>())
{
    ui->setupUi(this);
    // Tokens and samples show whole: the columns take their contents' width
    // (a long sample scrolls sideways rather than being cut short) and a
    // sample of several lines gets a row as high as it needs.
    ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(this, &QDockWidget::dockLocationChanged, this, &DataManagerDockWidget::resizeChildren);
}

DataManagerDockWidget::~DataManagerDockWidget() = default;

QSize DataManagerDockWidget::sizeHint() const
{
    return QSize(m_widthHint, QWidget::sizeHint().height());
}

int DataManagerDockWidget::fittingWidth() const
{
    const QTableWidget* table = ui->tableWidget;
    const QAbstractItemView* view = table; // where the column hint is public
    // The table's frame and scroll bar, and the margin resizeChildren() leaves.
    int width = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width() + 10;
    for (int column = 0; column < table->columnCount(); ++column)
        width += qMax(view->sizeHintForColumn(column), table->horizontalHeader()->sectionSizeHint(column));
    return width;
}

QTableWidget* DataManagerDockWidget::tableWidget() const
{
    return ui->tableWidget;
}

void DataManagerDockWidget::setReportPage(ReportPage* page)
{
    // Only the current page's data may refill the list.
    if (m_page)
        disconnect(m_page, nullptr, this, nullptr);
    m_page = page;
    if (m_page)
        connect(m_page, &ReportPage::dataUpdated, this, &DataManagerDockWidget::updateTable);
    updateTable();
}

void DataManagerDockWidget::appendRow(const QString& token, const QString& sample)
{
    QTableWidget* table = ui->tableWidget;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(token));
    table->setItem(row, 1, new QTableWidgetItem(sample));
}

void DataManagerDockWidget::updateTable()
{
    ui->tableWidget->setRowCount(0);
    if (!m_page)
        return;

    const QMap<QString, QVariant>& variables = m_page->variables();
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        appendRow(QStringLiteral("$V{") + it.key() + QLatin1Char('}'), it.value().toString());

    const QMap<QString, QObject*> models = m_page->models();
    for (auto it = models.cbegin(); it != models.cend(); ++it) {
        // Anything else bound under a name has no columns to offer.
        const auto* model = qobject_cast<const QAbstractItemModel*>(it.value());
        if (!model)
            continue;
        const bool hasRows = model->rowCount() > 0;
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString header = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            const QString sample = hasRows ? model->data(model->index(0, c)).toString() : QString();
            appendRow(QStringLiteral("$D{") + it.key() + QLatin1Char('.') + header + QLatin1Char('}'),
                      sample);
        }
    }
}

void DataManagerDockWidget::resizeChildren()
{
    ui->tableWidget->resize(width() - 10, height() - 25);
}

void DataManagerDockWidget::resizeEvent(QResizeEvent* event)
{
    resizeChildren();
    QDockWidget::resizeEvent(event);
}
