#ifndef MIDHEARTNETLOGIC_H
#define MIDHEARTNETLOGIC_H

// Request and result logic of the heartbeat worker: builds the HTTP requests,
// keeps a copy of the last command record, and turns heartbeat replies and
// NTP outcomes into result records for the hub.

#include <QJsonObject>
#include <QNetworkRequest>
#include <QObject>
#include <QUrl>

#include "app/communicat.h"

class commonmethod;

// The fields of a heartbeat reply as the worker judges them.
struct HeartReplyFields {
    QString code;       // decimal text of "code"; empty for a JSON array
    QString msg;
    QJsonObject data;
    int extren = -1;    // -1 when the reply has no "extren"
};

class midHeartNetLogic : public QObject
{
    Q_OBJECT
public:
    explicit midHeartNetLogic(QObject* parent = nullptr);
    ~midHeartNetLogic() override;

    // Copy of the last command record (payload and parameter not copied).
    Communicat m_heartRecord;
    commonmethod* m_commonMethod = nullptr;

    void storeRecord(const Communicat& record);

    // The heartbeat server; requests on an empty URL are not sent.
    void setHeartUrl(const QUrl& url) { m_heartUrl = url; }
    QUrl heartUrl() const { return m_heartUrl; }

    QNetworkRequest makeRequest() const;
    QNetworkRequest makeRebootRequest() const;
    QNetworkRequest makeRecordRequest(const QString& record) const;

    // Judges one reply body. False when it gives no result (not JSON, or an
    // object without "code", "msg" and "data").
    static bool parseHeartReply(const QByteArray& body, HeartReplyFields* fields);

    Communicat HeartbeatResultHandle(QString code, QString msg, QJsonObject data, int extren,
                                     QString url);
    Communicat NtpResultHandle(bool ok);

    void initCommonMethod();
    int recordSrcType() const;

private:
    QNetworkRequest makeCommandRequest(const QString& command) const;

    QUrl m_heartUrl;
};

#endif // MIDHEARTNETLOGIC_H
