#include "kiosk/commonmethod.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>

#include <cstdlib>
#include <limits>
#include <vector>

#include "kiosk/expirytime.h"
#include "kiosk/kioskini.h"
#include "kiosk/kioskreplyparser.h"

// Created during static initialisation, before main, and never deleted.
static commonmethod* s_commonmethod = commonmethod::getInstance();

namespace {

const char kRandomTable[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int kRandomTableSize = 62;

QString md5Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString paddedSequence(qint64 sequence)
{
    return QStringLiteral("%1").arg(sequence, 4, 10, QLatin1Char('0'));
}

} // namespace

commonmethod* commonmethod::getInstance()
{
    static commonmethod* instance = new commonmethod();
    return instance;
}

commonmethod::commonmethod()
{
    // std::srand rather than qsrand: qsrand seeds only the calling thread's
    // generator, and the random strings are drawn in the worker threads.
    const int secsOfDay = QTime(0, 0, 0).secsTo(QTime::currentTime());
    std::srand(unsigned(secsOfDay));
}

bool commonmethod::copyCommunicat(Communicat* dest, const Communicat& src)
{
    if (!dest)
        return false;
    *dest = src;
    return true;
}

void commonmethod::storeHeartRecord(Communicat* dest, const Communicat& src)
{
    if (!dest)
        return;
    // The heartbeat worker keeps its own payload and parameter.
    const QByteArray data = dest->data;
    const int param = dest->param;
    *dest = src;
    dest->data = data;
    dest->param = param;
}

void commonmethod::clearCommunicat(Communicat* record)
{
    if (!record)
        return;
    record->SrcType = -1;
    record->DestType = -1;
    record->cmdtype.clear();
    record->arg1.clear();
    record->arg2.clear();
    record->sender = 0;
    record->param = 0;
}

QString commonmethod::randomString(int length)
{
    if (length <= 0)
        return QString();
    std::vector<char> buffer(size_t(length) + 1, '\0');
    for (int i = 0; i < length; ++i)
        buffer[size_t(i)] = kRandomTable[std::rand() % kRandomTableSize];
    return QString::fromLatin1(buffer.data());
}

QString commonmethod::timestampDigest(const QString& text, QString& timestampOut)
{
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    qDebug().noquote() << now;
    timestampOut = QString::fromLatin1(now.toLatin1().toPercentEncoding());
    const QString head = randomString(5);
    const QString tail = randomString(4);
    return head + md5Hex(text.toLatin1() + timestampOut.toLatin1()) + tail;
}

QString commonmethod::textDigest(const QString& text)
{
    const QString head = randomString(5);
    const QString tail = randomString(4);
    return head + md5Hex(text.toLatin1()) + tail;
}

QString commonmethod::jsonObjectToString(const QJsonObject& object)
{
    return kioskreply::jsonObjectToString(object);
}

QString commonmethod::jsonArrayToString(const QJsonArray& array)
{
    return kioskreply::jsonArrayToString(array);
}

QJsonObject commonmethod::stringToJsonObject(const QString& text)
{
    return kioskreply::stringToJsonObject(text);
}

QJsonArray commonmethod::stringToJsonArray(const QString& text)
{
    return kioskreply::stringToJsonArray(text);
}

int commonmethod::secsToExpiry(const QString& timeText)
{
    return expirytime::secondsToExpiry(timeText, expirytime::parseDashed);
}

bool commonmethod::SplitMessageSimple(const QString& source, const QString& key, QString& value)
{
    return kioskreply::splitMessage(source, key, value,
        [&source](const QStringList& pieces, const QStringList& selection) {
            qDebug().noquote() << "commonmethod SplitMessageSimple --1-- sourceTemp" << source;
            qDebug().noquote() << "commonmethod SplitMessageSimple --2-- list" << pieces;
            qDebug().noquote() << "commonmethod SplitMessageSimple :: listCheck" << selection;
        });
}

bool commonmethod::removeIniKey(const QString& key)
{
    if (key.isEmpty())
        return false;
    return kioskini::removeKey(key);
}

bool commonmethod::removeIniKeysContaining(const QString& part)
{
    if (part.isEmpty())
        return false;
    return kioskini::removeKeysContaining(part);
}

QStringList commonmethod::readComValues()
{
    QStringList values;
    for (const QString& key : kioskini::keys()) {
        if (key.contains(QLatin1String("/Com")))
            values << kioskini::readValue(key).mid(3);
    }
    return values;
}

QString commonmethod::readIniValue(const QString& key)
{
    return kioskini::readValue(key);
}

bool commonmethod::writeIniValue(const QString& key, const QString& value, bool create)
{
    return kioskini::writeValue(key, value, create) == kioskini::WriteResult::Stored;
}

QString commonmethod::makeTransactionNo(const QString& text)
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QString stored = readIniValue(QStringLiteral("Charge/deposit_time"));
    qint64 sequence = 1;
    qDebug().noquote() << "current_datet_temp" << today << "ini_deposit_time" << stored;

    if (today == stored) {
        const qint64 last = readIniValue(QStringLiteral("Charge/atm_transaction_id")).toLongLong();
        if (last == std::numeric_limits<qint64>::max()) {
            qCritical().noquote() << "makeTransactionNo: the day's sequence is exhausted at" << last;
            return QString();
        }
        sequence = last + 1;
        if (!writeIniValue(QStringLiteral("Charge/atm_transaction_id"), paddedSequence(sequence), true))
            return QString();
    } else {
        // The sequence goes first: should the date then fail to be stored,
        // the next call still sees another day and starts over at 0001,
        // which has not been handed out.
        if (!writeIniValue(QStringLiteral("Charge/atm_transaction_id"), paddedSequence(1), true)
            || !writeIniValue(QStringLiteral("Charge/deposit_time"), today, true))
            return QString();
    }

    const QString code = readIniValue(QStringLiteral("net/atm_code"));
    const QString number = QStringLiteral("DD%1%2%3%4")
                               .arg(code)
                               .arg(today)
                               .arg(text)
                               .arg(paddedSequence(sequence));
    qDebug().noquote() << "生成单号" << number;
    return number;
}
