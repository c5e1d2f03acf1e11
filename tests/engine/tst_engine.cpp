#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportEditor.h"
#include "engine/ReportInfo.h"
#include "engine/ReportList.h"
#include "report/ReportPage.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "SpoDocumentFixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

using namespace SpoDocumentFixture;

namespace {

// A designer window as the engine sees it: it owns the page it edits.
class FakeEditor : public QWidget, public ReportEditor
{
public:
    static inline int created = 0;
    static inline bool opens = true;
    static inline QPointer<FakeEditor> last;

    FakeEditor()
        : m_page(new ReportPage(this))
    {
        ++created;
        last = this;
    }

    bool openFile(const QString& fileName) override
    {
        openedPath = fileName;
        return opens && QFileInfo::exists(fileName);
    }
    ReportPage* reportPage() override { return m_page; }
    QWidget* editorWindow() override { return this; }

    QString openedPath;

private:
    QPointer<ReportPage> m_page;
};

QByteArray pngBase64(const QColor& color)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toBase64();
}

QByteArray templateJson(int pagesCount, bool withBackground = false)
{
    QJsonObject text;
    text["x"] = 10;
    text["y"] = 10;
    text["width"] = 100;
    text["height"] = 10;
    text["id"] = QStringLiteral("$V{Full_Name}");
    QJsonObject page;
    page["orientation"] = 1;
    page["pagesCount"] = pagesCount;
    page["pageSize"] = 0;
    page["printBackgroundImage"] = false;
    page["textFields"] = QJsonArray{text};
    page["tableFields"] = QJsonArray();
    if (withBackground)
        page["backgroundImage"] = QString::fromLatin1(pngBase64(Qt::red));
    return QJsonDocument(page).toJson();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString installedPath(const QString& name)
{
    return Database::dataPath() + QStringLiteral("/reports/") + name + QStringLiteral(".velrpt");
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

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
        QVERIFY(m_workDir.isValid());
        QVERIFY(QDir::setCurrent(m_workDir.path()));
        ReportEditor::setFactory([] { return new FakeEditor; });
    }

    void init()
    {
        QVERIFY(openEmpty());
        QDir(Database::dataPath() + "/reports").removeRecursively();
        QDir(m_workDir.path() + "/reports").removeRecursively();
        FakeEditor::opens = true;
        ReportEditor::setFactory([] { return new FakeEditor; });
        // Every preview that a test opens is closed unprinted; boxes get No.
        m_previews = 0;
        m_answerer = std::make_unique<ModalAnswerer>();
        m_answerer->setDefaultAnswer(QMessageBox::No);
        m_answerer->onDialog([this](QWidget* widget) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(widget);
            if (!preview)
                return false;
            ++m_previews;
            preview->reject();
            return true;
        });
    }

    void cleanup()
    {
        m_answerer.reset();
        delete FakeEditor::last.data();
        flushDeletes();
    }

    // --- files ----------------------------------------------------------------

    void fileExistsOnlyForFiles()
    {
        const QString file = m_workDir.path() + "/plain.txt";
        QVERIFY(writeFile(file, "x"));
        QVERIFY(fileExists(file));
        QVERIFY(!fileExists(m_workDir.path()));
        QVERIFY(!fileExists(m_workDir.path() + "/missing.velrpt"));
        QVERIFY(!fileExists(QString()));
    }

    void reportFilePathPrefersTheDataDirectory()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(1)));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoDiploma), installedPath("id120"));
        // The other types have no file there: relative fallback, not checked.
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAddition), QStringLiteral("reports/id121.velrpt"));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAdditionDouble), QStringLiteral("reports/id121double.velrpt"));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoDiplomaExcellent), QStringLiteral("reports/id124.velrpt"));
    }

    void directoryNamedLikeATemplateIsNoTemplate()
    {
        QVERIFY(QDir().mkpath(installedPath("id121")));
        QCOMPARE(Engine::reportFilePath(ReportList::SpoAddition), QStringLiteral("reports/id121.velrpt"));
        QVERIFY(QDir().mkpath(m_workDir.path() + "/reports/id121.velrpt"));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoAddition, 1, false);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QStringLiteral("Шаблон отчёта reports/id121.velrpt не найден."));
    }

    void relativeFallbackIsUsedForPrinting()
    {
        const int id = insertDocument(fullDocument());
        QVERIFY(writeFile(m_workDir.path() + "/reports/id124.velrpt", templateJson(0)));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoDiplomaExcellent, id, false);
        QCOMPARE(errors.count(), 0);
        QVERIFY(engine.currentPage());
        QCOMPARE(engine.currentPage()->fields().size(), 1);
        QCOMPARE(engine.currentPage()->variables().value("full_name").toString(),
                 QStringLiteral("Иванова Мария Петровна"));
    }

    // --- the error signal -------------------------------------------------------

    void errorWithoutTitleSaysError()
    {
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        emit engine.error(QStringLiteral("текст"));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QStringLiteral("текст"));
        QCOMPARE(errors[0][1].toString(), QStringLiteral("Ошибка"));
    }

    void missingTemplateIsReported()
    {
        const int id = insertDocument(fullDocument());
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cant find report file \"reports/id120.velrpt\"$"));
        engine.onDocumentPrint(ReportList::SpoDiploma, id, true);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QStringLiteral("Шаблон отчёта reports/id120.velrpt не найден."));
        QCOMPARE(errors[0][1].toString(), QStringLiteral("Ошибка"));
        QVERIFY(engine.currentPage());
        QVERIFY(engine.currentPage()->variables().isEmpty());
    }

    void unreadableTemplateIsReported_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not JSON") << QByteArray("это не шаблон");
        QTest::newRow("truncated") << templateJson(1).left(40);
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11);
    }

    void unreadableTemplateIsReported()
    {
        QFETCH(QByteArray, content);
        const int id = insertDocument(fullDocument());
        QVERIFY(writeFile(installedPath("id121"), content));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoAddition, id, false);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(),
                 QStringLiteral("Шаблон отчёта %1 имеет неверный формат.").arg(installedPath("id121")));
        QCOMPARE(errors[0][1].toString(), QStringLiteral("Ошибка"));
        // Nothing was filled or printed.
        QVERIFY(engine.currentPage()->variables().isEmpty());
        QVERIFY(!engine.currentPage()->dataMode());
    }

    void templateThatCannotBeOpenedIsReported()
    {
        const QString path = installedPath("id121");
        QVERIFY(writeFile(path, templateJson(1)));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("this user reads files without read permission");
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoAddition, 1, false);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QStringLiteral("Шаблон отчёта %1 имеет неверный формат.").arg(path));
    }

    void emptyObjectIsAValidTemplate()
    {
        QVERIFY(writeFile(installedPath("id120"), "{}"));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoDiploma, insertDocument(fullDocument()), false);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(m_previews, 1);
        QCOMPARE(engine.currentPage()->variables().value("last_name").toString(), QStringLiteral("Иванова"));
    }

    // --- the print road ---------------------------------------------------------

    void negativeIdPrintsNothingAndSaysNothing()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(0)));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing sqlDocId < 0 -1$"));
        engine.onDocumentPrint(ReportList::SpoDiploma, -1, true);
        QCOMPARE(errors.count(), 0);
        QVERIFY(engine.currentPage());
        QVERIFY(engine.currentPage()->fields().isEmpty());
        QVERIFY(!engine.currentPage()->dataMode());
    }

    void printPassesDataModeAndBackgroundChoice()
    {
        // No sheets: print() sets its modes and shows nothing.
        QVERIFY(writeFile(installedPath("id120"), templateJson(0)));
        const int id = insertDocument(fullDocument());
        Engine engine;
        engine.onDocumentPrint(ReportList::SpoDiploma, id, true);
        QVERIFY(engine.currentPage()->dataMode());
        QVERIFY(engine.currentPage()->printBackgroundImage());
        engine.onDocumentPrint(ReportList::SpoDiploma, id, false);
        QVERIFY(engine.currentPage()->dataMode());
        QVERIFY(!engine.currentPage()->printBackgroundImage());
    }

    void printingAgainReplacesThePage()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(0)));
        const int first = insertDocument(fullDocument());
        const int second = insertDocument({{"fio1", QStringLiteral("Петров")}});
        Engine engine;
        engine.onDocumentPrint(ReportList::SpoDiploma, first, false);
        QPointer<ReportPage> firstPage = engine.currentPage();
        QVERIFY(firstPage);
        QCOMPARE(firstPage->parent(), &engine);
        engine.onDocumentPrint(ReportList::SpoDiploma, second, false);
        QVERIFY(engine.currentPage() != firstPage);
        QCOMPARE(engine.currentPage()->variables().value("last_name").toString(), QStringLiteral("Петров"));
        flushDeletes();
        QVERIFY(!firstPage);
        QPointer<ReportPage> secondPage = engine.currentPage();
        QPointer<QObject> model = secondPage->model("ViewSpoDetails");
        QVERIFY(model);
    }

    void printShowsThePreviewOfTheFilledPage()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(1, true)));
        const int id = insertDocument(fullDocument());
        Engine engine;
        engine.onDocumentPrint(ReportList::SpoDiploma, id, false);
        QCOMPARE(m_previews, 1);
        QVERIFY(m_answerer->texts().isEmpty());
        QCOMPARE(engine.currentPage()->substituteVariables("$V{Full_Name}"), QStringLiteral("Иванова Мария Петровна"));

        // With the background on the user is asked first; No prints nothing.
        engine.onDocumentPrint(ReportList::SpoDiploma, id, true);
        QCOMPARE(m_answerer->texts(), QStringList{QStringLiteral("Включена печать фона.\nПродолжить?!")});
        QCOMPARE(m_previews, 1);
    }

    void missingDocumentPrintsEmptyValues()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(0)));
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoDiploma, 12345, false);
        QCOMPARE(errors.count(), 0);
        QVERIFY(engine.currentPage()->variables().isEmpty());
        QVERIFY(engine.currentPage()->dataMode());
    }

    // --- unregistered types -----------------------------------------------------

    void unregisteredTypeIsRefusedEverywhere()
    {
        const auto bad = ReportList::ReportType(400);
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        const int editors = FakeEditor::created;

        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error printing: unregistered report type 400$"));
        engine.onDocumentPrint(bad, 1, true);
        QVERIFY(!engine.currentPage());

        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Error editing: unregistered report type 400$"));
        engine.onGuiEdit(bad);
        QCOMPARE(FakeEditor::created, editors);

        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("unregistered report type 400$"));
        QCOMPARE(Engine::reportFilePath(bad), QString());
        QVERIFY(Engine::pixmap(bad).isNull());
        ReportPage page;
        QVERIFY(!Engine::loadReportData(bad, &page, 1, true));
        QVERIFY(page.variables().isEmpty());
        QVERIFY(!Engine::loadReportData(ReportList::SpoDiploma, nullptr, 1, true));
        QCOMPARE(errors.count(), 0);
    }

    // --- the chooser's preview --------------------------------------------------

    void pixmapIsTheTemplatesBackground()
    {
        QVERIFY(writeFile(installedPath("id121double"), templateJson(2, true)));
        const QPixmap pixmap = Engine::pixmap(ReportList::SpoAdditionDouble);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.toImage().pixelColor(1, 1), QColor(Qt::red));
    }

    void pixmapWithoutTemplateIsNull()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("cant find report file \"reports/id121double.velrpt\"$"));
        QVERIFY(Engine::pixmap(ReportList::SpoAdditionDouble).isNull());
        QVERIFY(writeFile(installedPath("id120"), templateJson(1)));
        QVERIFY(Engine::pixmap(ReportList::SpoDiploma).isNull());
    }

    // --- the editor road and page ownership -------------------------------------

    void editorGetsSampleDataOfTheFirstDocument()
    {
        setRequisites();
        const int first = insertDocument(fullDocument());
        QVERIFY(insertDisciplines(first, 2));
        insertDocument({{"fio1", QStringLiteral("Петров")}});
        QVERIFY(writeFile(installedPath("id121"), templateJson(1)));

        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onGuiEdit(ReportList::SpoAddition);
        QCOMPARE(errors.count(), 0);
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(editor);
        QCOMPARE(editor->openedPath, installedPath("id121"));
        QVERIFY(editor->isVisible());
        ReportPage* page = editor->reportPage();
        QCOMPARE(page->variables().value("full_name").toString(), QStringLiteral("Иванова Мария Петровна"));
        QCOMPARE(page->variables().value("city").toString(), QStringLiteral("Москва"));
        // Sample tables are empty: they are read for document 0.
        QCOMPARE(page->itemModel("ViewSpoDetails")->rowCount(), 0);
        QVERIFY(!engine.currentPage());
    }

    void printingNeverTakesTheDesignersPage()
    {
        insertDocument(fullDocument());
        const int other = insertDocument({{"fio1", QStringLiteral("Петров")}});
        QVERIFY(writeFile(installedPath("id120"), templateJson(0)));

        auto engine = std::make_unique<Engine>();
        engine->onGuiEdit(ReportList::SpoDiploma);
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(editor);
        QPointer<ReportPage> designerPage = editor->reportPage();
        QVERIFY(designerPage);
        QCOMPARE(designerPage->parent(), editor.data());

        engine->onDocumentPrint(ReportList::SpoDiploma, other, false);
        engine->onDocumentPrint(ReportList::SpoDiploma, other, false);
        flushDeletes();
        QVERIFY(designerPage);
        QVERIFY(engine->currentPage() != designerPage);
        QCOMPARE(designerPage->variables().value("last_name").toString(), QStringLiteral("Иванова"));
        QVERIFY(!designerPage->dataMode());

        engine.reset();
        flushDeletes();
        QVERIFY(designerPage);

        // The window alone decides the page's end.
        delete editor.data();
        QVERIFY(!designerPage);
    }

    void editorThatFindsNoFileIsReleased()
    {
        QVERIFY(writeFile(installedPath("id124"), templateJson(1)));
        FakeEditor::opens = false;
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onGuiEdit(ReportList::SpoDiplomaExcellent);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(),
                 QStringLiteral("Шаблон отчёта %1 имеет неверный формат.").arg(installedPath("id124")));
        QCOMPARE(errors[0][1].toString(), QStringLiteral("Ошибка"));
        QPointer<FakeEditor> editor = FakeEditor::last;
        QVERIFY(editor);
        QVERIFY(!editor->isVisible());
        QVERIFY(editor->reportPage()->variables().isEmpty());
        flushDeletes();
        QVERIFY(!editor);
    }

    void editorWithoutTemplateIsNotOpened()
    {
        const int editors = FakeEditor::created;
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onGuiEdit(ReportList::SpoDiploma);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors[0][0].toString(), QStringLiteral("Шаблон отчёта reports/id120.velrpt не найден."));
        QCOMPARE(FakeEditor::created, editors);
    }

    void editorWithoutDesignerDoesNothing()
    {
        QVERIFY(writeFile(installedPath("id120"), templateJson(1)));
        ReportEditor::setFactory(ReportEditor::Factory());
        QVERIFY(!ReportEditor::hasFactory());
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("no report designer available$"));
        engine.onGuiEdit(ReportList::SpoDiploma);
        QCOMPARE(errors.count(), 0);
    }

private:
    QTemporaryDir m_workDir;
    std::unique_ptr<ModalAnswerer> m_answerer;
    int m_previews = 0;
};

VELSPO_TEST_MAIN(EngineTest)
#include "tst_engine.moc"
