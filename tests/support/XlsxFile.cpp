#include "XlsxFile.h"

#include <QProcess>
#include <QRegularExpression>
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

QString XlsxFile::unescaped(const QString& stored)
{
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString text;
    int from = 0;
    for (auto it = escape.globalMatch(stored); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        text += stored.midRef(from, match.capturedStart() - from);
        text += QChar(match.captured(1).toUShort(nullptr, 16));
        from = match.capturedEnd();
    }
    return text + stored.midRef(from);
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
            cells.insert(name, unescaped(isShared ? strings.value(value.toInt()) : value));
        }
    }
    return cells;
}
