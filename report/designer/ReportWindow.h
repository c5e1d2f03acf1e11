#pragma once

#include "engine/ReportEditor.h"

#include <QMainWindow>
#include <QMetaObject>
#include <QPointer>
#include <QVector>

#include <memory>

class AbstractField;
class DataManagerDockWidget;
class ProjectViewWidget;
class ReportPage;
class StructureDockWidget;
class TableField;

namespace Ui {
class ReportWindow;
}

// The report template designer's main window: one page at a time in the
// page view, the properties dock on the right, the variable manager on the
// left, the file, background, field and zoom commands and the test print.
// The window owns every page it makes; a page it replaces is freed once the
// view that drew it is gone.
class ReportWindow : public QMainWindow, public ReportEditor
{
    Q_OBJECT

public:
    explicit ReportWindow(QWidget* parent = nullptr);
    ~ReportWindow() override;

    // False when no file exists at the path; an unreadable file is reported
    // here and opens as whatever could be read.
    bool openFile(const QString& fileName) override;
    ReportPage* reportPage() override;
    QWidget* editorWindow() override;

    // The most recently constructed window, null once it is gone.
    static ReportWindow* instance();
    // The designer's own settings file.
    static QString settingsFilePath();

    ProjectViewWidget* projectView() const;
    StructureDockWidget* structureDock() const;
    DataManagerDockWidget* dataManagerDock() const;
    QString fileName() const;
    bool isEdited() const;

signals:
    void moveField(Qt::ArrowType arrow);
    void zoomIn();
    void zoomOut();

public slots:
    void on_tableFieldCreated(TableField* f);
    void setEdited();
    void on_actionExit_triggered();
    void on_actionNew_triggered();
    void on_actionOpen_triggered();
    bool on_actionSave_triggered();
    void on_actionSaveAs_triggered();
    void on_actionLoadBackgroundImage_triggered();
    void on_actionLoadBackgroundImage2_triggered();
    void on_actionOptions_triggered();
    void on_updateOptions();
    void on_actionZoomIn_triggered();
    void on_actionZoomOut_triggered();
    void on_actionAddTextField_triggered();
    void on_actionAddTableField_triggered();
    void on_actionDeleteField_triggered();
    void on_actionPrint_triggered();
    void updateTitle();
    void on_action_QR_triggered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void initPage();
    // Makes the page current with a new view, then frees the old page once
    // the old view, whose items draw its fields, is destroyed.
    void replacePage(ReportPage* page);
    void markCleanSoon();
    bool maybeSave();
    bool saveFile(const QString& name);
    void writeSettings();
    void readSettings();
    void dropConnections();
    void loadBackground(bool second);
    // Centres the field in the visible area, 2 mm further per field already on the page.
    void placeField(AbstractField* field);
    void updateBackground2Action();

    std::unique_ptr<Ui::ReportWindow> ui;
    QPointer<ProjectViewWidget> m_view;
    QPointer<StructureDockWidget> m_structureDock;
    QPointer<DataManagerDockWidget> m_dataManagerDock;
    QString m_fileName;
    QString m_currentPath = QStringLiteral(".");
    ReportPage* m_page = nullptr;
    bool m_edited = false;
    bool m_fitDocks = false;
    QVector<QMetaObject::Connection> m_connections;
};
