#include "kiosk/subheartbeatthread.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUdpSocket>

#include "app/auxthreadcontroller.h"
#include "kiosk/commonmethod.h"
#include "kiosk/localclock.h"

namespace {
constexpr int kDefaultHeartIntervalMs = 10000;
constexpr int kMaxHeartIntervalSec = 2147483;  // keeps the interval in ms within int
} // namespace

subHeartbeatThread::subHeartbeatThread(QObject* parent)
    : QThread(parent),
      m_heartNetLogic(nullptr),
      m_endpoints(readHeartEndpoints()),
      m_clock(systemLocalClock())
{
    m_heartNetLogic.setHeartUrl(m_endpoints.heartUrl);
    createHeartTimer();
    ntp_init();
}

subHeartbeatThread::~subHeartbeatThread()
{
    qDebug() << "--subHeartbeatThread---0---quit";
    qDebug() << "--subHeartbeatThread--quit";
}

void subHeartbeatThread::setEndpoints(const HeartEndpoints& endpoints)
{
    m_endpoints = endpoints;
    m_ntpHostList = endpoints.ntpHosts;
    m_selNTPHostIndex = 0;
    m_heartNetLogic.setHeartUrl(endpoints.heartUrl);
}

void subHeartbeatThread::setClock(LocalClock* clock)
{
    m_clock = clock;
}

bool subHeartbeatThread::hasNetworkObjects() const
{
    return HeartTimer || heartManager || m_ntpsynctimer || m_ntpSocket;
}

void subHeartbeatThread::createHeartTimer()
{
    // Children of the worker, so that they follow it into its thread.
    HeartTimer = new QTimer(this);
    HeartTimer->setObjectName(QStringLiteral("HeartTimer"));
    qDebug() << "subHeartbeatThread::HeartTimer--new--";
    connect(HeartTimer, &QTimer::timeout, this, &subHeartbeatThread::doProcessTimeoutHandle,
            Qt::UniqueConnection);
    heartManager = new QNetworkAccessManager(this);
    m_commonMethod = commonmethod::getInstance();
}

void subHeartbeatThread::doProcessHeartRecv(Communicat msg)
{
    if (!HeartTimer) {
        qCritical() << "subHeartbeatThread::HeartTimer---isNULl ,return";
        return;
    }
    m_heartNetLogic.storeRecord(msg);
    if (msg.SrcType == e_MAINPAGE)
        mainPageHeartReq(msg);
    else if (msg.SrcType == e_NETTHREAD)
        sendHeartReply(msg);
}

void subHeartbeatThread::mainPageHeartReq(const Communicat& msg)
{
    if (msg.cmdtype == QLatin1String("TIMER_DELET")) {
        if (heartManager) {
            dropHeartManager();
            qDebug() << "subHeartbeatThread--heartManager--2-";
        }
    } else if (msg.cmdtype == QLatin1String("heart_init")) {
        if (msg.param > 0) {
            HeartTimer->start(qMin(msg.param, kMaxHeartIntervalSec) * 1000);
            qDebug() << "subHeartbeatThread::mainPageHeartReq------intervel=" << msg.param;
        } else {
            // 0 asks for the default; a negative interval is no interval.
            HeartTimer->start(kDefaultHeartIntervalMs);
            qDebug() << "subHeartbeatThread::mainPageHeartReq  HeartTimer---10";
        }
        if (m_ntpsynctimer)
            m_ntpsynctimer->start(m_ntpSyncIntervalMs);
        qDebug() << "---subHeartbeatThread::mainPageHeartReq--HEART_INIT---";
    } else if (msg.cmdtype == QLatin1String("cmd_sync_ntp")) {
        ntp_start();
    } else if (msg.cmdtype == QLatin1String("last_record")) {
        sendHttpGet(m_heartNetLogic.makeRecordRequest(msg.arg2));
        qDebug() << "subHeartbeatThread::mainPageHeartReq----send report reply-";
    }
}

void subHeartbeatThread::sendHeartReply(const Communicat& msg)
{
    if (msg.cmdtype == QLatin1String("heart_reboot")) {
        sendHttpGet(m_heartNetLogic.makeRebootRequest());
        qDebug() << "subHeartbeatThread--THREAD --send reboot reply-";
    } else if (msg.cmdtype == QLatin1String("last_record")) {
        sendHttpGet(m_heartNetLogic.makeRecordRequest(QString()));
        qDebug() << "subHeartbeatThread--THREAD --send report reply-";
    }
}

void subHeartbeatThread::doProcessTimeoutHandle()
{
    sendHttpGet(m_heartNetLogic.makeRequest());
}

void subHeartbeatThread::sendHttpGet(const QNetworkRequest& request)
{
    // "TIMER_DELET" removes the manager while the heartbeat timer may keep
    // ticking; such ticks send nothing.
    if (!heartManager) {
        qDebug() << "subHeartbeatThread::sendHttpGet--no network manager, request not sent";
        return;
    }
    if (request.url().isEmpty()) {
        qDebug() << "subHeartbeatThread::sendHttpGet--no heartbeat URL configured (heart/url), request not sent";
        return;
    }
    m_heartReply = heartManager->get(request);
    // The body is judged once, when the whole reply is in.
    connect(m_heartReply, &QNetworkReply::finished, this, &subHeartbeatThread::doProcessHeartReadyRead);
    qDebug() << "subHeartbeatThread http end line";
}

void subHeartbeatThread::doProcessHeartReadyRead()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    if (reply == m_heartReply)
        m_heartReply = nullptr;

    qDebug() << "doProcessHeartReadyRead";
    QByteArray body = reply->readAll();
    body.replace('\n', ' ');
    qDebug() << "on_readyRead ba==" << body;
    const QString url = reply->url().toString();
    reply->deleteLater();

    HeartReplyFields fields;
    if (!midHeartNetLogic::parseHeartReply(body, &fields))
        return;
    forwardToHub(m_heartNetLogic.HeartbeatResultHandle(fields.code, fields.msg, fields.data,
                                                       fields.extren, url));
}

bool subHeartbeatThread::forwardToHub(const Communicat& msg)
{
    // Heartbeat results (destination 10) stay with the worker.
    if (!m_auxThreadCtrl || msg.DestType == e_HEART_LOCAL)
        return false;
    m_auxThreadCtrl->NotifyMessage(msg);
    return true;
}

void subHeartbeatThread::dropHeartManager()
{
    // Replies die with their manager; none of them may call back into a
    // judging slot while it is being torn down.
    const auto replies = heartManager->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies)
        reply->disconnect(this);
    delete heartManager;
    heartManager = nullptr;
    m_heartReply = nullptr;
}

void subHeartbeatThread::recodeDBMesg(const QString& a, const QString& b, const QString& c)
{
    qDebug() << "---subHeartbeatThread----recodeDBMesg-------------------------";
    qDebug() << "---subHeartbeatThread---" << a << b << c;
}

void subHeartbeatThread::cleanup()
{
    // Runs in the worker's thread as it ends: timers, the manager and the
    // socket belong to that thread and must be released there.
    qDebug() << "--cleanup--delete HeartTimer---1---:";
    if (heartManager) {
        dropHeartManager();
        qDebug() << "subHeartbeatThread--heartManager--1-";
    }
    if (HeartTimer) {
        if (HeartTimer->isActive())
            HeartTimer->stop();
        delete HeartTimer;
        HeartTimer = nullptr;
        qDebug() << "--cleanup--subHeartbeatThread---HeartTimer--THREAD_TIMER_DELET-2-";
    }
    if (m_ntpsynctimer) {
        if (m_ntpsynctimer->isActive())
            m_ntpsynctimer->stop();
        delete m_ntpsynctimer;
        m_ntpsynctimer = nullptr;
        qDebug() << "--cleanup--subHeartbeatThread---m_ntpsynctimer---2-";
    }
    if (m_ntpSocket) {
        delete m_ntpSocket;
        m_ntpSocket = nullptr;
        m_ntpPendingRetry = -1;
    }
    qDebug() << "subHeartbeatThread::mainPageHeartReq--THREAD_TIMER_DELET-3-";
}
