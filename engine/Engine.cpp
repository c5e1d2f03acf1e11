#include "engine/Engine.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/ProtectedFiles.h"
#include "engine/ReportEditor.h"
#include "engine/ReportInfo.h"
#include "report/ReportFile.h"
#include "report/ReportPage.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QWidget>

namespace {

QString notFoundText(const QString& path)
{
    return QStringLiteral("Шаблон отчёта %1 не найден.").arg(path);
}

QString invalidFormatText(const QString& path)
{
    return QStringLiteral("Шаблон отчёта %1 имеет неверный формат.").arg(path);
}

const QString restoreAdvice =
    QStringLiteral("Возможно, файл базы данных повреждён; восстановите его из резервной копии.");

// A blank is numbered and issued once: one printed from part of a document
// would be wasted, or issued wrong, so nothing is printed at all.
QString unreadDocumentText(const QString& parts)
{
    return QStringLiteral("Документ не удалось полностью прочитать из базы данных (не прочитано: %1), "
                          "поэтому он не напечатан.\n\n")
               .arg(parts)
        + restoreAdvice;
}

QString unreadSampleText(const QString& parts)
{
    return QStringLiteral("Данные первого документа для примера не удалось полностью прочитать из базы данных "
                          "(не прочитано: %1), поэтому шаблон открыт без них.\n\n")
               .arg(parts)
        + restoreAdvice;
}

// The page reader takes any text and yields an empty page for what is no
// JSON object; a print of such a file would be a blank sheet, so the print
// road refuses it first.
bool holdsTemplate(const QString& path)
{
    QByteArray data;
    if (!ReportFile::readFile(path, data))
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    return parseError.error == QJsonParseError::NoError && document.isObject();
}

} // namespace

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

Engine::Engine(QObject* parent)
    : QObject(parent)
{
    // No print run, of a document or of the designer's test sheet, may print
    // into the database or a settings file.
    ReportPage::setOutputFileCheck(&ProtectedFiles::refusalText);
}

Engine::~Engine() = default;

ReportPage* Engine::currentPage() const
{
    return m_currentPage;
}

QString Engine::reportFilePath(ReportList::ReportType type)
{
    const ReportInfo* info = ReportList::info(type);
    if (!info) {
        VLOG << "no template file for an unregistered report type" << int(type);
        return QString();
    }
    const QString fileName = info->name + QStringLiteral(".velrpt");
    const QString installed = Database::dataPath() + QStringLiteral("/reports/") + fileName;
    if (fileExists(installed))
        return installed;
    return QStringLiteral("reports/") + fileName;
}

QPixmap Engine::pixmap(ReportList::ReportType type)
{
    const QString path = reportFilePath(type);
    if (!fileExists(path)) {
        VLOG << "cant find report file" << path;
        return QPixmap();
    }
    VLOG << path;
    ReportPage page;
    page.load(path);
    return page.backgroundImage();
}

QString Engine::existingTemplatePath(ReportList::ReportType type)
{
    const QString path = reportFilePath(type);
    if (fileExists(path))
        return path;
    VLOG << "cant find report file" << path;
    emit error(notFoundText(path), QStringLiteral("Ошибка"));
    return QString();
}

bool Engine::loadReportData(ReportList::ReportType type, ReportPage* page, int sqlDocId, bool useData)
{
    const ReportInfo* info = ReportList::info(type);
    if (!info || !page) {
        VLOG << "cant fill report page: type" << int(type) << "page" << page;
        return false;
    }
    info->loadData(page, sqlDocId, useData);
    return true;
}

void Engine::onDocumentPrint(ReportList::ReportType type, int sqlDocId, bool printBackground)
{
    if (!ReportList::info(type)) {
        VLOG << "Error printing: unregistered report type" << int(type);
        return;
    }

    // The replaced page may still be on the stack of a finishing print run
    // (its preview dialogs run their own event loops), so it goes once
    // control is back in the event loop.
    if (m_currentPage)
        m_currentPage->deleteLater();
    m_currentPage = new ReportPage(this);

    if (sqlDocId < 0) {
        VLOG << "Error printing sqlDocId < 0" << sqlDocId;
        return;
    }

    const QString path = existingTemplatePath(type);
    if (path.isEmpty())
        return;
    if (!holdsTemplate(path) || !m_currentPage->load(path)) {
        VLOG << "invalid report file" << path;
        emit error(invalidFormatText(path), QStringLiteral("Ошибка"));
        return;
    }

    const QPointer<ReportPage> page = m_currentPage;
    loadReportData(type, page, sqlDocId, true);
    if (!page)
        return;
    if (!page->dataProblem().isEmpty()) {
        VLOG << "Error printing: document" << sqlDocId << "not read whole:" << page->dataProblem();
        emit error(unreadDocumentText(page->dataProblem()), QStringLiteral("Ошибка"));
        return;
    }
    page->print(true, printBackground ? 1 : -1);
}

void Engine::onGuiEdit(ReportList::ReportType type)
{
    if (!ReportList::info(type)) {
        VLOG << "Error editing: unregistered report type" << int(type);
        return;
    }

    const QString path = existingTemplatePath(type);
    if (path.isEmpty())
        return;

    ReportEditor* editor = ReportEditor::create();
    if (!editor) {
        VLOG << "no report designer available";
        return;
    }
    const QPointer<QWidget> window = editor->editorWindow();
    if (!editor->openFile(path)) {
        emit error(invalidFormatText(path), QStringLiteral("Ошибка"));
        if (window)
            window->deleteLater();
        return;
    }

    // The window owns its page; the engine fills it and forgets it, so no
    // later print request can take it away from the open designer.
    // The designer opens all the same: the template is what it edits, the
    // sample data only shows how it fills. The loader leaves a page it could
    // not fill whole without data.
    const QPointer<ReportPage> page = editor->reportPage();
    if (page) {
        loadReportData(type, page, 0, false);
        if (page && !page->dataProblem().isEmpty())
            emit error(unreadSampleText(page->dataProblem()), QStringLiteral("Ошибка"));
    }
    if (window)
        window->show();
}
