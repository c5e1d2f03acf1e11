#include "report/designer/ReportWindow.h"

#include "report/ReportPage.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/ProjectViewWidget.h"
#include "report/designer/StructureDockWidget.h"

namespace {
QPointer<ReportWindow>& currentWindow()
{
    static QPointer<ReportWindow> window;
    return window;
}
} // namespace

ReportWindow::ReportWindow(QWidget* parent) : QMainWindow(parent)
{
    currentWindow() = this;
}

ReportWindow::~ReportWindow() = default;

bool ReportWindow::openFile(const QString&) { return false; }
ReportPage* ReportWindow::reportPage() { return m_page; }
QWidget* ReportWindow::editorWindow() { return this; }
ReportWindow* ReportWindow::instance() { return currentWindow(); }
ProjectViewWidget* ReportWindow::projectView() const { return m_view; }
StructureDockWidget* ReportWindow::structureDock() const { return m_structureDock; }
DataManagerDockWidget* ReportWindow::dataManagerDock() const { return m_dataManagerDock; }
QString ReportWindow::fileName() const { return m_fileName; }
bool ReportWindow::isEdited() const { return m_edited; }
void ReportWindow::on_tableFieldCreated(TableField*) {}
void ReportWindow::setEdited() { m_edited = true; }
void ReportWindow::on_actionExit_triggered() {}
void ReportWindow::on_actionNew_triggered() {}
void ReportWindow::on_actionOpen_triggered() {}
bool ReportWindow::on_actionSave_triggered() { return false; }
void ReportWindow::on_actionSaveAs_triggered() {}
void ReportWindow::on_actionLoadBackgroundImage_triggered() {}
void ReportWindow::on_actionLoadBackgroundImage2_triggered() {}
void ReportWindow::on_actionOptions_triggered() {}
void ReportWindow::on_updateOptions() {}
void ReportWindow::on_actionZoomIn_triggered() {}
void ReportWindow::on_actionZoomOut_triggered() {}
void ReportWindow::on_actionAddTextField_triggered() {}
void ReportWindow::on_actionAddTableField_triggered() {}
void ReportWindow::on_actionDeleteField_triggered() {}
void ReportWindow::on_actionPrint_triggered() {}
void ReportWindow::updateTitle() {}
void ReportWindow::on_action_QR_triggered() {}
void ReportWindow::keyPressEvent(QKeyEvent* event) { QMainWindow::keyPressEvent(event); }
void ReportWindow::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }
void ReportWindow::initPage() {}
bool ReportWindow::maybeSave() { return true; }
bool ReportWindow::saveFile(const QString&) { return false; }
void ReportWindow::writeSettings() {}
void ReportWindow::readSettings() {}
void ReportWindow::dropConnections() {}
