// Structure-aware fuzzing of report templates: mutates the shipped templates
// (typed and wrong-typed values, extreme numbers, page and area counts from
// the whole range a file holds, short and long arrays, deep JSON, token soup,
// huge strings, generated and broken PNGs) and puts every result through
// everything a template meets: loading, variables and models, drawing in
// both modes, a PDF print of its sheets, saving and reloading, and the
// designer (every field selected and one dragged, the scene painted, the
// table dialog confirmed, saved and reopened).
//
//   fuzz_templates [--iterations N] [--jobs J] [--seed S] [--out DIR] [--templates DIR]
//   fuzz_templates --replay FILE [--seed S]
//
// Runs J worker processes. Inputs that crash a worker (or trip a sanitizer),
// take over 2 s or push its memory over 1 GB are kept in DIR. Not a test.

#include "engine/FileChooser.h"
#include "report/AbstractField.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/FieldGraphicsItem.h"
#include "report/designer/MyGraphicsScene.h"
#include "report/designer/MyGraphicsView.h"
#include "report/designer/ProjectViewWidget.h"
#include "report/designer/ReportWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsSceneMouseEvent>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

#include <csignal>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const qint64 slowMs = 2000;
const long memoryLimitKb = 1024L * 1024L;
const int exitMemory = 3;
const int exitRestart = 4;
const int maxInputBytes = 4 * 1024 * 1024;

const int maxInputNodes = 200000;
// Clicking through a file of thousands of fields lying on top of each other
// only measures how finding the one under the pointer grows with them:
// fields beyond this are left unselected, and the table dialog is opened
// for the first few tables only (counted as well).
const int designerFieldLimit = 300;
// The first ones are clicked with the mouse, the rest selected as a click
// leaves them (finding the field under the pointer grows with the fields
// lying there, which a stack of copies makes quadratic over the input).
const int designerClickLimit = 10;
const int dialogTableLimit = 3;
// Bits of a case's skip report.
const int skippedDialog = 2;
const int skippedManyFields = 4;

// Counts the values of a JSON tree down from budget; false once it runs out.
bool withinNodes(const QJsonValue& value, int& budget)
{
    if (--budget < 0)
        return false;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue& element : array) {
            if (!withinNodes(element, budget))
                return false;
        }
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (!withinNodes(it.value(), budget))
                return false;
        }
    }
    return true;
}

class Mutator
{
public:
    explicit Mutator(quint32 seed) : m_random(seed) {}

    int below(int n) { return n <= 0 ? 0 : int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }

    QJsonObject mutate(QJsonObject page)
    {
        // The shipped backgrounds cost a PNG decode and encode per case;
        // most cases go without them (generated images come below).
        if (chance(85)) {
            page.remove(QStringLiteral("backgroundImage"));
            page.remove(QStringLiteral("backgroundImage2"));
        }
        const int count = 1 + below(8);
        for (int i = 0; i < count; ++i) {
            QJsonValue value(page);
            value = mutateValue(value, 0);
            if (value.isObject())
                page = value.toObject();
        }
        if (chance(20))
            page.insert(QStringLiteral("pagesCount"), count32());
        if (chance(20) && page.value(QStringLiteral("tableFields")).isArray()) {
            QJsonArray tables = page.value(QStringLiteral("tableFields")).toArray();
            for (int i = 0; i < tables.size(); ++i) {
                QJsonObject table = tables.at(i).toObject();
                table.insert(QStringLiteral("splitsCount"), count32());
                tables.replace(i, table);
            }
            page.insert(QStringLiteral("tableFields"), tables);
        }
        if (chance(10))
            page.insert(QStringLiteral("backgroundImage"), QString::fromLatin1(png().toBase64()));
        if (chance(3))
            page.insert(QStringLiteral("backgroundImage2"), QString::fromLatin1(png().toBase64()));
        return page;
    }

    // A count as a file may hold it: mostly the handful a template uses,
    // else anywhere in the 32-bit range, its ends included.
    double count32()
    {
        if (chance(50))
            return below(6);
        switch (below(4)) {
        case 0:
            return chance(50) ? 2147483647.0 : -2147483648.0;
        case 1:
            return double(qint64(1) << below(32)) - 1;
        case 2:
            return -1 - below(100);
        default:
            return double(qint32(m_random.generate()));
        }
    }

    double extremeNumber()
    {
        static const double numbers[] = {0, -1, 1, 2, 7, 127, 128, 255, 256, 4228, 65535, 65536,
                                         2147483647.0, -2147483648.0, 4294967296.0, 1e15, 1e300,
                                         -1e300, 1e-300, 0.5, -0.5, 250000, 999999, 0.000001, 210,
                                         297, 1e9, -1e9};
        if (chance(30))
            return (m_random.generateDouble() - 0.5) * 2.0 * double(1 << below(31));
        return numbers[below(int(sizeof(numbers) / sizeof(numbers[0])))];
    }

    QString soup(int pieces)
    {
        static const char* const parts[] = {
            "$V{", "$D{", "}", "$V{fio}", "$V{Full_Name}", "$V{ text_for_addition }",
            "$D{viewspodetails.", "$D{ViewSpoDetails.name}", "<b>", "</b>", "<i>", "<u>",
            "<table><tr><td>", "</td></tr></table>", "<p style=\"line-height:999999px\">",
            "<p>", "</p>", "<br>", "\\n", "\n", "&amp;", "&#65;", "<font size=7>",
            "<span style=\"font-size:900pt\">", "<div>", "<ul><li>", "<img src=\"x.png\">",
            "<h1>", "удовлетворительно", "довлетворительно", " ", "word", "{", "$", "<", ">",
            "<style>p{margin:100000px}</style>", "<table width=1e308>", "\t", "\xe2\x80\xa8",
            "<p style=\"line-height:300%\">", "<span style=\"font-size:500pt\">", "<big>",
            "<font size=\"+7\">", "<p style=\"line-height:1000%\">", "<h1>", "<pre>", "<sup>"};
        QString s;
        for (int i = 0; i < pieces; ++i)
            s += QString::fromUtf8(parts[below(int(sizeof(parts) / sizeof(parts[0])))]);
        return s;
    }

    QString randomString()
    {
        switch (below(6)) {
        case 0:
            return soup(1 + below(40));
        case 1:
            return soup(1 + below(chance(10) ? 3000 : 300));
        case 2:
            return QString(1 + below(chance(2) ? 1000000 : chance(10) ? 20000 : 2000),
                           QChar(0x20 + below(0x3000)));
        case 3:
            return QStringLiteral("<table><tr><td>").repeated(1 + below(60)) + QStringLiteral("x");
        case 4:
            return QStringLiteral("Times New Roman,%1,-1,5,%2,0,0,0,0,0")
                .arg(extremeNumber())
                .arg(below(1000));
        default:
            return QString();
        }
    }

    QJsonValue randomValue(int depth)
    {
        switch (below(depth > 2 ? 4 : 6)) {
        case 0:
            return extremeNumber();
        case 1:
            return chance(50);
        case 2:
            return randomString();
        case 3:
            return QJsonValue();
        case 4: {
            QJsonArray array;
            const int n = chance(10) ? below(3000) : below(6);
            for (int i = 0; i < n; ++i)
                array.append(chance(70) ? QJsonValue(extremeNumber()) : randomValue(depth + 1));
            return array;
        }
        default: {
            QJsonObject object;
            const int n = below(4);
            for (int i = 0; i < n; ++i)
                object.insert(knownKey(), randomValue(depth + 1));
            return object;
        }
        }
    }

    QJsonValue deep()
    {
        QJsonValue value = extremeNumber();
        const int levels = 1 + below(600);
        for (int i = 0; i < levels; ++i) {
            if (chance(50))
                value = QJsonArray{value};
            else
                value = QJsonObject{{knownKey(), value}};
        }
        return value;
    }

    QString knownKey()
    {
        static const char* const keys[] = {
            "orientation", "printBackgroundImage", "defaultFont", "pagesCount", "pageSize",
            "textFields", "tableFields", "x", "y", "width", "height", "wrap", "wordWrap",
            "alignFlags", "font", "zOnEmpty", "id", "indent", "lineHeight", "headerIsVisible",
            "autoWidth", "columnCount", "previewRowCount", "headerHeight", "rowHeight",
            "mModelName", "drawBorders", "columnsWidth", "headerNames", "columnIds",
            "columnsAlign", "splitsCount", "maxSplitHeight", "splitX", "splitY"};
        return QString::fromLatin1(keys[below(int(sizeof(keys) / sizeof(keys[0])))]);
    }

    // A value of the same JSON type as the old one.
    QJsonValue sameType(const QJsonValue& old)
    {
        if (old.isDouble())
            return chance(50) ? extremeNumber() : old.toDouble() + below(5) - 2;
        if (old.isBool())
            return !old.toBool();
        if (old.isString())
            return chance(50) ? randomString() : old.toString() + soup(1 + below(5));
        if (old.isArray()) {
            QJsonArray array = old.toArray();
            if (chance(40) && !array.isEmpty()) {
                while (!array.isEmpty() && chance(60))
                    array.removeLast();
            } else {
                const QJsonValue sample = array.isEmpty() ? QJsonValue(extremeNumber()) : array.at(below(array.size()));
                // Objects (fields) are not multiplied into the thousands:
                // that measures only how the work grows with their number.
                const int n = chance(10) ? below(sample.isObject() ? 100 : 5000) : 1 + below(8);
                // Containers are copied as they are: mutating them in turn
                // would multiply at every level.
                const bool scalar = sample.isDouble() || sample.isString() || sample.isBool();
                for (int i = 0; i < n; ++i)
                    array.append(scalar ? sameType(sample) : sample);
            }
            return array;
        }
        return randomValue(0);
    }

    QJsonValue mutateValue(const QJsonValue& value, int depth)
    {
        if (value.isObject() && !value.toObject().isEmpty() && chance(75)) {
            QJsonObject object = value.toObject();
            const QStringList keys = object.keys();
            const QString key = keys.at(below(keys.size()));
            switch (below(10)) {
            case 0:
                object.remove(key);
                break;
            case 1:
                object.insert(knownKey(), randomValue(depth));
                break;
            default:
                object.insert(key, mutateValue(object.value(key), depth + 1));
            }
            return object;
        }
        if (value.isArray() && !value.toArray().isEmpty() && chance(75)) {
            QJsonArray array = value.toArray();
            const int i = below(array.size());
            switch (below(8)) {
            case 0:
                array.removeAt(i);
                break;
            case 1:
                for (int k = below(chance(5) ? 200 : 4); k >= 0 && array.size() < 400; --k)
                    array.append(array.at(i));
                break;
            default:
                array.replace(i, mutateValue(array.at(i), depth + 1));
            }
            return array;
        }
        switch (below(10)) {
        case 0:
            return randomValue(depth);
        case 1:
            return deep();
        default:
            return sameType(value);
        }
    }

    QByteArray png()
    {
        if (chance(30)) {
            // A header that claims a huge image, with little or no data behind it.
            QImage small(8, 8, QImage::Format_Mono);
            small.fill(0);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            small.save(&buffer, "PNG");
            const quint32 w = chance(50) ? 40000 : quint32(1) << below(31);
            const quint32 h = chance(50) ? 40000 : quint32(1) << below(31);
            for (int i = 0; i < 4; ++i) {
                bytes[16 + i] = char(w >> (24 - 8 * i));
                bytes[20 + i] = char(h >> (24 - 8 * i));
            }
            return bytes;
        }
        QImage image(1 + below(1500), 1 + below(1500),
                     chance(50) ? QImage::Format_Mono : QImage::Format_RGB32);
        image.fill(below(2));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        if (chance(30)) {
            for (int i = below(20); i >= 0 && !bytes.isEmpty(); --i)
                bytes[below(bytes.size())] = char(below(256));
        }
        if (chance(20))
            bytes.truncate(below(bytes.size()));
        return bytes;
    }

private:
    QRandomGenerator m_random;
};

QStandardItemModel* makeModel(Mutator& m, QObject* parent)
{
    static const char* const names[] = {"name", "count", "rate", "type", "num", "hours", "mark"};
    const int columns = 1 + m.below(7);
    const int rows = m.chance(3) ? m.below(400) : m.below(30);
    auto* model = new QStandardItemModel(rows, columns, parent);
    for (int c = 0; c < columns; ++c)
        model->setHeaderData(c, Qt::Horizontal, QString::fromLatin1(names[c]));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            model->setData(model->index(r, c), m.chance(80) ? m.soup(1 + m.below(6)) : m.randomString());
    }
    return model;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Milliseconds spent in each stage, summed (shown by --replay).
qint64 stageMs[5] = {0, 0, 0, 0, 0};

void sendMouse(QWidget* viewport, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
               Qt::MouseButtons held)
{
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// Paints what the view shows and the whole scene, as the window draws it.
void paintDesigner(ReportWindow* window, MyGraphicsScene* scene)
{
    QImage shown(window->size(), QImage::Format_ARGB32_Premultiplied);
    window->render(&shown);
    QImage whole(600, 800, QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::white);
    QPainter painter(&whole);
    scene->render(&painter);
}

// Confirms every table dialog open (each frees itself).
void confirmTableDialogs()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<EditTableFieldDialog*>(widget)) {
            if (auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("pushButtonOk")))
                ok->click();
            dialog->close();
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The input in the designer window: every field selected (the first ones
// by a click where they show, the rest as a click leaves them), one
// dragged, the scene painted, each table's dialog opened by a double click
// and confirmed, saved, reopened and painted again.
int exerciseDesigner(const QString& file, const QString& scratch)
{
    int skipped = 0;
    const QString copy = scratch + QStringLiteral("/designer.velrpt");
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return skipped;
    // A template the designer could not read has no name: Save asks for one,
    // and gets a file beside the copy; nothing else is chosen.
    const QString chosen = scratch + QStringLiteral("/chosen.velrpt");
    FileChooser::setHandler([chosen](QWidget*, const FileChooser::Request& request) {
        return request.mode == FileChooser::Mode::Save ? chosen : QString();
    });
    std::unique_ptr<ReportWindow> window(new ReportWindow(nullptr));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->resize(1000, 800);
    if (!window->openFile(copy))
        return skipped;
    window->show();
    QCoreApplication::processEvents();
    for (int round = 0; round < 2; ++round) {
        ProjectViewWidget* view = window->projectView();
        MyGraphicsScene* scene = view ? view->scene() : nullptr;
        MyGraphicsView* graphics = view ? view->graphicsView() : nullptr;
        if (!scene || !graphics)
            return skipped;
        QWidget* viewport = graphics->viewport();
        const QList<FieldGraphicsItem*> items = scene->fieldItems();
        if (items.size() > designerFieldLimit)
            skipped |= skippedManyFields;
        int dialogs = 0;
        for (int i = 0; i < qMin(items.size(), designerFieldLimit); ++i) {
            FieldGraphicsItem* item = items.at(i);
            const QRectF r = item->fieldSceneRect();
            if (qIsFinite(r.center().x()) && qIsFinite(r.center().y()) && qAbs(r.center().x()) < 1e7
                && qAbs(r.center().y()) < 1e7)
                graphics->centerOn(r.center());
            const QPoint p = graphics->mapFromScene(r.center());
            if (i < designerClickLimit && viewport->rect().contains(p)) {
                sendMouse(viewport, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
                sendMouse(viewport, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
                sendMouse(viewport, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
            }
            if (!item->isSelected()) {
                scene->clearSelection();
                item->setSelected(true);
            }
            if (i == 0 && viewport->rect().contains(p)) {
                const QPoint to = p + QPoint(12, 7);
                sendMouse(viewport, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
                sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
                sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            }
            if (item->fieldType() == AbstractField::TableFieldType && round == 0
                && dialogs >= dialogTableLimit) {
                skipped |= skippedDialog;
            } else if (item->fieldType() == AbstractField::TableFieldType && round == 0) {
                ++dialogs;
                QGraphicsSceneMouseEvent click(QEvent::GraphicsSceneMouseDoubleClick);
                click.setButton(Qt::LeftButton);
                click.setScenePos(r.center());
                scene->sendEvent(item, &click);
                confirmTableDialogs();
            }
        }
        paintDesigner(window.get(), scene);
        if (round == 0) {
            window->on_actionSave_triggered();
            if (!window->openFile(copy))
                return skipped;
            QCoreApplication::processEvents();
        }
    }
    return skipped;
}

// One input through everything a template meets; the designer only for a
// page count it can show.

void exercise(const QString& file, Mutator& m, const QString& scratch, int& skipped)
{
    skipped = 0;
    QElapsedTimer stage;
    stage.start();
    ReportPage page;
    if (!page.load(file)) {
        // The designer opens what it could read, after its message.
        skipped = exerciseDesigner(file, scratch);
        stageMs[4] += stage.restart();
        return;
    }
    static const char* const variables[] = {"fio", "Full_Name", "text_for_addition", "OrgName",
                                            "City", "Number", "comment", "qual"};
    for (const char* name : variables)
        page.setVariable(QString::fromLatin1(name), m.chance(50) ? m.soup(1 + m.below(30)) : m.randomString());
    page.addModel(QStringLiteral("ViewSpoDetails"), makeModel(m, &page), true);
    page.addModel(QStringLiteral("ViewSpoCourseworks"), makeModel(m, &page), true);
    // The loader binds a model or two; a few more under the names the tables ask for.
    QStringList names;
    for (AbstractField* field : page.fields()) {
        if (field->type() == AbstractField::TableFieldType && names.size() < 4) {
            const QString name = static_cast<TableField*>(field)->modelName();
            if (!names.contains(name))
                names << name;
        }
    }
    for (const QString& name : qAsConst(names)) {
        if (m.chance(50))
            page.addModel(name, makeModel(m, &page), true);
    }

    stageMs[0] += stage.restart();
    const double dpm = page.dotsPerMm();
    QImage canvas(int(297 * dpm), int(297 * dpm), QImage::Format_ARGB32_Premultiplied);
    for (bool data : {false, true}) {
        page.setDataMode(data);
        for (int sheet = 0; sheet < 2; ++sheet) {
            canvas.fill(Qt::white);
            QPainter painter(&canvas);
            for (AbstractField* field : page.fields())
                field->draw(&painter, dpm, sheet * 210 * dpm);
        }
    }

    stageMs[1] += stage.restart();
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch + QStringLiteral("/print.pdf"));
    page.setDataMode(true);
    const int sheets = qBound(0, page.pagesCount(), 3);
    for (int sheet = 0; sheet < sheets; ++sheet) {
        page.setPageIndex(sheet);
        page.renderPage(&printer);
    }

    stageMs[2] += stage.restart();
    const QString saved = scratch + QStringLiteral("/saved.velrpt");
    if (page.save(saved)) {
        ReportPage again;
        again.load(saved);
    }
    stageMs[3] += stage.restart();
    skipped = exerciseDesigner(file, scratch);
    stageMs[4] += stage.restart();
}

int runWorker(const QString& outDir, const QStringList& templates, quint32 seed, int iterations,
              int index)
{
    std::vector<QJsonObject> seeds;
    for (const QString& path : templates) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            seeds.push_back(QJsonDocument::fromJson(file.readAll()).object());
    }
    if (seeds.empty())
        return 2;
    QTemporaryDir scratch;
    Mutator m(seed);
    const QString current = QStringLiteral("%1/current-%2.velrpt").arg(outDir).arg(index);
    QTextStream out(stdout);
    for (int i = 0; i < iterations; ++i) {
        QByteArray bytes;
        do {
            // Files of many megabytes only measure the JSON parser.
            const QJsonObject input = m.mutate(seeds[size_t(m.below(int(seeds.size())))]);
            int budget = maxInputNodes;
            if (!withinNodes(input, budget))
                continue;
            bytes = QJsonDocument(input).toJson(m.chance(50) ? QJsonDocument::Compact
                                                              : QJsonDocument::Indented);
        } while (bytes.isEmpty() || bytes.size() > maxInputBytes);
        if (m.chance(5))
            bytes.truncate(m.below(bytes.size()));   // a damaged file
        {
            QFile file(current);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
        // The variables and models of the case come from a seed of their
        // own, kept beside the input, so --replay meets the same data.
        const quint32 caseSeed = quint32(m.below(0x7fffffff));
        {
            QFile file(current + QStringLiteral(".seed"));
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray::number(caseSeed));
        }
        Mutator caseData(caseSeed);
        const long before = peakKb();
        QElapsedTimer timer;
        timer.start();
        int skipped = 0;
        exercise(current, caseData, scratch.path(), skipped);
        const qint64 ms = timer.elapsed();
        const long kb = peakKb();
        if (ms > slowMs)
            QFile::copy(current, QStringLiteral("%1/slow-seed%2-%3ms.velrpt").arg(outDir).arg(caseSeed).arg(ms));
        out << "done " << ms << ' ' << kb << ' ' << skipped << '\n';
        out.flush();
        // The peak only grows: the case is to blame only when it raised it.
        if (kb > memoryLimitKb && kb > before) {
            QFile::copy(current, QStringLiteral("%1/memory-seed%2.velrpt").arg(outDir).arg(caseSeed));
            return exitMemory;
        }
        if (kb > memoryLimitKb)
            return exitRestart;   // grown over many cases: start afresh
    }
    return 0;
}

struct Worker
{
    std::unique_ptr<QProcess> process;
    int index = 0;
    int left = 0;
    qint64 lastProgress = 0;
    QByteArray pending;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The designer's settings go to a scratch place, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QStringList args = app.arguments();
    auto option = [&args](const QString& name, const QString& fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const int iterations = option(QStringLiteral("--iterations"), QStringLiteral("1000")).toInt();
    const int jobs = qBound(1, option(QStringLiteral("--jobs"), QStringLiteral("3")).toInt(), 16);
    const quint32 seed = option(QStringLiteral("--seed"), QStringLiteral("1")).toUInt();
    const QString outDir = QDir(option(QStringLiteral("--out"), QStringLiteral("fuzz-out"))).absolutePath();
    const QString templatesDir = option(QStringLiteral("--templates"),
                                        QStringLiteral(VELSPO_SOURCE_DIR "/resources/reports"));
    QStringList templates;
    for (const QString& name : QDir(templatesDir).entryList({QStringLiteral("*.velrpt")}, QDir::Files))
        templates << templatesDir + QLatin1Char('/') + name;
    QDir().mkpath(outDir);

    // Questions (the overflow warning) are answered No at once.
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->done(QMessageBox::No);
    });
    answerer.start(0);

    // Runs one kept input again (the variables and models drawn from --seed).
    const QString replay = option(QStringLiteral("--replay"), QString());
    if (!replay.isEmpty()) {
        QTemporaryDir scratch;
        Mutator m(seed);
        QElapsedTimer timer;
        timer.start();
        int skipped = 0;
        exercise(replay, m, scratch.path(), skipped);
        std::printf("%s: %lld ms (load %lld, draw %lld, print %lld, save %lld, designer %lld%s), "
                    "peak memory %ld MB\n",
                    qPrintable(replay), timer.elapsed(), stageMs[0], stageMs[1], stageMs[2],
                    stageMs[3], stageMs[4], skipped ? " (parts skipped)" : "", peakKb() / 1024);
        return 0;
    }

    if (args.contains(QStringLiteral("--worker")))
        return runWorker(outDir, templates, seed,
                         iterations, option(QStringLiteral("--index"), QStringLiteral("0")).toInt());

    // The parent: spreads the iterations over the workers, restarts a worker
    // after a crash or a memory stop, and kills one that stops making progress.
    // Leak reports at exit would count every worker as crashed (Qt keeps
    // some allocations to the end); memory errors still stop a worker.
    if (qEnvironmentVariableIsEmpty("ASAN_OPTIONS"))
        qputenv("ASAN_OPTIONS", "detect_leaks=0:handle_abort=1:quarantine_size_mb=64");
    qint64 done = 0, crashes = 0, slow = 0, memory = 0, hangs = 0, slowest = 0, skippedDialogs = 0,
           manyFields = 0;
    long peak = 0;
    quint32 nextSeed = seed;
    QElapsedTimer clock;
    clock.start();
    std::vector<Worker> workers(static_cast<size_t>(jobs));
    int running = 0;

    std::function<void(Worker&)> start = [&](Worker& w) {
        if (w.left <= 0)
            return;
        w.process.reset(new QProcess);
        w.process->setProcessChannelMode(QProcess::SeparateChannels);
        w.process->setStandardErrorFile(QStringLiteral("%1/stderr-%2.log").arg(outDir).arg(w.index));
        w.lastProgress = clock.elapsed();
        w.pending.clear();
        QProcess* p = w.process.get();
        QObject::connect(p, &QProcess::readyReadStandardOutput, [&, p, &w = w] {
            w.pending += p->readAllStandardOutput();
            int nl;
            while ((nl = w.pending.indexOf('\n')) >= 0) {
                const QList<QByteArray> parts = w.pending.left(nl).split(' ');
                w.pending.remove(0, nl + 1);
                if (parts.size() != 4 || parts.at(0) != "done")
                    continue;
                --w.left;
                ++done;
                skippedDialogs += (parts.at(3).toInt() & skippedDialog) ? 1 : 0;
                manyFields += (parts.at(3).toInt() & skippedManyFields) ? 1 : 0;
                const qint64 ms = parts.at(1).toLongLong();
                slowest = qMax(slowest, ms);
                if (ms > slowMs)
                    ++slow;
                peak = qMax(peak, parts.at(2).toLong());
                w.lastProgress = clock.elapsed();
                if (done % 5000 == 0)
                    std::printf("%lld iterations, %lld s\n", done, clock.elapsed() / 1000), std::fflush(stdout);
            }
        });
        QObject::connect(p, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                         [&, p, &w = w](int code, QProcess::ExitStatus status) {
            p->readAllStandardOutput();
            const QString current = QStringLiteral("%1/current-%2.velrpt").arg(outDir).arg(w.index);
            if (status == QProcess::CrashExit
                || (code != 0 && code != exitMemory && code != exitRestart)) {
                const QString name = QStringLiteral("%1/crash-%2").arg(outDir).arg(crashes++);
                QFile::copy(current, name + QStringLiteral(".velrpt"));
                QFile::copy(current + QStringLiteral(".seed"), name + QStringLiteral(".seed"));
                QFile::copy(QStringLiteral("%1/stderr-%2.log").arg(outDir).arg(w.index), name + QStringLiteral(".log"));
                --w.left;   // the crashing input counts as run
                ++done;
            } else if (code == exitMemory) {
                ++memory;
            }
            p->deleteLater();
            w.process.release();
            --running;
            if (w.left > 0) {
                ++running;
                QTimer::singleShot(0, [&start, &w] { start(w); });
            } else if (running == 0) {
                app.quit();
            }
        });
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--worker"), QStringLiteral("--seed"), QString::number(nextSeed++),
                  QStringLiteral("--iterations"), QString::number(w.left), QStringLiteral("--out"),
                  outDir, QStringLiteral("--templates"), templatesDir, QStringLiteral("--index"),
                  QString::number(w.index)});
    };

    for (int i = 0; i < jobs; ++i) {
        workers[size_t(i)].index = i;
        workers[size_t(i)].left = iterations / jobs + (i < iterations % jobs ? 1 : 0);
        if (workers[size_t(i)].left > 0) {
            ++running;
            start(workers[size_t(i)]);
        }
    }
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        for (Worker& w : workers) {
            if (w.process && clock.elapsed() - w.lastProgress > 30000) {
                QFile::copy(QStringLiteral("%1/current-%2.velrpt").arg(outDir).arg(w.index),
                            QStringLiteral("%1/hang-%2.velrpt").arg(outDir).arg(hangs++));
                w.lastProgress = clock.elapsed();
                // An abort makes the sanitizer print where it hung;
                // finished() then counts it as a crash and restarts.
                ::kill(pid_t(w.process->processId()), SIGABRT);
            }
        }
    });
    watchdog.start(5000);
    if (running > 0)
        app.exec();

    std::printf("iterations %lld, crashes %lld (hangs %lld), slow inputs (>2 s) %lld, "
                "memory stops (>1 GB) %lld, slowest %lld ms, peak memory %ld MB, %lld s; "
                "table dialog skipped past the first %d tables: %lld, "
                "fields past the first %d left unselected: %lld\n",
                done, crashes, hangs, slow, memory, slowest, peak / 1024, clock.elapsed() / 1000,
                dialogTableLimit, skippedDialogs, designerFieldLimit, manyFields);
    std::fflush(stdout);   // a leak report at exit would end the process unflushed
    return crashes + slow + memory > 0 ? 1 : 0;
}
