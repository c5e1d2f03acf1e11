#include "report/designer/ReportWindow.h"
#include "ui_ReportWindow.h"

#include "engine/FileChooser.h"
#include "engine/MessageLog.h"
#include "engine/ProtectedFiles.h"
#include "engine/RegularFile.h"
#include "engine/WidgetUtilities.h"
#include "report/QrField.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/DataManagerDockWidget.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"
#include "report/designer/StructureDockWidget.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

const char* const ReportFilter = "Report files (*.velrpt)";
const int DockMaxWidth = 400;

QPointer<ReportWindow>& currentWindow()
{
    static QPointer<ReportWindow> window;
    return window;
}

} // namespace

ReportWindow::ReportWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::ReportWindow>())
{
    currentWindow() = this;

    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    updateTitle();

    m_structureDock = new StructureDockWidget(nullptr);
    addDockWidget(Qt::RightDockWidgetArea, m_structureDock);
    connect(m_structureDock, &QDockWidget::visibilityChanged, ui->actionStructure,
            &QAction::setChecked);
    connect(ui->actionStructure, &QAction::toggled, m_structureDock, &QWidget::setVisible);
    m_structureDock->setMaximumWidth(DockMaxWidth);

    m_dataManagerDock = new DataManagerDockWidget(nullptr);
    addDockWidget(Qt::LeftDockWidgetArea, m_dataManagerDock);
    connect(m_dataManagerDock, &QDockWidget::visibilityChanged, ui->actionDataManager,
            &QAction::setChecked);
    connect(ui->actionDataManager, &QAction::toggled, m_dataManagerDock, &QWidget::setVisible);
    m_dataManagerDock->setMaximumWidth(DockMaxWidth);

    initPage();

    connect(m_structureDock, &StructureDockWidget::fieldUpdated, this, &ReportWindow::setEdited);
    connect(m_structureDock, &StructureDockWidget::pageUpdated, this, &ReportWindow::setEdited);

    // The first opening, with no size of the user's yet, takes the screen and
    // gives the docks the width of their contents once they are filled.
    {
        QSettings settings(settingsFilePath(), QSettings::IniFormat);
        m_fitDocks = !settings.contains(QStringLiteral("ReportWindow/geometry"));
    }
    if (m_fitDocks) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            resize(screen->availableGeometry().size());
    }

    readSettings();
    setAcceptDrops(true);
    ui->action_QR->setVisible(false);
}

ReportWindow::~ReportWindow()
{
    dropConnections();
    // The view's items draw the page's fields, so the view goes first.
    delete m_view.data();
    if (m_structureDock)
        m_structureDock->setReportPage(nullptr);
    if (m_dataManagerDock)
        m_dataManagerDock->setReportPage(nullptr);
    delete m_page;
}

ReportWindow* ReportWindow::instance()
{
    return currentWindow();
}

QString ReportWindow::settingsFilePath()
{
    return RegularFile::settingsFileName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                         + QStringLiteral("/Vel-Software") + QStringLiteral("/settings.ini"));
}

ReportPage* ReportWindow::reportPage()
{
    return m_page;
}

QWidget* ReportWindow::editorWindow()
{
    return this;
}

ProjectViewWidget* ReportWindow::projectView() const
{
    return m_view;
}

StructureDockWidget* ReportWindow::structureDock() const
{
    return m_structureDock;
}

DataManagerDockWidget* ReportWindow::dataManagerDock() const
{
    return m_dataManagerDock;
}

QString ReportWindow::fileName() const
{
    return m_fileName;
}

bool ReportWindow::isEdited() const
{
    return m_edited;
}

void ReportWindow::dropConnections()
{
    while (!m_connections.isEmpty())
        disconnect(m_connections.takeLast());
}

void ReportWindow::initPage()
{
    dropConnections();
    if (!m_page)
        m_page = new ReportPage(nullptr);

    auto* view = new ProjectViewWidget(m_page, this);
    m_structureDock->setReportPage(m_page);
    m_dataManagerDock->setReportPage(m_page);
    // The previous central widget is released with deleteLater().
    setCentralWidget(view);
    m_view = view;

    MyGraphicsScene* scene = view->scene();
    connect(this, &ReportWindow::zoomIn, view, &ProjectViewWidget::on_zoomIn);
    connect(this, &ReportWindow::zoomOut, view, &ProjectViewWidget::on_zoomOut);
    connect(this, &ReportWindow::moveField, scene, &MyGraphicsScene::onMoveField);

    StructureDockWidget* dock = m_structureDock;
    m_connections.append(connect(scene, &MyGraphicsScene::selectedFieldChanged, dock,
                                 &StructureDockWidget::onFieldChanged));
    m_connections.append(connect(dock, &StructureDockWidget::fieldUpdated, scene,
                                 &MyGraphicsScene::onFieldsUpdated));
    m_connections.append(connect(dock, &StructureDockWidget::pageUpdated, scene,
                                 &MyGraphicsScene::onPageUpdated));
    m_connections.append(connect(dock, &StructureDockWidget::pageUpdated, this,
                                 &ReportWindow::updateBackground2Action));
    updateBackground2Action();
}

void ReportWindow::replacePage(ReportPage* page)
{
    ReportPage* const oldPage = m_page;
    const QPointer<ProjectViewWidget> oldView = m_view;
    m_page = page;
    initPage();
    if (!oldPage)
        return;
    if (oldView)
        connect(oldView, &QObject::destroyed, oldPage, &QObject::deleteLater);
    else
        delete oldPage;
}

void ReportWindow::updateBackground2Action()
{
    ui->actionLoadBackgroundImage2->setVisible(m_page && m_page->pagesCount() >= 2);
}

void ReportWindow::markCleanSoon()
{
    // Installing a page makes the docks and the scene report changes; only
    // the user's edits after that count.
    QTimer::singleShot(1, this, [this] {
        m_edited = false;
        updateTitle();
    });
}

void ReportWindow::updateTitle()
{
    const QString name = m_fileName.isEmpty()
                             ? QStringLiteral("Несохранённый документ")
                             : m_fileName + (m_edited ? QStringLiteral("*") : QString());
    setWindowTitle(QStringLiteral("Редактор отчёта - %1").arg(name));
}

void ReportWindow::setEdited()
{
    m_edited = true;
    updateTitle();
}

void ReportWindow::on_actionNew_triggered()
{
    if (!maybeSave())
        return;
    writeSettings();
    m_fileName.clear();
    replacePage(new ReportPage(nullptr));
    QCoreApplication::processEvents();
    readSettings();
    QCoreApplication::processEvents();
    markCleanSoon();
}

void ReportWindow::on_actionOpen_triggered()
{
    if (!maybeSave())
        return;
    const QString name = FileChooser::openFileName(this, QStringLiteral("Open file"), m_currentPath,
                                                   QLatin1String(ReportFilter));
    if (name.isEmpty())
        return;
    m_currentPath = QFileInfo(name).absolutePath();
    openFile(name);
}

bool ReportWindow::openFile(const QString& fileName)
{
    if (!QFile::exists(fileName))
        return false;
    writeSettings();
    m_fileName = fileName;
    auto* page = new ReportPage(nullptr);
    if (!page->load(fileName)) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("Неверный формат файла!"),
                        QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        // Unnamed, so that Save asks for a file instead of writing the empty
        // page over the one that could not be read.
        m_fileName.clear();
    }
    // The old page stays until the view that draws it is gone.
    replacePage(page);
    QCoreApplication::processEvents();
    markCleanSoon();
    readSettings();
    return true;
}

bool ReportWindow::on_actionSave_triggered()
{
    if (!m_fileName.isEmpty())
        return saveFile(m_fileName);
    const QString name = FileChooser::saveFileName(this, QStringLiteral("Save file"), m_currentPath,
                                                   QLatin1String(ReportFilter));
    if (name.isEmpty())
        return false;
    return saveFile(name);
}

void ReportWindow::on_actionSaveAs_triggered()
{
    const QString proposed = m_fileName.isEmpty() ? m_currentPath : m_fileName;
    const QString name = FileChooser::saveFileName(this, QStringLiteral("Save file"), proposed,
                                                   QLatin1String(ReportFilter));
    if (!name.isEmpty())
        saveFile(name);
}

bool ReportWindow::saveFile(const QString& name)
{
    // The program's own database and settings are never written over, by
    // whatever name or link the dialog was given them; templates beside
    // them may be.
    const QString refusal = ProtectedFiles::refusalText(name);
    if (!refusal.isEmpty()) {
        VLOG << "report template not saved over a file of the program" << name;
        showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Ошибка"), refusal);
        return false;
    }
    // A failed save must not pass for a saved template: the window keeps its
    // name and its unsaved mark, so closing asks again.
    if (!m_page->save(name)) {
        VLOG << "cannot save report template" << name;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка"),
                        QStringLiteral("Не удалось сохранить шаблон в файл %1.").arg(name),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return false;
    }
    m_fileName = name;
    m_edited = false;
    updateTitle();
    return true;
}

bool ReportWindow::maybeSave()
{
    if (!m_edited)
        return true;
    QMessageBox box;
    box.setText(QStringLiteral("Шаблон был изменен."));
    box.setInformativeText(QStringLiteral("Сохранить изменения?"));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return on_actionSave_triggered();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void ReportWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_fitDocks || !m_structureDock || !m_dataManagerDock)
        return;
    m_fitDocks = false;
    resizeDocks({m_dataManagerDock, m_structureDock},
                {m_dataManagerDock->fittingWidth(), m_structureDock->fittingWidth()}, Qt::Horizontal);
}

void ReportWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (maybeSave()) {
        writeSettings();
        event->accept();
    }
}

void ReportWindow::on_actionExit_triggered()
{
    // Exit ends the whole program, so unsaved edits are asked about first.
    if (!maybeSave())
        return;
    QCoreApplication::exit(0);
}

void ReportWindow::on_actionPrint_triggered()
{
    m_page->print(m_page->dataMode(), 0);
}

void ReportWindow::on_actionOptions_triggered()
{
}

void ReportWindow::on_updateOptions()
{
}

void ReportWindow::on_actionZoomIn_triggered()
{
    emit zoomIn();
}

void ReportWindow::on_actionZoomOut_triggered()
{
    emit zoomOut();
}

void ReportWindow::on_actionLoadBackgroundImage_triggered()
{
    loadBackground(false);
}

void ReportWindow::on_actionLoadBackgroundImage2_triggered()
{
    loadBackground(true);
}

void ReportWindow::loadBackground(bool second)
{
    const QString name = FileChooser::openFileName(this, QStringLiteral("Open file"), m_currentPath,
                                                   QStringLiteral("Image Files (*.png *.jpg *.bmp)"));
    if (name.isEmpty())
        return;
    if (!(second ? m_page->loadBackgroundImage2(name) : m_page->loadBackgroundImage(name))) {
        VLOG << "cannot load background image" << name;
        // The file's name is shown as it stands, never read as markup.
        showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Ошибка"),
                         QStringLiteral("Не удалось загрузить изображение фона из файла %1.\n"
                                        "Выберите изображение PNG, JPG или BMP.")
                             .arg(QDir::toNativeSeparators(name)));
        return;
    }
    if (MyGraphicsScene* scene = m_view ? m_view->scene() : nullptr) {
        const QPixmap pixmap = second ? m_page->backgroundImage2() : m_page->backgroundImage();
        if (second)
            scene->setBackgroundImage2(&pixmap);
        else
            scene->setBackgroundImage(&pixmap);
    }
    setEdited();
}

void ReportWindow::placeField(AbstractField* field)
{
    const QPointF centre = m_view->graphicsView()->visibleCenter();
    const double dotsPerMm = m_page->dotsPerMm();
    const double shift = 2.0 * m_page->fields().size();
    field->setX(centre.x() / dotsPerMm + shift - field->width() / 2.0);
    field->setY(centre.y() / dotsPerMm + shift - field->height() / 2.0);
    field->setPage(m_page);
}

void ReportWindow::on_actionAddTextField_triggered()
{
    m_view->scene()->clearSelection();
    auto* field = new TextField;
    field->setWidth(60.0);
    field->setHeight(10.0);
    placeField(field);
    field->setAlignFlags(Qt::AlignLeft | Qt::AlignTop);
    m_page->fields().append(field);
    m_view->addField(field);
    setEdited();
}

void ReportWindow::on_action_QR_triggered()
{
    m_view->scene()->clearSelection();
    auto* field = new QrField;
    field->setStyle(QrStyle(4, QBrush(Qt::white), QBrush(Qt::black)));
    field->setWidth(20.0);
    field->setHeight(20.0);
    placeField(field);
    m_page->fields().append(field);
    m_view->addField(field);
    setEdited();
}

void ReportWindow::on_actionAddTableField_triggered()
{
    m_view->scene()->clearSelection();
    auto* dialog = new EditTableFieldDialog(nullptr);
    connect(dialog, &EditTableFieldDialog::tableFieldCreated, this, &ReportWindow::on_tableFieldCreated);
    dialog->show();
    setEdited();
}

void ReportWindow::on_tableFieldCreated(TableField* f)
{
    if (!f)
        return;
    f->setWidth(160.0);
    f->setHeight(50.0);
    placeField(f);
    f->setAlignFlags(Qt::AlignLeft | Qt::AlignTop);
    f->prepare();
    m_page->fields().append(f);
    m_view->addField(f);
    // A step right and back refreshes the item and the properties dock.
    emit moveField(Qt::RightArrow);
    emit moveField(Qt::LeftArrow);
    setEdited();
}

void ReportWindow::on_actionDeleteField_triggered()
{
    MyGraphicsScene* scene = m_view ? m_view->scene() : nullptr;
    FieldGraphicsItem* item = scene ? scene->selectedItem() : nullptr;
    if (!item)
        return;
    AbstractField* field = item->field();
    m_page->fields().removeOne(field);
    scene->removeFieldItem(item);
    // Out of the page's list, nobody else frees it.
    delete field;
    setEdited();
}

void ReportWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Plus:
        emit zoomIn();
        break;
    case Qt::Key_Minus:
        emit zoomOut();
        break;
    case Qt::Key_W:
        setEdited();
        emit moveField(Qt::UpArrow);
        break;
    case Qt::Key_A:
        setEdited();
        emit moveField(Qt::LeftArrow);
        break;
    case Qt::Key_S:
        setEdited();
        emit moveField(Qt::DownArrow);
        break;
    case Qt::Key_D:
        setEdited();
        emit moveField(Qt::RightArrow);
        break;
    default:
        break;
    }
    QMainWindow::keyPressEvent(event);
}

void ReportWindow::writeSettings()
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("ReportWindow"));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("windowState"), saveState(0));
    settings.setValue(QStringLiteral("currentPath"), m_currentPath);
    settings.endGroup();
}

void ReportWindow::readSettings()
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    QCoreApplication::processEvents();
    settings.beginGroup(QStringLiteral("ReportWindow"));
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("windowState")).toByteArray(), 0);
    m_currentPath = settings.value(QStringLiteral("currentPath"), QStringLiteral(".")).toString();
    settings.endGroup();
}
