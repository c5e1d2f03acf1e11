#include "product/MainWindow.h"
#include "ui_MainWindow.h"

#include "dialogs/DocumentEditDialog.h"
#include "dialogs/OptionsDialog.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/FileChooser.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/ProtectedFiles.h"
#include "engine/TaskProgressDialog.h"
#include "engine/WidgetUtilities.h"
#include "product/DocumentsTable.h"
#include "product/FilterDockWidget.h"
#include "product/RegisterExport.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget* parent)
    : VelMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // The base's start-up work waits for the event loop, not for an event
    // processed in here: the register's load may outlast its delay.
    holdStartupWork(true);
    ui->setupUi(this);
    setWindowTitle(ProductTypeInfo::titleWithVersion());

    topWidget = new QWidget(this);

    documentsTable = new DocumentsTable(nullptr);
    connect(documentsTable, &DocumentsTableAbstract::documentClicked, this, &MainWindow::onDocumentEdit);
    connect(documentsTable, &DocumentsTableAbstract::documentPrint, engine, &Engine::onDocumentPrint);
    connect(documentsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::onSelectionChanged);
    connect(documentsTable, &DocumentsTableAbstract::unselect, this, [this] { onUpdateIcons(0); });
    // A reload empties the selection without a selectionChanged signal.
    connect(documentsTable, &DocumentsTableAbstract::reselected, this, &MainWindow::onSelectionChanged);
    connect(documentsTable, &DocumentsTableAbstract::readFailed, this, &MainWindow::onRegisterReadFailed);

    filterDock = new FilterDockWidget(nullptr);
    filterDock->setFixedWidth(filterDock->width());
    connect(filterDock, &QDockWidget::visibilityChanged, ui->actionFilter, &QAction::setChecked);
    connect(ui->actionFilter, &QAction::toggled, filterDock, &QWidget::setVisible);

    // The panel lies in the central widget beside the register, not docked.
    auto* container = new QWidget;
    auto* containerLayout = new QHBoxLayout(container);
    containerLayout->addWidget(documentsTable);
    containerLayout->addWidget(filterDock);
    connect(filterDock, &FilterDockWidgetAbstract::filtersChanged, documentsTable, &DocumentsTable::onFiltersChanged);

    auto* central = new QWidget(this);
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->addWidget(topWidget);
    centralLayout->addWidget(container);
    setCentralWidget(central);

    statusLabel = new QLabel(this);
    statusBar()->addPermanentWidget(statusLabel, 1);
    statusBar()->setSizeGripEnabled(true);
    QFont statusFont = statusBar()->font();
    statusFont.setPointSize(10);
    statusLabel->setFont(statusFont);

    show();
    QCoreApplication::processEvents();
    ui->actionFilter->setChecked(true);
    onUpdateIcons(0);
    // A first load that stopped short is told once the window is up, among the
    // start-up notices (registerLoadProblem).
    holdStartupWork(false);
}

MainWindow::~MainWindow()
{
    saveSettings();
    // The dialogs write their settings when they go; the database is still open here.
    delete documentEditDialog;
    delete selectTemplateDialog;
    qDeleteAll(findChildren<OptionsDialog*>(QString(), Qt::FindDirectChildrenOnly));
    delete ui;
}

DocumentsTable* MainWindow::documentsRegister() const
{
    return documentsTable;
}

FilterDockWidget* MainWindow::filterPanel() const
{
    return filterDock;
}

void MainWindow::onSelectionChanged()
{
    int count = 0;
    if (documentsTable && documentsTable->tableModel() && documentsTable->tableModel()->rowCount() > 0)
        count = documentsTable->selectedVisibleRows().size();
    onUpdateIcons(count);
}

void MainWindow::onRegisterReadFailed(const QString& text)
{
    emit engine->error(text, QStringLiteral("Ошибка"));
}

QString MainWindow::registerLoadProblem(int* documentsRead) const
{
    if (!documentsTable)
        return QString();
    if (documentsRead && documentsTable->tableModel())
        *documentsRead = documentsTable->tableModel()->rowCount();
    return documentsTable->loadProblem();
}

void MainWindow::onUpdateIcons(int selectedCount)
{
    ui->actionRemove->setVisible(selectedCount >= 1);
    ui->actionEdit->setVisible(selectedCount == 1);
    ui->actionPrint->setVisible(selectedCount == 1);
    ui->actionCopy->setVisible(selectedCount == 1);
}

// ------------------------------------------------------------ document flows

DocumentEditDialog* MainWindow::newDocumentEditDialog()
{
    documentEditDialog = new DocumentEditDialog(this);
    connect(documentEditDialog, &DocumentEditDialog::documentsUpdated, documentsTable,
            &DocumentsTableAbstract::updateData);
    connect(documentEditDialog, &DocumentEditDialog::documentPrint, engine, &Engine::onDocumentPrint);
    return documentEditDialog;
}

void MainWindow::onDocumentEdit(int sqlDocId)
{
    if (sqlDocId < 0) {
        on_actionCreateDoc_triggered();
        return;
    }
    DocumentEditDialog* dialog = newDocumentEditDialog();
    dialog->setSpoId(sqlDocId);
    dialog->show();
}

void MainWindow::on_actionCreateDoc_triggered()
{
    selectTemplateDialog = new SelectTemplateDialog(this);
    connect(selectTemplateDialog, &SelectTemplateDialog::spoIdSelected, this,
            &MainWindow::onDocumentFromTemplateCreate);
    connect(selectTemplateDialog, &SelectTemplateDialog::newTemplate, this, &MainWindow::onNewTemplate);
    connect(selectTemplateDialog, &SelectTemplateDialog::editTemplate, this, &MainWindow::onTemplateEdit);
    selectTemplateDialog->show();
}

void MainWindow::onDocumentFromTemplateCreate(int templateId)
{
    DocumentEditDialog* dialog = newDocumentEditDialog();
    dialog->createFromTemplate(templateId);
    dialog->show();
}

void MainWindow::onNewTemplate()
{
    // A new template is an unsaved one opened in the template form.
    onTemplateEdit(-1);
}

void MainWindow::onTemplateEdit(int sqlDocId)
{
    DocumentEditDialog* dialog = newDocumentEditDialog();
    if (selectTemplateDialog)
        connect(dialog, &DocumentEditDialog::documentsUpdated, selectTemplateDialog,
                &SelectTemplateDialog::fillListWidget);
    dialog->setSpoId(sqlDocId);
    dialog->setTemplateMode(true);
    dialog->show();
}

// ------------------------------------------------------------------- actions

void MainWindow::on_actionExit_triggered()
{
    QCoreApplication::exit(0);
}

void MainWindow::on_actionSettings_triggered()
{
    auto* dialog = new OptionsDialog(this);
    dialog->show();
}

void MainWindow::on_actionEditor_triggered()
{
    openEditorWindow();
}

void MainWindow::on_actionImport_triggered()
{
}

void MainWindow::on_actionExport_triggered()
{
    exportTo();
}

void MainWindow::exportTo()
{
    if (askBeforeExport)
        execSilenceableNotice(&askBeforeExport,
                              QStringLiteral("При экспорте в Excel будут применены текущие настройки фильтрации"),
                              Qt::PlainText, QMessageBox::Ok, QMessageBox::Ok);
    exportTo_(QString());
}

void MainWindow::exportTo_(QString /*reportName*/)
{
    const QString path = FileChooser::saveFileName(this, QStringLiteral("Экспорт в Excel"),
                                                   proposedFileName(QStringLiteral("export"), QStringLiteral(".xlsx")),
                                                   QStringLiteral("Excel files (*.xlsx)"));
    if (path.isEmpty())
        return;
    // A workbook written over the database would take every document with it.
    const QString refusal = ProtectedFiles::refusalText(path);
    if (!refusal.isEmpty()) {
        VLOG << "export refused: the program's own file" << path;
        emit engine->error(refusal, QStringLiteral("Ошибка"));
        return;
    }
    const QList<QPair<QString, QVariant>> filters = filterDock ? filterDock->filters() : QList<QPair<QString, QVariant>>();
    // A large register takes seconds: it is written on a thread of its own,
    // on a connection of its own, while the window goes on.
    RegisterExport exporter(Database::databaseFileName(), filters);
    RegisterExport::Result result = RegisterExport::Result::Failed;
    TaskProgressDialog::run(this, QStringLiteral("Экспорт в Excel"),
                            [&exporter, &result, &path](LongTask& task) { result = exporter.writeTo(path, &task); });
    switch (result) {
    case RegisterExport::Result::Saved:
        openLocalFile(path);
        break;
    case RegisterExport::Result::Cancelled:
        VLOG << "export cancelled" << path;
        break;
    case RegisterExport::Result::Failed: {
        if (exporter.metDamage())
            Database::setKnownDamaged(true);
        QString text = QStringLiteral("Не удалось сохранить файл %1.").arg(path);
        if (!exporter.problem().isEmpty())
            text += QLatin1Char('\n') + exporter.problem();
        emit engine->error(text, QStringLiteral("Ошибка"));
        break;
    }
    }
}

void MainWindow::on_actionSaveDb_triggered()
{
    saveDatabaseBackup();
}

void MainWindow::on_actionLoadDb_triggered()
{
    loadDatabaseBackup();
    // Whatever the result: a failed restore may still have touched the connection.
    documentsTable->updateData();
}

void MainWindow::on_actionRemove_triggered()
{
    documentsTable->onDeleteAction();
}

void MainWindow::on_actionPrint_triggered()
{
    documentsTable->onPrintAction();
}

void MainWindow::on_actionEdit_triggered()
{
    documentsTable->onEditAction();
}

void MainWindow::on_actionCopy_triggered()
{
    documentsTable->onCopyRecordAction();
}

void MainWindow::on_actionAbout_triggered()
{
    showAbout();
}

void MainWindow::on_actionCheckUpdates_triggered()
{
    checkUpdates(false);
}

void MainWindow::on_actionTips_triggered()
{
    showTips();
}

void MainWindow::on_actionPreferences_triggered()
{
    showPreferences();
}

void MainWindow::on_actionForumUrl_triggered()
{
    openForumUrl();
}
