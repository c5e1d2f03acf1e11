#include "report/ReportFile.h"

#include "report/AbstractField.h"
#include "report/ReportPage.h"
#include "report/TextField.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>

bool ReportFile::load(ReportPage& page, const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Couldn't open save file.");
        return false;
    }
    const QByteArray data = file.readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    QJsonObject object;
    if (error.error != QJsonParseError::NoError)
        qWarning() << "Report template" << fileName << "is not valid JSON:" << error.errorString();
    else if (!document.isObject())
        qWarning() << "Report template" << fileName << "holds no JSON object";
    else
        object = document.object();
    read(page, object);
    return true;
}

bool ReportFile::save(const ReportPage& page, const QString& fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Couldn't open save file.");
        return false;
    }
    QJsonObject object;
    write(page, object);
    const QByteArray data = QJsonDocument(object).toJson();
    if (file.write(data) != data.size() || !file.commit()) {
        qWarning() << "Couldn't write save file" << fileName << file.errorString();
        file.cancelWriting();
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
    if (object.contains(QLatin1String("backgroundImage")))
        page.setBackgroundImage(imageFromBase64(object.value(QLatin1String("backgroundImage")).toString()));
    if (object.contains(QLatin1String("backgroundImage2")))
        page.setBackgroundImage2(imageFromBase64(object.value(QLatin1String("backgroundImage2")).toString()));
    if (object.contains(QLatin1String("defaultFont"))) {
        QFont font = page.defaultFont();
        font.fromString(object.value(QLatin1String("defaultFont")).toString());
        page.setDefaultFont(font);
    }
    if (object.contains(QLatin1String("pagesCount")))
        page.setPagesCount(object.value(QLatin1String("pagesCount")).toInt());
    if (object.contains(QLatin1String("pageSize")))
        page.setPageSize(object.value(QLatin1String("pageSize")).toInt());
    else
        page.setPageSize(page.pageSize());

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
        if (field->type() == AbstractField::TextFieldType) {
            QJsonObject fieldObject;
            field->writeJson(fieldObject);
            textFields.append(fieldObject);
        }
    }
    object.insert(QLatin1String("textFields"), textFields);
    object.insert(QLatin1String("tableFields"), tableFields);

    if (!page.backgroundImage().isNull())
        object.insert(QLatin1String("backgroundImage"), imageToBase64(page.backgroundImage()));
    if (!page.backgroundImage2().isNull())
        object.insert(QLatin1String("backgroundImage2"), imageToBase64(page.backgroundImage2()));
}

void ReportFile::readTableField(TableField&, const QJsonObject&)
{
}

void ReportFile::writeTableField(const TableField&, QJsonObject&)
{
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

QPixmap ReportFile::imageFromBase64(const QString& text)
{
    QPixmap image;
    image.loadFromData(QByteArray::fromBase64(text.toLatin1()), "PNG");
    return image;
}
