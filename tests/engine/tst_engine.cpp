#include "DatabaseFixtures.h"
#include "engine/Engine.h"
#include "engine/ReportEditor.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QPointer>
#include <QPrintPreviewDialog>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace DocumentFixtures;
using DatabaseFixtures::writeBytes;

namespace {

const QString NotFound = QStringLiteral("Шаблон отчёта %1 не найден.");
const QString BadFormat = QStringLiteral("Шаблон отчёта %1 имеет неверный формат.");

// A designer window as the engine sees it: it owns the page it edits.
class FakeEditor : public QWidget, public ReportEditor
{
public:
    static inline int created = 0;
    static inline bool opens = true;
    static inline QPointer<FakeEditor> last;

    FakeEditor() : m_page(new ReportPage(this)) { ++created, last = this; }

    bool openFile(const QString& fileName) override
    {
        openedPath = fileName;
        return opens && QFileInfo::exists(fileName);
    }
    ReportPage* reportPage() override { return m_page; }
    QWidget* editorWindow() override { return this; }

    QString openedPath;
    QPointer<ReportPage> m_page;
};

// One text field with the full name on as many sheets as asked.
QByteArray templateJson(int pagesCount)
{
    return QStringLiteral(R"({"orientation": 1, "pagesCount": %1, "pageSize": 0, "printBackgroundImage": false,
        "tableFields": [], "backgroundImage": "",
        "textFields": [{"x": 10, "y": 10, "width": 100, "height": 10, "id": "$V{Full_Name}"}]})")
        .arg(pagesCount)
        .toUtf8();
}

QString installedPath(const QString& name) { return Database::dataPath() + "/reports/" + name + ".velrpt"; }

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

} // namespace

// Engine: finding templates, the print road up to the printer, the editor
// road and who owns which page.
class EngineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        // The relative fallback is resolved against the working directory.
        QVERIFY(QDir::setCurrent(m_workDir.path()));
    }

    void init()
    {
        QVERIFY(openEmpty());
        clearUserReports();
        QDir(m_workDir.path() + "/reports").removeRecursively();
        FakeEditor::opens = true;
        ReportEditor::setFactory([] { return new FakeEditor; });
        // Every preview that a test opens is closed unprinted; boxes get No.
        m_previews = 0;
        m_answerer = std::make_unique<ModalAnswerer>();
        m_answerer->setDefaultAnswer(QMessageBox::No);
        m_engine = std::make_unique<Engine>();
        m_errors = std::make_unique<QSignalSpy>(m_engine.get(), &Engine::error);
        m_answerer->onDialog([this](QWidget* widget) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(widget);
            if (preview)
                ++m_previews, preview->reject();
            return preview != nullptr;
        });
    }

    void cleanup()
    {
        m_errors.reset();
        m_engine.reset();
        m_answerer.reset();
        delete FakeEditor::last.data();
        flushDeletes();
    }

    void reportFilePathPrefersTheDataDirectory()
    {
        QVERIFY(writeBytes(installedPath("id120"), templateJson(1)));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoDiploma), installedPath("id120"));
        // The others have no file there: relative fallback, not checked; a
        // directory named like a template is no template.
        QVERIFY(QDir().mkpath(installedPath("id121")));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAddition), QStringLiteral("reports/id121.velrpt"));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAdditionDouble), QStringLiteral("reports/id121double.velrpt"));
        QVERIFY(fileExists(installedPath("id120")) && !fileExists(installedPath("id121")) && !fileExists(QString()));
        // A file at the relative fallback is printed.
        QVERIFY(writeBytes(m_workDir.path() + "/reports/id124.velrpt", templateJson(0)));
        m_engine->onDocumentPrint(ReportList::SpoDiplomaExcellent, insertDocument(fullDocument()), false);
        QCOMPARE(m_errors->count(), 0);
        QCOMPARE(m_engine->currentPage()->fields().size(), 1);
        QCOMPARE(m_engine->currentPage()->variables().value("last_name").toString(), QStringLiteral("Иванова"));
    }

    // Nothing is filled, asked or printed; a designer that cannot open the
    // file is released unshown.
    void badTemplateIsReported_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QByteArray>("content"); // empty: directories named like the template
        QTest::newRow("print, missing") << false << QByteArray();
        QTest::newRow("print, not JSON") << false << QByteArray("это не шаблон");
        QTest::newRow("print, array") << false << QByteArray("[1, 2, 3]");
        QTest::newRow("print, no read permission") << false << QByteArray("unreadable");
        QTest::newRow("edit, missing") << true << QByteArray();
        QTest::newRow("edit, designer cannot open it") << true << QByteArray("refused");
    }

    void badTemplateIsReported()
    {
        QFETCH(bool, edit);
        QFETCH(QByteArray, content);
        const QString path = installedPath("id121");
        if (content.isEmpty())
            QVERIFY(QDir().mkpath(path) && QDir().mkpath(m_workDir.path() + "/reports/id121.velrpt"));
        else
            QVERIFY(writeBytes(path, content == "unreadable" || content == "refused" ? templateJson(1) : content));
        if (content == "unreadable") {
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
            if (QFile(path).open(QIODevice::ReadOnly))
                QSKIP("this user reads files without read permission");
        }
        FakeEditor::opens = content != "refused";
        const int editors = FakeEditor::created;
        if (edit) {
            m_engine->onGuiEdit(ReportList::SpoAddition);
        } else {
            if (content.isEmpty())
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cant find report file \"reports/id121.velrpt\"$"));
            m_engine->onDocumentPrint(ReportList::SpoAddition, insertDocument(fullDocument()), true);
        }
        QCOMPARE(error(), content.isEmpty() ? NotFound.arg("reports/id121.velrpt") : BadFormat.arg(path));
        QCOMPARE((*m_errors)[0][1].toString(), QStringLiteral("Ошибка"));
        QVERIFY(m_answerer->texts().isEmpty() && m_previews == 0);
        QVERIFY(!m_engine->currentPage() || m_engine->currentPage()->variables().isEmpty());
        QVERIFY(!m_engine->currentPage() || !m_engine->currentPage()->dataMode());
        QCOMPARE(FakeEditor::created, editors + int(edit && !content.isEmpty()));
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(!editor || (!editor->isVisible() && editor->reportPage()->variables().isEmpty()));
        flushDeletes();
        QVERIFY(!editor);
    }

    void badRequestsAreRefusedQuietly()
    {
        QVERIFY(writeBytes(installedPath("id120"), templateJson(0)));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing sqlDocId < 0 -1$"));
        m_engine->onDocumentPrint(ReportList::SpoDiploma, -1, true);
        QVERIFY(m_engine->currentPage()->fields().isEmpty() && !m_engine->currentPage()->dataMode());

        const auto bad = ReportList::ReportType(400);
        const int editors = FakeEditor::created;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing: unregistered report type 400$"));
        m_engine->onDocumentPrint(bad, 1, true);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error editing: unregistered report type 400$"));
        m_engine->onGuiEdit(bad);
        QCOMPARE(FakeEditor::created, editors);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("unregistered report type 400$"));
        QCOMPARE(Engine::reportFilePath(bad), QString());
        QVERIFY(Engine::pixmap(bad).isNull());
        ReportPage page;
        QVERIFY(!Engine::loadReportData(bad, &page, 1, true) && !Engine::loadReportData(ReportList::SpoDiploma, nullptr, 1, true));
        // Without a designer the editor road stops with a log line.
        ReportEditor::setFactory(ReportEditor::Factory());
        QVERIFY(!ReportEditor::hasFactory());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no report designer available$"));
        m_engine->onGuiEdit(ReportList::SpoDiploma);
        QCOMPARE(m_errors->count(), 0);
    }

    // Each print takes a page of its own; the designer's page is never taken.
    void printingReplacesItsOwnPageOnly()
    {
        insertDocument(fullDocument());
        const int other = insertDocument({{"fio1", QStringLiteral("Петров")}});
        // No sheets: print() sets its modes and shows nothing.
        QVERIFY(writeBytes(installedPath("id120"), templateJson(0)));
        m_engine->onGuiEdit(ReportList::SpoDiploma);
        // The designer opens the file with sample data of the first document.
        QPointer<FakeEditor> editor = FakeEditor::last;
        QCOMPARE(editor->openedPath, installedPath("id120"));
        QVERIFY(editor->isVisible() && !m_engine->currentPage());
        QPointer<ReportPage> designerPage = editor->reportPage();

        m_engine->onDocumentPrint(ReportList::SpoDiploma, other, true);
        QPointer<ReportPage> firstPage = m_engine->currentPage();
        QCOMPARE(firstPage->parent(), m_engine.get());
        QVERIFY(firstPage->dataMode() && firstPage->printBackgroundImage());
        m_engine->onDocumentPrint(ReportList::SpoDiploma, other, false);
        QVERIFY(!m_engine->currentPage()->printBackgroundImage());
        QVERIFY(m_engine->currentPage()->model("ViewSpoDetails"));
        QCOMPARE(m_engine->currentPage()->variables().value("last_name").toString(), QStringLiteral("Петров"));
        flushDeletes();
        QVERIFY(!firstPage && designerPage);
        QCOMPARE(designerPage->variables().value("last_name").toString(), QStringLiteral("Иванова"));
        QVERIFY(!designerPage->dataMode());
        m_errors.reset();
        m_engine.reset();
        flushDeletes();
        QVERIFY(designerPage);
        // The window alone decides the page's end.
        delete editor.data();
        QVERIFY(!designerPage);
    }

private:
    // The one error text the engine sent, or a note of how many there were.
    QString error() const
    {
        return m_errors->count() == 1 ? m_errors->at(0).at(0).toString()
                                      : QStringLiteral("%1 errors").arg(m_errors->count());
    }

    QTemporaryDir m_workDir;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<QSignalSpy> m_errors;
    std::unique_ptr<ModalAnswerer> m_answerer;
    int m_previews = 0;
};

VELSPO_TEST_MAIN(EngineTest)
#include "tst_engine.moc"
