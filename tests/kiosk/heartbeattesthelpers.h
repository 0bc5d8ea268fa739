#ifndef HEARTBEATTESTHELPERS_H
#define HEARTBEATTESTHELPERS_H

// Shared pieces of the heartbeat worker's tests: a fake clock, a log
// capture that also spots cross-thread object warnings, and loopback peers
// (NTP responder, silent and closed UDP ports, a small HTTP server).

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

#include <memory>
#include <vector>

#include "kiosk/localclock.h"

// Records every setting; never touches the machine's clock.
class FakeClock : public LocalClock
{
public:
    explicit FakeClock(bool result = true) : m_result(result) {}

    bool setLocalTime(const QDateTime& dt) override
    {
        QMutexLocker lock(&m_mutex);
        m_sets.append(dt);
        return m_result;
    }
    QList<QDateTime> sets() const
    {
        QMutexLocker lock(&m_mutex);
        return m_sets;
    }
    int count() const { return sets().size(); }

private:
    mutable QMutex m_mutex;
    QList<QDateTime> m_sets;
    bool m_result;
};

struct LogLine {
    QtMsgType type;
    QString text;
    QThread* thread;
};

// Installs itself as the message handler for its lifetime. Lines may come
// from any thread. Debug lines are kept quiet; the others still reach the
// previous handler.
class LogCapture
{
public:
    LogCapture()
    {
        s_current = this;
        s_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(s_previous);
        s_current = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QList<LogLine> lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    // Texts of the lines that start with prefix, in order.
    QStringList startingWith(const QString& prefix) const
    {
        QStringList found;
        for (const LogLine& line : lines())
            if (line.text.startsWith(prefix))
                found.append(line.text);
        return found;
    }
    bool has(const QString& text, QtMsgType type = QtDebugMsg) const
    {
        for (const LogLine& line : lines())
            if (line.type == type && line.text == text)
                return true;
        return false;
    }
    bool hasStart(const QString& prefix, QtMsgType type = QtDebugMsg) const
    {
        for (const LogLine& line : lines())
            if (line.type == type && line.text.startsWith(prefix))
                return true;
        return false;
    }
    QThread* threadOf(const QString& text) const
    {
        for (const LogLine& line : lines())
            if (line.text == text)
                return line.thread;
        return nullptr;
    }
    // Warnings Qt writes when an object is used from a thread it does not
    // belong to.
    QStringList crossThreadWarnings() const
    {
        static const char* const patterns[] = {
            "Cannot create children for a parent that is in a different thread",
            "Timers cannot be stopped from another thread",
            "Timers cannot be started from another thread",
            "Timers can only be used with threads started with QThread",
            "QSocketNotifier",
            "Cannot send events to objects owned by a different thread",
            "Current thread is not the object's thread",
            "Cannot move objects with a parent",
            "QBasicTimer",
            "killTimer",
        };
        QStringList found;
        for (const LogLine& line : lines())
            for (const char* pattern : patterns)
                if (line.text.contains(QLatin1String(pattern))) {
                    found.append(line.text);
                    break;
                }
        return found;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (LogCapture* self = s_current) {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines.append({type, text, QThread::currentThread()});
        }
        if (type != QtDebugMsg && type != QtInfoMsg && s_previous)
            s_previous(type, context, text);
    }

    mutable QMutex m_mutex;
    QList<LogLine> m_lines;
    static inline LogCapture* s_current = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

// An NTP server on 127.0.0.1 that answers every request with a fixed
// datagram (an empty one included).
class UdpResponder : public QObject
{
public:
    explicit UdpResponder(const QByteArray& reply) : m_reply(reply)
    {
        m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray request(int(m_socket.pendingDatagramSize()), '\0');
                QHostAddress from;
                quint16 fromPort = 0;
                m_socket.readDatagram(request.data(), request.size(), &from, &fromPort);
                m_requests.append(request);
                m_socket.writeDatagram(m_reply, from, fromPort);
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    QList<QByteArray> requests() const { return m_requests; }

private:
    QUdpSocket m_socket;
    QByteArray m_reply;
    QList<QByteArray> m_requests;
};

// Bound loopback UDP ports that never answer; each tells how many requests
// reached it.
class SilentPorts
{
public:
    explicit SilentPorts(int count)
    {
        for (int i = 0; i < count; ++i) {
            m_sockets.emplace_back(std::make_unique<QUdpSocket>());
            m_sockets.back()->bind(QHostAddress(QHostAddress::LocalHost), 0);
            m_received.push_back(0);
        }
    }
    QString host(int i) const { return QStringLiteral("127.0.0.1:%1").arg(m_sockets[size_t(i)]->localPort()); }
    QStringList hosts() const
    {
        QStringList list;
        for (size_t i = 0; i < m_sockets.size(); ++i)
            list.append(host(int(i)));
        return list;
    }
    // Datagrams that reached port i so far (reads them out, so that the
    // count can be asked again and again).
    int received(int i)
    {
        QUdpSocket* socket = m_sockets[size_t(i)].get();
        while (socket->hasPendingDatagrams()) {
            QByteArray buffer(int(socket->pendingDatagramSize()), '\0');
            socket->readDatagram(buffer.data(), buffer.size());
            ++m_received[size_t(i)];
        }
        return m_received[size_t(i)];
    }

private:
    std::vector<std::unique_ptr<QUdpSocket>> m_sockets;
    std::vector<int> m_received;
};

// Loopback UDP ports that were free a moment ago and are closed now.
inline QStringList closedLoopbackHosts(int count)
{
    std::vector<std::unique_ptr<QUdpSocket>> probes;
    QStringList hosts;
    for (int i = 0; i < count; ++i) {
        probes.emplace_back(std::make_unique<QUdpSocket>());
        probes.back()->bind(QHostAddress(QHostAddress::LocalHost), 0);
        hosts.append(QStringLiteral("127.0.0.1:%1").arg(probes.back()->localPort()));
    }
    return hosts;  // the probes close here
}

// A 48-byte NTP server reply with the given transmit time.
inline QByteArray ntpServerReply(quint32 seconds, quint32 fraction, int stratum = 2, int mode = 4)
{
    QByteArray packet(48, '\0');
    packet[0] = char((0 << 6) | (4 << 3) | mode);
    packet[1] = char(stratum);
    for (int i = 0; i < 4; ++i) {
        packet[40 + i] = char((seconds >> (24 - 8 * i)) & 0xFF);
        packet[44 + i] = char((fraction >> (24 - 8 * i)) & 0xFF);
    }
    return packet;
}

struct HttpRequest {
    QByteArray requestLine;            // "GET /path HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray& name) const
    {
        for (const auto& h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return QByteArray();
    }
};

// An HTTP server on 127.0.0.1 that answers every request with one JSON body
// and closes the connection.
class LoopbackHttpServer : public QObject
{
public:
    explicit LoopbackHttpServer(const QByteArray& body = "{}") : m_body(body)
    {
        m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    void setBody(const QByteArray& body) { m_body = body; }
    QString url(const QString& path = QStringLiteral("/heart")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QList<HttpRequest> requests() const { return m_requests; }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        const int end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        HttpRequest request;
        const QList<QByteArray> lines = pending.left(end).split('\n');
        request.requestLine = lines.value(0).trimmed();
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        m_requests.append(request);
        m_pending.remove(socket);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                      + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_body;
    QList<HttpRequest> m_requests;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

#endif // HEARTBEATTESTHELPERS_H
