// The NTP client's packets, the endpoint settings and the real clock's
// refusal of an invalid time.

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "kiosk/heartendpoints.h"
#include "kiosk/linuxlocalclock.h"
#include "kiosk/ntpclient.h"

#include "heartbeattesthelpers.h"

using ntpclient::ReplyCheck;
Q_DECLARE_METATYPE(ntpclient::ReplyCheck)

class tst_HeartNtpPacket : public QObject
{
    Q_OBJECT
private slots:
    void requestIsTheFixed48Bytes_data();
    void requestIsTheFixed48Bytes();
    void fractionToMicroseconds_data();
    void fractionToMicroseconds();
    void validReplyGivesTransmitInstant_data();
    void validReplyGivesTransmitInstant();
    void unusableRepliesAreRefused_data();
    void unusableRepliesAreRefused();
    void hostEntriesSplitIntoNameAndPort_data();
    void hostEntriesSplitIntoNameAndPort();
    void endpointsComeFromTheSettingsFile();
    void realClockRefusesAnInvalidTime();
};

void tst_HeartNtpPacket::requestIsTheFixed48Bytes_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QByteArray>("transmitSeconds");
    // 1704067200 + 2208988800 = 3913056000 = 0xE93C7F00
    QTest::newRow("2024-01-01 UTC") << QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)
                                    << QByteArray::fromHex("e93c7f00");
    // Milliseconds do not travel; the same instant in another zone gives the
    // same seconds.
    QTest::newRow("same instant, offset zone, with ms")
        << QDateTime(QDate(2024, 1, 1), QTime(8, 0, 0, 999), Qt::OffsetFromUTC, 8 * 3600)
        << QByteArray::fromHex("e93c7f00");
    // After the 2036 rollover only the low 32 bits are sent.
    QTest::newRow("2040-01-01 UTC, next era") << QDateTime(QDate(2040, 1, 1), QTime(0, 0), Qt::UTC)
                                              << QByteArray::fromHex("0754fd00");
}

void tst_HeartNtpPacket::requestIsTheFixed48Bytes()
{
    QFETCH(QDateTime, now);
    QFETCH(QByteArray, transmitSeconds);
    const QByteArray expected = QByteArray::fromHex("1b0004fa"
                                                    "00010000"
                                                    "00010000"
                                                    "00000000"
                                                    "0000000000000000"
                                                    "0000000000000000"
                                                    "0000000000000000")
                                + transmitSeconds + QByteArray(4, '\0');
    QCOMPARE(expected.size(), 48);
    QCOMPARE(ntpclient::buildRequest(now).toHex(), expected.toHex());
}

void tst_HeartNtpPacket::fractionToMicroseconds_data()
{
    QTest::addColumn<quint32>("fraction");
    QTest::addColumn<quint32>("micros");
    QTest::newRow("zero") << 0u << 0u;
    QTest::newRow("half") << 0x80000000u << 500000u;
    QTest::newRow("quarter") << 0x40000000u << 250000u;
    QTest::newRow("just under 1 ms") << 4294967u << 999u;
    QTest::newRow("1 ms") << 4294968u << 1000u;
    QTest::newRow("largest") << 0xFFFFFFFFu << 999999u;
}

void tst_HeartNtpPacket::fractionToMicroseconds()
{
    QFETCH(quint32, fraction);
    QFETCH(quint32, micros);
    QCOMPARE(ntpclient::fractionToMicros(fraction), micros);
}

void tst_HeartNtpPacket::validReplyGivesTransmitInstant_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<quint32>("micros");

    const QDateTime noon(QDate(2024, 6, 15), QTime(12, 30, 45), Qt::UTC);
    const quint32 seconds = quint32(noon.toSecsSinceEpoch() + 2208988800LL);
    QTest::newRow("whole second") << ntpServerReply(seconds, 0) << noon << 0u;
    QTest::newRow("half second") << ntpServerReply(seconds, 0x80000000u) << noon.addMSecs(500) << 500000u;
    QTest::newRow("stratum 1") << ntpServerReply(seconds, 0, 1) << noon << 0u;
    QTest::newRow("stratum 15") << ntpServerReply(seconds, 0, 15) << noon << 0u;
    // Extension fields or a MAC after the header do not move the timestamp.
    QTest::newRow("68 bytes with a MAC")
        << ntpServerReply(seconds, 0x40000000u) + QByteArray(20, '\x77') << noon.addMSecs(250) << 250000u;
    // Seconds below the epoch offset are in the next era (after 2036-02-07).
    QTest::newRow("era 1") << ntpServerReply(1, 0)
                           << QDateTime(QDate(2036, 2, 7), QTime(6, 28, 17), Qt::UTC) << 0u;
}

void tst_HeartNtpPacket::validReplyGivesTransmitInstant()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QDateTime, instant);
    QFETCH(quint32, micros);
    ntpclient::Reply reply;
    QCOMPARE(ntpclient::decodeReply(datagram, &reply), ReplyCheck::Ok);
    QCOMPARE(reply.micros, micros);
    QCOMPARE(reply.transmitTime.toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());
    QCOMPARE(reply.transmitTime.timeSpec(), Qt::LocalTime);
}

void tst_HeartNtpPacket::unusableRepliesAreRefused_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<ReplyCheck>("check");
    const quint32 seconds = 3913056000u;
    QTest::newRow("empty") << QByteArray() << ReplyCheck::TooShort;
    QTest::newRow("47 bytes") << ntpServerReply(seconds, 0).left(47) << ReplyCheck::TooShort;
    QTest::newRow("8 bytes of time only") << ntpServerReply(seconds, 0).right(8) << ReplyCheck::TooShort;
    QTest::newRow("client mode") << ntpServerReply(seconds, 0, 2, 3) << ReplyCheck::NotServer;
    QTest::newRow("broadcast mode") << ntpServerReply(seconds, 0, 2, 5) << ReplyCheck::NotServer;
    QTest::newRow("stratum 0 (kiss-o'-death)") << ntpServerReply(seconds, 0, 0) << ReplyCheck::BadStratum;
    QTest::newRow("stratum 16 (unsynchronised)") << ntpServerReply(seconds, 0, 16) << ReplyCheck::BadStratum;
    QTest::newRow("zero transmit time") << ntpServerReply(0, 0) << ReplyCheck::NoTransmitTime;
    QTest::newRow("zero seconds, some fraction") << ntpServerReply(0, 0x80000000u) << ReplyCheck::NoTransmitTime;
}

void tst_HeartNtpPacket::unusableRepliesAreRefused()
{
    QFETCH(QByteArray, datagram);
    QFETCH(ReplyCheck, check);
    ntpclient::Reply reply;
    reply.seconds = 42;
    QCOMPARE(ntpclient::decodeReply(datagram, &reply), check);
    QCOMPARE(reply.seconds, 42u);  // untouched
    QVERIFY(!reply.transmitTime.isValid());
    QVERIFY(!ntpclient::describe(check).isEmpty());
}

void tst_HeartNtpPacket::hostEntriesSplitIntoNameAndPort_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("host");
    QTest::addColumn<quint16>("port");
    QTest::newRow("name") << "0.pool.ntp.org" << "0.pool.ntp.org" << quint16(123);
    QTest::newRow("name and port") << " 127.0.0.1:4123 " << "127.0.0.1" << quint16(4123);
    QTest::newRow("bad port") << "time.example:http" << "time.example" << quint16(123);
    QTest::newRow("port 0") << "time.example:0" << "time.example" << quint16(123);
    QTest::newRow("bare IPv6") << "::1" << "::1" << quint16(123);
    QTest::newRow("bracketed IPv6 and port") << "[::1]:5123" << "::1" << quint16(5123);
}

void tst_HeartNtpPacket::hostEntriesSplitIntoNameAndPort()
{
    QFETCH(QString, entry);
    QFETCH(QString, host);
    QFETCH(quint16, port);
    QString gotHost;
    quint16 gotPort = 0;
    splitNtpHost(entry, 123, &gotHost, &gotPort);
    QCOMPARE(gotHost, host);
    QCOMPARE(gotPort, port);
}

void tst_HeartNtpPacket::endpointsComeFromTheSettingsFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    // No file: four default hosts on port 123, no heartbeat URL.
    HeartEndpoints none = readHeartEndpoints();
    QCOMPARE(none.ntpHosts.size(), 4);
    QCOMPARE(none.ntpHosts, defaultHeartEndpoints().ntpHosts);
    QCOMPARE(none.ntpPort, quint16(123));
    QVERIFY(none.heartUrl.isEmpty());

    QVERIFY(QDir().mkpath(QStringLiteral("conf")));
    QFile ini(QStringLiteral("conf/tq_info.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[ntp]\nhost1=time.example\nhost3=127.0.0.1:4123\nport=1123\n"
              "[heart]\nurl=http://127.0.0.1:8080/heart\n");
    ini.close();

    HeartEndpoints some = readHeartEndpoints();
    const QStringList defaults = defaultHeartEndpoints().ntpHosts;
    QCOMPARE(some.ntpHosts, (QStringList{"time.example", defaults.at(1), "127.0.0.1:4123", defaults.at(3)}));
    QCOMPARE(some.ntpPort, quint16(1123));
    QCOMPARE(some.heartUrl, QUrl("http://127.0.0.1:8080/heart"));

    // A relative or broken URL is not used.
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[heart]\nurl=heart.php\n");
    ini.close();
    QVERIFY(readHeartEndpoints().heartUrl.isEmpty());

    QVERIFY(QDir::setCurrent(previous));
}

void tst_HeartNtpPacket::realClockRefusesAnInvalidTime()
{
    // Only the refusal is exercised: no valid time is ever handed to the
    // real clock in a test.
    LinuxLocalClock clock;
    QVERIFY(!clock.setLocalTime(QDateTime()));
}

QTEST_GUILESS_MAIN(tst_HeartNtpPacket)
#include "tst_heart_ntppacket.moc"
