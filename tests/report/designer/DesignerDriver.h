#pragma once

#include "report/QrField.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"
#include "support/PageMaker.h"

#include <QMimeData>
#include <QStandardItemModel>
#include <QtTest>

#include <memory>

// 1 text, 2 table (two columns of 30 mm), 3 QR field over the box.
inline AbstractField* makeField(ReportPage& page, int kind, const QRectF& box)
{
    if (kind == 1)
        return PageMaker::field<TextField>(page, box, "t");
    if (kind == 3)
        return PageMaker::field<QrField>(page, box, "q");
    return PageMaker::table(page, box.x(), box.y(), "m", {"a", "b"}, {30, 30}, 10, 10);
}

template <typename T>
T* topLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget))
            return found;
    }
    return nullptr;
}

// A page view shown offscreen with the mouse and drags of a user: events go
// to the viewport (QTest's moves carry no held buttons to items), positions
// in millimetres of the page.
class DesignerDriver
{
public:
    explicit DesignerDriver(ReportPage* page) : owned(new ProjectViewWidget(page)), view(owned.get())
    {
        view->resize(900, 700);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        dpm = page->dotsPerMm();
    }
    // A view some window already shows.
    DesignerDriver(ProjectViewWidget* shown, const ReportPage* page) : view(shown), dpm(page->dotsPerMm()) {}

    MyGraphicsScene* scene() const { return view->scene(); }
    MyGraphicsView* graphics() const { return view->graphicsView(); }
    QWidget* viewport() const { return graphics()->viewport(); }
    FieldGraphicsItem* item(int i) const { return scene()->fieldItems().at(i); }
    QPoint at(double xMm, double yMm) const { return graphics()->mapFromScene(QPointF(xMm * dpm, yMm * dpm)); }

    void mouse(QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent event(type, pos, viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &event);
    }
    // Press, two moves, release: the left button dragged from one point to another.
    void drag(const QPoint& from, const QPoint& to)
    {
        mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    void click(const QPoint& pos) { drag(pos, pos); }
    void doubleClick(const QPoint& pos)
    {
        click(pos);
        mouse(QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    }

    // A token dragged in the way the variable manager's table hands it out
    // (or, withToken false, as plain text from another program). Returns
    // whether the move over the target was accepted.
    bool dropToken(const QString& token, const QPoint& pos, bool withToken = true)
    {
        QStandardItemModel model(1, 2);
        model.setItem(0, 0, new QStandardItem(token));
        model.setItem(0, 1, new QStandardItem(QStringLiteral("sample")));
        std::unique_ptr<QMimeData> mime(withToken ? model.mimeData({model.index(0, 0), model.index(0, 1)})
                                                  : new QMimeData);
        if (!withToken)
            mime->setText(token);
        QDragEnterEvent enter(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &enter);
        QDragMoveEvent move(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &move);
        QDropEvent drop(pos, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &drop);
        return move.isAccepted();
    }

    std::unique_ptr<ProjectViewWidget> owned;
    ProjectViewWidget* view;
    double dpm = 0.0;
};
