#include "XlsxFile.h"

#include <QProcess>
#include <QStringList>
#include <QXmlStreamReader>

QByteArray XlsxFile::part(const QString& file, const QString& name)
{
    QProcess process;
    process.start(QStringLiteral("unzip"), {QStringLiteral("-p"), file, name});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

QMap<QString, QString> XlsxFile::cells(const QString& file)
{
    // One plain text per shared string: the program writes no rich text.
    QStringList strings;
    QXmlStreamReader shared(part(file, QStringLiteral("xl/sharedStrings.xml")));
    while (!shared.atEnd()) {
        if (shared.readNext() == QXmlStreamReader::StartElement && shared.name() == QLatin1String("t"))
            strings.append(shared.readElementText());
    }

    QMap<QString, QString> cells;
    QXmlStreamReader sheet(part(file, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString name;
    bool isShared = false;
    while (!sheet.atEnd()) {
        sheet.readNext();
        if (sheet.isStartElement() && sheet.name() == QLatin1String("c")) {
            name = sheet.attributes().value(QLatin1String("r")).toString();
            isShared = sheet.attributes().value(QLatin1String("t")) == QLatin1String("s");
        } else if (sheet.isStartElement() && sheet.name() == QLatin1String("v")) {
            const QString value = sheet.readElementText();
            cells.insert(name, isShared ? strings.value(value.toInt()) : value);
        }
    }
    return cells;
}
