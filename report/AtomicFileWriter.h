#pragma once

#include <QByteArray>
#include <QString>

class QSaveFile;

// Writes that must not leave a half-written file behind: the data goes to a
// temporary file that replaces the old one only when every byte reached the
// disk. On any failure the old file stays as it was.
class AtomicFileWriter
{
public:
    // Writes data as the whole new content of path.
    static bool write(const QString& path, const QByteArray& data);

    // Ends a QSaveFile the caller has written to: flushes what Qt still
    // buffers and checks it, because QSaveFile::commit() does not notice a
    // failure of that last flush (a full disk, a size limit) and would rename
    // a cut-off file over the old one. Cancels and returns false on any error.
    static bool commit(QSaveFile& file);
};
