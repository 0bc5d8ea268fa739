#include "kiosk/midheartnetlogic.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUrlQuery>

#include "kiosk/commonmethod.h"

midHeartNetLogic::midHeartNetLogic(QObject* parent)
    : QObject(parent), m_commonMethod(commonmethod::getInstance())
{
}

midHeartNetLogic::~midHeartNetLogic() = default;

void midHeartNetLogic::storeRecord(const Communicat& record)
{
    m_commonMethod->storeHeartRecord(&m_heartRecord, record);
}

QNetworkRequest midHeartNetLogic::makeRequest() const
{
    QNetworkRequest request(m_heartUrl);
    request.setRawHeader("User-Agent", "MyOwnBrowser 1.0");
    return request;
}

// The answers to the server's commands go to the heartbeat URL and name the
// command, so that the server can tell them from a heartbeat.
QNetworkRequest midHeartNetLogic::makeCommandRequest(const QString& command) const
{
    if (m_heartUrl.isEmpty())
        return QNetworkRequest(QUrl());
    QUrl url = m_heartUrl;
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("cmd"), command);
    url.setQuery(query);
    return QNetworkRequest(url);
}

QNetworkRequest midHeartNetLogic::makeRebootRequest() const
{
    return makeCommandRequest(QStringLiteral("heart_reboot"));
}

QNetworkRequest midHeartNetLogic::makeRecordRequest(const QString& record) const
{
    Q_UNUSED(record)
    return makeCommandRequest(QStringLiteral("last_record"));
}

bool midHeartNetLogic::parseHeartReply(const QByteArray& body, HeartReplyFields* fields)
{
    HeartReplyFields parsed;
    QJsonParseError jsonpe;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &jsonpe);
    if (jsonpe.error != QJsonParseError::NoError) {
        qDebug() << "doProcessHeartReadyRead:  jsonpe.error =" << jsonpe.error;
        return false;
    }
    if (doc.isObject()) {
        qDebug() << "doProcessHeartReadyRead:  is json";
        const QJsonObject obj = doc.object();
        if (!obj.contains(QStringLiteral("code")) || !obj.contains(QStringLiteral("msg"))
            || !obj.contains(QStringLiteral("data"))) {
            qCritical() << "doProcessHeartReadyRead:  reply data error: not contains[code,msg,data]";
            return false;
        }
        // A code sent as text is not a number and reads as 0.
        parsed.code = QString::number(obj.value(QStringLiteral("code")).toInt());
        parsed.msg = obj.value(QStringLiteral("msg")).toString();
        parsed.data = obj.value(QStringLiteral("data")).toObject();
        if (obj.contains(QStringLiteral("extren")))
            parsed.extren = obj.value(QStringLiteral("extren")).toInt();
        qDebug() << "doProcessHeartReadyRead:  code=" << parsed.code << "msg=" << parsed.msg;
    }
    // Any other valid document (an array) is judged with empty fields.
    if (fields)
        *fields = parsed;
    return true;
}

Communicat midHeartNetLogic::HeartbeatResultHandle(QString code, QString msg, QJsonObject data,
                                                   int extren, QString url)
{
    Q_UNUSED(url)
    Communicat result;
    result.SrcType = e_NETTHREAD;
    result.DestType = e_HEART_LOCAL;
    result.sender = reinterpret_cast<qintptr>(this);
    result.param = 0;

    if (code == QLatin1String("100")) {
        qDebug() << "HeartResultHandle--ok, extern_code=" << extren;
        if (data.isEmpty())
            qDebug() << "HeartResultHandle--heart park no more mesg";
    } else {
        qCritical() << "HeartbeatResultHandle::api返回信息解析异常,无Ok" << code << msg;
    }
    return result;
}

Communicat midHeartNetLogic::NtpResultHandle(bool ok)
{
    Communicat result;
    result.SrcType = e_NETTHREAD;
    result.DestType = e_MAINPAGE;
    result.cmdtype = QStringLiteral("cmd_sync_ntp");
    result.sender = reinterpret_cast<qintptr>(this);
    result.param = 0;
    if (ok)
        qDebug() << "NtpResultHandle--ok";
    else
        qDebug() << "NtpResultHandle--err";
    return result;
}

void midHeartNetLogic::initCommonMethod()
{
    m_commonMethod = commonmethod::getInstance();
}

int midHeartNetLogic::recordSrcType() const
{
    return m_heartRecord.SrcType;
}
