#include "modules/VelMainWindow/VelMainWindow.h"

#include "engine/Database.h"
#include "engine/DatabaseBackup.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/Engine.h"
#include "engine/FileChooser.h"
#include "engine/LongTask.h"
#include "engine/MessageLog.h"
#include "engine/ProductTypeInfo.h"
#include "engine/RestoreCopy.h"
#include "engine/TaskProgressDialog.h"
#include "engine/WidgetUtilities.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/about/AboutDialog.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/tips/TipsDialog.h"
#include "modules/updater/Updater.h"

#include <QCoreApplication>
#include <QDate>
#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int startupDelayMs = 100;
const char* const databaseFilter = "Database files (*.db)";

// Device and inode: a restore puts another file in place under the same name.
QPair<quint64, quint64> fileIdentity(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {0, 0};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

} // namespace

VelMainWindow::VelMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    engine = new Engine(nullptr);
    versionListUrl = Updater::defaultUrl();
    connect(engine, &Engine::error, this, &VelMainWindow::showMessage);
    setMinimumSize(800, 600);
    show();
    QTimer::singleShot(startupDelayMs, this, &VelMainWindow::onStartupTimer);
    lastDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

VelMainWindow::~VelMainWindow()
{
    // Waits for a check still reading the file.
    delete damageCheck;
    delete printDialog;
    delete preferencesDialog;
    delete engine;
    Database::destroy();
}

void VelMainWindow::showMessage(const QString& text, const QString& title)
{
    auto* box = new QMessageBox(this);
    box->setWindowTitle(title);
    // Paths, names and server answers come through here: never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->exec();
    box->deleteLater();
}

void VelMainWindow::holdStartupWork(bool held)
{
    startupHeld = held;
    if (!held && startupDue) {
        startupDue = false;
        // From the event loop, not from inside the constructor.
        QTimer::singleShot(0, this, &VelMainWindow::onStartupTimer);
    }
}

void VelMainWindow::onStartupTimer()
{
    if (startupHeld) {
        startupDue = true;
        return;
    }
    PreferencesDialog::applyProxy();
    loadSettings();
    startDamageCheck();
}

QString VelMainWindow::startupCheckStage()
{
    return QStringLiteral("Проверка базы данных");
}

// SQLite's quick check reads every page of the file: seconds on a large
// database, more when the file is not in the page cache. It runs on a thread
// and a read-only connection of its own while the window is in use.
void VelMainWindow::startDamageCheck()
{
    if (!Database::isOpen() || Database::isKnownDamaged()) {
        // The open road may already have met damaged pages.
        onDamageVerdict(Database::isKnownDamaged());
        return;
    }
    const QString path = Database::databaseFileName();
    const QPair<quint64, quint64> checkedFile = fileIdentity(path);
    auto whole = std::make_shared<std::atomic_bool>(true);
    damageCheck = new LongTask(this);
    connect(damageCheck, &LongTask::finished, this, [this, path, checkedFile, whole] {
        damageCheck->deleteLater();
        // A restore meanwhile checked the file it put in place itself.
        onDamageVerdict(!*whole && fileIdentity(path) == checkedFile);
    });
    damageCheck->start([path, whole](LongTask& task) {
        task.beginStage(startupCheckStage(), 0, false);
        *whole = DatabaseIntegrity::isWholeWhileInUse(path);
    });
}

// The notices come one after another, each box closed before the next, and
// the tips only after them.
void VelMainWindow::onDamageVerdict(bool damaged)
{
    if (damaged)
        Database::setKnownDamaged(true);
    warnAboutDatabase(damaged);
    warnAboutUnreadSettings();
    Database::checkLastStartedVersion();
    if (tipsOnStartup)
        showTips();
    emit startupFinished();
}

QString VelMainWindow::registerLoadProblem(int* documentsRead) const
{
    Q_UNUSED(documentsRead)
    return QString();
}

// One account of one damage: a document list cut short by it is told in the
// same box. The database is neither replaced nor repaired: either would throw
// away what can still be read.
void VelMainWindow::warnAboutDatabase(bool damaged)
{
    int documentsRead = 0;
    const QString registerProblem = registerLoadProblem(&documentsRead);
    if (!damaged) {
        // A list cut short for some other reason: the list's own notice.
        if (!registerProblem.isEmpty())
            showMessage(registerProblem, QStringLiteral("Ошибка"));
        return;
    }
    QString text = QStringLiteral("База данных %1 повреждена: часть её данных не читается, поэтому некоторые "
                                  "документы могут отсутствовать или быть неполными.")
                       .arg(QDir::toNativeSeparators(Database::databaseFileName()));
    if (!registerProblem.isEmpty())
        text += QStringLiteral("\n\nСписок документов прочитан не полностью: показаны только прочитанные "
                               "документы (%1).")
                    .arg(documentsRead);
    text += QStringLiteral("\n\nВосстановите базу данных из резервной копии (Инструменты — Восстановить из "
                           "резервной копии). Перед этим создайте резервную копию текущей базы: в ней "
                           "сохранится всё, что ещё читается.");
    showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Внимание!"), text);
}

void VelMainWindow::warnAboutUnreadSettings()
{
    QStringList notices;
    const QStringList files = Database::unreadSettingsFiles();
    for (const QString& file : files)
        notices << QStringLiteral("Файл настроек %1 не является обычным файлом: настройки из него не прочитаны, "
                                  "и изменения настроек в нём не сохранятся.")
                       .arg(QDir::toNativeSeparators(file));
    if (!notices.isEmpty())
        showPlainMessage(this, QMessageBox::Warning, QStringLiteral("Внимание!"), notices.join(QStringLiteral("\n\n")));
}

// ------------------------------------------------------------------ settings

void VelMainWindow::saveSettings()
{
    QSettings* settings = Database::userSettings();
    if (!settings)
        return;
    settings->beginGroup(ProductTypeInfo::applicationName());
    settings->setValue(QStringLiteral("geometry"), saveGeometry());
    settings->setValue(QStringLiteral("windowState"), saveState(0));
    settings->setValue(QStringLiteral("askBeforeExport"), askBeforeExport);
    settings->setValue(QStringLiteral("askBeforeEditor"), askBeforeEditor);
    settings->endGroup();
    // Written at shutdown, when no event loop is left to flush the file later.
    settings->sync();
    QCoreApplication::processEvents();
}

void VelMainWindow::loadSettings()
{
    QSettings* settings = Database::userSettings();
    if (!settings)
        return;
    settings->beginGroup(ProductTypeInfo::applicationName());
    restoreGeometry(settings->value(QStringLiteral("geometry")).toByteArray());
    restoreState(settings->value(QStringLiteral("windowState")).toByteArray(), 0);
    askBeforeExport = settings->value(QStringLiteral("askBeforeExport"), true).toBool();
    askBeforeEditor = settings->value(QStringLiteral("askBeforeEditor"), true).toBool();
    tipsOnStartup = settings->value(QStringLiteral("showTipsOnStartup"), true).toBool();
    settings->endGroup();
}

void VelMainWindow::importFrom()
{
    emit engine->error(QStringLiteral("В текущей версии возможность импорта ещё не реализована"),
                       QStringLiteral("Ошибка"));
}

void VelMainWindow::exportTo()
{
    emit engine->error(QStringLiteral("В текущей версии возможность экспорта ещё не реализована"),
                       QStringLiteral("Ошибка"));
}

// -------------------------------------------------------------------- editor

void VelMainWindow::openEditorWindow()
{
    if (printDialog)
        return;

    const QString warning = QStringLiteral(
        "<p align='justify'>Внимание!<br><br>Вы переходите в раздел \"Редактор шаблонов\".<br><br>"
        "Данный ресурс не предназначен для ввода данных учащихся и данных об образовательной "
        "организации.<br><br>Редактор шаблонов предназначен для небольшой корректировки расположения "
        "полей.<br><br>Продолжить?<br></p>");
    if (askBeforeEditor
        && execSilenceableNotice(&askBeforeEditor, warning, Qt::RichText, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
               != QMessageBox::Yes)
        return;

    printDialog = new PrintDialog(this);
    printDialog->setEditMode();
    connect(printDialog, &PrintDialog::reportTypeSelected, this, &VelMainWindow::onEditorTypeSelected);
    printDialog->show();
}

void VelMainWindow::onEditorTypeSelected(ReportList::ReportType type, bool /*printBackground*/)
{
    const QString path = Engine::reportFilePath(type);
    if (!fileExists(path)) {
        VLOG << "cant find report file" << path;
        emit engine->error(QStringLiteral("Шаблон отчёта %1 не найден.").arg(path), QStringLiteral("Ошибка"));
        return;
    }
    engine->onGuiEdit(type);
}

// ----------------------------------------------------------- backup, restore

QString VelMainWindow::proposedFileName(const QString& kind, const QString& extension) const
{
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    return FileChooser::joinPath(lastDir, QStringLiteral("%1-%2-%3%4")
                                              .arg(ProductTypeInfo::applicationName(), kind, date, extension));
}

QString VelMainWindow::proposedBackupName() const
{
    return proposedFileName(QStringLiteral("backup"), QStringLiteral(".db"));
}

// The copy and its check run on a thread of their own under a progress
// dialog, so the window repaints meanwhile; a stopped backup leaves nothing.
bool VelMainWindow::saveDatabaseBackup()
{
    const QString path = FileChooser::saveFileName(this, QStringLiteral("Save file"), proposedBackupName(),
                                                   QLatin1String(databaseFilter));
    if (path.isEmpty())
        return false;
    QString reason;
    bool damaged = false, written = false, cancelled = false;
    if (DatabaseBackup::prepareBackup(path, &reason)) {
        cancelled = TaskProgressDialog::run(this, QStringLiteral("Создание резервной копии"), [&](LongTask& task) {
            written = DatabaseBackup::writeBackup(path, &task, &reason, &damaged);
        });
    }
    if (!written) {
        if (cancelled && reason.isEmpty())
            return false;
        const QString text = QStringLiteral("Не удалось сохранить резервную копию.");
        emit engine->error(reason.isEmpty() ? text : text + QLatin1Char('\n') + reason, QStringLiteral("Ошибка"));
        return false;
    }
    if (damaged) {
        emit engine->error(QStringLiteral("Резервная копия создана, но база данных повреждена: часть её данных не "
                                          "читается, и в копии этих данных тоже нет.\n\nСохраните эту копию: в ней "
                                          "всё, что ещё читается. Для работы восстановите базу данных из более "
                                          "ранней исправной резервной копии."),
                           QStringLiteral("Внимание!"));
        return true;
    }
    emit engine->error(QStringLiteral("Резервная копия успешно создана."), QStringLiteral("Информация"));
    return true;
}

// The copy is made ready on a thread of its own under a progress dialog; only
// the swap, which closes and reopens the program's connection, comes after it
// here. A cancel leaves the database as it was and no copy behind.
bool VelMainWindow::loadDatabaseBackup()
{
    const QString path = FileChooser::openFileName(this, QStringLiteral("Open file"), lastDir,
                                                   QLatin1String(databaseFilter));
    if (path.isEmpty())
        return false;
    QString reason, kept;
    bool restored = false, cancelled = false;
    if (DatabaseBackup::checkRestoreSource(path, &reason)) {
        RestoreCopy copy(path);
        bool prepared = false;
        cancelled = TaskProgressDialog::run(this, QStringLiteral("Восстановление из резервной копии"),
                                            [&](LongTask& task) { prepared = copy.prepare(&task); });
        if (!prepared)
            reason = copy.reason();
        else if (!cancelled)
            restored = DatabaseBackup::swapIn(copy, &reason, &kept);
    }
    if (!restored) {
        if (cancelled && reason.isEmpty()) {
            VLOG << "restore cancelled" << path;
            return false;
        }
        const QString text = QStringLiteral("Не удалось загрузить резервную копию.");
        emit engine->error(reason.isEmpty() ? text : text + QLatin1Char('\n') + reason, QStringLiteral("Ошибка"));
        return false;
    }
    QString text = QStringLiteral("Резервная копия успешно загружена.");
    if (!kept.isEmpty())
        text += QStringLiteral("\nПрежняя база данных сохранена в файле %1.").arg(QDir::toNativeSeparators(kept));
    emit engine->error(text, QStringLiteral("Информация"));
    return true;
}

// ------------------------------------------------------- modules and openers

void VelMainWindow::showPreferences()
{
    if (preferencesDialog)
        return;
    preferencesDialog = new PreferencesDialog(this);
    preferencesDialog->show();
}

void VelMainWindow::showAbout()
{
    (new AboutDialog(this))->show();
}

void VelMainWindow::showTips()
{
    (new TipsDialog(this))->show();
}

void VelMainWindow::setVersionListUrl(const QString& url)
{
    versionListUrl = url;
}

void VelMainWindow::checkUpdates(bool isSilent)
{
    // One check at a time: asking again waits for the running check, and a
    // check the user asked for shows its answer even if it began silently.
    updateCheckSilent = isSilent && (!runningUpdate || updateCheckSilent);
    if (runningUpdate)
        return;
    runningUpdate = new Updater(versionListUrl, this);
    const QString title = QStringLiteral("Проверка обновлений");
    connect(runningUpdate, &Updater::updateIsReady, this, [this, title](const QString& link) {
        if (link.isEmpty()) {
            emit engine->error(QStringLiteral("Доступна новая версия. \nСервер обновлений не дал ссылки для "
                                              "скачивания, загрузите её с сайта программы."),
                               title);
        } else if (!updateCheckSilent) {
            emit engine->error(
                QStringLiteral("Доступна новая версия. \nСсылка для скачивания будет открыта в вашем браузере."), title);
            openWebLink(QUrl(link));
        } else {
            QMessageBox box;
            box.setWindowTitle(title);
            box.setText(QStringLiteral("Доступна новая версия. Загрузить?"));
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            if (box.exec() == QMessageBox::Yes)
                openWebLink(QUrl(link));
        }
    });
    connect(runningUpdate, &Updater::updatingError, this, [this, title](const QString& text) {
        if (!updateCheckSilent)
            emit engine->error(text, title);
    });
}

void VelMainWindow::checkUpdates()
{
    checkUpdates(false);
}

QUrl VelMainWindow::forumUrl()
{
    return QUrl(QStringLiteral("https://forum.velsoftware.example/"));
}

void VelMainWindow::openForumUrl()
{
    openWebLink(forumUrl());
}

