#include "XlsxFile.h"

#include <QProcess>
#include <QXmlStreamReader>

QByteArray XlsxFile::part(const QString& file, const QString& name)
{
    QProcess process;
    process.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, name});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

namespace {

QStringList sharedStrings(const QString& file)
{
    QStringList strings;
    QXmlStreamReader xml(XlsxFile::part(file, QStringLiteral("xl/sharedStrings.xml")));
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si"))
            current.clear();
        else if (xml.isStartElement() && xml.name() == QLatin1String("t"))
            current += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == QLatin1String("si"))
            strings.append(current);
    }
    return strings;
}

QByteArray sheet(const QString& file)
{
    return XlsxFile::part(file, QStringLiteral("xl/worksheets/sheet1.xml"));
}

} // namespace

QMap<QString, QString> XlsxFile::cells(const QString& file)
{
    const QStringList strings = sharedStrings(file);
    QMap<QString, QString> cells;
    QXmlStreamReader xml(sheet(file));
    QString name;
    QString type;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            name = xml.attributes().value(QLatin1String("r")).toString();
            type = xml.attributes().value(QLatin1String("t")).toString();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("v")) {
            const QString value = xml.readElementText();
            cells.insert(name, type == QLatin1String("s") ? strings.value(value.toInt()) : value);
        }
    }
    return cells;
}

QStringList XlsxFile::columns(const QString& file)
{
    QStringList records;
    QXmlStreamReader xml(sheet(file));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("col")) {
            const QXmlStreamAttributes a = xml.attributes();
            records.append(QStringLiteral("%1-%2:%3").arg(a.value(QLatin1String("min")), a.value(QLatin1String("max")),
                                                          a.value(QLatin1String("width"))));
        }
    }
    return records;
}

double XlsxFile::rowHeight(const QString& file, int row)
{
    QXmlStreamReader xml(sheet(file));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("row")
            && xml.attributes().value(QLatin1String("r")).toInt() == row) {
            const QStringRef height = xml.attributes().value(QLatin1String("ht"));
            return height.isEmpty() ? -1 : height.toDouble();
        }
    }
    return -1;
}

int XlsxFile::rowCount(const QString& file)
{
    QXmlStreamReader xml(sheet(file));
    int rows = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("row"))
            ++rows;
    }
    return rows;
}
