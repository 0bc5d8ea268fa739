// The common widget and the utility object share their reply splitting, JSON
// conversions and expiry computation: the same inputs give the same results
// and the same refusals through both.

#include <QApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <climits>

#include "kiosk/commoncontrol.h"
#include "kiosk/commonmethod.h"
#include "kiosktestsupport.h"

class tst_kiosk_twins : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void splitting_data();
    void splitting();
    void splittingTraces();
    void jsonConversions();
    void expiryTimes();

private:
    KioskWorkDir* m_dir = nullptr;
    commoncontrol* m_ctrl = nullptr;
    commonmethod* m_method = commonmethod::getInstance();
};

void tst_kiosk_twins::initTestCase()
{
    m_dir = new KioskWorkDir;
    m_ctrl = new commoncontrol(nullptr);
}

void tst_kiosk_twins::cleanupTestCase()
{
    delete m_ctrl;
    delete m_dir;
}

void tst_kiosk_twins::splitting_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");        // "<unchanged>" when untouched
    QTest::addColumn<QString>("critical");     // expected critical line, or empty

    const QString same = QStringLiteral("<unchanged>");
    const QString err1 = QStringLiteral("Charge reply message err 1");
    const QString err2 = QStringLiteral("Charge reply message err 2,not have");

    QTest::newRow("plain") << "code=100:msg=ok" << "msg" << true << "ok" << "";
    QTest::newRow("key as value") << "code=100:msg=ok" << "ok" << true << "ok" << "";
    QTest::newRow("only part of a name") << "code=100:msgx=1" << "msg" << false << same << "";
    QTest::newRow("piece without =") << "msg:code=1" << "msg" << true << same << "";
    QTest::newRow("x:msg") << "x:msg" << "msg" << true << same << "";
    QTest::newRow("three parts") << "a=b=c" << "a" << true << "b" << "";
    QTest::newRow("msg=a=b") << "msg=a=b" << "msg" << true << "a" << "";
    QTest::newRow("first piece wins") << "code=1:code=2" << "code" << true << "1" << "";
    QTest::newRow("key after =") << "a=msg" << "msg" << true << "msg" << "";
    QTest::newRow("longer name") << "msgid=7" << "msg" << false << same << "";
    QTest::newRow("three pieces") << "code=100:msg=ok:data=5" << "msg" << true << "ok" << "";
    QTest::newRow("empty pieces kept") << "::msg=ok:" << "msg" << true << "ok" << "";
    QTest::newRow("case matters") << "MSG=1" << "msg" << false << same << err2;
    QTest::newRow("empty source") << "" << "msg" << false << same << err1;
    QTest::newRow("key absent") << "code=100" << "msg" << false << same << err2;
}

void tst_kiosk_twins::splitting()
{
    QFETCH(QString, source);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, value);
    QFETCH(QString, critical);

    for (int via = 0; via < 2; ++via) {
        LogCapture log;
        QString out = QStringLiteral("<unchanged>");
        const bool result = via == 0 ? m_ctrl->SplitMessageSimple(source, key, out)
                                     : m_method->SplitMessageSimple(source, key, out);
        const char* who = via == 0 ? "commoncontrol" : "commonmethod";
        QVERIFY2(result == found, who);
        QVERIFY2(out == value, who);
        const QStringList criticals = log.linesOfType(QtCriticalMsg);
        if (critical.isEmpty()) {
            QVERIFY2(criticals.isEmpty(), who);
        } else {
            QVERIFY2(criticals.size() == 1 && criticals.first().startsWith(critical), who);
            if (critical.contains(QStringLiteral("err 2"))) {
                QVERIFY2(criticals.first().contains(key), who);
                QVERIFY2(criticals.first().contains(QStringLiteral("; sourceTemp=")), who);
                QVERIFY2(criticals.first().contains(source), who);
            }
        }
    }
}

void tst_kiosk_twins::splittingTraces()
{
    // Each class keeps its own debug lines around the shared splitting.
    QString out;
    {
        LogCapture log;
        m_ctrl->SplitMessageSimple(QStringLiteral("code=1:msg=ok"), QStringLiteral("msg"), out);
        QVERIFY(log.has(QtDebugMsg, QStringLiteral("SplitMessageSimple :: listCheck==")));
        QVERIFY(!log.has(QtDebugMsg, QStringLiteral("commonmethod SplitMessageSimple")));
    }
    {
        LogCapture log;
        m_method->SplitMessageSimple(QStringLiteral("code=1:msg=ok"), QStringLiteral("msg"), out);
        QVERIFY(log.has(QtDebugMsg, QStringLiteral("commonmethod SplitMessageSimple --1-- sourceTemp code=1:msg=ok")));
        QVERIFY(log.has(QtDebugMsg, QStringLiteral("commonmethod SplitMessageSimple --2-- list")));
        QVERIFY(log.has(QtDebugMsg, QStringLiteral("commonmethod SplitMessageSimple :: listCheck")));
    }
    {
        // An empty reply is refused before anything is traced.
        LogCapture log;
        m_method->SplitMessageSimple(QString(), QStringLiteral("msg"), out);
        QCOMPARE(log.countOfType(QtDebugMsg), 0);
    }
}

void tst_kiosk_twins::jsonConversions()
{
    const QJsonObject object{{QStringLiteral("a"), 1}};
    const QJsonArray array{1, QStringLiteral("x")};
    QCOMPARE(m_ctrl->jsonObjectToString(object), QStringLiteral("{\"a\":1}"));
    QCOMPARE(m_method->jsonObjectToString(object), QStringLiteral("{\"a\":1}"));
    QCOMPARE(m_ctrl->jsonArrayToString(array), QStringLiteral("[1,\"x\"]"));
    QCOMPARE(m_method->jsonArrayToString(array), QStringLiteral("[1,\"x\"]"));

    QCOMPARE(m_ctrl->stringToJsonObject(QStringLiteral("{\"a\":1,\"t\":\"\u00e9\"}")).value("t").toString(),
             QStringLiteral("\u00e9"));
    QCOMPARE(m_method->stringToJsonArray(QStringLiteral("[1,2]")).size(), 2);

    for (int via = 0; via < 2; ++via) {
        LogCapture log;
        const QJsonObject o = via == 0 ? m_ctrl->stringToJsonObject(QStringLiteral("[1,2]"))
                                       : m_method->stringToJsonObject(QStringLiteral("[1,2]"));
        QVERIFY(o.isEmpty());
        QVERIFY(log.has(QtWarningMsg, QStringLiteral("Json msg is not object: [1,2]")));

        const QJsonArray a = via == 0 ? m_ctrl->stringToJsonArray(QStringLiteral("{}"))
                                      : m_method->stringToJsonArray(QStringLiteral("{}"));
        QVERIFY(a.isEmpty());
        QVERIFY(log.has(QtWarningMsg, QStringLiteral("Json msg is not array: {}")));

        const QJsonObject broken = via == 0 ? m_ctrl->stringToJsonObject(QStringLiteral("{oops"))
                                            : m_method->stringToJsonObject(QStringLiteral("{oops"));
        QVERIFY(broken.isEmpty());
        QCOMPARE(log.countOfType(QtWarningMsg), 3);
    }
}

void tst_kiosk_twins::expiryTimes()
{
    const QString colon = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    const QString dashed = QStringLiteral("yyyy-MM-dd hh-mm-ss");
    const QDateTime now = QDateTime::currentDateTime();

    // Empty, garbage, the past and now all give 1.
    for (const QString& text : {QString(), QStringLiteral("garbage"),
                                now.addSecs(-3600).toString(colon),
                                QStringLiteral("1000-01-01 00:00:00")}) {
        QCOMPARE(m_ctrl->caclExpiryTimeToSec(text), 1);
    }
    for (const QString& text : {QString(), QStringLiteral("garbage"),
                                now.addSecs(-3600).toString(dashed),
                                QStringLiteral("1000-01-01 00-00-00")}) {
        QCOMPARE(m_method->secsToExpiry(text), 1);
    }

    // Both formats through the widget, the dashed one through the utility.
    const int ahead = m_ctrl->caclExpiryTimeToSec(now.addSecs(90).toString(colon));
    QVERIFY2(ahead >= 80 && ahead <= 90, qPrintable(QString::number(ahead)));
    const int aheadDashed = m_ctrl->caclExpiryTimeToSec(now.addSecs(90).toString(dashed));
    QVERIFY2(aheadDashed >= 80 && aheadDashed <= 90, qPrintable(QString::number(aheadDashed)));
    const int viaMethod = m_method->secsToExpiry(now.addSecs(90).toString(dashed));
    QVERIFY2(viaMethod >= 80 && viaMethod <= 90, qPrintable(QString::number(viaMethod)));
    QCOMPARE(m_method->secsToExpiry(now.addSecs(90).toString(colon)), 1);

    // Far ahead the count stops at the largest int instead of wrapping.
    QCOMPARE(m_ctrl->caclExpiryTimeToSec(QStringLiteral("9999-12-31 23:59:59")), INT_MAX);
    QCOMPARE(m_method->secsToExpiry(QStringLiteral("9999-12-31 23-59-59")), INT_MAX);

    LogCapture log;
    m_ctrl->caclExpiryTimeToSec(QStringLiteral("2030-01-01 08-00-00"));
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("--pylon--caclExpiryTimeToSec--0---start time=")));
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("-endTime= 2030-01-01T08:00:00")));
}

QTEST_MAIN(tst_kiosk_twins)
#include "tst_kiosk_twins.moc"
