#include "report/AtomicFileWriter.h"

#include <QDebug>
#include <QSaveFile>

bool AtomicFileWriter::write(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "cannot write" << path << file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        qDebug() << "cannot write" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    return commit(file);
}

bool AtomicFileWriter::commit(QSaveFile& file)
{
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        qDebug() << "cannot write" << file.fileName() << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qDebug() << "cannot write" << file.fileName() << file.errorString();
        return false;
    }
    return true;
}
