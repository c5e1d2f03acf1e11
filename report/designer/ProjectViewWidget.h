#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class AbstractField;
class MyGraphicsScene;
class MyGraphicsView;
class ReportPage;

namespace Ui {
class ProjectViewWidget;
}

// The designer window's central widget: one view on one scene of one page.
// A new one is made for every page the window installs.
class ProjectViewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ProjectViewWidget(ReportPage* page, QWidget* parent = nullptr);
    ~ProjectViewWidget() override;

    void addField(AbstractField* field);
    MyGraphicsScene* scene() const;
    MyGraphicsView* graphicsView() const;

signals:
    void updateActions();

public slots:
    void on_zoomIn();
    void on_zoomOut();
    void setReportPage(ReportPage* rp);
    void resizeChildren();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<Ui::ProjectViewWidget> ui;
    QPointer<MyGraphicsScene> m_scene;
    QPointer<MyGraphicsView> m_graphicsView;
};
