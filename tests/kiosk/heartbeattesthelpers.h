#ifndef HEARTBEATTESTHELPERS_H
#define HEARTBEATTESTHELPERS_H

// Shared pieces of the heartbeat worker's tests: a fake clock, loopback
// peers (NTP peers that answer or stay silent, a small HTTP server) and a
// worker wired to a hub in the test thread.

#include <QDateTime>
#include <QHostAddress>
#include <QMutex>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <memory>
#include <optional>
#include <vector>

#include "app/auxthreadcontroller.h"
#include "kiosk/localclock.h"
#include "kiosk/subheartbeatthread.h"
#include "logcapture.h"

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

private:
    mutable QMutex m_mutex;
    QList<QDateTime> m_sets;
    bool m_result;
};

inline QString loopbackHost(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

// A 48-byte NTP server reply with the given transmit time.
inline QByteArray ntpServerReply(quint32 seconds, quint32 fraction, int stratum = 2, int mode = 4)
{
    QByteArray packet(48, '\0');
    packet[0] = char((4 << 3) | mode);
    packet[1] = char(stratum);
    for (int i = 0; i < 4; ++i) {
        packet[40 + i] = char((seconds >> (24 - 8 * i)) & 0xFF);
        packet[44 + i] = char((fraction >> (24 - 8 * i)) & 0xFF);
    }
    return packet;
}

inline quint32 ntpSeconds(const QDateTime& instant)
{
    return quint32(instant.toSecsSinceEpoch() + 2208988800LL);
}

// NTP peers on 127.0.0.1. Each keeps the requests it gets and, when given a
// reply, answers every request with it (an empty datagram included).
class NtpPeers : public QObject
{
public:
    explicit NtpPeers(int count, std::optional<QByteArray> reply = std::nullopt) : m_requests(size_t(count))
    {
        for (int i = 0; i < count; ++i) {
            m_sockets.emplace_back(std::make_unique<QUdpSocket>());
            QUdpSocket* socket = m_sockets.back().get();
            socket->bind(QHostAddress(QHostAddress::LocalHost), 0);
            connect(socket, &QUdpSocket::readyRead, this, [this, socket, i, reply] {
                while (socket->hasPendingDatagrams()) {
                    const QNetworkDatagram request = socket->receiveDatagram();
                    m_requests[size_t(i)].append(request.data());
                    if (reply)
                        socket->writeDatagram(request.makeReply(*reply));
                }
            });
        }
    }
    QString host(int i = 0) const { return loopbackHost(m_sockets[size_t(i)]->localPort()); }
    QStringList hosts() const
    {
        QStringList list;
        for (size_t i = 0; i < m_sockets.size(); ++i)
            list.append(host(int(i)));
        return list;
    }
    QList<QByteArray> requests(int i = 0) const { return m_requests[size_t(i)]; }

private:
    std::vector<std::unique_ptr<QUdpSocket>> m_sockets;
    std::vector<QList<QByteArray>> m_requests;
};

// An HTTP server on 127.0.0.1 that answers every request with one JSON body
// and closes the connection. Keeps the head of each request. With a pause,
// the second half of the body follows the first that many milliseconds later.
class LoopbackHttpServer : public QObject
{
public:
    explicit LoopbackHttpServer(const QByteArray& body = "{}", int pauseMs = -1)
    {
        m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this, body, pauseMs] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, body, pauseMs] {
                    QByteArray& pending = m_pending[socket];
                    pending += socket->readAll();
                    const int end = pending.indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    requests.append(pending.left(end + 2));
                    m_pending.remove(socket);
                    const int first = pauseMs < 0 ? body.size() : body.size() / 2;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n"
                                  + body.left(first));
                    const auto finish = [socket, rest = body.mid(first)] {
                        socket->write(rest);
                        socket->disconnectFromHost();
                    };
                    if (pauseMs < 0)
                        finish();
                    else
                        QTimer::singleShot(pauseMs, socket, finish);
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/heart").arg(m_server.serverPort()); }
    QList<QByteArray> requests;  // request line and headers, each ending in CR LF

private:
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

inline HeartEndpoints heartEndpoints(const QStringList& ntpHosts, const QString& heartUrl = QString())
{
    HeartEndpoints endpoints = defaultHeartEndpoints();
    if (!ntpHosts.isEmpty())
        endpoints.ntpHosts = ntpHosts;
    endpoints.heartUrl = QUrl(heartUrl);
    return endpoints;
}

inline Communicat heartCommand(const QString& cmdtype, int param = 0, int src = e_MAINPAGE)
{
    Communicat msg;
    msg.SrcType = src;
    msg.DestType = e_NETTHREAD;
    msg.cmdtype = cmdtype;
    msg.param = param;
    return msg;
}

// A worker in the test thread with a fake clock, reporting to a hub; the
// records the hub routes to the home page are kept.
struct HeartRig {
    explicit HeartRig(const HeartEndpoints& endpoints, bool clockResult = true) : clock(clockResult)
    {
        worker.setEndpoints(endpoints);
        worker.setClock(&clock);
        worker.m_auxThreadCtrl = &hub;
        QObject::connect(&hub, &auxthreadcontroller::SignalToMainPage, &context,
                         [this](Communicat msg) { records.append(msg); });
    }
    QTimer* heartTimer() { return worker.findChild<QTimer*>(QStringLiteral("HeartTimer")); }
    QTimer* ntpTimer() { return worker.findChild<QTimer*>(QStringLiteral("m_ntpsynctimer")); }
    int openReplies() { return worker.findChildren<QNetworkReply*>().size(); }

    FakeClock clock;
    auxthreadcontroller hub;
    subHeartbeatThread worker;
    QObject context;
    QList<Communicat> records;  // to the home page
};

#endif // HEARTBEATTESTHELPERS_H
