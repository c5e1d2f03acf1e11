#pragma once

#include "report/ReportPage.h"

#include <QDockWidget>
#include <QPointer>

class QTableWidget;


// Lists the variables and model columns a template can refer to, as tokens
// to drag onto the page.
class DataManagerDockWidget : public QDockWidget
{
    Q_OBJECT

public:
    explicit DataManagerDockWidget(QWidget* parent = nullptr);
    ~DataManagerDockWidget() override;

    void setReportPage(ReportPage* page);
    QSize sizeHint() const override;
    QTableWidget* tableWidget() const;

public slots:
    void updateTable();
    void resizeChildren();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    quint16 m_widthHint = 400;
    QTableWidget* m_table = nullptr;
    QPointer<ReportPage> m_page;
};
