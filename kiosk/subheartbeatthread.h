#ifndef SUBHEARTBEATTHREAD_H
#define SUBHEARTBEATTHREAD_H

// The kiosk's background worker for the HTTP heartbeat to the kiosk server
// and the NTP synchronisation of the machine's clock. The hub moves it into
// its heartbeat thread; all work runs there, in slots driven by the hub's
// records, the worker's timers, its network replies and its UDP socket.

#include <QAbstractSocket>
#include <QDateTime>
#include <QNetworkRequest>
#include <QStringList>
#include <QThread>

#include "app/communicat.h"
#include "kiosk/heartendpoints.h"
#include "kiosk/midheartnetlogic.h"

class auxthreadcontroller;
class commonmethod;
class LocalClock;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QUdpSocket;

class subHeartbeatThread : public QThread
{
    Q_OBJECT
public:
    explicit subHeartbeatThread(QObject* parent = nullptr);
    ~subHeartbeatThread() override;

    auxthreadcontroller* m_auxThreadCtrl = nullptr;

    // Set before the worker is moved into its thread.
    void setEndpoints(const HeartEndpoints& endpoints);
    void setClock(LocalClock* clock);
    void setNtpSyncInterval(int ms) { m_ntpSyncIntervalMs = ms; }

    // State, read in the worker's own thread (or while it has none running).
    // The timers are children named "HeartTimer" and "m_ntpsynctimer".
    int ntpHostIndex() const { return m_selNTPHostIndex; }
    QDateTime ntpDateTime() const { return m_ntpDateTime; }
    Communicat lastHeartRecord() const { return m_heartNetLogic.m_heartRecord; }
    bool hasNetworkObjects() const;

    // Diagnostic line of the heartbeat records; nothing calls it.
    void recodeDBMesg(const QString& a, const QString& b, const QString& c);

public slots:
    void doProcessTimeoutHandle();
    void doProcessHeartRecv(Communicat msg);
    void doProcessHeartReadyRead();
    void doProcessNTPTimeoutHandle();
    void doProcessNTPConnectsuccess();
    void doProcessNTPreadyRead();
    void doProcessNTPreadDataErr(QAbstractSocket::SocketError error);
    void cleanup();

private:
    void createHeartTimer();
    void mainPageHeartReq(const Communicat& msg);
    void sendHeartReply(const Communicat& msg);
    void sendHttpGet(const QNetworkRequest& request);
    bool forwardToHub(const Communicat& msg);
    void dropHeartManager();

    // NTP, in subheartbeatntp.cpp.
    void ntp_init();
    void wireNtpSocket();
    bool ntp_start();
    bool ntpStartHost(int index);
    void ntpFailOver(const QString& who, const QString& why);
    bool setLocalClock(const QDateTime& dt);

    commonmethod* m_commonMethod = nullptr;
    QTimer* HeartTimer = nullptr;
    QNetworkAccessManager* heartManager = nullptr;
    QNetworkReply* m_heartReply = nullptr;
    midHeartNetLogic m_heartNetLogic;
    QDateTime m_ntpDateTime;
    QUdpSocket* m_ntpSocket = nullptr;
    QTimer* m_ntpsynctimer = nullptr;
    QStringList m_ntpHostList;
    int m_selNTPHostIndex = 0;

    HeartEndpoints m_endpoints;
    int m_ntpPendingRetry = -1;  // host of the queued fail-over attempt, -1 none
    int m_ntpSyncIntervalMs = 21600000;  // 6 hours
    LocalClock* m_clock = nullptr;
};

#endif // SUBHEARTBEATTHREAD_H
