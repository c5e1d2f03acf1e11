#include "engine/MessageLog.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>

#include <memory>
#include <vector>

namespace {

QStringList g_captured;

void captureHandler(QtMsgType, const QMessageLogContext&, const QString& message) { g_captured.append(message); }

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
    void cleanup() { MessageLog::uninstall(); qInstallMessageHandler(nullptr); }

    // Text only, "\r\n\n" after each record, UTF-8 even under another locale.
    void recordFormat()
    {
        QTextCodec* const previous = QTextCodec::codecForLocale();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("KOI8-R"));
        MessageLog::install(m_path);
        qDebug("first");
        qWarning("%s", "a%sb");
        qInfo() << "third" << 3;
        qDebug("%s", "");
        qDebug().noquote() << QString::fromUtf8("Неверный формат «ё»");
        const int line = __LINE__ + 1;
        VLOG << "cant find report file" << QStringLiteral("id120");
        MessageLog::uninstall();
        QTextCodec::setCodecForLocale(previous);
        QCOMPARE(readAll(m_path), "first\r\n\na%sb\r\n\nthird 3\r\n\n\r\n\n" + QString::fromUtf8("Неверный формат «ё»").toUtf8()
                                      + "\r\n\ntst_messagelog.cpp : " + QByteArray::number(line)
                                      + " \t cant find report file \"id120\"\r\n\n");
    }

    // Restart empties the file and keeps earlier messages out. Moving the log
    // must not remember the log itself as the previous handler; uninstall puts
    // the previous one back, and a second call changes nothing. A file that
    // cannot be written loses its records quietly.
    void restartMoveAndUninstall()
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("last run\r\n\n") > 0);
        file.close();
        qDebug("before");
        QVERIFY(MessageLog::restart(m_path) && readAll(m_path).isEmpty());
        qDebug("to the file");
        MessageLog::install(m_path + ".second");
        qDebug("moved");
        MessageLog::uninstall();
        qDebug("back");
        MessageLog::uninstall();
        qDebug("still there");
        QCOMPARE(readAll(m_path) + readAll(m_path + ".second"), QByteArray("to the file\r\n\nmoved\r\n\n"));
        const QString unwritable = m_dir.filePath(QStringLiteral("no-such-dir/debug.txt"));
        QVERIFY(!MessageLog::restart(unwritable));
        qWarning("lost");
        QVERIFY(!QFile::exists(unwritable));
        QCOMPARE(g_captured, QStringList({"before", "back", "still there"}));
    }

    void threadsNeverInterleaveRecords()
    {
        MessageLog::install(m_path);
        const int threads = 8, perThread = 300;
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    qDebug().noquote() << QString::fromUtf8("поток %1 запись %2 ").arg(t).arg(i) + QString(40, 'x');
            }));
            workers.back()->start();
        }
        for (auto& worker : workers)
            QVERIFY(worker->wait(30000));
        MessageLog::uninstall();

        const QList<QByteArray> records = readAll(m_path).split('\n');
        QCOMPARE(records.size(), 2 * threads * perThread + 1);
        QSet<QByteArray> distinct;
        const QRegularExpression record("^поток \\d+ запись \\d+ x{40}\r$");
        for (int i = 0; i + 1 < records.size(); i += 2) {
            QVERIFY2(record.match(QString::fromUtf8(records[i])).hasMatch() && records[i + 1].isEmpty(), records[i].constData());
            distinct.insert(records[i]);
        }
        QCOMPARE(distinct.size(), threads * perThread);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_counter = 0;
};

VELSPO_TEST_MAIN(MessageLogTest)
#include "tst_messagelog.moc"
