#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTcpServer>

// A web server on 127.0.0.1 for the network tests: canned bodies by path,
// 404 for any other path, paths whose connection is dropped without a reply,
// and a log of the request lines it received.
class LocalHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    LocalHttpServer();

    void reply(const QString& path, const QByteArray& body) { m_bodies.insert(path, body); }
    void dropConnection(const QString& path) { m_dropped.insert(path); }
    // "http://127.0.0.1:<port><path>".
    QString url(const QString& path) const;
    // An address on a port nobody listens on: no network.
    static QString closedUrl(const QString& path);

    QStringList requests; // request lines, such as "GET /list.xml HTTP/1.1"

private:
    void onConnection();

    QHash<QString, QByteArray> m_bodies;
    QSet<QString> m_dropped;
};
