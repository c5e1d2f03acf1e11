#pragma once

#include <QFileDevice>
#include <QString>

class LongTask;

// A copy of a file written into a new file of its own and put in place whole.
// What goes wrong is said in the system's own words (QFile::copy says
// nothing). The file is removed when this object goes, unless it was moved to
// its place or kept. Not a QObject: a worker thread may make it and the
// window's thread finish it.
class FileCopy
{
public:
    enum class Result { Copied, Failed, Cancelled };

    FileCopy() = default;
    ~FileCopy();
    FileCopy(const FileCopy&) = delete;
    FileCopy& operator=(const FileCopy&) = delete;

    // A new file named after pattern, whose six 'X' before the last
    // suffixLength characters become letters and digits.
    bool createUnique(const QString& pattern, int suffixLength = 0);
    // A new file at exactly path; fails when anything is there.
    bool createNew(const QString& path);

    // Writes source's bytes into the file and makes them durable. task (may
    // be null) hears how far it got and may stop it between chunks.
    Result copyFrom(const QString& source, LongTask* task);
    bool setPermissions(QFileDevice::Permissions permissions);
    // Closes the file and puts it in place of target in one step, replacing
    // what is there. It is still removed at the end unless kept.
    bool moveTo(const QString& target);
    void keep() { m_keep = true; }
    void close();

    QString path() const { return m_path; }
    int handle() const { return m_fd; }

    // Of the last failure: the system's own words, whether reading the source
    // (rather than writing the copy) failed, and whether the disk lacked room.
    QString errorText() const { return m_error; }
    bool readFailed() const { return m_readFailed; }
    bool noRoom() const;
    // A line to add to a failure's text when the disk lacked room, else "".
    QString roomHint() const;

    static QString systemText(int error);

private:
    bool fail(int error, bool reading = false);

    QString m_path;
    int m_fd = -1;
    bool m_keep = false;
    int m_errno = 0;
    QString m_error;
    bool m_readFailed = false;
};
