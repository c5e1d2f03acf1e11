#include "PdfFile.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

QString PdfFile::text(const QString& file)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                QStringLiteral("UTF-8"), file, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QImage PdfFile::image(const QString& file, int dpi)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return QImage();
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                   QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
                   QStringLiteral("-l"), QStringLiteral("1"), file, prefix});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QImage();
    return QImage(prefix + QStringLiteral(".png"));
}

QByteArray PdfFile::content(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray data = in.readAll();
    QByteArray content;
    int pos = 0;
    while ((pos = data.indexOf("stream\n", pos)) >= 0) {
        const int start = pos + 7;
        const int end = data.indexOf("endstream", start);
        if (end < 0)
            break;
        const QByteArray raw = data.mid(start, end - start);
        // Past the keyword, whose own "stream\n" is no stream.
        pos = end + 9;
        if (raw.isEmpty() || quint8(raw.at(0)) != 0x78)
            continue;   // not a zlib stream
        // qUncompress wants the inflated size in front; any bound will do.
        QByteArray sized(4, '\0');
        qToBigEndian<quint32>(quint32(raw.size() * 50 + 4096), sized.data());
        const QByteArray inflated = qUncompress(sized + raw);
        if (inflated.contains("BT") || inflated.contains(" cm\n"))
            content += inflated;
    }
    return content;
}

int PdfFile::textObjects(const QString& file)
{
    static const QRegularExpression begin(QStringLiteral("(?<!\\S)BT(?!\\S)"));
    return int(QString::fromLatin1(content(file)).count(begin));
}
