// The worker's heartbeat side: commands, requests to a loopback HTTP server,
// and how replies are judged and logged.

#include <QJsonDocument>
#include <QNetworkReply>
#include <QTimer>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "kiosk/midheartnetlogic.h"
#include "kiosk/subheartbeatthread.h"

#include "heartbeattesthelpers.h"

namespace {

Communicat command(int src, const QString& cmdtype, int param = 0, const QString& arg2 = QString())
{
    Communicat msg;
    msg.SrcType = src;
    msg.DestType = e_NETTHREAD;
    msg.cmdtype = cmdtype;
    msg.arg2 = arg2;
    msg.param = param;
    return msg;
}

// Runs in the test thread against a loopback HTTP server.
struct HttpRig {
    explicit HttpRig(const QByteArray& body = "{}", bool withUrl = true) : server(body)
    {
        HeartEndpoints endpoints = defaultHeartEndpoints();
        if (withUrl)
            endpoints.heartUrl = QUrl(server.url());
        worker.setEndpoints(endpoints);
        worker.setClock(&clock);
        worker.m_auxThreadCtrl = &hub;
        for (auto signal : {&auxthreadcontroller::SignalToMainPage, &auxthreadcontroller::SignalToCashSelPage,
                            &auxthreadcontroller::SignalToTQPage, &auxthreadcontroller::SignalToTQFormalPage,
                            &auxthreadcontroller::SignalToHeart, &auxthreadcontroller::SignalToTQThread})
            QObject::connect(&hub, signal, &context, [this](Communicat) { ++hubRecords; });
    }
    QTimer* heartTimer() { return worker.findChild<QTimer*>(QStringLiteral("HeartTimer")); }
    QTimer* ntpTimer() { return worker.findChild<QTimer*>(QStringLiteral("m_ntpsynctimer")); }
    int openReplies() { return worker.findChildren<QNetworkReply*>().size(); }

    LoopbackHttpServer server;
    FakeClock clock;
    auxthreadcontroller hub;
    subHeartbeatThread worker;
    QObject context;
    int hubRecords = 0;
};

} // namespace

class tst_HeartHttp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerCommunicatMetaTypes(); }
    void heartbeatGetCarriesTheUserAgent();
    void commandAnswersNameTheCommand_data();
    void commandAnswersNameTheCommand();
    void replyCasesAreJudgedAndLogged_data();
    void replyCasesAreJudgedAndLogged();
    void replyFieldsAreReadAsStated_data();
    void replyFieldsAreReadAsStated();
    void noUrlSendsNothing();
    void tickAfterTimerDeletSendsNothing();
    void heartInitStartsBothTimers_data();
    void heartInitStartsBothTimers();
    void recordsAreStoredAndOthersIgnored();
    void commandsAfterCleanupAreRefused();
};

void tst_HeartHttp::heartbeatGetCarriesTheUserAgent()
{
    LogCapture log;
    HttpRig rig(R"({"code":100,"msg":"ok","data":{}})");
    rig.worker.doProcessTimeoutHandle();
    QVERIFY(log.has(QStringLiteral("subHeartbeatThread http end line")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.server.requests().size(), 1, 20000);
    const HttpRequest request = rig.server.requests().at(0);
    QCOMPARE(request.requestLine, QByteArray("GET /heart HTTP/1.1"));
    QCOMPARE(request.header("User-Agent"), QByteArray("MyOwnBrowser 1.0"));

    // The reply is judged once, then freed.
    QTRY_VERIFY_WITH_TIMEOUT(log.has(QStringLiteral("HeartResultHandle--heart park no more mesg")), 20000);
    QCOMPARE(log.startingWith(QStringLiteral("doProcessHeartReadyRead")).count(QStringLiteral("doProcessHeartReadyRead")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.openReplies(), 0, 20000);
    QCOMPARE(rig.hubRecords, 0);  // heartbeat results stay with the worker
}

void tst_HeartHttp::commandAnswersNameTheCommand_data()
{
    QTest::addColumn<int>("src");
    QTest::addColumn<QString>("cmdtype");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::newRow("server asks for a reboot") << 6 << "heart_reboot" << "subHeartbeatThread--THREAD --send reboot reply-"
                                              << QByteArray("GET /heart?cmd=heart_reboot HTTP/1.1");
    QTest::newRow("server asks for the last record")
        << 6 << "last_record" << "subHeartbeatThread--THREAD --send report reply-"
        << QByteArray("GET /heart?cmd=last_record HTTP/1.1");
    QTest::newRow("home page sends the last record")
        << 0 << "last_record" << "subHeartbeatThread::mainPageHeartReq----send report reply-"
        << QByteArray("GET /heart?cmd=last_record HTTP/1.1");
}

void tst_HeartHttp::commandAnswersNameTheCommand()
{
    QFETCH(int, src);
    QFETCH(QString, cmdtype);
    QFETCH(QString, logLine);
    QFETCH(QByteArray, requestLine);
    LogCapture log;
    HttpRig rig;
    rig.worker.doProcessHeartRecv(command(src, cmdtype, 0, QStringLiteral("R1")));
    QVERIFY(log.has(logLine));
    QTRY_COMPARE_WITH_TIMEOUT(rig.server.requests().size(), 1, 20000);
    QCOMPARE(rig.server.requests().at(0).requestLine, requestLine);
    QVERIFY(rig.server.requests().at(0).header("User-Agent") != "MyOwnBrowser 1.0");
    QTRY_COMPARE_WITH_TIMEOUT(rig.openReplies(), 0, 20000);
}

void tst_HeartHttp::replyCasesAreJudgedAndLogged_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("debugLines");
    QTest::addColumn<QStringList>("criticalLines");
    QTest::addColumn<QStringList>("absentStarts");

    QTest::newRow("code 100, empty data")
        << QByteArray(R"({"code":100,"msg":"ok","data":{}})")
        << QStringList{"doProcessHeartReadyRead:  is json", "HeartResultHandle--ok, extern_code= -1",
                       "HeartResultHandle--heart park no more mesg"}
        << QStringList{} << QStringList{"HeartbeatResultHandle::"};
    QTest::newRow("code 100, data and extren")
        << QByteArray(R"({"code":100,"msg":"ok","data":{"a":1},"extren":7})")
        << QStringList{"HeartResultHandle--ok, extern_code= 7"} << QStringList{}
        << QStringList{"HeartResultHandle--heart park", "HeartbeatResultHandle::"};
    QTest::newRow("code as text")
        << QByteArray(R"({"code":"100","msg":"ok","data":{}})") << QStringList{"doProcessHeartReadyRead:  is json"}
        << QStringList{"HeartbeatResultHandle::api返回信息解析异常,无Ok \"0\" \"ok\""}
        << QStringList{"HeartResultHandle--ok"};
    QTest::newRow("no data") << QByteArray(R"({"code":100,"msg":"ok"})") << QStringList{}
                             << QStringList{"doProcessHeartReadyRead:  reply data error: not contains[code,msg,data]"}
                             << QStringList{"HeartResultHandle--ok", "HeartbeatResultHandle::"};
    QTest::newRow("array") << QByteArray("[1,2]") << QStringList{}
                           << QStringList{"HeartbeatResultHandle::api返回信息解析异常,无Ok \"\" \"\""}
                           << QStringList{"doProcessHeartReadyRead:  is json"};
    QTest::newRow("not json") << QByteArray("hello") << QStringList{"doProcessHeartReadyRead:  jsonpe.error ="}
                              << QStringList{} << QStringList{"HeartResultHandle--ok", "HeartbeatResultHandle::"};
    QTest::newRow("line breaks")
        << QByteArray("{\n\"code\":100,\n\"msg\":\"ok\",\n\"data\":{}\n}")
        << QStringList{R"(on_readyRead ba== "{ \"code\":100, \"msg\":\"ok\", \"data\":{} }")",
                       "HeartResultHandle--ok, extern_code= -1"}
        << QStringList{} << QStringList{"HeartbeatResultHandle::"};
}

void tst_HeartHttp::replyCasesAreJudgedAndLogged()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, debugLines);
    QFETCH(QStringList, criticalLines);
    QFETCH(QStringList, absentStarts);
    LogCapture log;
    HttpRig rig(body);
    rig.worker.doProcessTimeoutHandle();
    QTRY_COMPARE_WITH_TIMEOUT(rig.openReplies(), 0, 20000);

    QVERIFY(log.has(QStringLiteral("doProcessHeartReadyRead")));
    for (const QString& line : debugLines)
        QVERIFY2(line.endsWith('=') ? log.hasStart(line) : log.has(line), qPrintable(line));
    for (const QString& line : criticalLines)
        QVERIFY2(log.has(line, QtCriticalMsg), qPrintable(line));
    for (const QString& start : absentStarts) {
        QVERIFY2(!log.hasStart(start), qPrintable(start));
        QVERIFY2(!log.hasStart(start, QtCriticalMsg), qPrintable(start));
    }
    QCOMPARE(rig.hubRecords, 0);
}

void tst_HeartHttp::replyFieldsAreReadAsStated_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("judged");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("extren");

    QTest::newRow("number code, empty data") << QByteArray(R"({"code":100,"msg":"ok","data":{}})") << true << "100"
                                             << "ok" << QByteArray("{}") << -1;
    QTest::newRow("text code reads 0") << QByteArray(R"({"code":"100","msg":"ok","data":{}})") << true << "0"
                                       << "ok" << QByteArray("{}") << -1;
    QTest::newRow("data object, extren") << QByteArray(R"({"code":200,"msg":"busy","data":{"a":1},"extren":3})")
                                         << true << "200" << "busy" << QByteArray(R"({"a":1})") << 3;
    QTest::newRow("data not an object, extren not a number")
        << QByteArray(R"({"code":100,"msg":5,"data":[1],"extren":"x"})") << true << "100" << "" << QByteArray("{}")
        << 0;
    QTest::newRow("array") << QByteArray("[1,2]") << true << "" << "" << QByteArray("{}") << -1;
    QTest::newRow("no msg") << QByteArray(R"({"code":100,"data":{}})") << false << "" << "" << QByteArray("{}") << -1;
    QTest::newRow("no code") << QByteArray(R"({"msg":"ok","data":{}})") << false << "" << "" << QByteArray("{}") << -1;
    QTest::newRow("empty body") << QByteArray() << false << "" << "" << QByteArray("{}") << -1;
}

void tst_HeartHttp::replyFieldsAreReadAsStated()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, judged);
    QFETCH(QString, code);
    QFETCH(QString, msg);
    QFETCH(QByteArray, data);
    QFETCH(int, extren);
    LogCapture log;  // keeps the judging lines quiet
    HeartReplyFields fields;
    QCOMPARE(midHeartNetLogic::parseHeartReply(body, &fields), judged);
    if (!judged)
        return;
    QCOMPARE(fields.code, code);
    QCOMPARE(fields.msg, msg);
    QCOMPARE(QJsonDocument(fields.data).toJson(QJsonDocument::Compact), data);
    QCOMPARE(fields.extren, extren);

    // Every heartbeat result is the same local record.
    midHeartNetLogic logic;
    const Communicat result = logic.HeartbeatResultHandle(fields.code, fields.msg, fields.data, fields.extren, "u");
    QCOMPARE(result.SrcType, 6);
    QCOMPARE(result.DestType, 10);
    QVERIFY(result.cmdtype.isEmpty() && result.arg1.isEmpty() && result.arg2.isEmpty() && result.data.isEmpty());
    QCOMPARE(result.sender, reinterpret_cast<qintptr>(&logic));
    QCOMPARE(result.param, 0);
}

void tst_HeartHttp::noUrlSendsNothing()
{
    LogCapture log;
    HttpRig rig("{}", false);
    rig.worker.doProcessTimeoutHandle();
    rig.worker.doProcessHeartRecv(command(6, QStringLiteral("heart_reboot")));
    QCOMPARE(rig.openReplies(), 0);  // a request would exist at once
    QCOMPARE(log.startingWith(QStringLiteral("subHeartbeatThread::sendHttpGet--no heartbeat URL")).size(), 2);
    QVERIFY(!log.has(QStringLiteral("subHeartbeatThread http end line")));
    QCoreApplication::processEvents();
    QCOMPARE(rig.server.requests().size(), 0);
}

void tst_HeartHttp::tickAfterTimerDeletSendsNothing()
{
    LogCapture log;
    HttpRig rig;
    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("heart_init"), 3600));
    rig.worker.doProcessTimeoutHandle();  // a request in flight while the manager goes
    QCOMPARE(rig.openReplies(), 1);
    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("TIMER_DELET")));
    QVERIFY(log.has(QStringLiteral("subHeartbeatThread--heartManager--2-")));
    QCOMPARE(rig.openReplies(), 0);
    QVERIFY(rig.heartTimer()->isActive());  // the timer keeps running

    rig.worker.doProcessTimeoutHandle();
    rig.worker.doProcessHeartRecv(command(6, QStringLiteral("heart_reboot")));
    QCOMPARE(log.startingWith(QStringLiteral("subHeartbeatThread::sendHttpGet--no network manager")).size(), 2);
    QCOMPARE(rig.openReplies(), 0);
    QCoreApplication::processEvents();
    QVERIFY(!log.has(QStringLiteral("doProcessHeartReadyRead")));

    // A second TIMER_DELET has nothing left to delete.
    log.clear();
    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("TIMER_DELET")));
    QVERIFY(!log.has(QStringLiteral("subHeartbeatThread--heartManager--2-")));
}

void tst_HeartHttp::heartInitStartsBothTimers_data()
{
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("default") << 0 << 10000 << "subHeartbeatThread::mainPageHeartReq  HeartTimer---10";
    QTest::newRow("30 s") << 30 << 30000 << "subHeartbeatThread::mainPageHeartReq------intervel= 30";
    QTest::newRow("negative is the default") << -5 << 10000 << "subHeartbeatThread::mainPageHeartReq  HeartTimer---10";
}

void tst_HeartHttp::heartInitStartsBothTimers()
{
    QFETCH(int, param);
    QFETCH(int, interval);
    QFETCH(QString, logLine);
    LogCapture log;
    HttpRig rig("{}", false);
    QVERIFY(!rig.heartTimer()->isActive());
    QVERIFY(!rig.ntpTimer()->isActive());
    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("heart_init"), param));
    QVERIFY(rig.heartTimer()->isActive());
    QCOMPARE(rig.heartTimer()->interval(), interval);
    QVERIFY(rig.ntpTimer()->isActive());
    QCOMPARE(rig.ntpTimer()->interval(), 21600000);
    QVERIFY(log.has(logLine));
    QVERIFY(log.has(QStringLiteral("---subHeartbeatThread::mainPageHeartReq--HEART_INIT---")));
}

void tst_HeartHttp::recordsAreStoredAndOthersIgnored()
{
    LogCapture log;
    HttpRig rig;
    Communicat msg = command(3, QStringLiteral("heart_init"), 30, QStringLiteral("second"));
    msg.arg1 = QStringLiteral("first");
    msg.data = "payload";
    msg.sender = 4711;
    rig.worker.doProcessHeartRecv(msg);

    // Stored without payload and parameter; nothing started or sent.
    const Communicat stored = rig.worker.lastHeartRecord();
    QCOMPARE(stored.SrcType, 3);
    QCOMPARE(stored.DestType, 6);
    QCOMPARE(stored.cmdtype, QStringLiteral("heart_init"));
    QCOMPARE(stored.arg1, QStringLiteral("first"));
    QCOMPARE(stored.arg2, QStringLiteral("second"));
    QCOMPARE(stored.sender, qintptr(4711));
    QVERIFY(stored.data.isEmpty());
    QCOMPARE(stored.param, 0);
    QVERIFY(!rig.heartTimer()->isActive());

    // Unknown commands of either source do nothing.
    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("HEART_INIT")));
    rig.worker.doProcessHeartRecv(command(6, QStringLiteral("cmd_sync_ntp")));
    QCOMPARE(rig.worker.lastHeartRecord().cmdtype, QStringLiteral("cmd_sync_ntp"));
    QVERIFY(!rig.heartTimer()->isActive());
    QVERIFY(!rig.ntpTimer()->isActive());
    QCOMPARE(rig.openReplies(), 0);
    QVERIFY(log.startingWith(QStringLiteral("ntp_start")).isEmpty());
    QCOMPARE(rig.hubRecords, 0);
}

void tst_HeartHttp::commandsAfterCleanupAreRefused()
{
    LogCapture log;
    HttpRig rig;
    rig.worker.cleanup();
    QVERIFY(!rig.worker.hasNetworkObjects());
    QVERIFY(log.has(QStringLiteral("subHeartbeatThread::mainPageHeartReq--THREAD_TIMER_DELET-3-")));

    rig.worker.doProcessHeartRecv(command(0, QStringLiteral("heart_init"), 30));
    QVERIFY(log.has(QStringLiteral("subHeartbeatThread::HeartTimer---isNULl ,return"), QtCriticalMsg));
    QVERIFY(rig.worker.lastHeartRecord().cmdtype.isEmpty());  // nothing stored
    rig.worker.doProcessTimeoutHandle();
    QVERIFY(log.has(QStringLiteral("subHeartbeatThread::sendHttpGet--no network manager, request not sent")));
    QCOMPARE(rig.openReplies(), 0);
}

QTEST_MAIN(tst_HeartHttp)
#include "tst_heart_http.moc"
