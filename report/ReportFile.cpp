#include "report/ReportFile.h"

#include "report/AbstractField.h"
#include "report/AtomicFileWriter.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

bool ReportFile::readFile(const QString& fileName, QByteArray& data)
{
    data.clear();
    // Opening a named pipe waits for a writer that may never come, and a
    // device may never end: a template is a regular file (or a link to one).
    if (QFileInfo::exists(fileName) && !QFileInfo(fileName).isFile()) {
        qWarning() << "Report template" << fileName << "is not a regular file: not read";
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "Couldn't open report template" << fileName << file.errorString();
        return false;
    }
    const auto tooLarge = [&fileName] {
        qWarning() << "Report template" << fileName << "is larger than" << maxFileSize << "bytes: not read";
        return false;
    };
    if (!file.isSequential() && file.size() > maxFileSize)
        return tooLarge();
    // To one byte past the bound at most: a pipe or a device tells no size,
    // and a file may grow while it is read.
    if (!file.isSequential())
        data.reserve(int(file.size()));
    const qint64 chunk = 1024 * 1024;
    while (data.size() <= maxFileSize) {
        const QByteArray part = file.read(qMin(chunk, maxFileSize + 1 - data.size()));
        if (part.isEmpty())
            break;
        data += part;
    }
    if (data.size() > maxFileSize) {
        data.clear();
        return tooLarge();
    }
    return true;
}

bool ReportFile::load(ReportPage& page, const QString& fileName)
{
    QByteArray data;
    if (!readFile(fileName, data))
        return false;
    // An empty file is a template with nothing in it yet.
    if (data.trimmed().isEmpty()) {
        read(page, QJsonObject());
        return true;
    }
    // Anything else that is no JSON object is unreadable, not empty: read as
    // a page without fields, the next save would put that over the template.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << "Report template" << fileName << "is not valid JSON:" << error.errorString()
                   << "at" << error.offset;
        return false;
    }
    if (!document.isObject()) {
        qWarning() << "Report template" << fileName << "holds no JSON object";
        return false;
    }
    read(page, document.object());
    return true;
}

bool ReportFile::save(const ReportPage& page, const QString& fileName)
{
    QJsonObject object;
    write(page, object);
    if (!AtomicFileWriter::write(fileName, QJsonDocument(object).toJson())) {
        qWarning() << "Couldn't save report template" << fileName;
        return false;
    }
    return true;
}

void ReportFile::read(ReportPage& page, const QJsonObject& object)
{
    if (object.contains(QLatin1String("orientation")))
        page.setOrientation(object.value(QLatin1String("orientation")).toInt());
    else
        page.setOrientation(page.orientation());

    if (object.contains(QLatin1String("printBackgroundImage")))
        page.setPrintBackgroundImage(object.value(QLatin1String("printBackgroundImage")).toBool());
    if (object.contains(QLatin1String("defaultFont"))) {
        const QString fontText = object.value(QLatin1String("defaultFont")).toString();
        QFont font = page.defaultFont();
        if (AbstractField::readFont(fontText, font))
            page.setDefaultFont(font);
    }
    if (object.contains(QLatin1String("pagesCount")))
        page.setPagesCount(
            qBound(1, object.value(QLatin1String("pagesCount")).toInt(), ReportPage::maxPagesCount));
    if (object.contains(QLatin1String("pageSize")))
        page.setPageSize(object.value(QLatin1String("pageSize")).toInt());
    else
        page.setPageSize(page.pageSize());
    // The images are measured against the paper, so they come after it.
    if (object.contains(QLatin1String("backgroundImage")))
        page.setBackgroundImage(
            imageFromBase64(object.value(QLatin1String("backgroundImage")).toString(), page));
    if (object.contains(QLatin1String("backgroundImage2")))
        page.setBackgroundImage2(
            imageFromBase64(object.value(QLatin1String("backgroundImage2")).toString(), page));

    // Callers load into a fresh page; fields left from before are dropped.
    QList<AbstractField*>& fields = page.fields();
    qDeleteAll(fields);
    fields.clear();

    const QJsonArray textFields = object.value(QLatin1String("textFields")).toArray();
    for (const QJsonValue& value : textFields) {
        auto* field = new TextField;
        field->readJson(value.toObject());
        page.addField(field);
    }
    const QJsonArray tableFields = object.value(QLatin1String("tableFields")).toArray();
    for (const QJsonValue& value : tableFields) {
        auto* field = new TableField;
        field->readJson(value.toObject());
        page.addField(field);
    }
}

void ReportFile::write(const ReportPage& page, QJsonObject& object)
{
    object.insert(QLatin1String("orientation"), page.orientation());
    object.insert(QLatin1String("printBackgroundImage"), page.printBackgroundImage());
    object.insert(QLatin1String("defaultFont"), page.defaultFont().toString());
    object.insert(QLatin1String("pagesCount"), page.pagesCount());
    object.insert(QLatin1String("pageSize"), page.pageSize());

    QJsonArray textFields;
    QJsonArray tableFields;
    for (const AbstractField* field : page.fields()) {
        if (!field)
            continue;
        // QR fields (and any other kind) are not stored.
        QJsonArray* target = field->type() == AbstractField::TextFieldType    ? &textFields
                             : field->type() == AbstractField::TableFieldType ? &tableFields
                                                                              : nullptr;
        if (!target)
            continue;
        QJsonObject fieldObject;
        field->writeJson(fieldObject);
        target->append(fieldObject);
    }
    object.insert(QLatin1String("textFields"), textFields);
    object.insert(QLatin1String("tableFields"), tableFields);

    if (!page.backgroundImage().isNull())
        object.insert(QLatin1String("backgroundImage"), imageToBase64(page.backgroundImage()));
    if (!page.backgroundImage2().isNull())
        object.insert(QLatin1String("backgroundImage2"), imageToBase64(page.backgroundImage2()));
}

namespace {

// Arrays are read element by element as they stand: a short array stays
// short (the table reads missing entries as 0 or empty), so saving the
// template again does not change it.
QVector<double> numbers(const QJsonValue& value)
{
    QVector<double> result;
    const QJsonArray array = value.toArray();
    result.reserve(array.size());
    for (const QJsonValue& element : array)
        result.append(AbstractField::saneLength(element.toDouble()));
    return result;
}

QVector<QString> strings(const QJsonValue& value)
{
    QVector<QString> result;
    const QJsonArray array = value.toArray();
    result.reserve(array.size());
    for (const QJsonValue& element : array)
        result.append(element.toString());
    return result;
}

// 8-bit members keep the low 8 bits of the number, as the format has it.
quint8 byteValue(const QJsonValue& value)
{
    return quint8(value.toInt() & 0xFF);
}

template <typename T>
QJsonArray toArray(const QVector<T>& values)
{
    QJsonArray array;
    for (const T& value : values)
        array.append(value);
    return array;
}

} // namespace

void ReportFile::readTableField(TableField& field, const QJsonObject& object)
{
    field.AbstractField::readJson(object);
    field.setHeaderIsVisible(object.value(QLatin1String("headerIsVisible")).toBool());
    field.setAutoWidth(object.value(QLatin1String("autoWidth")).toBool());
    field.setColumnCount(byteValue(object.value(QLatin1String("columnCount"))));
    field.setPreviewRowCount(byteValue(object.value(QLatin1String("previewRowCount"))));
    field.setHeaderHeight(AbstractField::saneLength(object.value(QLatin1String("headerHeight")).toDouble()));
    field.setRowHeight(AbstractField::saneLength(object.value(QLatin1String("rowHeight")).toDouble()));
    field.setModelName(object.value(QLatin1String("mModelName")).toString());
    field.setDrawBorders(object.value(QLatin1String("drawBorders")).toBool());
    field.setColumnsWidth(numbers(object.value(QLatin1String("columnsWidth"))));
    field.setHeaderNames(strings(object.value(QLatin1String("headerNames"))));
    field.setColumnIds(strings(object.value(QLatin1String("columnIds"))));
    QVector<quint8> align;
    const QJsonArray alignArray = object.value(QLatin1String("columnsAlign")).toArray();
    for (const QJsonValue& element : alignArray)
        align.append(byteValue(element));
    field.setColumnsAlign(align);
    field.setSplitsCount(object.value(QLatin1String("splitsCount")).toInt());
    field.setMaxSplitHeight(numbers(object.value(QLatin1String("maxSplitHeight"))));
    field.setSplitX(numbers(object.value(QLatin1String("splitX"))));
    field.setSplitY(numbers(object.value(QLatin1String("splitY"))));
}

void ReportFile::writeTableField(const TableField& field, QJsonObject& object)
{
    field.AbstractField::writeJson(object);
    object.insert(QLatin1String("headerIsVisible"), field.headerIsVisible());
    object.insert(QLatin1String("autoWidth"), field.autoWidth());
    object.insert(QLatin1String("columnCount"), int(field.columnCount()));
    object.insert(QLatin1String("previewRowCount"), int(field.previewRowCount()));
    object.insert(QLatin1String("headerHeight"), field.headerHeight());
    object.insert(QLatin1String("rowHeight"), field.rowHeight());
    object.insert(QLatin1String("mModelName"), field.modelName());
    object.insert(QLatin1String("drawBorders"), field.drawBorders());
    object.insert(QLatin1String("columnsWidth"), toArray(field.columnsWidth()));
    object.insert(QLatin1String("headerNames"), toArray(field.headerNames()));
    object.insert(QLatin1String("columnIds"), toArray(field.columnIds()));
    QJsonArray align;
    for (quint8 value : field.columnsAlign())
        align.append(int(value));
    object.insert(QLatin1String("columnsAlign"), align);
    object.insert(QLatin1String("splitsCount"), field.splitsCount());
    object.insert(QLatin1String("maxSplitHeight"), toArray(field.maxSplitHeight()));
    object.insert(QLatin1String("splitX"), toArray(field.splitX()));
    object.insert(QLatin1String("splitY"), toArray(field.splitY()));
}

QString ReportFile::imageToBase64(const QPixmap& image)
{
    if (image.isNull())
        return QString();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(bytes.toBase64());
}

QPixmap ReportFile::imageFromBase64(const QString& text, const ReportPage& page)
{
    QByteArray bytes = QByteArray::fromBase64(text.toLatin1());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    return QPixmap::fromImage(page.readBackground(reader));
}
