// NTP time synchronisation of the heartbeat worker: one attempt per host in
// list order, paced by the NTP timer, with fail-over on socket errors and on
// replies that do not pass the checks. Runs in the worker's thread.

#include <QDebug>
#include <QTimer>
#include <QUdpSocket>

#include "kiosk/localclock.h"
#include "kiosk/ntpclient.h"
#include "kiosk/subheartbeatthread.h"

void subHeartbeatThread::ntp_init()
{
    m_ntpDateTime = QDateTime::currentDateTime();
    m_ntpsynctimer = new QTimer(this);
    m_ntpsynctimer->setObjectName(QStringLiteral("m_ntpsynctimer"));
    qDebug() << "subHeartbeatThread::ntp_init-----";
    connect(m_ntpsynctimer, &QTimer::timeout, this, &subHeartbeatThread::doProcessNTPTimeoutHandle,
            Qt::UniqueConnection);
    m_ntpSocket = new QUdpSocket(this);
    wireNtpSocket();
    m_ntpHostList = m_endpoints.ntpHosts;
    m_selNTPHostIndex = 0;
}

void subHeartbeatThread::wireNtpSocket()
{
    connect(m_ntpSocket, &QUdpSocket::connected, this, &subHeartbeatThread::doProcessNTPConnectsuccess,
            Qt::UniqueConnection);
    connect(m_ntpSocket, &QUdpSocket::readyRead, this, &subHeartbeatThread::doProcessNTPreadyRead,
            Qt::UniqueConnection);
    connect(m_ntpSocket, &QUdpSocket::errorOccurred, this, &subHeartbeatThread::doProcessNTPreadDataErr,
            Qt::UniqueConnection);
}

bool subHeartbeatThread::ntp_start()
{
    // After the last host of a pass the index stands one past the list; an
    // attempt then starts over at the first host.
    if (m_selNTPHostIndex < 0 || m_selNTPHostIndex >= m_ntpHostList.size())
        m_selNTPHostIndex = 0;
    return ntpStartHost(m_selNTPHostIndex);
}

bool subHeartbeatThread::ntpStartHost(int index)
{
    qDebug() << "ntp_start: begin------";
    m_ntpPendingRetry = -1;
    if (!m_ntpSocket)
        return false;
    if (index < 0 || index >= m_ntpHostList.size()) {
        qWarning() << "ntp_start: no NTP host at index" << index;
        return false;
    }
    QString host;
    quint16 port = m_endpoints.ntpPort;
    splitNtpHost(m_ntpHostList.at(index), m_endpoints.ntpPort, &host, &port);
    m_ntpSocket->abort();
    m_ntpSocket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    qDebug() << "ntp_start: begin----1--" << m_ntpHostList.at(index);
    return true;
}

void subHeartbeatThread::doProcessNTPConnectsuccess()
{
    if (!m_ntpSocket)
        return;
    const QByteArray request = ntpclient::buildRequest(QDateTime::currentDateTime());
    m_ntpSocket->flush();
    m_ntpSocket->write(request);
    m_ntpSocket->flush();
}

void subHeartbeatThread::doProcessNTPreadyRead()
{
    if (!m_ntpSocket)
        return;

    // Only datagrams that are really there are read. A refusal by the host
    // (ICMP port unreachable) wakes the socket with nothing pending.
    int datagrams = 0;
    bool usable = false;
    ntpclient::Reply reply;
    ntpclient::ReplyCheck check = ntpclient::ReplyCheck::TooShort;
    while (m_ntpSocket->hasPendingDatagrams()) {
        QByteArray buffer(int(qMax<qint64>(m_ntpSocket->pendingDatagramSize(), 0)), '\0');
        const qint64 got = m_ntpSocket->readDatagram(buffer.data(), buffer.size());
        if (got < 0)
            break;
        buffer.resize(int(got));
        ++datagrams;
        qDebug() << "newTime:" << buffer.toHex() << "size: " << buffer.size();
        ntpclient::Reply candidate;
        check = ntpclient::decodeReply(buffer, &candidate);
        if (check == ntpclient::ReplyCheck::Ok) {
            reply = candidate;
            usable = true;
        }
    }
    if (!usable) {
        const QString why = datagrams == 0 ? QStringLiteral("no datagram (host refused?)")
                                           : ntpclient::describe(check);
        qDebug() << "doProcessNTPreadyRead--reply not usable, clock left as it is:" << why;
        ntpFailOver(QStringLiteral("doProcessNTPreadyRead"), why);
        return;
    }

    qDebug() << "TransmitTimeStamp" << QString::number(reply.seconds, 16) << QString::number(reply.fraction, 16);
    qDebug() << "seconds: " << reply.seconds;
    qDebug() << "mseconds:" << reply.micros << "        " << "seconds:" << reply.seconds;

    const QDateTime newTime = reply.transmitTime;
    m_ntpDateTime = newTime;
    qDebug() << "----doProcessNTPreadyRead-" << newTime.toString(Qt::TextDate);

    m_ntpSocket->disconnectFromHost();
    m_ntpSocket->close();
    m_selNTPHostIndex = 0;
    m_ntpPendingRetry = -1;

    const bool ok = setLocalClock(newTime);
    if (HeartTimer && HeartTimer->isActive())
        qDebug() << "doProcessNTPreadyRead--ok, but not system init  ";
    else
        forwardToHub(m_heartNetLogic.NtpResultHandle(ok));
    if (m_ntpsynctimer)
        m_ntpsynctimer->stop();
}

void subHeartbeatThread::doProcessNTPTimeoutHandle()
{
    if (!m_ntpSocket) {
        m_ntpSocket = new QUdpSocket(this);
        wireNtpSocket();
    }
    const int count = m_ntpHostList.size();
    if (m_selNTPHostIndex < count) {
        qDebug() << "doProcessNTPTimeoutHandle -errMsg=" << "--m_selNTPHostIndex=" << m_selNTPHostIndex
                 << "-count=" << count;
        // The index moves on first, so that an error raised while connecting
        // continues from the next host.
        const int host = m_selNTPHostIndex;
        m_selNTPHostIndex = host + 1;
        ntpStartHost(host);
        return;
    }

    m_selNTPHostIndex = 0;
    if (HeartTimer && HeartTimer->isActive()) {
        qDebug() << "doProcessNTPTimeoutHandle--no need notify --";
        qDebug() << "doProcessNTPTimeoutHandle--all hostpot err,stop ntp services";
    } else {
        forwardToHub(m_heartNetLogic.NtpResultHandle(false));
        if (m_ntpsynctimer)
            m_ntpsynctimer->stop();
        qDebug() << "doProcessNTPTimeoutHandle--all hostpot err,stop ntp services";
    }
}

void subHeartbeatThread::doProcessNTPreadDataErr(QAbstractSocket::SocketError error)
{
    const QString why = QStringLiteral("%1 (%2)")
                            .arg(int(error))
                            .arg(m_ntpSocket ? m_ntpSocket->errorString() : QString());
    ntpFailOver(QStringLiteral("doProcessNTPreadDataErr"), why);
}

void subHeartbeatThread::ntpFailOver(const QString& who, const QString& why)
{
    const int count = m_ntpHostList.size();
    if (m_selNTPHostIndex < count) {
        qDebug().noquote() << who + " -errMsg=" << why << "--m_selNTPHostIndex=" << m_selNTPHostIndex
                           << "-count=" << count;
        // The index moves on before the retry, and the retry is queued: a
        // host that fails at once cannot pull the worker into a recursion on
        // itself, and a reply or tick in between cancels the retry.
        const int host = m_selNTPHostIndex;
        m_selNTPHostIndex = host + 1;
        m_ntpPendingRetry = host;
        QMetaObject::invokeMethod(
            this,
            [this, host] {
                if (m_ntpPendingRetry == host)
                    ntpStartHost(host);
            },
            Qt::QueuedConnection);
        return;
    }

    m_selNTPHostIndex = 0;
    m_ntpPendingRetry = -1;
    if (m_ntpSocket)
        m_ntpSocket->abort();
    if (HeartTimer && HeartTimer->isActive()) {
        qDebug().noquote() << who + "--no need notify --all hostpot err,err msg is " << why;
        qDebug().noquote() << who + "--all hostpot err,err msg is " << why;
    } else {
        forwardToHub(m_heartNetLogic.NtpResultHandle(false));
        if (m_ntpsynctimer)
            m_ntpsynctimer->stop();
        qDebug().noquote() << who + "--all hostpot err,err msg is " << why;
    }
}

bool subHeartbeatThread::setLocalClock(const QDateTime& dt)
{
    if (!m_clock)
        return false;
    return m_clock->setLocalTime(dt);
}
