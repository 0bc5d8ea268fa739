#ifndef COMMONMETHOD_H
#define COMMONMETHOD_H

// The kiosk's stateless toolbox: copies of Communicat records for the
// workers, random text and digests, JSON conversions, reply splitting, the
// kiosk settings file and the daily transaction number. One instance exists
// from static initialisation to the end of the process.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "app/communicat.h"

class commonmethod
{
public:
    static commonmethod* getInstance();

    // Record copies. The workers call these from their own threads; they
    // touch only the records they are given.
    bool copyCommunicat(Communicat* dest, const Communicat& src);
    void storeHeartRecord(Communicat* dest, const Communicat& src);
    void clearCommunicat(Communicat* record);

    QString randomString(int length);
    QString timestampDigest(const QString& text, QString& timestampOut);
    QString textDigest(const QString& text);

    QString jsonObjectToString(const QJsonObject& object);
    QString jsonArrayToString(const QJsonArray& array);
    QJsonObject stringToJsonObject(const QString& text);
    QJsonArray stringToJsonArray(const QString& text);

    int secsToExpiry(const QString& timeText);
    bool SplitMessageSimple(const QString& source, const QString& key, QString& value);

    bool removeIniKey(const QString& key);
    bool removeIniKeysContaining(const QString& part);
    QStringList readComValues();
    QString readIniValue(const QString& key);
    bool writeIniValue(const QString& key, const QString& value, bool create);

    // "DD" + kiosk code + today + text + the day's sequence; empty when the
    // sequence could not be stored, so that no number is ever handed out twice.
    QString makeTransactionNo(const QString& text);

private:
    commonmethod();
    commonmethod(const commonmethod&) = delete;
    commonmethod& operator=(const commonmethod&) = delete;
};

#endif // COMMONMETHOD_H
