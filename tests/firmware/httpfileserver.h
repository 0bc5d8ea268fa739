#ifndef HTTPFILESERVER_H
#define HTTPFILESERVER_H

// A small HTTP/1.1 server on 127.0.0.1 for download tests: every path
// answers with a canned response (a file, an error status, a relative or
// absolute redirect, a stall that sends the headers and a first piece of
// the body and then nothing, a body whose Content-Length says otherwise, or
// a file sent late). One request per connection; unknown paths 404.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class HttpFileServer
{
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray location;   // Location header of a redirect
        int length = -1;       // >= 0: the Content-Length announced instead of the body's
        bool stall = false;    // keep the connection open after the body
        int delayMs = 0;       // answer this late
    };

    HttpFileServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
    }
    ~HttpFileServer()
    {
        for (const QPointer<QTcpSocket>& socket : qAsConst(m_stalled)) {
            if (socket)
                socket->abort();
        }
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path); }

    void serve(const QString& path, const QByteArray& body) { m_routes[path] = Response{200, body, {}}; }
    void status(const QString& path, int code) { m_routes[path] = Response{code, "error page", {}}; }
    void redirect(const QString& path, const QByteArray& location) { m_routes[path] = Response{302, {}, location}; }
    void stall(const QString& path, int length, const QByteArray& first) { m_routes[path] = Response{200, first, {}, length, true}; }
    // Sends body whole under a Content-Length of length, then closes.
    void misstate(const QString& path, const QByteArray& body, int length) { m_routes[path] = Response{200, body, {}, length}; }
    void serveLate(const QString& path, const QByteArray& body, int delayMs) { m_routes[path] = Response{200, body, {}, -1, false, delayMs}; }
    void remove(const QString& path) { m_routes.remove(path); }

    int hits(const QString& path) const { return m_hits.value(path); }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        m_buffers.remove(socket);
        const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine.at(1)) : QString();
        ++m_hits[path];
        const Response response = m_routes.value(path, Response{404, "not found", {}});
        if (response.delayMs > 0) {
            QTimer::singleShot(response.delayMs, socket, [this, socket, response] { answer(socket, response); });
            return;
        }
        answer(socket, response);
    }

    void answer(QTcpSocket* socket, const Response& response)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status)
                        + "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        const int length = response.length >= 0 ? response.length : response.body.size();
        head += "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
        socket->write(head + response.body);
        if (response.stall) {
            m_stalled.append(socket);
            return;
        }
        socket->disconnectFromHost();
    }

    static QByteArray reason(int status)
    {
        return status == 200 ? "OK" : status == 302 ? "Found" : status == 404 ? "Not Found" : "Status";
    }

    QTcpServer m_server;
    QMap<QString, Response> m_routes;
    QMap<QString, int> m_hits;
    QMap<QTcpSocket*, QByteArray> m_buffers;
    QList<QPointer<QTcpSocket>> m_stalled;
};

#endif // HTTPFILESERVER_H
