// The worker's heartbeat side against a loopback HTTP server: the request,
// how each reply is judged and logged, and the cases that send nothing.

#include <QJsonDocument>
#include <QtTest>

#include <limits>

#include "heartbeattesthelpers.h"

class tst_HeartHttp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void heartbeatGetCarriesTheUserAgent();
    void replyCases_data();
    void replyCases();
    void noUrlSendsNothing();
    void tickAfterTimerDeletSendsNothing();
    void heartInitStartsBothTimers_data();
    void heartInitStartsBothTimers();
};

void tst_HeartHttp::heartbeatGetCarriesTheUserAgent()
{
    LogCapture log(true);
    LoopbackHttpServer server(R"({"code":100,"msg":"ok","data":{}})", 100);  // in two pieces
    HeartRig rig(heartEndpoints({}, server.url()));
    rig.worker.doProcessTimeoutHandle();
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 1, 20000);
    QVERIFY(server.requests.at(0).startsWith("GET /heart HTTP/1.1\r\n"));
    QVERIFY(server.requests.at(0).contains("\r\nUser-Agent: MyOwnBrowser 1.0\r\n"));

    // The reply is judged once, when it has finished, and then freed.
    QTRY_COMPARE_WITH_TIMEOUT(rig.openReplies(), 0, 20000);
    QCOMPARE(log.countExact(QtDebugMsg, "doProcessHeartReadyRead"), 1);
    QCOMPARE(log.countExact(QtDebugMsg, "HeartResultHandle--heart park no more mesg"), 1);
}

void tst_HeartHttp::replyCases_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("fields");     // code|msg|data|extren; empty: not judged
    QTest::addColumn<QStringList>("lines");  // the judging lines, in order
    const QString notOk = QStringLiteral("critical: HeartbeatResultHandle::api返回信息解析异常,无Ok ");

    QTest::newRow("code 100, empty data")
        << QByteArray(R"({"code":100,"msg":"ok","data":{}})") << "100|ok|{}|-1"
        << QStringList{"HeartResultHandle--ok, extern_code= -1", "HeartResultHandle--heart park no more mesg"};
    QTest::newRow("data and extren")
        << QByteArray(R"({"code":100,"msg":"ok","data":{"a":1},"extren":7})") << R"(100|ok|{"a":1}|7)"
        << QStringList{"HeartResultHandle--ok, extern_code= 7"};
    QTest::newRow("another code") << QByteArray(R"({"code":200,"msg":"busy","data":{}})") << "200|busy|{}|-1"
                                  << QStringList{notOk + R"("200" "busy")"};
    QTest::newRow("code as text") << QByteArray(R"({"code":"100","msg":"ok","data":{}})") << "0|ok|{}|-1"
                                  << QStringList{notOk + R"("0" "ok")"};
    QTest::newRow("fields of the wrong kind")
        << QByteArray(R"({"code":100,"msg":5,"data":[1],"extren":"x"})") << "100||{}|0"
        << QStringList{"HeartResultHandle--ok, extern_code= 0", "HeartResultHandle--heart park no more mesg"};
    QTest::newRow("array") << QByteArray("[1,2]") << "||{}|-1" << QStringList{notOk + R"("" "")"};
    QTest::newRow("no data") << QByteArray(R"({"code":100,"msg":"ok"})") << ""
        << QStringList{"critical: doProcessHeartReadyRead:  reply data error: not contains[code,msg,data]"};
    QTest::newRow("not json") << QByteArray("hello") << "" << QStringList{};
}

void tst_HeartHttp::replyCases()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, fields);
    QFETCH(QStringList, lines);
    LogCapture log(true);
    HeartReplyFields parsed;
    if (midHeartNetLogic::parseHeartReply(body, &parsed)) {
        const QString data = QString::fromUtf8(QJsonDocument(parsed.data).toJson(QJsonDocument::Compact));
        QCOMPARE(QStringList({parsed.code, parsed.msg, data, QString::number(parsed.extren)}).join('|'), fields);
    } else {
        QCOMPARE(QString(), fields);
    }

    // The same body through the worker.
    log.clear();
    LoopbackHttpServer server(body);
    HeartRig rig(heartEndpoints({}, server.url()));
    rig.worker.doProcessTimeoutHandle();
    QTRY_COMPARE_WITH_TIMEOUT(rig.openReplies(), 0, 20000);
    QStringList judging;
    for (const LogLine& line : log.lines()) {
        if (line.text.startsWith("HeartResultHandle") || line.text.startsWith("HeartbeatResultHandle")
            || line.text.startsWith("doProcessHeartReadyRead:  reply"))
            judging << (line.type == QtCriticalMsg ? "critical: " : "") + line.text;
    }
    QCOMPARE(judging, lines);
}

void tst_HeartHttp::noUrlSendsNothing()
{
    LogCapture log(true);
    HeartRig rig(heartEndpoints({}));
    rig.worker.doProcessTimeoutHandle();
    rig.worker.doProcessHeartRecv(heartCommand("heart_reboot", 0, e_NETTHREAD));
    QCOMPARE(rig.openReplies(), 0);  // a request would exist at once
    QCOMPARE(log.startingWith("subHeartbeatThread::sendHttpGet--no heartbeat URL").size(), 2);
}

void tst_HeartHttp::tickAfterTimerDeletSendsNothing()
{
    LogCapture log(true);
    LoopbackHttpServer server;
    HeartRig rig(heartEndpoints({}, server.url()));
    rig.worker.doProcessHeartRecv(heartCommand("heart_init", 3600));
    rig.worker.doProcessTimeoutHandle();  // a request in flight while the manager goes
    QCOMPARE(rig.openReplies(), 1);
    rig.worker.doProcessHeartRecv(heartCommand("TIMER_DELET"));
    QCOMPARE(rig.openReplies(), 0);
    QVERIFY(rig.heartTimer()->isActive());  // the timer keeps running

    rig.worker.doProcessTimeoutHandle();
    rig.worker.doProcessHeartRecv(heartCommand("heart_reboot", 0, e_NETTHREAD));
    QCOMPARE(log.startingWith("subHeartbeatThread::sendHttpGet--no network manager").size(), 2);
    QCOMPARE(rig.openReplies(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(log.countExact(QtDebugMsg, "doProcessHeartReadyRead"), 0);
}

void tst_HeartHttp::heartInitStartsBothTimers_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("30 s") << 30 << 30000;
    QTest::newRow("1 s") << 1 << 1000;
    // The settings' 0 asks for the default; nothing below it may start a
    // timer that fires without pause and floods the server.
    QTest::newRow("0: the default") << 0 << 10000;
    QTest::newRow("-1: the default") << -1 << 10000;
    QTest::newRow("most negative") << std::numeric_limits<int>::min() << 10000;
    QTest::newRow("largest, kept within int") << std::numeric_limits<int>::max() << 2147483000;
}

void tst_HeartHttp::heartInitStartsBothTimers()
{
    QFETCH(int, seconds);
    QFETCH(int, intervalMs);
    LoopbackHttpServer server;
    HeartRig rig(heartEndpoints({}, server.url()));
    rig.worker.doProcessHeartRecv(heartCommand("heart_init", seconds));
    QVERIFY(rig.heartTimer()->isActive());
    QCOMPARE(rig.heartTimer()->interval(), intervalMs);
    QVERIFY(rig.ntpTimer()->isActive());
    QCOMPARE(rig.ntpTimer()->interval(), 21600000);
    // Nothing is sent before the first tick.
    QTest::qWait(100);
    QCOMPARE(server.requests.size(), 0);
}

QTEST_MAIN(tst_HeartHttp)
#include "tst_heart_http.moc"
