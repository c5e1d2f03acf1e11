#include "engine/DatabaseFixtures.h"
#include "support/Canvas.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/ModalAnswerer.h"
#include "support/NamedPipe.h"
#include "support/PageMaker.h"
#include "support/TestEnvironment.h"
#include "support/WarningLog.h"

#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "report/QrField.h"
#include "report/ReportFile.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/ProjectViewWidget.h"
#include "report/designer/ReportWindow.h"
#include "report/designer/StructureDockWidget.h"

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPrinter>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

// A test function that hangs (a guard gone) fails in seconds, naming itself,
// not at the suite's limit.
static const bool watchdog = qputenv("QTEST_FUNCTION_TIMEOUT", "20000");

namespace {

// What this process has read through read() so far, by the kernel's count.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

QPixmap pattern(const QColor& colour)
{
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < 12; ++i)
        image.setPixelColor(i, i, colour);
    return QPixmap::fromImage(image);
}

using DatabaseFixtures::readBytes;

// A shipped template with one comma taken out: no longer JSON.
QByteArray damagedTemplate()
{
    QByteArray data = readBytes(TestEnvironment::sourcePath(QStringLiteral("resources/reports/id121.velrpt")));
    return data.size() > 100000 ? data.remove(data.indexOf(",\n", data.size() / 2), 1) : QByteArray();
}

} // namespace

class TestReportFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<WarningLog> m_log;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QJsonObject saved(const ReportPage& page)
    {
        const QString file = path(QStringLiteral("saved.velrpt"));
        return page.save(file) ? QJsonDocument::fromJson(readBytes(file)).object() : QJsonObject();
    }
    void writeFile(const QString& name, const QByteArray& data) { QVERIFY(DatabaseFixtures::writeBytes(path(name), data)); }

private slots:
    void init() { m_log = std::make_unique<WarningLog>(); }
    void cleanup() { m_log.reset(); }

    void roundTripOfEveryKey()
    {
        // Every value differs from its default, so a key that is not read shows
        // in the file written again.
        const QJsonObject original = QJsonDocument::fromJson(QStringLiteral(R"({
            "orientation": 0, "printBackgroundImage": true, "pagesCount": 3, "pageSize": 9, "defaultFont": "%1",
            "backgroundImage": "%3", "backgroundImage2": "%4",
            "textFields": [{"x": 12.5, "y": 250.25, "width": 80, "height": 7.5, "wrap": 3, "wordWrap": true,
                "alignFlags": 130, "font": "%2", "zOnEmpty": true, "id": "<b>$V{fio}</b>\\nг. $V{city}",
                "indent": 5.5, "lineHeight": 6.25}],
            "tableFields": [{"x": 10, "y": 20, "width": 150, "height": 90, "wrap": 2, "wordWrap": true,
                "alignFlags": 33, "headerIsVisible": false, "autoWidth": true, "columnCount": 3, "previewRowCount": 4,
                "headerHeight": 8.5, "rowHeight": 5.25, "mModelName": "ViewSpoDetails", "drawBorders": false,
                "columnsWidth": [90.5, 20, 30], "headerNames": ["Наименование", "Часы", "Оценка"],
                "columnIds": ["$D{ViewSpoDetails.col1}", "$D{ViewSpoDetails.col2}", "$D{ViewSpoDetails.col3}"],
                "columnsAlign": [0, 132, 255], "splitsCount": 2, "maxSplitHeight": [100, 80.5],
                "splitX": [10, 160], "splitY": [230, 230.5]}]})")
                .arg(QFont(QStringLiteral("Liberation Sans"), 11).toString(),
                     QFont(QStringLiteral("Liberation Serif"), 12, QFont::Bold).toString(),
                     ReportFile::imageToBase64(pattern(Qt::red)), ReportFile::imageToBase64(pattern(Qt::blue)))
                .toUtf8()).object();
        QVERIFY(!original.isEmpty());
        writeFile(QStringLiteral("full.velrpt"), QJsonDocument(original).toJson());
        ReportPage page;
        QVERIFY(page.load(path(QStringLiteral("full.velrpt"))));
        QCOMPARE(saved(page), original);
        QVERIFY(m_log->messages().isEmpty());
        // Values land where they belong, and the printer follows the loaded page.
        QCOMPARE(page.printer()->pageLayout().pageSize().id(), QPageSize::A5);
        QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(page.backgroundImage2().toImage().pixelColor(3, 3), QColor(Qt::blue));
        auto* t = qobject_cast<TextField*>(page.fields().value(0));
        auto* b = qobject_cast<TableField*>(page.fields().value(1));
        QVERIFY(t && b && t->page() == &page && b->page() == &page);
        QCOMPARE(QVector<double>({t->y(), t->height(), t->indent(), t->lineHeight(), b->headerHeight(), b->rowHeight()}),
                 QVector<double>({250.25, 7.5, 5.5, 6.25, 8.5, 5.25}));
        QCOMPARE(t->alignFlags(), quint16(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(b->splitY(), (QVector<double>{230, 230.5}));
    }

    void defaultsAreLeftOut()
    {
        ReportPage page;
        page.addField(new QrField);
        page.addField(new TableField);
        PageMaker::field<TextField>(page, {0, 0, 20, 6}, QStringLiteral("Текст"));
        const QJsonObject object = saved(page);
        // No images and no QR codes; a field without a font of its own or a Z
        // has no key for them.
        QCOMPARE(object.keys(), QStringList({"defaultFont", "orientation", "pageSize", "pagesCount",
                                             "printBackgroundImage", "tableFields", "textFields"}));
        QCOMPARE(object.value("tableFields").toArray().size(), 1);
        QCOMPARE(object.value("textFields").toArray().at(0).toObject().keys(),
                 QStringList({"alignFlags", "height", "id", "indent", "lineHeight", "width", "wordWrap", "wrap", "x", "y"}));
        // Indented UTF-8 with integral numbers written without a fraction.
        const QByteArray data = readBytes(path(QStringLiteral("saved.velrpt")));
        QVERIFY(data.contains("\n    \"orientation\": 1,"));
        QVERIFY(data.contains(QStringLiteral("\"id\": \"Текст\"").toUtf8()));
        QVERIFY(data.contains("\"width\": 20,"));
    }

    void missingKeysAndWrongTypes()
    {
        // Page keys are read only when present; field keys that are missing or
        // of the wrong type read as zero, false and empty, numbers in 8 bits
        // clamped. The old default font's string, like an empty one, means "no
        // font of its own".
        writeFile(QStringLiteral("sparse.velrpt"), R"({"backgroundImage": "!!not an image!!",
            "textFields": [{}, {"font": ""}, {"font": "MS Shell Dlg 2,8.25,-1,5,50,0,0,0,0,0"},
                {"x": "abc", "width": 30, "wordWrap": "yes", "id": 5, "font": 12, "zOnEmpty": "true", "indent": "3"}, 7],
            "tableFields": [{"columnCount": 999, "previewRowCount": -4, "columnsWidth": ["a", 3], "headerNames": [1, "b"],
                "columnIds": "nope", "columnsAlign": [300, -1, "x", 4], "mModelName": 3, "splitsCount": "2",
                "maxSplitHeight": {}}]})");
        ReportPage page;
        page.setOrientation(0);
        page.setPagesCount(2);
        page.setPrintBackgroundImage(true);
        page.setBackgroundImage(pattern(Qt::green));
        QVERIFY(page.load(path(QStringLiteral("sparse.velrpt"))));
        QCOMPARE(page.orientation(), 0);
        QCOMPARE(page.pagesCount(), 2);
        QVERIFY(page.printBackgroundImage());
        QVERIFY(page.backgroundImage().isNull());
        QCOMPARE(page.defaultFont(), ReportPage().defaultFont());
        QCOMPARE(page.fields().size(), 6);
        for (int i = 0; i < 5; ++i) {
            auto* text = qobject_cast<TextField*>(page.fields().at(i));
            QVERIFY(text && text->font() == QFont() && text->text().isEmpty() && !text->wordWrap() && !text->zOnEmpty());
            QCOMPARE(QVector<double>({text->x(), text->width(), text->indent()}), QVector<double>({0, i == 3 ? 30.0 : 0, 0}));
        }
        auto* table = static_cast<TableField*>(page.fields().at(5));
        QVERIFY(!table->headerIsVisible() && !table->drawBorders() && table->modelName().isEmpty());
        // 8-bit members keep the low 8 bits.
        QCOMPARE(int(table->columnCount()), 999 & 0xFF);
        QCOMPARE(int(table->previewRowCount()), 252);
        QCOMPARE(table->columnsWidth(), (QVector<double>{0, 3}));
        QCOMPARE(table->headerNames(), (QVector<QString>{QString(), QStringLiteral("b")}));
        QVERIFY(table->columnIds().isEmpty());
        QCOMPARE(table->columnsAlign(), (QVector<quint8>{300 & 0xFF, 255, 0, 4}));
        QCOMPARE(table->splitsCount(), 0);
        QVERIFY(m_log->messages().isEmpty());
        // Such fields still lay out and draw, in both modes.
        Canvas canvas(400, 400);
        for (bool data : {false, true}) {
            page.setDataMode(data);
            for (AbstractField* field : page.fields())
                canvas.draw(field, 2.0);
        }
    }

    // Font matching takes time quadratic in the length of a family name, so a
    // font string longer than any real one is left unread: the field keeps
    // the page's default font, the page its own.
    void fontStringsAreBounded_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("length");
        for (const char* key : {"font", "defaultFont"}) {
            QTest::addRow("%s at the bound", key) << key << AbstractField::maxFontTextLength;
            QTest::addRow("%s past the bound", key) << key << AbstractField::maxFontTextLength + 1;
            QTest::addRow("%s far past the bound", key) << key << 200000;
        }
    }
    void fontStringsAreBounded()
    {
        QFETCH(QString, key);
        QFETCH(int, length);
        const QString sizes = QStringLiteral(",12,-1,5,50,0,0,0,0,0");
        const QString family = QStringLiteral("Liberation Serif ") + QString(length - 17 - sizes.size(), QLatin1Char('x'));
        QCOMPARE(family.size() + sizes.size(), length);
        QJsonObject field{{"x", 10}, {"y", 10}, {"width", 50}, {"height", 10}, {"id", "Текст"}};
        QJsonObject object;
        (key == QLatin1String("font") ? field : object).insert(key, family + sizes);
        object.insert(QStringLiteral("textFields"), QJsonArray{field});
        writeFile(QStringLiteral("font.velrpt"), QJsonDocument(object).toJson());

        ReportPage page;
        QVERIFY(page.load(path(QStringLiteral("font.velrpt"))));
        auto* text = qobject_cast<TextField*>(page.fields().value(0));
        QVERIFY(text);
        const bool read = length <= AbstractField::maxFontTextLength;
        const QFont& font = key == QLatin1String("font") ? text->font() : page.defaultFont();
        if (read) {
            QCOMPARE(font.family(), family);
        } else {
            QVERIFY2(text->font() == QFont(),
                     qPrintable(QStringLiteral("a field took a font string of %1 characters").arg(length)));
            QVERIFY2(page.defaultFont() == ReportPage().defaultFont(),
                     qPrintable(QStringLiteral("the page took a default font string of %1 characters").arg(length)));
        }
    }

    void shortArraysStayShort()
    {
        // Arrays shorter than the column or area count are kept as they are,
        // through layout and drawing too, so saving does not change the template.
        const QByteArray data = R"({"x": 10, "y": 10, "width": 100, "height": 40, "wrap": 0, "wordWrap": true,
            "alignFlags": 0, "headerIsVisible": true, "columnCount": 4, "previewRowCount": 6, "headerHeight": 8,
            "rowHeight": 6, "mModelName": "m", "drawBorders": true, "autoWidth": false, "columnsWidth": [30],
            "headerNames": ["A", "B"], "columnIds": ["$D{m.a}"], "columnsAlign": [], "splitsCount": 3,
            "maxSplitHeight": [20], "splitX": [5], "splitY": []})";
        writeFile(QStringLiteral("short.velrpt"), "{\"tableFields\": [" + data + "]}");
        ReportPage page;
        QVERIFY(page.load(path(QStringLiteral("short.velrpt"))));
        page.setDataMode(true);
        Canvas(1200, 1200).draw(page.fields().value(0), page.dotsPerMm());
        QJsonObject table = saved(page).value(QLatin1String("tableFields")).toArray().at(0).toObject();
        QJsonObject expected = QJsonDocument::fromJson(data).object();
        for (const char* key : {"width", "height"}) {   // what layout changes
            expected.remove(QLatin1String(key));
            table.remove(QLatin1String(key));
        }
        QCOMPARE(table, expected);
    }

    // Anything but one JSON object is unreadable: the page stays as it was.
    void damagedJson_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("readable");
        QTest::newRow("one comma missing") << damagedTemplate() << false;
        QTest::newRow("array") << QByteArray("[{\"x\": 1}]") << false;
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << false;
        QTest::newRow("empty") << QByteArray("\n") << true;
        QTest::newRow("no file") << QByteArray() << false;
    }
    void damagedJson()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, readable);
        const QString name = QString::fromLatin1(QTest::currentDataTag()) + ".velrpt";
        if (!data.isNull())
            writeFile(name, data);
        ReportPage page;
        page.setPagesCount(2);
        page.addField(new TextField);
        QCOMPARE(page.load(path(name)), readable);
        QCOMPARE(page.fields().size(), readable ? 0 : 1);
        QCOMPARE(page.pagesCount(), 2);
        // A failure is logged with the template's name.
        QCOMPARE(m_log->messages().size(), readable ? 0 : 1);
        QCOMPARE(m_log->messages().filter(name).size(), m_log->messages().size());
    }

    // The designer opens such a file as an unnamed empty page: Save asks for
    // a name instead of writing over the template.
    void damagedTemplateIsNotSavedOver()
    {
        const QByteArray data = damagedTemplate();
        QVERIFY(!data.isEmpty());
        writeFile(QStringLiteral("id121.velrpt"), data);
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        ReportWindow window;
        QVERIFY(window.openFile(path(QStringLiteral("id121.velrpt"))));
        QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Неверный формат файла!")});
        QVERIFY(window.fileName().isEmpty() && window.reportPage()->fields().isEmpty());
        window.findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
        QCOMPARE(files.requests.size(), 1);
        QCOMPARE(readBytes(path(QStringLiteral("id121.velrpt"))), data);
    }

    // Every count beyond what the designer offers is held to it, so the
    // designer's sheets, its choice and printing agree.
    void pagesCountIsHeld_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("sheets");
        QTest::newRow("2^31-1") << QByteArray("2147483647") << 4;
        QTest::newRow("5") << QByteArray("5") << 4;
        QTest::newRow("3") << QByteArray("3") << 3;
        QTest::newRow("0") << QByteArray("0") << 1;
        QTest::newRow("negative") << QByteArray("-2147483648") << 1;
        QTest::newRow("text") << QByteArray("\"many\"") << 1;
    }
    void pagesCountIsHeld()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, sheets);
        writeFile(QStringLiteral("sheets.velrpt"), "{\"pagesCount\": " + value + "}");
        ReportWindow window;
        QVERIFY(window.openFile(path(QStringLiteral("sheets.velrpt"))));
        QCOMPARE(window.reportPage()->pagesCount(), sheets);
        const QPrinter* printer = window.reportPage()->printer();
        const int sheet = printer->pageLayout().paintRectPixels(printer->resolution()).height();
        QCOMPARE(window.projectView()->scene()->sceneRect().height(), double(sheet * sheets));
        auto* choice = qobject_cast<QComboBox*>(window.structureDock()->pageTable()->cellWidget(StructureDockWidget::PagesCountRow, 1));
        QVERIFY(choice);
        QCOMPARE(choice->currentData().toInt(), sheets);
        QCOMPARE(choice->itemData(choice->count() - 1).toInt(), ReportPage::maxPagesCount);
    }

    // A file far larger than any template (sparse: it takes no disk) is
    // refused unread, as an unreadable template, on every road that loads
    // one: the page, the print dialog's preview, printing and the designer.
    void oversizedTemplateIsRefusedUnread()
    {
        QVERIFY(DocumentFixtures::openEmpty());
        ReportList::registerReports();
        const int document = DocumentFixtures::insertDocument(DocumentFixtures::fullDocument());
        const QString file = Database::dataPath() + QStringLiteral("/reports/id120.velrpt");
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        {
            QFile sparse(file);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.write("{\"textFields\": []}") > 0);
            QVERIFY(sparse.resize(600LL * 1024 * 1024));
        }
        QVERIFY(QFileInfo(file).size() > ReportFile::maxFileSize);
        const qint64 readBefore = bytesRead();
        QVERIFY(readBefore >= 0);

        ReportPage page;
        page.addField(new TextField);
        QVERIFY(!page.load(file));
        QCOMPARE(page.fields().size(), 1);
        QVERIFY(Engine::pixmap(ReportList::SpoDiploma).isNull());
        Engine engine;
        QSignalSpy errors(&engine, &Engine::error);
        engine.onDocumentPrint(ReportList::SpoDiploma, document, false);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Шаблон отчёта %1 имеет неверный формат.").arg(file));
        {
            ModalAnswerer answerer;
            ReportWindow window;
            QVERIFY(window.openFile(file));
            QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Неверный формат файла!")});
            QVERIFY(window.fileName().isEmpty());
        }
        // Nothing of it was read, on any of the four roads.
        QVERIFY2(bytesRead() - readBefore < 16 * 1024 * 1024, qPrintable(QString::number(bytesRead() - readBefore)));
        QCOMPARE(m_log->messages().filter(QStringLiteral("is larger than")).size(), 4);
        QVERIFY(QFile::remove(file));

        // A named pipe in its place is refused unopened, on the designer's road too.
        NamedPipe pipe(file);
        QVERIFY(pipe.isValid());
        {
            ModalAnswerer answerer;
            ReportWindow window;
            QVERIFY(window.openFile(file));
            QCOMPARE(answerer.texts(), QStringList{QStringLiteral("Неверный формат файла!")});
        }
        QVERIFY(!page.load(file) && !pipe.released() && pipe.isStillThere());
        QVERIFY(QFile::remove(file));
    }

    void saveIntoAMissingFolder()
    {
        QVERIFY(!ReportPage().save(path(QStringLiteral("no/such/dir/page.velrpt"))));
        QCOMPARE(m_log->messages().filter("Couldn't save report template").size(), 1);
    }
};

VELSPO_TEST_MAIN(TestReportFile)
#include "tst_reportfile.moc"
