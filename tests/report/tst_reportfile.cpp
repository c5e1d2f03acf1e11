#include "support/TestEnvironment.h"

#include "report/QrField.h"
#include "report/ReportFile.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
    if (g_previous)
        g_previous(type, context, message);
}

QPixmap pattern(const QColor& colour)
{
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int i = 0; i < 12; ++i)
        image.setPixelColor(i, i, colour);
    return QPixmap::fromImage(image);
}

} // namespace

class TestReportFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void roundTripOfEveryKey();
    void writtenKeys();
    void fieldOrderAndQrFieldsDropped();
    void fontKey();
    void missingKeys();
    void wrongTypes();
    void shortArraysStayShortAndDrawSafely();
    void damagedJson_data();
    void damagedJson();
    void missingFile();
    void saveIntoMissingDirectory();
    void failedSaveKeepsTheOldFile();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QJsonObject savedObject(const ReportPage& page, const QString& name);
    void writeFile(const QString& name, const QByteArray& data);

    QTemporaryDir m_dir;
};

void TestReportFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_previous = qInstallMessageHandler(collect);
}

void TestReportFile::cleanupTestCase()
{
    qInstallMessageHandler(g_previous);
}

void TestReportFile::init()
{
    g_warnings.clear();
}

QJsonObject TestReportFile::savedObject(const ReportPage& page, const QString& name)
{
    if (!page.save(path(name)))
        return QJsonObject();
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

void TestReportFile::writeFile(const QString& name, const QByteArray& data)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), qint64(data.size()));
}

void TestReportFile::roundTripOfEveryKey()
{
    ReportPage page;
    page.setOrientation(0);
    page.setPrintBackgroundImage(true);
    page.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 11));
    page.setPagesCount(3);
    page.setPageSize(9);
    page.setBackgroundImage(pattern(Qt::red));
    page.setBackgroundImage2(pattern(Qt::blue));

    auto* text = new TextField;
    text->setX(12.5);
    text->setY(250.25);
    text->setWidth(80);
    text->setHeight(7.5);
    text->setWrap(3);
    text->setWordWrap(true);
    text->setAlignFlags(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold(QStringLiteral("Liberation Serif"), 12);
    bold.setBold(true);
    text->setFont(bold);
    text->setZOnEmpty(true);
    text->setText(QStringLiteral("<b>$V{fio}</b>\\nг. $V{city}"));
    text->setIndent(5.5);
    text->setLineHeight(6.25);
    page.addField(text);

    auto* table = new TableField;
    table->setX(10);
    table->setY(20);
    table->setWidth(150);
    table->setHeight(90);
    table->setAlignFlags(Qt::AlignLeft | Qt::AlignTop);
    table->setHeaderIsVisible(true);
    table->setAutoWidth(true);
    table->setColumnCount(3);
    table->setPreviewRowCount(4);
    table->setHeaderHeight(8.5);
    table->setRowHeight(5.25);
    table->setModelName(QStringLiteral("ViewSpoDetails"));
    table->setDrawBorders(false);
    table->setColumnsWidth({90.5, 20, 30});
    table->setHeaderNames({QStringLiteral("Наименование"), QStringLiteral("Часы"), QStringLiteral("Оценка")});
    table->setColumnIds({QStringLiteral("$D{ViewSpoDetails.col1}"), QStringLiteral("$D{ViewSpoDetails.col2}"),
                         QStringLiteral("$D{ViewSpoDetails.col3}")});
    table->setColumnsAlign({0, quint8(Qt::AlignHCenter | Qt::AlignVCenter), 255});
    table->setSplitsCount(2);
    table->setMaxSplitHeight({100, 80.5});
    table->setSplitX({10, 160});
    table->setSplitY({230, 230.5});
    page.addField(table);

    QVERIFY(page.save(path(QStringLiteral("full.velrpt"))));

    ReportPage loaded;
    QVERIFY(loaded.load(path(QStringLiteral("full.velrpt"))));
    QCOMPARE(loaded.orientation(), 0);
    QCOMPARE(loaded.printer()->pageLayout().orientation(), QPageLayout::Portrait);
    QCOMPARE(loaded.printBackgroundImage(), true);
    QCOMPARE(loaded.defaultFont(), page.defaultFont());
    QCOMPARE(loaded.pagesCount(), 3);
    QCOMPARE(loaded.pageSize(), 9);
    QCOMPARE(loaded.printer()->pageLayout().pageSize().id(), QPageSize::A5);
    QCOMPARE(loaded.backgroundImage().toImage(), page.backgroundImage().toImage());
    QCOMPARE(loaded.backgroundImage2().toImage(), page.backgroundImage2().toImage());
    QCOMPARE(loaded.fields().size(), 2);

    QCOMPARE(loaded.fields().at(0)->type(), 1);
    auto* t = static_cast<TextField*>(loaded.fields().at(0));
    QCOMPARE(t->page(), &loaded);
    QCOMPARE(t->x(), 12.5);
    QCOMPARE(t->y(), 250.25);
    QCOMPARE(t->width(), 80.0);
    QCOMPARE(t->height(), 7.5);
    QCOMPARE(t->wrap(), 3);
    QCOMPARE(t->wordWrap(), true);
    QCOMPARE(t->alignFlags(), quint16(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(t->font(), bold);
    QCOMPARE(t->zOnEmpty(), true);
    QCOMPARE(t->text(), text->text());
    QCOMPARE(t->indent(), 5.5);
    QCOMPARE(t->lineHeight(), 6.25);

    QCOMPARE(loaded.fields().at(1)->type(), 2);
    auto* b = static_cast<TableField*>(loaded.fields().at(1));
    QCOMPARE(b->page(), &loaded);
    QCOMPARE(b->x(), 10.0);
    QCOMPARE(b->y(), 20.0);
    QCOMPARE(b->width(), 150.0);
    QCOMPARE(b->height(), 90.0);
    QCOMPARE(b->alignFlags(), quint16(Qt::AlignLeft | Qt::AlignTop));
    QVERIFY(b->font() == QFont());
    QCOMPARE(b->zOnEmpty(), false);
    QCOMPARE(b->headerIsVisible(), true);
    QCOMPARE(b->autoWidth(), true);
    QCOMPARE(int(b->columnCount()), 3);
    QCOMPARE(int(b->previewRowCount()), 4);
    QCOMPARE(b->headerHeight(), 8.5);
    QCOMPARE(b->rowHeight(), 5.25);
    QCOMPARE(b->modelName(), QStringLiteral("ViewSpoDetails"));
    QCOMPARE(b->drawBorders(), false);
    QCOMPARE(b->columnsWidth(), table->columnsWidth());
    QCOMPARE(b->headerNames(), table->headerNames());
    QCOMPARE(b->columnIds(), table->columnIds());
    QCOMPARE(b->columnsAlign(), table->columnsAlign());
    QCOMPARE(b->splitsCount(), 2);
    QCOMPARE(b->maxSplitHeight(), table->maxSplitHeight());
    QCOMPARE(b->splitX(), table->splitX());
    QCOMPARE(b->splitY(), table->splitY());

    // Saving the loaded page gives the same file.
    QVERIFY(loaded.save(path(QStringLiteral("again.velrpt"))));
    QFile first(path(QStringLiteral("full.velrpt")));
    QFile second(path(QStringLiteral("again.velrpt")));
    QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), first.readAll());
    QVERIFY(g_warnings.isEmpty());
}

void TestReportFile::writtenKeys()
{
    ReportPage page;
    auto* plain = new TextField;
    plain->setText(QStringLiteral("Текст"));
    page.addField(plain);
    auto* table = new TableField;
    page.addField(table);
    const QJsonObject object = savedObject(page, QStringLiteral("keys.velrpt"));

    QCOMPARE(object.keys(), (QStringList{QStringLiteral("defaultFont"), QStringLiteral("orientation"),
                                         QStringLiteral("pageSize"), QStringLiteral("pagesCount"),
                                         QStringLiteral("printBackgroundImage"), QStringLiteral("tableFields"),
                                         QStringLiteral("textFields")}));
    QCOMPARE(object.value(QLatin1String("orientation")).toInt(), 1);
    QCOMPARE(object.value(QLatin1String("defaultFont")).toString(), page.defaultFont().toString());
    const QJsonObject text = object.value(QLatin1String("textFields")).toArray().at(0).toObject();
    QCOMPARE(text.keys(), (QStringList{QStringLiteral("alignFlags"), QStringLiteral("height"), QStringLiteral("id"),
                                       QStringLiteral("indent"), QStringLiteral("lineHeight"), QStringLiteral("width"),
                                       QStringLiteral("wordWrap"), QStringLiteral("wrap"), QStringLiteral("x"),
                                       QStringLiteral("y")}));
    QCOMPARE(text.value(QLatin1String("id")).toString(), QStringLiteral("Текст"));
    const QJsonObject tableObject = object.value(QLatin1String("tableFields")).toArray().at(0).toObject();
    QCOMPARE(tableObject.keys(),
             (QStringList{QStringLiteral("alignFlags"), QStringLiteral("autoWidth"), QStringLiteral("columnCount"),
                          QStringLiteral("columnIds"), QStringLiteral("columnsAlign"), QStringLiteral("columnsWidth"),
                          QStringLiteral("drawBorders"), QStringLiteral("headerHeight"),
                          QStringLiteral("headerIsVisible"), QStringLiteral("headerNames"), QStringLiteral("height"),
                          QStringLiteral("mModelName"), QStringLiteral("maxSplitHeight"),
                          QStringLiteral("previewRowCount"), QStringLiteral("rowHeight"), QStringLiteral("splitX"),
                          QStringLiteral("splitY"), QStringLiteral("splitsCount"), QStringLiteral("width"),
                          QStringLiteral("wordWrap"), QStringLiteral("wrap"), QStringLiteral("x"), QStringLiteral("y")}));
    QCOMPARE(tableObject.value(QLatin1String("headerIsVisible")).toBool(), true);
    QCOMPARE(tableObject.value(QLatin1String("drawBorders")).toBool(), true);
    QCOMPARE(tableObject.value(QLatin1String("previewRowCount")).toInt(), 1);

    // Indented UTF-8 text with integral numbers written without a fraction.
    QFile file(path(QStringLiteral("keys.velrpt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(data.contains("\n    \"orientation\": 1,"));
    QVERIFY(data.contains(QStringLiteral("\"id\": \"Текст\"").toUtf8()));
    QVERIFY(data.contains("\"width\": 20,"));
}

void TestReportFile::fieldOrderAndQrFieldsDropped()
{
    ReportPage page;
    auto* qr = new QrField;
    qr->setText(QStringLiteral("qr"));
    page.addField(qr);
    auto* table = new TableField;
    table->setColumnCount(1);
    page.addField(table);
    auto* text = new TextField;
    text->setText(QStringLiteral("text"));
    page.addField(text);
    QVERIFY(page.save(path(QStringLiteral("order.velrpt"))));

    ReportPage loaded;
    QVERIFY(loaded.load(path(QStringLiteral("order.velrpt"))));
    QCOMPARE(loaded.fields().size(), 2);
    QCOMPARE(loaded.fields().at(0)->type(), 1);
    QCOMPARE(loaded.fields().at(1)->type(), 2);
}

void TestReportFile::fontKey()
{
    ReportPage page;
    auto* standard = new TextField;
    page.addField(standard);
    auto* own = new TextField;
    own->setFont(QFont(QStringLiteral("Liberation Mono"), 9));
    page.addField(own);
    const QJsonArray texts = savedObject(page, QStringLiteral("font.velrpt")).value(QLatin1String("textFields")).toArray();
    QVERIFY(!texts.at(0).toObject().contains(QLatin1String("font")));
    QCOMPARE(texts.at(1).toObject().value(QLatin1String("font")).toString(), own->font().toString());

    // Reading: an empty or missing string, or the old default font's string,
    // means "no font of its own"; anything else is taken as it is.
    const QStringList defaults{QString(), QStringLiteral("MS Shell Dlg 2,8.25,-1,5,50,0,0,0,0,0")};
    for (const QString& value : defaults) {
        TextField field;
        field.setFont(QFont(QStringLiteral("Liberation Mono"), 9));
        QJsonObject object;
        object.insert(QLatin1String("font"), value);
        field.readJson(object);
        QVERIFY(field.font() == QFont());
    }
    TextField missing;
    missing.setFont(QFont(QStringLiteral("Liberation Mono"), 9));
    missing.readJson(QJsonObject());
    QVERIFY(missing.font() == QFont());
    TextField other;
    QJsonObject object;
    object.insert(QLatin1String("font"), QStringLiteral("MS Shell Dlg 2,10,-1,5,50,0,0,0,0,0"));
    other.readJson(object);
    QCOMPARE(other.font().family(), QStringLiteral("MS Shell Dlg 2"));
    QCOMPARE(other.font().pointSize(), 10);
}

void TestReportFile::missingKeys()
{
    writeFile(QStringLiteral("sparse.velrpt"),
              "{\"textFields\": [{}], \"tableFields\": [{}]}");
    ReportPage page;
    page.setOrientation(0);
    page.setPagesCount(2);
    page.setPrintBackgroundImage(true);
    page.setBackgroundImage(pattern(Qt::green));
    const QFont font = page.defaultFont();
    QVERIFY(page.load(path(QStringLiteral("sparse.velrpt"))));
    // Page keys are read only when present.
    QCOMPARE(page.orientation(), 0);
    QCOMPARE(page.printer()->pageLayout().orientation(), QPageLayout::Portrait);
    QCOMPARE(page.pagesCount(), 2);
    QCOMPARE(page.printBackgroundImage(), true);
    QVERIFY(!page.backgroundImage().isNull());
    QCOMPARE(page.defaultFont(), font);
    QCOMPARE(page.fields().size(), 2);

    auto* text = static_cast<TextField*>(page.fields().at(0));
    QCOMPARE(text->x(), 0.0);
    QCOMPARE(text->width(), 0.0);
    QCOMPARE(text->height(), 0.0);
    QCOMPARE(text->indent(), 0.0);
    QCOMPARE(text->lineHeight(), 0.0);
    QCOMPARE(text->zOnEmpty(), false);
    QVERIFY(text->text().isEmpty());

    auto* table = static_cast<TableField*>(page.fields().at(1));
    QCOMPARE(table->headerIsVisible(), false);
    QCOMPARE(table->drawBorders(), false);
    QCOMPARE(int(table->columnCount()), 0);
    QCOMPARE(int(table->previewRowCount()), 0);
    QVERIFY(table->columnsWidth().isEmpty());
    QVERIFY(table->modelName().isEmpty());
    QCOMPARE(table->splitsCount(), 0);
    QVERIFY(g_warnings.isEmpty());
}

void TestReportFile::wrongTypes()
{
    writeFile(QStringLiteral("types.velrpt"), R"({
        "orientation": "landscape", "printBackgroundImage": 1, "pagesCount": "2",
        "pageSize": true, "backgroundImage": "!!not an image!!", "defaultFont": 5,
        "textFields": [{"x": "abc", "y": [1], "width": 30, "wordWrap": "yes", "id": 5,
                        "font": 12, "zOnEmpty": "true", "indent": "3", "alignFlags": 2.7},
                       7],
        "tableFields": [{"columnCount": 999, "previewRowCount": -4, "columnsWidth": ["a", 3],
                         "headerNames": [1, "b"], "columnIds": "nope", "columnsAlign": [300, -1, "x", 4],
                         "mModelName": 3, "splitsCount": "2", "maxSplitHeight": {}}]
    })");
    ReportPage page;
    page.setBackgroundImage(pattern(Qt::green));
    QVERIFY(page.load(path(QStringLiteral("types.velrpt"))));
    QCOMPARE(page.orientation(), 0);
    QCOMPARE(page.printBackgroundImage(), false);
    QCOMPARE(page.pagesCount(), 0);
    QCOMPARE(page.pageSize(), 0);
    QVERIFY(page.backgroundImage().isNull());
    QCOMPARE(page.defaultFont().family(), QStringLiteral("Times New Roman"));
    QCOMPARE(page.fields().size(), 3);

    auto* text = static_cast<TextField*>(page.fields().at(0));
    QCOMPARE(text->x(), 0.0);
    QCOMPARE(text->y(), 0.0);
    QCOMPARE(text->width(), 30.0);
    QCOMPARE(text->wordWrap(), false);
    QVERIFY(text->text().isEmpty());
    QVERIFY(text->font() == QFont());
    QCOMPARE(text->zOnEmpty(), false);
    QCOMPARE(text->indent(), 0.0);
    // A non-object element is an empty object.
    QCOMPARE(page.fields().at(1)->type(), 1);
    QCOMPARE(page.fields().at(1)->width(), 0.0);

    auto* table = static_cast<TableField*>(page.fields().at(2));
    QCOMPARE(int(table->columnCount()), 255);
    QCOMPARE(int(table->previewRowCount()), 0);
    QCOMPARE(table->columnsWidth(), (QVector<double>{0, 3}));
    QCOMPARE(table->headerNames(), (QVector<QString>{QString(), QStringLiteral("b")}));
    QVERIFY(table->columnIds().isEmpty());
    QCOMPARE(table->columnsAlign(), (QVector<quint8>{255, 0, 0, 4}));
    QVERIFY(table->modelName().isEmpty());
    QCOMPARE(table->splitsCount(), 0);
    QVERIFY(table->maxSplitHeight().isEmpty());

    // Such a table still lays out and draws.
    QImage image(400, 400, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (AbstractField* field : page.fields())
        field->draw(&painter, 2.0, 0);
    page.setDataMode(true);
    for (AbstractField* field : page.fields())
        field->draw(&painter, 2.0, 0);
}

void TestReportFile::shortArraysStayShortAndDrawSafely()
{
    writeFile(QStringLiteral("short.velrpt"), R"({"tableFields": [{
        "x": 10, "y": 10, "width": 100, "height": 40, "wordWrap": true,
        "headerIsVisible": true, "columnCount": 4, "previewRowCount": 6,
        "headerHeight": 8, "rowHeight": 6, "mModelName": "m", "drawBorders": true,
        "autoWidth": false,
        "columnsWidth": [30], "headerNames": ["A", "B"], "columnIds": ["$D{m.a}"],
        "columnsAlign": [],
        "splitsCount": 3, "maxSplitHeight": [20], "splitX": [5], "splitY": []}]})");
    ReportPage page;
    QVERIFY(page.load(path(QStringLiteral("short.velrpt"))));
    QCOMPARE(page.fields().size(), 1);
    auto* table = static_cast<TableField*>(page.fields().at(0));
    QCOMPARE(int(table->columnCount()), 4);
    QCOMPARE(table->columnsWidth().size(), 1);

    // Laying out and drawing read only what is there, in both modes and with
    // automatic widths.
    QImage image(1200, 1200, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    table->prepare();
    table->draw(&painter, page.dotsPerMm(), 0);
    table->setAutoWidth(true);
    table->prepare();
    table->draw(&painter, page.dotsPerMm(), 0);
    table->setAutoWidth(false);
    page.setDataMode(true);
    table->draw(&painter, page.dotsPerMm(), 0);
    painter.end();

    // The template is written back as it was read.
    const QJsonObject saved = savedObject(page, QStringLiteral("short-again.velrpt"))
                                  .value(QLatin1String("tableFields")).toArray().at(0).toObject();
    QCOMPARE(saved.value(QLatin1String("columnsWidth")).toArray(), QJsonArray{30});
    QCOMPARE(saved.value(QLatin1String("headerNames")).toArray().size(), 2);
    QCOMPARE(saved.value(QLatin1String("columnIds")).toArray().size(), 1);
    QCOMPARE(saved.value(QLatin1String("columnsAlign")).toArray().size(), 0);
    QCOMPARE(saved.value(QLatin1String("maxSplitHeight")).toArray(), QJsonArray{20});
    QCOMPARE(saved.value(QLatin1String("splitX")).toArray(), QJsonArray{5});
    QCOMPARE(saved.value(QLatin1String("splitY")).toArray().size(), 0);
    QCOMPARE(saved.value(QLatin1String("columnCount")).toInt(), 4);
    QCOMPARE(saved.value(QLatin1String("splitsCount")).toInt(), 3);
}

void TestReportFile::damagedJson_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("broken") << QByteArray("{\"orientation\": 0, \"textFields\": [{\"x\": 1}");
    QTest::newRow("array") << QByteArray("[{\"x\": 1}]");
    QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    QTest::newRow("empty") << QByteArray();
}

void TestReportFile::damagedJson()
{
    QFETCH(QByteArray, data);
    writeFile(QStringLiteral("damaged.velrpt"), data);
    ReportPage page;
    page.setPagesCount(2);
    page.setOrientation(0);
    page.addField(new TextField);
    QVERIFY(page.load(path(QStringLiteral("damaged.velrpt"))));
    QVERIFY(page.fields().isEmpty());
    QCOMPARE(page.pagesCount(), 2);
    QCOMPARE(page.orientation(), 0);
    QCOMPARE(g_warnings.size(), 1);
}

void TestReportFile::missingFile()
{
    ReportPage page;
    page.addField(new TextField);
    QVERIFY(!page.load(path(QStringLiteral("nothing-here.velrpt"))));
    QCOMPARE(page.fields().size(), 1);
    QCOMPARE(g_warnings, QStringList{QStringLiteral("Couldn't open save file.")});
}

void TestReportFile::saveIntoMissingDirectory()
{
    ReportPage page;
    QVERIFY(!page.save(path(QStringLiteral("no/such/dir/page.velrpt"))));
    QCOMPARE(g_warnings, QStringList{QStringLiteral("Couldn't open save file.")});
    QVERIFY(!QFile::exists(path(QStringLiteral("no/such/dir/page.velrpt"))));
}

void TestReportFile::failedSaveKeepsTheOldFile()
{
    const QString fileName = path(QStringLiteral("kept.velrpt"));
    ReportPage small;
    small.addField(new TextField);
    QVERIFY(small.save(fileName));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    // A page too large for the file size limit set below: the write fails
    // whatever the user's rights (tests may run as root).
    ReportPage large;
    QImage noise(300, 300, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) & 255, (x * y) & 255, (x ^ y) & 255));
    large.setBackgroundImage(QPixmap::fromImage(noise));

    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = rlim_t(before.size() + 4096);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = large.save(fileName);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!saved);
    QCOMPARE(g_warnings.size(), 1);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("kept.velrpt*")}, QDir::Files),
             QStringList{QStringLiteral("kept.velrpt")});
}

VELSPO_TEST_MAIN(TestReportFile)
#include "tst_reportfile.moc"
