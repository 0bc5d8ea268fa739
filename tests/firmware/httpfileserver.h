#ifndef HTTPFILESERVER_H
#define HTTPFILESERVER_H

// A small HTTP/1.1 server on 127.0.0.1 for download tests: every path
// answers with a canned response (a file, an error status, a relative or
// absolute redirect, a stall that sends the headers and a first piece of
// the body and then nothing, a body whose Content-Length says otherwise, a
// body without Content-Length that the closed connection ends, a body that
// never ends, a body under a Content-Encoding, a file sent late, or a file
// sent in pieces at a pace). One request per connection; unknown
// paths 404. An endless body is sent as the client takes it, so that the
// server itself holds little.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QVariant>

class HttpFileServer
{
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray location;   // Location header of a redirect
        qint64 length = -1;    // >= 0: the Content-Length announced instead of the body's; kNoLength: none
        bool stall = false;    // keep the connection open after the body
        int delayMs = 0;       // answer this late
        bool endless = false;  // after body, more bytes for as long as the client reads
        QByteArray encoding;   // the Content-Encoding announced, if any
        int pieceBytes = 0;    // > 0: the body goes in pieces of this size ...
        int pieceMs = 0;       // ... one every pieceMs
    };
    static constexpr qint64 kNoLength = -2;

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

    void serve(const QString& path, const QByteArray& body) { m_routes[path] = answerWith(200, body); }
    void status(const QString& path, int code) { m_routes[path] = answerWith(code, "error page"); }
    void redirect(const QString& path, const QByteArray& location)
    {
        m_routes[path] = answerWith(302, {});
        m_routes[path].location = location;
    }
    void stall(const QString& path, int length, const QByteArray& first)
    {
        m_routes[path] = answerWith(200, first);
        m_routes[path].length = length;
        m_routes[path].stall = true;
    }
    // Sends body whole under a Content-Length of length (kNoLength: none),
    // then closes.
    void misstate(const QString& path, const QByteArray& body, qint64 length)
    {
        m_routes[path] = answerWith(200, body);
        m_routes[path].length = length;
    }
    // Sends first and then bytes without end, without a Content-Length; a
    // redirect to location when one is given.
    void endless(const QString& path, const QByteArray& first, const QByteArray& location = {})
    {
        m_routes[path] = answerWith(location.isEmpty() ? 200 : 302, first);
        m_routes[path].location = location;
        m_routes[path].length = kNoLength;
        m_routes[path].endless = true;
    }
    // Sends body as it stands under a Content-Encoding ("gzip", "deflate").
    void serveEncoded(const QString& path, const QByteArray& body, const QByteArray& encoding)
    {
        m_routes[path] = answerWith(200, body);
        m_routes[path].encoding = encoding;
    }
    void serveLate(const QString& path, const QByteArray& body, int delayMs)
    {
        m_routes[path] = answerWith(200, body);
        m_routes[path].delayMs = delayMs;
    }
    // Sends body under its Content-Length in pieces of pieceBytes, one every
    // pieceMs, the first one at once.
    void pace(const QString& path, const QByteArray& body, int pieceBytes, int pieceMs)
    {
        m_routes[path] = answerWith(200, body);
        m_routes[path].pieceBytes = pieceBytes;
        m_routes[path].pieceMs = pieceMs;
    }
    void remove(const QString& path) { m_routes.remove(path); }

    int hits(const QString& path) const { return m_hits.value(path); }
    // Body bytes handed to the connections of path's endless answers.
    qint64 poured(const QString& path) const { return m_poured.value(path); }

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
        const Response response = m_routes.value(path, answerWith(404, "not found"));
        if (response.delayMs > 0) {
            QTimer::singleShot(response.delayMs, socket, [this, socket, response, path] { answer(socket, response, path); });
            return;
        }
        answer(socket, response, path);
    }

    void answer(QTcpSocket* socket, const Response& response, const QString& path)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status)
                        + "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (!response.encoding.isEmpty())
            head += "Content-Encoding: " + response.encoding + "\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        const qint64 length = response.length == -1 ? response.body.size() : response.length;
        if (length >= 0)
            head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        if (response.pieceBytes > 0) {
            socket->write(head + "\r\n");
            m_stalled.append(socket);
            auto* pacer = new QTimer(socket);
            const auto send = [socket, pacer, response] {
                const qint64 sent = pacer->property("sent").toLongLong();
                socket->write(response.body.mid(int(sent), response.pieceBytes));
                pacer->setProperty("sent", sent + response.pieceBytes);
                if (sent + response.pieceBytes >= response.body.size()) {
                    pacer->stop();
                    socket->disconnectFromHost();
                }
            };
            QObject::connect(pacer, &QTimer::timeout, socket, send);
            pacer->start(response.pieceMs);
            send();
            return;
        }
        socket->write(head + "\r\n" + response.body);
        if (response.endless) {
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket, path] { pour(socket, path); });
            pour(socket, path);
            return;
        }
        if (response.stall) {
            m_stalled.append(socket);
            return;
        }
        socket->disconnectFromHost();
    }

    static Response answerWith(int status, const QByteArray& body)
    {
        Response response;
        response.status = status;
        response.body = body;
        return response;
    }

    // Tops the socket's outgoing buffer up to a little above 1 MiB.
    void pour(QTcpSocket* socket, const QString& path)
    {
        static const QByteArray chunk(256 * 1024, 'z');
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 1024 * 1024)
            m_poured[path] += socket->write(chunk);
    }

    static QByteArray reason(int status)
    {
        return status == 200 ? "OK" : status == 302 ? "Found" : status == 404 ? "Not Found" : "Status";
    }

    QTcpServer m_server;
    QMap<QString, Response> m_routes;
    QMap<QString, int> m_hits;
    QMap<QString, qint64> m_poured;
    QMap<QTcpSocket*, QByteArray> m_buffers;
    QList<QPointer<QTcpSocket>> m_stalled;
};

#endif // HTTPFILESERVER_H
