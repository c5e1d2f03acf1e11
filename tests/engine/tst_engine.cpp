#include "DatabaseFixtures.h"
#include "engine/Engine.h"
#include "engine/ReportEditor.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "support/PageMaker.h"
#include "support/PrintRun.h"
#include "support/TestEnvironment.h"

#include <QPixmap>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using namespace DocumentFixtures;
using DatabaseFixtures::writeBytes;

namespace {

const QString NotFound = QStringLiteral("Шаблон отчёта %1 не найден.");
const QString BadFormat = QStringLiteral("Шаблон отчёта %1 имеет неверный формат.");
const QString backgroundQuestion = QStringLiteral("Включена печать фона.\nПродолжить?!");
const QString turnOver = QStringLiteral("Переверните страницу!");

QString mark(int index) { return QStringLiteral("[preview %1]").arg(index); }

// A two-sheet supplement template: the name and the subjects table on sheet
// 0, the short name on sheet 1; optionally a red background.
bool writeSupplementTemplate(bool withBackground)
{
    ReportPage page;
    page.setPagesCount(2);
    PageMaker::field<TextField>(page, {20, 10, 200, 10}, QStringLiteral("ФИО: $V{Full_Name} $V{City}"));
    PageMaker::field<TextField>(page, {20, 210 + 195, 200, 10}, QStringLiteral("Подпись: $V{Full_Name_short}"));
    PageMaker::table(page, 20, 45, QStringLiteral("ViewSpoDetails"), {"col1"}, {150}, 8, 7)
        ->setHeaderNames({QStringLiteral("Заголовок-col1")});
    if (withBackground) {
        QPixmap red(297, 210);
        red.fill(Qt::red);
        page.setBackgroundImage(red);
    }
    QDir().mkpath(Database::dataPath() + QStringLiteral("/reports"));
    return page.save(Database::dataPath() + QStringLiteral("/reports/id121double.velrpt"));
}

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

// Engine: finding templates, the print road down to the printed sheets, the
// editor road and who owns which page.
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
        m_run = std::make_unique<PrintRun>();
        m_engine = std::make_unique<Engine>();
        m_errors = std::make_unique<QSignalSpy>(m_engine.get(), &Engine::error);
    }

    void cleanup()
    {
        m_errors.reset();
        m_engine.reset();
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty());
        m_run.reset();
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
        QVERIFY(m_run->answerer.texts().isEmpty() && m_run->driver.previewCount() == 0);
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

    void backgroundIsAskedForFirst()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(true));
        // No: nothing printed, no preview.
        m_run->answerer.answer(QMessageBox::No);
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_run->driver.events() + m_run->answerer.titles(), (QStringList{backgroundQuestion, "Внимание!"}));
        // Yes: the document's values on both sheets.
        m_run->answerer.answer(QMessageBox::Yes);
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, id, true);
        QCOMPARE(m_run->driver.events(), (QStringList{backgroundQuestion, backgroundQuestion, mark(0), turnOver, mark(1)}));
        const QString text = PreviewDriver::pdfText(m_run->driver.pdfFiles().value(0));
        QVERIFY2(text.contains("ФИО: Иванова Мария Петровна") && text.contains("Практика"), qPrintable(text));
        QVERIFY(PreviewDriver::pdfText(m_run->driver.pdfFiles().value(1)).contains("Подпись: Иванова М.П."));
    }

    void missingDocumentPrintsTheTemplateEmpty()
    {
        setRequisites();
        QVERIFY(writeSupplementTemplate(false));
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, 4242, false);
        QCOMPARE(m_errors->count(), 0);
        QCOMPARE(m_run->driver.events(), (QStringList{mark(0), turnOver, mark(1)}));
        const QString first = PreviewDriver::pdfText(m_run->driver.pdfFiles().value(0));
        // Tokens print as nothing; the table keeps its header.
        QVERIFY2(first.contains(QStringLiteral("ФИО:")) && first.contains(QStringLiteral("Заголовок-col1")),
                 qPrintable(first));
        for (const char* text : {"$V{", "Москва", "Практика"})
            QVERIFY2(!first.contains(QString::fromUtf8(text)), text);
    }

    void printingAgainStartsANewRun()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeSupplementTemplate(false));
        m_run->driver.setAction(PreviewDriver::Close);
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QPointer<ReportPage> first = m_engine->currentPage();
        m_engine->onDocumentPrint(ReportList::SpoAdditionDouble, id, false);
        QCOMPARE(m_run->driver.events(), (QStringList{mark(0), turnOver, mark(1), mark(2), turnOver, mark(3)}));
        // The first page goes once its dialogs are gone.
        QVERIFY(PreviewDriver::remainingPreviews().isEmpty() && !first);
        QCOMPARE(m_engine->currentPage()->pageIndex(), 2);
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
    std::unique_ptr<PrintRun> m_run;
};

VELSPO_TEST_MAIN(EngineTest)
#include "tst_engine.moc"
