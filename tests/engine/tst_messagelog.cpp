#include "engine/MessageLog.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <memory>
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class MessageLogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_path = m_dir.filePath(QStringLiteral("debug-%1.txt").arg(++m_counter));
        g_captured.clear();
        qInstallMessageHandler(captureHandler);
    }

    // Whatever a test left installed, the default handler comes back.
    void cleanup()
    {
        MessageLog::uninstall();
        qInstallMessageHandler(nullptr);
    }

    void recordsAreTextCarriageReturnAndTwoLineFeeds()
    {
        MessageLog::install(m_path);
        qDebug("first");
        qWarning("%s", "a%sb");
        qInfo() << "third" << 3;
        qDebug("%s", "");
        MessageLog::uninstall();
        QCOMPARE(readAll(m_path), QByteArray("first\r\n\na%sb\r\n\nthird 3\r\n\n\r\n\n"));
    }

    void textIsUtf8WhateverTheLocale()
    {
        QTextCodec* const previous = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("KOI8-R"));
        MessageLog::install(m_path);
        const QString text = QString::fromUtf8("Неверный формат базы данных «ё»");
        qDebug().noquote() << text;
        MessageLog::uninstall();
        QTextCodec::setCodecForLocale(previous);
        QCOMPARE(readAll(m_path), text.toUtf8() + "\r\n\n");
    }

    void restartEmptiesTheFileAndKeepsEarlierMessagesOut()
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("last run\r\n\n");
        file.close();
        qDebug("before");
        QVERIFY(MessageLog::restart(m_path));
        QCOMPARE(readAll(m_path), QByteArray());
        qDebug("after");
        MessageLog::uninstall();
        QCOMPARE(readAll(m_path), QByteArray("after\r\n\n"));
        QCOMPARE(g_captured, QStringList({"before"}));
    }

    void uninstallPutsBackThePreviousHandler()
    {
        MessageLog::install(m_path);
        QVERIFY(MessageLog::isInstalled());
        QCOMPARE(MessageLog::filePath(), m_path);
        qDebug("to the file");
        // Moving the log must not remember the log itself as the previous handler.
        MessageLog::install(m_path + ".second");
        qDebug("moved");
        MessageLog::uninstall();
        QVERIFY(!MessageLog::isInstalled());
        qDebug("back");
        MessageLog::uninstall(); // a second call changes nothing
        qDebug("still there");
        QCOMPARE(readAll(m_path), QByteArray("to the file\r\n\n"));
        QCOMPARE(readAll(m_path + ".second"), QByteArray("moved\r\n\n"));
        QCOMPARE(g_captured, QStringList({"back", "still there"}));
    }

    void unwritableFileLosesRecordsQuietly()
    {
        const QString path = m_dir.filePath(QStringLiteral("no-such-dir/debug.txt"));
        QVERIFY(!MessageLog::restart(path));
        qWarning("lost");
        MessageLog::uninstall();
        QVERIFY(!QFile::exists(path));
        QVERIFY(g_captured.isEmpty());
    }

    void threadsNeverInterleaveRecords()
    {
        MessageLog::install(m_path);
        const int threads = 8;
        const int perThread = 300;
        const QString tail(40, QLatin1Char('x'));
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t, tail] {
                for (int i = 0; i < perThread; ++i)
                    qDebug().noquote() << QString::fromUtf8("поток %1 запись %2 ").arg(t).arg(i) + tail;
            }));
            workers.back()->start();
        }
        for (auto& worker : workers)
            QVERIFY(worker->wait(30000));
        MessageLog::uninstall();

        const QList<QByteArray> records = readAll(m_path).split('\n');
        QSet<QByteArray> seen;
        for (int i = 0; i + 1 < records.size(); i += 2) {
            const QString text = QString::fromUtf8(records[i]);
            QVERIFY2(text.startsWith(QString::fromUtf8("поток ")) && text.endsWith(tail + "\r") && records[i + 1].isEmpty(),
                     qPrintable(text));
            seen.insert(records[i]);
        }
        QCOMPARE(records.size(), 2 * threads * perThread + 1);
        QCOMPARE(seen.size(), threads * perThread);
    }

    void debugLinePattern()
    {
        MessageLog::install(m_path);
        const int line = __LINE__ + 1;
        VLOG << "cant find report file" << QStringLiteral("id120") << 5;
        MessageLog::uninstall();
        QCOMPARE(readAll(m_path),
                 "tst_messagelog.cpp : " + QByteArray::number(line) + " \t cant find report file \"id120\" 5\r\n\n");
        QCOMPARE(MessageLog::sourceName("a\\b\\c.cpp"), "c.cpp");
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_counter = 0;
};

VELSPO_TEST_MAIN(MessageLogTest)
#include "tst_messagelog.moc"
