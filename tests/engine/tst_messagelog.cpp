#include "engine/MessageLog.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <vector>

namespace {

QStringList g_captured;

void captureHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_captured.append(message);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

// Restores whatever handler was there before a test, even when it fails.
struct HandlerGuard
{
    ~HandlerGuard()
    {
        MessageLog::uninstall();
    }
};

} // namespace

class MessageLogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("debug-%1.txt").arg(++m_counter));
        g_captured.clear();
    }

    void recordsAreTextCarriageReturnAndTwoLineFeeds()
    {
        HandlerGuard guard;
        MessageLog::install(m_path);
        qDebug("first");
        qWarning("second");
        qInfo() << "third" << 3;
        MessageLog::uninstall();
        QCOMPARE(readAll(m_path), QByteArray("first\r\n\nsecond\r\n\nthird 3\r\n\n"));
    }

    void emptyMessageStillMakesARecord()
    {
        QCOMPARE(MessageLog::record(QString()), QByteArray("\r\n\n"));
        QCOMPARE(MessageLog::record(QStringLiteral("a%sb")), QByteArray("a%sb\r\n\n"));
    }

    void textIsUtf8WhateverTheLocale()
    {
        HandlerGuard guard;
        QTextCodec* const previous = QTextCodec::codecForLocale();
        QTextCodec* const koi8 = QTextCodec::codecForName("KOI8-R");
        QVERIFY(koi8);
        QTextCodec::setCodecForLocale(koi8);
        MessageLog::install(m_path);
        const QString text = QString::fromUtf8("Неверный формат базы данных «ё»");
        qDebug().noquote() << text;
        MessageLog::uninstall();
        QTextCodec::setCodecForLocale(previous);
        QCOMPARE(readAll(m_path), text.toUtf8() + "\r\n\n");
        QVERIFY(text.toUtf8() != koi8->fromUnicode(text));
    }

    void restartEmptiesTheFileAndKeepsEarlierMessagesOut()
    {
        HandlerGuard guard;
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("last run\r\n\n");
        }
        qInstallMessageHandler(captureHandler);
        qDebug("before");
        QVERIFY(MessageLog::restart(m_path));
        QCOMPARE(readAll(m_path), QByteArray());
        qDebug("after");
        MessageLog::uninstall();
        QCOMPARE(readAll(m_path), QByteArray("after\r\n\n"));
        QCOMPARE(g_captured, QStringList({"before"}));
        qInstallMessageHandler(nullptr);
    }

    void uninstallPutsBackThePreviousHandler()
    {
        qInstallMessageHandler(captureHandler);
        MessageLog::install(m_path);
        QVERIFY(MessageLog::isInstalled());
        QCOMPARE(MessageLog::filePath(), m_path);
        qDebug("to the file");
        MessageLog::uninstall();
        QVERIFY(!MessageLog::isInstalled());
        qDebug("to the previous handler");
        MessageLog::uninstall(); // a second call changes nothing
        qDebug("still there");
        qInstallMessageHandler(nullptr);
        QCOMPARE(readAll(m_path), QByteArray("to the file\r\n\n"));
        QCOMPARE(g_captured, QStringList({"to the previous handler", "still there"}));
    }

    void installingTwiceKeepsTheOriginalHandler()
    {
        qInstallMessageHandler(captureHandler);
        MessageLog::install(m_path);
        const QString second = m_path + QStringLiteral(".second");
        MessageLog::install(second); // moves the log, must not remember itself as "previous"
        qDebug("moved");
        MessageLog::uninstall();
        qDebug("back");
        qInstallMessageHandler(nullptr);
        QCOMPARE(readAll(second), QByteArray("moved\r\n\n"));
        QCOMPARE(g_captured, QStringList({"back"}));
    }

    void unwritableFileLosesRecordsQuietly()
    {
        HandlerGuard guard;
        const QString path = m_dir.filePath(QStringLiteral("no-such-dir/debug.txt"));
        QVERIFY(!MessageLog::restart(path));
        qWarning("lost");
        MessageLog::uninstall();
        QVERIFY(!QFile::exists(path));
    }

    void threadsNeverInterleaveRecords()
    {
        HandlerGuard guard;
        MessageLog::install(m_path);
        const int threads = 8;
        const int perThread = 300;
        std::vector<QThread*> workers;
        for (int t = 0; t < threads; ++t) {
            workers.push_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    qDebug().noquote() << QString::fromUtf8("поток %1 запись %2 ").arg(t).arg(i) + QString(40, QLatin1Char('x'));
            }));
        }
        for (QThread* worker : workers)
            worker->start();
        for (QThread* worker : workers) {
            QVERIFY(worker->wait(30000));
            delete worker;
        }
        MessageLog::uninstall();

        const QByteArray bytes = readAll(m_path);
        QSet<QString> seen;
        int records = 0;
        for (int pos = 0; pos < bytes.size(); ++records) {
            const int end = bytes.indexOf("\r\n\n", pos);
            QVERIFY2(end >= 0, bytes.mid(pos).constData());
            const QString text = QString::fromUtf8(bytes.mid(pos, end - pos));
            QVERIFY2(text.startsWith(QString::fromUtf8("поток ")) && text.endsWith(QString(40, QLatin1Char('x')))
                         && !text.contains(QLatin1Char('\n')),
                     qPrintable(text));
            seen.insert(text);
            pos = end + 3;
        }
        QCOMPARE(records, threads * perThread);
        QCOMPARE(seen.size(), threads * perThread);
    }

    void debugLinePattern()
    {
        HandlerGuard guard;
        MessageLog::install(m_path);
        const int line = __LINE__ + 1;
        VLOG << "cant find report file" << QStringLiteral("id120") << 5;
        MessageLog::uninstall();
        const QByteArray expected = "tst_messagelog.cpp : " + QByteArray::number(line)
            + " \t cant find report file \"id120\" 5\r\n\n";
        QCOMPARE(readAll(m_path), expected);
        QCOMPARE(MessageLog::sourceName("/a/b/c.cpp"), "c.cpp");
        QCOMPARE(MessageLog::sourceName("c.cpp"), "c.cpp");
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_counter = 0;
};

VELSPO_TEST_MAIN(MessageLogTest)
#include "tst_messagelog.moc"
