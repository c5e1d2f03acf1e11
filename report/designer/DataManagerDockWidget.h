#pragma once

#include <QDockWidget>
#include <QPointer>

#include <memory>

class QTableWidget;
class ReportPage;

namespace Ui {
class DataManagerDockWidget;
}

// Lists the variables and model columns a template can refer to, as tokens
// to drag onto the page: "$V{name}" rows first, then "$D{model.header}" rows,
// each with a sample value from the page's current data.
class DataManagerDockWidget : public QDockWidget
{
    Q_OBJECT

public:
    explicit DataManagerDockWidget(QWidget* parent = nullptr);
    ~DataManagerDockWidget() override;

    // Follows the page's data from now on; null empties the list.
    void setReportPage(ReportPage* page);
    QSize sizeHint() const override;
    // The width that shows every token and sample whole.
    int fittingWidth() const;
    QTableWidget* tableWidget() const;

public slots:
    void updateTable();
    void resizeChildren();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void appendRow(const QString& token, const QString& sample);

    std::unique_ptr<Ui::DataManagerDockWidget> ui;
    quint16 m_widthHint = 400;
    QPointer<ReportPage> m_page;
};
