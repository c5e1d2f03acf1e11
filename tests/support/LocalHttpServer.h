#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A web server on 127.0.0.1 for the network tests: canned answers by path,
// with or without their length, 404 for any other path, paths whose
// connection is dropped without a reply, paths that stall after the head and
// the start of their body, and a log of the request lines it received.
class LocalHttpServer : public QTcpServer
{
public:
    LocalHttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, &LocalHttpServer::onConnection);
    }
    void reply(const QString& path, const QByteArray& body) { answer(path, "200 OK", body); }
    // status such as "302 Found"; headers each ending in "\r\n".
    void answer(const QString& path, const QByteArray& status, const QByteArray& body, const QByteArray& headers = {})
    {
        m_answers.insert(path, "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + QByteArray::number(body.size())
                                   + "\r\nConnection: close\r\n\r\n" + body);
    }
    // An answer that does not say its length: its body ends when the
    // connection closes or, chunked, with the last chunk.
    void replyUnsized(const QString& path, const QByteArray& body, bool chunked)
    {
        QByteArray answer = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
        if (!chunked) {
            m_answers.insert(path, answer + "\r\n" + body);
            return;
        }
        answer += "Transfer-Encoding: chunked\r\n\r\n";
        for (int at = 0; at < body.size(); at += 0x10000) {
            const QByteArray chunk = body.mid(at, 0x10000);
            answer += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
        }
        m_answers.insert(path, answer + "0\r\n\r\n");
    }
    void dropConnection(const QString& path) { m_dropped.insert(path); }
    // Sends the head, claiming length bytes, and the start of the body, then nothing.
    void stall(const QString& path, const QByteArray& start = "<", qint64 length = 100)
    {
        m_answers.insert(path, "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" + start);
        m_stalled.insert(path);
    }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path); }
    // An address on a port nobody listens on: no network.
    static QString closedUrl(const QString& path)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return QStringLiteral("http://127.0.0.1:%1%2").arg(probe.serverPort()).arg(path);
    }

    QStringList requests; // request lines, such as "GET /list.xml HTTP/1.1"

private:
    void onConnection()
    {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                // Requests are GETs without a body: the head is all there is.
                if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                    return;
                const QByteArray head = socket->readAll();
                requests.append(QString::fromLatin1(head.left(head.indexOf("\r\n"))));
                const QString path = requests.last().section(QLatin1Char(' '), 1, 1);
                if (m_dropped.contains(path))
                    return socket->abort();
                socket->write(m_answers.value(path, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n"
                                                    "Connection: close\r\n\r\nnot found"));
                if (!m_stalled.contains(path))
                    socket->disconnectFromHost();
            });
        }
    }

    QHash<QString, QByteArray> m_answers;
    QSet<QString> m_dropped;
    QSet<QString> m_stalled;
};
