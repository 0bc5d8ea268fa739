// End to end: the real serial worker, in its own thread, against the
// simulated adapter and ESC nodes behind a real pseudo-terminal.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <memory>
#include <random>

#include "link/crc.h"
#include "sim/escsim.h"
#include "workerharness.h"

namespace {

constexpr quint16 kRegAccess = 256, kFileRead = 257, kFileWrite = 409, kNodeInfo = 430, kExecCommand = 435,
                  kHeartbeat = 7509;

qint64 processCpuMs()
{
    rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return qint64(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000;
}

bool isOpenResult(const LinkRecord& r, quint8 extra)
{
    return r.port == kRespOpenResult && r.extra == extra && !r.hasPayload && r.size == 0;
}

} // namespace

class tst_link_serialworker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openQueryAndReopen();
    void opensByShortNameAndByLink();
    void openFailureReported();
    void firmwareImageArrivesWhole();
    void requestsWhileClosedAreDropped();
    void throttleAndNodeIdMessages();
    void lostPortReportedWithoutErrorStorm();

private:
    // Opens the simulator's port; returns the index of the 8889 record.
    int openSim(const QString& name, int bitrate = 0);
    uint64_t framesFromPc() const { return m_bus->adapterStats().framesIn; }
    // Sends a node-information request and waits for its answer: every
    // earlier request has then reached the simulator.
    void syncWithSim();

    std::unique_ptr<escsim::Bus> m_bus;
    std::unique_ptr<WorkerHarness> m_h;
    QString m_path;
};

void tst_link_serialworker::initTestCase()
{
    registerCommunicatMetaTypes();
}

void tst_link_serialworker::init()
{
    escsim::Options o;
    o.nodes = {16};
    m_bus = std::make_unique<escsim::Bus>(o);
    std::string err;
    m_path = QString::fromStdString(m_bus->start(&err));
    QVERIFY2(!m_path.isEmpty(), err.c_str());
    m_bus->startThread();
    m_h = std::make_unique<WorkerHarness>();
}

void tst_link_serialworker::cleanup()
{
    m_h.reset();
    m_bus.reset();
}

int tst_link_serialworker::openSim(const QString& name, int bitrate)
{
    const int from = m_h->sink.records.size();
    m_h->send(e_TQ_OPAL_OPEN, name, QString(), bitrate);
    return m_h->sink.waitFor(from, [](const LinkRecord& r) { return r.port == kRespOpenResult; });
}

void tst_link_serialworker::syncWithSim()
{
    const int from = m_h->sink.records.size();
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
    QVERIFY(m_h->sink.waitForPort(from, kNodeInfo) >= 0);
}

void tst_link_serialworker::openQueryAndReopen()
{
    RecordSink& s = m_h->sink;
    const int at = openSim(m_path); // 0 selects 500000
    QVERIFY(at >= 0);
    QVERIFY(isOpenResult(s.records.at(at), kOpenOk));
    QVERIFY(m_h->worker->isPortOpen());
    // The adapter answers the bit-rate command: the link frame follows.
    QVERIFY(s.waitFor(at, [](const LinkRecord& r) { return r.port == kRespLinkFrame && !r.hasPayload; }) >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_bus->bitrateCommands().empty(), 5000);
    QCOMPARE(m_bus->bitrateCommands().front(), 500000u);

    // Heartbeats arrive on their own: the 6 bytes up to the mode.
    const int hb = s.waitFor(0, [](const LinkRecord& r) { return r.port == kHeartbeat && r.node == 16; });
    QVERIFY(hb >= 0);
    QCOMPARE(s.records.at(hb).size, 6u);

    // A register value (op 0 on the CAN bit-rate register 4): 4 bytes + 9 zeros.
    int from = s.records.size();
    m_h->send(e_TQ_OPAL_REG, "4", "0,0", 16);
    int i = s.waitForPort(from, kRegAccess);
    QVERIFY(i >= 0);
    const LinkRecord reg = s.records.at(i);
    QCOMPARE(reg.node, quint8(16));
    QCOMPARE(reg.size, 13u);
    QCOMPARE(quint8(reg.payload.at(1)), quint8(4));
    int16_t expected = -1;
    QVERIFY(m_bus->registerValue(16, 4, &expected));
    QCOMPARE(qint16(reg.u16(2)), qint16(expected));
    QCOMPARE(reg.payload.mid(4), QByteArray(9, '\0'));

    // Node information: the 296-byte record with the device name at 30.
    from = s.records.size();
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
    i = s.waitForPort(from, kNodeInfo);
    QVERIFY(i >= 0);
    const LinkRecord info = s.records.at(i);
    QCOMPARE(info.size, 296u);
    QCOMPARE(info.payload.mid(30, 12), QByteArray("P_FLY-ESC_A\0", 12));
    QCOMPARE(quint8(info.payload.at(2)), quint8(1)); // hardware 1.0
    QCOMPARE(quint8(info.payload.at(4)), quint8(2)); // software 2.3
    QCOMPARE(quint8(info.payload.at(5)), quint8(3));

    // The first chunk of the description: 7 header bytes, 256 text bytes, NUL.
    from = s.records.size();
    m_h->send(e_TQ_OPAL_READ_FILE_CTRL, "257", "16,0", 1001);
    i = s.waitForPort(from, kFileRead);
    QVERIFY(i >= 0);
    const LinkRecord chunk = s.records.at(i);
    QCOMPARE(chunk.size, 264u);
    QCOMPARE(chunk.payload.at(263), '\0');
    QCOMPARE(chunk.u16(5), quint16(0));
    const QByteArray text = QByteArray::fromStdString(escsim::sampleDescription());
    QCOMPARE(chunk.payload.mid(7, 256), text.left(256));

    // The same port again (a CAN-baud change): only the bit-rate command goes
    // out and the port stays open; back at 500000 the node answers again.
    for (int rate : {1000000, 250000, 0}) {
        const int again = openSim(m_path, rate);
        QVERIFY(again >= 0);
        QVERIFY(isOpenResult(s.records.at(again), kOpenOk));
        QTRY_COMPARE_WITH_TIMEOUT(m_bus->adapterBitrate(), uint32_t(rate ? rate : 500000), 5000);
    }
    const std::vector<uint32_t> rates = m_bus->bitrateCommands();
    QCOMPARE(rates, (std::vector<uint32_t> {500000, 1000000, 250000, 500000}));
    QVERIFY(m_h->worker->isPortOpen());
    syncWithSim();
}

void tst_link_serialworker::opensByShortNameAndByLink()
{
    // A short name is looked up under /dev ("pts/3" -> "/dev/pts/3").
    QVERIFY(m_path.startsWith("/dev/"));
    int at = openSim(m_path.mid(5));
    QVERIFY(at >= 0);
    QVERIFY(isOpenResult(m_h->sink.records.at(at), kOpenOk));
    QVERIFY(m_h->sink.waitForPort(at, kRespLinkFrame) >= 0);
    syncWithSim();

    // A path through a symbolic link, as /dev/serial/by-id/... gives them.
    // Another name closes the first port before it opens this one.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("usb-adapter-if00");
    QVERIFY(QFile::link(m_path, link));
    at = openSim(link, 500000);
    QVERIFY(at >= 0);
    QVERIFY(isOpenResult(m_h->sink.records.at(at), kOpenOk));
    QVERIFY(m_h->sink.waitForPort(at, kRespLinkFrame) >= 0);
    syncWithSim();
}

void tst_link_serialworker::openFailureReported()
{
    for (const QString& name : {QStringLiteral("/nonexistent/tty-adapter"), QStringLiteral("ttyNOSUCHPORT"),
                                QString()}) {
        const int at = openSim(name);
        QVERIFY2(at >= 0, qPrintable(name));
        QVERIFY2(isOpenResult(m_h->sink.records.at(at), kOpenFailed), qPrintable(name));
        QVERIFY(!m_h->worker->isPortOpen());
    }
    // A failed open leaves the worker usable.
    const int at = openSim(m_path);
    QVERIFY(at >= 0 && isOpenResult(m_h->sink.records.at(at), kOpenOk));
    syncWithSim();
}

void tst_link_serialworker::firmwareImageArrivesWhole()
{
    RecordSink& s = m_h->sink;
    QVERIFY(openSim(m_path) >= 0);

    // The node takes firmware only in upgrade mode.
    int from = s.records.size();
    m_h->send(e_TQ_OPAL_CTRL, QString::number(0xFFFD), " .vr-kisa", 16);
    int i = s.waitForPort(from, kExecCommand);
    QVERIFY(i >= 0);
    QCOMPARE(s.records.at(i).payload, QByteArray(1, '\0'));

    // 20 writes of 256 bytes, the last one padded; 5000 is no multiple of 256.
    QByteArray image(5000, Qt::Uninitialized);
    std::mt19937 rng(42);
    for (char& c : image)
        c = char(rng() & 0xFF);
    from = s.records.size();
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGHIJ", "5000", 16, image);

    // Drive it as the page does: one GO per acknowledged write.
    int acks = 0;
    int statusAt = -1;
    while (statusAt < 0) {
        i = s.waitFor(from, [](const LinkRecord& r) { return r.port == kFileWrite || r.port == kRegAccess; });
        QVERIFY2(i >= 0, qPrintable(QString("stalled after %1 acknowledgements").arg(acks)));
        from = i + 1;
        const LinkRecord r = s.records.at(i);
        if (r.port == kRegAccess) {
            statusAt = i;
            break;
        }
        QCOMPARE(r.u16(0), quint16(0));
        ++acks;
        QVERIFY(acks <= 21);
        m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    }
    QCOMPARE(acks, 21); // 20 data writes and the closing write
    const LinkRecord status = s.records.at(statusAt);
    QCOMPARE(quint8(status.payload.at(1)), quint8(5));
    QCOMPARE(status.u16(2), quint16(0xa0)); // part 1 received

    QByteArray padded = image;
    padded.append(QByteArray(5120 - image.size(), char(0xFF)));
    const std::vector<uint8_t> got = m_bus->image(16, 1);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(got.data()), int(got.size())), padded);
    QCOMPARE(m_bus->imageCrc32(16, 1),
             crc32Firmware(reinterpret_cast<const uint8_t*>(padded.constData()), uint32_t(padded.size())));
    QCOMPARE(QString::fromStdString(m_bus->imagePath(16, 1)), QString("ABCDEFGH"));

    // Once the transfer is over, a stray GO, an empty image and a short tag
    // send nothing.
    const uint64_t before = framesFromPc();
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "0", 16, QByteArray());
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABC", "3", 16, QByteArray(300, 'x'));
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    syncWithSim();
    QCOMPARE(framesFromPc() - before, uint64_t(1)); // the node-information request only
}

void tst_link_serialworker::requestsWhileClosedAreDropped()
{
    RecordSink& s = m_h->sink;
    const uint64_t before = framesFromPc();
    for (int k = 0; k < 50; ++k) {
        m_h->send(e_TQ_OPAL_REG, "18", "2,700", 16);
        m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6152", "500,0,0,0", 0);
    }
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "256", 16, QByteArray(256, 'x'));
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_CTRL, "65530", QString(), 16);

    // Open afterwards: the records reach the worker in order, so everything
    // above was handled while the port was closed.
    const int at = openSim(m_path);
    QVERIFY(at >= 0 && isOpenResult(s.records.at(at), kOpenOk));
    QCOMPARE(s.count(kNodeInfo), 0);
    syncWithSim();
    QCOMPARE(framesFromPc() - before, uint64_t(2)); // bit-rate command and the sync request
    int16_t v = 0;
    QVERIFY(m_bus->registerValue(16, 18, &v));
    QCOMPARE(v, int16_t(600));
    QCOMPARE(m_bus->registerWriteCount(18), 0);
    QCOMPARE(m_bus->throttle(16), quint16(0));

    // After a close, the same.
    m_h->send(e_TQ_OPAL_CLOSE, QString(), QString(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_h->worker->isPortOpen(), 5000);
    const uint64_t afterClose = framesFromPc();
    m_h->send(e_TQ_OPAL_REG, "18", "2,700", 16);
    QVERIFY(openSim(m_path) >= 0);
    syncWithSim();
    QCOMPARE(framesFromPc() - afterClose, uint64_t(2));
    QCOMPARE(m_bus->registerWriteCount(18), 0);
}

void tst_link_serialworker::throttleAndNodeIdMessages()
{
    QVERIFY(openSim(m_path) >= 0);
    // Node 16 is row 1 of the throttle test: first value of subject 6152.
    m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6152", "700,1,2,3", 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->throttle(16), quint16(700), 5000);

    // A register write reaches the node and is counted.
    const int from = m_h->sink.records.size();
    m_h->send(e_TQ_OPAL_REG, "18", "2,700", 16);
    const int i = m_h->sink.waitForPort(from, kRegAccess);
    QVERIFY(i >= 0);
    QCOMPARE(m_bus->registerWriteCount(18), 1);

    // Throttle on a subject outside 6152..6159 and node IDs outside 16..48
    // send nothing.
    const uint64_t before = framesFromPc();
    m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6160", "1,2,3,4", 0);
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "15", 16);
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "49", 16);
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 300); // no such node ID
    syncWithSim();
    QCOMPARE(framesFromPc() - before, uint64_t(1));

    // A valid node-ID assignment renames the node.
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "20", 16);
    QTRY_VERIFY_WITH_TIMEOUT(m_bus->hasNode(20), 5000);
}

void tst_link_serialworker::lostPortReportedWithoutErrorStorm()
{
    QVERIFY(openSim(m_path) >= 0);
    syncWithSim();
    const int from = m_h->sink.records.size();
    m_bus.reset(); // the simulator goes away with its end of the terminal

    const int lost = m_h->sink.waitFor(from, [](const LinkRecord& r) { return isOpenResult(r, kOpenPortLost); });
    QVERIFY(lost >= 0);
    QVERIFY(!m_h->worker->isPortOpen());
    QCOMPARE(m_h->sink.count(kRespOpenResult, lost + 1), 0);

    // A port left open here would make the worker thread spin on the error;
    // closed, the process is idle.
    const qint64 cpu0 = processCpuMs();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(500);
    const qint64 cpu = processCpuMs() - cpu0;
    QVERIFY2(cpu < wall.elapsed() / 2, qPrintable(QString("%1 ms CPU in %2 ms").arg(cpu).arg(wall.elapsed())));

    // Later requests are dropped quietly.
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    const int at = openSim("/nonexistent/tty-adapter");
    QVERIFY(at >= 0 && isOpenResult(m_h->sink.records.at(at), kOpenFailed));
    QCOMPARE(m_h->sink.count(kNodeInfo, from), 0);
}

QTEST_GUILESS_MAIN(tst_link_serialworker)
#include "tst_link_serialworker.moc"
