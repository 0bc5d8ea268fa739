// End to end: the real serial worker, in its own thread, against the
// simulated adapter and ESC nodes behind a real pseudo-terminal.

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "app/msgtypes.h"
#include "link/crc.h"
#include "link/cyphalports.h"
#include "link/lastresort.h"
#include "link/subserialtqthread.h"
#include "linkharness.h"
#include "logcapture.h"
#include "sim/pty.h"

class tst_link_serialworker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openSendsBitrateCommand();
    void heartbeatsAs7509();
    void registerValue();
    void nodeInformation();
    void descriptionChunk();
    void firmwareImageArrivesWhole_data();
    void firmwareImageArrivesWhole();
    void reopenMidTransferDropsIt();
    void reopenForgetsWhatCameBefore();
    void openResult_data();
    void openResult();
    void lostPortReported();
    void portErrorKinds_data();
    void portErrorKinds();
    void requestsWhileClosedAreDropped();
    void lastWritesBeforeACloseGoOut_data();
    void lastWritesBeforeACloseGoOut();
    void stalledLineEndsAtZero_data();
    void stalledLineEndsAtZero();
    void requestsNoNodeCanTakeSendNothing();
    void throttleOnlyOnThrottleSubjects();

private:
    // Sends a request to node 16 and waits for its answer on `port`.
    bool ask(int cmd, const QString& arg1, const QString& arg2, int param, quint16 port, LinkRecord* out = nullptr)
    {
        m_h->send(cmd, arg1, arg2, param);
        return m_h->waitFor(port, 16, kWaitMs, out);
    }
    // A node-information round trip: every earlier request has then reached
    // the simulator.
    void syncWithSim() { QVERIFY(ask(e_TQ_OPAL_VERSION, QString(), QString(), 16, kPortNodeInfo)); }
    uint64_t framesFromPc() const { return m_bus->adapterStats().framesIn; }
    static QByteArray randomImage(int size, unsigned seed);
    bool enterUpgradeMode();
    // Neither a firmware write nor a status read follows; frames sent since
    // framesBefore: one sync request.
    void expectNoFirmwareTraffic(uint64_t framesBefore);
    // Sends one GO per acknowledged firmware write, at most stopAfter times;
    // returns the writes acknowledged (-1 on a stall or a refused write).
    // The register-5 read that ends the transfer goes to *statusRead.
    int driveDownload(int stopAfter, LinkRecord* statusRead = nullptr);
    // Two GOs 15 ms apart in the worker's thread, with no turn of its event
    // loop between them; returns the time the pacing timer then has left.
    int goTwiceWithoutALoopTurn();

    std::unique_ptr<escsim::Bus> m_bus;
    std::unique_ptr<WorkerHarness> m_h;
    QString m_path;
};

void tst_link_serialworker::init()
{
    m_bus = std::make_unique<escsim::Bus>();
    std::string err;
    m_path = QString::fromStdString(startOnThread(*m_bus, &err));
    QVERIFY2(!m_path.isEmpty(), err.c_str());
    m_h = std::make_unique<WorkerHarness>();
}

void tst_link_serialworker::cleanup()
{
    m_h.reset();
    m_bus.reset();
    lastresort::resume();
}

void tst_link_serialworker::openSendsBitrateCommand()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk)); // bit rate 0 selects 500000
    QVERIFY(m_h->worker->isPortOpen());
    // The adapter answers the bit-rate command: a link frame follows.
    QVERIFY(m_h->waitFor(kRespLinkFrame, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!m_bus->bitrateCommands().empty(), kWaitMs);
    QCOMPARE(m_bus->bitrateCommands(), std::vector<uint32_t> {500000});

    // The same port again changes only the bit rate; another port takes its place.
    QCOMPARE(m_h->open(m_path, 1000000), int(kOpenOk));
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->bitrateCommands(), (std::vector<uint32_t> {500000, 1000000}), kWaitMs);
    escsim::Bus other;
    const QString otherPath = QString::fromStdString(startOnThread(other));
    QVERIFY(!otherPath.isEmpty());
    const uint64_t before = framesFromPc();
    QCOMPARE(m_h->open(otherPath), int(kOpenOk));
    syncWithSim();
    QCOMPARE(other.bitrateCommands(), std::vector<uint32_t> {500000});
    QCOMPARE(other.adapterStats().framesIn, uint64_t(2));
    QCOMPARE(framesFromPc(), before);
    m_h->send(e_TQ_OPAL_CLOSE); // before the other terminal goes
    QTRY_VERIFY_WITH_TIMEOUT(!m_h->worker->isPortOpen(), kWaitMs);
}

void tst_link_serialworker::heartbeatsAs7509()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    LinkRecord hb;
    QVERIFY(m_h->waitFor(kPortHeartbeat, 16, kWaitMs, &hb));
    QCOMPARE(int(hb.payload.size()), 6); // up to the mode
}

void tst_link_serialworker::registerValue()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    // Op 0 on the CAN bit-rate register 4: 4 bytes and 9 zeros.
    LinkRecord r;
    QVERIFY(ask(e_TQ_OPAL_REG, "4", "0,0", 16, kPortRegAccess, &r));
    QCOMPARE(int(r.payload.size()), 13);
    QCOMPARE(int(r.payload[1]), 4);
    int16_t expected = -1;
    QVERIFY(m_bus->registerValue(16, 4, &expected));
    QCOMPARE(r.i16(2), int(expected));
    QCOMPARE(std::vector<uint8_t>(r.payload.begin() + 4, r.payload.end()), std::vector<uint8_t>(9, 0));
}

void tst_link_serialworker::nodeInformation()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    LinkRecord r;
    QVERIFY(ask(e_TQ_OPAL_VERSION, QString(), QString(), 16, kPortNodeInfo, &r));
    QCOMPARE(int(r.payload.size()), 296);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&r.payload[30]), 12), QByteArray("P_FLY-ESC_A\0", 12));
    QCOMPARE(int(r.payload[2]), 1); // hardware 1.0
    QCOMPARE(int(r.payload[4]), 2); // software 2.3
    QCOMPARE(int(r.payload[5]), 3);
}

void tst_link_serialworker::descriptionChunk()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    // The first chunk: 7 header bytes, 256 text bytes, and the NUL the link adds.
    LinkRecord r;
    QVERIFY(ask(e_TQ_OPAL_READ_FILE_CTRL, "257", "16,0", 1001, kPortFileRead, &r));
    QCOMPARE(int(r.payload.size()), 264);
    QCOMPARE(r.u16(5), 0);
    QCOMPARE(std::string(r.payload.begin() + 7, r.payload.end() - 1), escsim::sampleDescription().substr(0, 256));
    QCOMPARE(int(r.payload[263]), 0);

    // A request numbered by the page goes out under its own transfer-ID,
    // and the answer carries it back; one with a transfer-ID beyond 31 is
    // not sent.
    for (int transferId : {31, 0, 17}) {
        QVERIFY(ask(e_TQ_OPAL_READ_FILE_CTRL, "257", QStringLiteral("16,256,%1").arg(transferId), 1001, kPortFileRead, &r));
        QCOMPARE(int(r.transferId), transferId);
        QCOMPARE(r.u16(0), 256);
    }
    m_h->send(e_TQ_OPAL_READ_FILE_CTRL, "257", "16,0,32", 1001);
    m_h->send(e_TQ_OPAL_READ_FILE_CTRL, "257", "16,0,x", 1001);
    syncWithSim();
    QCOMPARE(m_h->count([](const LinkRecord& x) { return x.port == kPortFileRead; }), 0);
}

QByteArray tst_link_serialworker::randomImage(int size, unsigned seed)
{
    QByteArray image(size, Qt::Uninitialized);
    std::mt19937 rng(seed);
    for (char& c : image)
        c = char(rng() & 0xFF);
    return image;
}

bool tst_link_serialworker::enterUpgradeMode()
{
    LinkRecord r;
    return ask(e_TQ_OPAL_CTRL, QString::number(0xFFFD), " .vr-kisa", 16, kPortExecCommand, &r) && r.payload[0] == 0;
}

int tst_link_serialworker::driveDownload(int stopAfter, LinkRecord* statusRead)
{
    // Driven as the page does: one GO per acknowledged write, until the
    // closing write's acknowledgement brings the register-5 read.
    int acks = 0;
    LinkRecord r;
    while (acks < stopAfter) {
        if (!m_h->waitFor([](const LinkRecord& x) { return x.port == kPortFileWrite || x.port == kPortRegAccess; },
                          kWaitMs, &r)) {
            qWarning("stalled after %d acknowledgements", acks);
            return -1;
        }
        if (r.port == kPortRegAccess) {
            if (statusRead)
                *statusRead = r;
            return acks;
        }
        if (r.u16(0) != 0)
            return -1;
        ++acks;
        m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    }
    return acks;
}

int tst_link_serialworker::goTwiceWithoutALoopTurn()
{
    subSerialTQThread* w = m_h->worker;
    int left = -2;
    QMetaObject::invokeMethod(w, [w, &left] {
        Communicat go;
        go.cmdtype = g_strCmdType[e_TQ_OPAL_DOWNLOAD_GO];
        go.param = 16;
        w->doProcessRecvReq(go);
        QThread::msleep(15);
        w->doProcessRecvReq(go);
        const auto* pacing = w->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        left = pacing ? pacing->remainingTime() : -2;
    }, Qt::BlockingQueuedConnection);
    return left;
}

void tst_link_serialworker::expectNoFirmwareTraffic(uint64_t framesBefore)
{
    // A write would follow the GO only after the pacing pause: wait well past
    // it for an acknowledgement that must not come.
    const auto firmwareAnswer = [](const LinkRecord& x) { return x.port == kPortFileWrite || x.port == kPortRegAccess; };
    QVERIFY(!m_h->waitFor(firmwareAnswer, 1000));
    syncWithSim();
    QCOMPARE(framesFromPc() - framesBefore, uint64_t(1)); // the sync request alone
    QCOMPARE(m_h->count(firmwareAnswer), 0);
}

void tst_link_serialworker::firmwareImageArrivesWhole_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("5000 bytes: last write padded") << 5000;
    QTest::newRow("exactly 2 x 256 bytes") << 512;
    QTest::newRow("under 256 bytes") << 100;
}

void tst_link_serialworker::firmwareImageArrivesWhole()
{
    QFETCH(int, size);
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    QVERIFY(enterUpgradeMode()); // the node takes firmware only then

    const QByteArray image = randomImage(size, 42);
    const int writes = (size + 255) / 256;
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGHIJ", QString::number(size), 16, image);
    LinkRecord r;
    QCOMPARE(driveDownload(writes + 5, &r), writes + 1); // the data writes and the closing write
    QCOMPARE(int(r.payload[1]), 5);
    QCOMPARE(r.u16(2), 0xa0); // part 1 received

    QByteArray padded = image + QByteArray(writes * 256 - image.size(), char(0xFF));
    const auto* p = reinterpret_cast<const uint8_t*>(padded.constData());
    QCOMPARE(m_bus->imageCrc32(16, 1), crc32Firmware(p, uint32_t(padded.size())));
    QCOMPARE(m_bus->image(16, 1), std::vector<uint8_t>(p, p + padded.size()));
    QCOMPARE(m_bus->imagePath(16, 1), std::string("ABCDEFGH"));

    // The transfer is over: a stray GO sends no write and no second status read.
    const uint64_t before = framesFromPc();
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    expectNoFirmwareTraffic(before);
}

void tst_link_serialworker::reopenMidTransferDropsIt()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    QVERIFY(enterUpgradeMode());
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "2000", 16, randomImage(2000, 7));
    QCOMPARE(driveDownload(3), 3); // three writes acknowledged, the fourth on its way
    m_h->send(e_TQ_OPAL_CLOSE);
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    syncWithSim();
    m_h->clear();

    // The old transfer went with the port: a GO now sends nothing.
    const uint64_t before = framesFromPc();
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    expectNoFirmwareTraffic(before);

    // A new transfer from the start arrives whole. The first write's
    // acknowledgement is answered twice: the second GO finds the next write
    // already due and neither puts it off nor adds a write.
    const QByteArray image = randomImage(600, 9);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "600", 16, image);
    QVERIFY(m_h->waitFor(kPortFileWrite, 16));
    QCOMPARE(goTwiceWithoutALoopTurn(), 0); // overdue, not started again
    QVERIFY(m_h->waitFor(kPortFileWrite, 16));
    // Without a GO nothing more goes out, however long the node waits.
    const uint64_t sent = framesFromPc();
    QTest::qWait(300);
    QCOMPARE(framesFromPc(), sent);
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    QCOMPARE(driveDownload(10), 2); // the last write and the closing one
    QByteArray padded = image + QByteArray(768 - 600, char(0xFF));
    QCOMPARE(m_bus->image(16, 1), std::vector<uint8_t>(padded.constBegin(), padded.constEnd()));
}

namespace {

// Adapter bytes of one transfer sent by `node` (a response goes to the PC).
std::vector<uint8_t> wireTransfer(canard::TransferKind kind, uint8_t node, uint16_t port,
                                  const std::vector<uint8_t>& payload, int transferId)
{
    canard::Instance dev(node);
    canard::TxMetadata md;
    md.kind = kind;
    md.port_id = port;
    md.destination_node_id = kind == canard::TransferKind::Response ? canard::kPcNodeId : canard::kNoNode;
    md.transfer_id = transferId;
    dev.push(md, payload.data(), payload.size());
    std::vector<uint8_t> out;
    for (; const canard::CanFrame* f = dev.peekTx(); dev.popTx()) {
        out.resize(out.size() + adapter::kFrameSize);
        adapter::encodeFrame(f->id, f->data, f->len, out.data() + out.size() - adapter::kFrameSize);
    }
    return out;
}

std::vector<uint8_t> heartbeatFrom(uint8_t node)
{
    return wireTransfer(canard::TransferKind::Message, node, kPortHeartbeat, {1, 0, 0, 0, 0, 0, 0}, 3);
}

std::vector<uint8_t> joined(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

void tst_link_serialworker::reopenForgetsWhatCameBefore()
{
    // The test plays the adapter on a terminal of its own, so that it decides
    // every byte the worker reads, and answers no bit-rate command.
    escsim::Pty adapterEnd;
    std::string err;
    QVERIFY2(adapterEnd.open(&err), err.c_str());
    const QString path = QString::fromStdString(adapterEnd.slavePath());
    const std::vector<uint8_t> chunks = wireTransfer(canard::TransferKind::Response, 16, kPortFileRead,
                                                     std::vector<uint8_t>(60, 0x5A), 7); // 9 frames
    const size_t split = 4 * adapter::kFrameSize;
    const std::vector<uint8_t> stray = heartbeatFrom(18);
    const auto write = [&](const std::vector<uint8_t>& bytes) {
        return adapterEnd.write(bytes.data(), bytes.size()) == bytes.size();
    };

    // Before: a transfer's first four frames, a heartbeat of node 17, and the
    // first 10 bytes of an adapter frame, all in one read.
    QCOMPARE(m_h->open(path), int(kOpenOk));
    QVERIFY(write(joined({{chunks.begin(), chunks.begin() + split}, heartbeatFrom(17), {stray.begin(), stray.begin() + 10}})));
    QVERIFY(m_h->waitFor(kPortHeartbeat, 17));
    m_h->send(e_TQ_OPAL_CLOSE);
    QCOMPARE(m_h->open(path), int(kOpenOk));
    m_h->clear();

    // After: the rest of that adapter frame, the rest of that transfer, and
    // node 17's heartbeat with the transfer-ID it had before.
    QVERIFY(write(joined({{stray.begin() + 10, stray.end()}, {chunks.begin() + split, chunks.end()}, heartbeatFrom(17)})));
    QVERIFY(m_h->waitFor(kPortHeartbeat, 17));
    // The first frame of this open reported the link, once; no record was
    // pieced together from bytes or frames of before.
    QCOMPARE(m_h->count([](const LinkRecord&) { return true; }), 1);
    QVERIFY(m_h->waitFor(kRespLinkFrame, 0, 0));
}

void tst_link_serialworker::openResult_data()
{
    // "@path", "@short" and "@link" stand for the simulator's terminal by its
    // full path, by its name under /dev and through a symbolic link (as
    // /dev/serial/by-id/... gives them).
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");
    QTest::newRow("full path") << "@path" << int(kOpenOk);
    QTest::newRow("short name") << "@short" << int(kOpenOk);
    QTest::newRow("symbolic link") << "@link" << int(kOpenOk);
    QTest::newRow("no such path") << "/nonexistent/tty-adapter" << int(kOpenFailed);
    QTest::newRow("no such short name") << "ttyNOSUCHPORT" << int(kOpenFailed);
    QTest::newRow("empty") << QString() << int(kOpenFailed);
}

void tst_link_serialworker::openResult()
{
    QFETCH(QString, name);
    QFETCH(int, result);
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && m_path.startsWith("/dev/"));
    if (name == "@path")
        name = m_path;
    else if (name == "@short")
        name = m_path.mid(5);
    else if (name == "@link") {
        name = dir.filePath("usb-adapter-if00");
        QVERIFY(QFile::link(m_path, name));
    }
    QCOMPARE(m_h->open(name), result);
    QCOMPARE(m_h->worker->isPortOpen(), result == kOpenOk);
    if (result == kOpenOk)
        syncWithSim();
}

void tst_link_serialworker::lostPortReported()
{
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    syncWithSim();
    m_bus.reset(); // the simulator goes away with its end of the terminal
    LinkRecord r;
    QVERIFY(m_h->waitFor(kRespOpenResult, 0, kWaitMs, &r));
    QCOMPARE(int(r.extra), int(kOpenPortLost));
    QVERIFY(!r.hasPayload);
    QVERIFY(!m_h->worker->isPortOpen());

    // Later requests are dropped quietly; they are handled in order, so by
    // the time the next open fails they are gone.
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    QCOMPARE(m_h->open("/nonexistent/tty-adapter"), int(kOpenFailed));
    QCOMPARE(m_h->count([](const LinkRecord& x) { return x.port == kRespOpenResult || x.port == kPortNodeInfo; }), 0);
}

void tst_link_serialworker::portErrorKinds_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("lost");
    // The device still there: a full buffer (EAGAIN) is a resource error too.
    QTest::newRow("resource error") << int(QSerialPort::ResourceError) << false;
    QTest::newRow("read error") << int(QSerialPort::ReadError) << false;
    QTest::newRow("write error") << int(QSerialPort::WriteError) << false;
    QTest::newRow("read error, the adapter gone") << int(QSerialPort::ReadError) << true;
    QTest::newRow("parity error") << int(QSerialPort::ParityError) << false;
    QTest::newRow("timeout") << int(QSerialPort::TimeoutError) << false;
}

void tst_link_serialworker::portErrorKinds()
{
    QFETCH(int, error);
    QFETCH(bool, lost);
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    syncWithSim();
    // The port reports the error in the worker's thread, as the serial
    // port's notifier does.
    auto* port = m_h->worker->findChild<QSerialPort*>();
    QVERIFY(port);
    if (lost)
        m_bus.reset(); // its end of the terminal goes with it
    QMetaObject::invokeMethod(port, [port, error] { emit port->errorOccurred(QSerialPort::SerialPortError(error)); },
                              Qt::BlockingQueuedConnection);
    if (lost) {
        LinkRecord r;
        QVERIFY(m_h->waitFor(kRespOpenResult, 0, kWaitMs, &r));
        QCOMPARE(int(r.extra), int(kOpenPortLost));
        QVERIFY(!m_h->worker->isPortOpen());
    } else {
        syncWithSim(); // still open and answering
        QVERIFY(m_h->worker->isPortOpen());
        QCOMPARE(m_h->count([](const LinkRecord& x) { return x.port == kRespOpenResult; }), 0);
    }
}

void tst_link_serialworker::requestsWhileClosedAreDropped()
{
    for (int round = 0; round < 2; ++round) { // before the first open, then after a close
        const uint64_t before = framesFromPc();
        m_h->send(e_TQ_OPAL_REG, "18", "2,700", 16);
        m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6152", "500,0,0,0", 0);
        m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 16);
        m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "256", 16, QByteArray(256, 'x'));
        m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
        m_h->send(e_TQ_OPAL_CTRL, "65530", QString(), 16);
        // Requests reach the worker in order: all of the above came while closed.
        QCOMPARE(m_h->open(m_path), int(kOpenOk));
        syncWithSim();
        QCOMPARE(framesFromPc() - before, uint64_t(2)); // the bit-rate command and the sync request
        QCOMPARE(m_bus->registerWriteCount(18), 0);
        QCOMPARE(m_bus->throttle(16), quint16(0));
        m_h->send(e_TQ_OPAL_CLOSE);
        QTRY_VERIFY_WITH_TIMEOUT(!m_h->worker->isPortOpen(), kWaitMs);
    }
    // Open, the same write reaches the node.
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    QVERIFY(ask(e_TQ_OPAL_REG, "18", "2,700", 16, kPortRegAccess));
    QCOMPARE(m_bus->registerWriteCount(18), 1);
}

void tst_link_serialworker::lastWritesBeforeACloseGoOut_data()
{
    QTest::addColumn<bool>("threadEnds");
    QTest::newRow("close asked for") << false;
    // As at the application's end: the worker's thread finishes, and its
    // cleanup closes the port.
    QTest::newRow("worker's thread ends") << true;
}

// The page's last throttle message and the close follow each other at
// once; the worker takes both in one turn of its loop, while the message
// still waits in the port's buffer.
void tst_link_serialworker::lastWritesBeforeACloseGoOut()
{
    QFETCH(bool, threadEnds);
    m_h->send(e_TQ_OPAL_CLOSE); // nothing open yet: nothing to write out
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6152", "500,0,0,0", 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->throttle(16), quint16(500), kWaitMs);
    QMetaObject::invokeMethod(m_h->worker, [] { QThread::msleep(100); }, Qt::QueuedConnection);
    m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, "6152", "0,0,0,0", 0);
    if (threadEnds) {
        QMetaObject::invokeMethod(m_h->worker, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
        QVERIFY(m_h->worker->thread()->wait(kWaitMs));
    } else {
        m_h->send(e_TQ_OPAL_CLOSE);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_h->worker->isPortOpen(), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->throttle(16), quint16(0), kWaitMs);
}

// What reaches the adapter's end once it is read: "bit rate", "0 to 6152"
// (a throttle message of zeros), "244 to 6152" (one of 500 first).
static QStringList framesFrom(escsim::Pty& adapterEnd)
{
    adapter::StreamDecoder decoder;
    QStringList out;
    uint8_t buf[4096];
    QElapsedTimer quiet;
    quiet.start();
    for (int wait = kWaitMs; quiet.elapsed() < wait; QThread::msleep(5)) { // then 500 ms without a byte
        for (size_t n; (n = adapterEnd.read(buf, sizeof buf)) > 0; quiet.start(), wait = 500)
            decoder.feed(buf, n, [&out](const adapter::Frame& f) {
                canard::ParsedId id;
                canard::parseCanId(f.can_id, id);
                out << (adapter::isBitrateCommand(f) ? "bit rate" : QString("%1 to %2").arg(f.data[0]).arg(id.port_id));
            });
    }
    return out;
}

// The first set-point of each group's last throttle message that a node
// takes of what reaches the adapter's end, through the link's own receiver:
// it drops a transfer-ID that repeats the last one taken on a subject (here
// all within its timeout). True once every group's is `value`.
struct ThrottleNode {
    canard::Instance node {16};
    adapter::StreamDecoder decoder;
    std::array<int, 8> last {-1, -1, -1, -1, -1, -1, -1, -1};
    ThrottleNode() { for (uint16_t s = 6152; s < 6160; ++s) node.subscribe(canard::TransferKind::Message, s, 7); }
    bool readUntilAll(escsim::Pty& end, int value)
    {
        uint8_t buf[4096];
        canard::RxTransfer t;
        for (size_t n; (n = end.read(buf, sizeof buf)) > 0;)
            decoder.feed(buf, n, [&](const adapter::Frame& f) {
                if (adapter::isDataFrame(f) && node.accept(f.can_id, f.data, f.dlc, 0, t))
                    last[t.port_id - 6152] = (t.payload[0] | t.payload[1] << 8) & 0x3FFF;
            });
        return std::all_of(last.begin(), last.end(), [value](int v) { return v == value; });
    }
};

void tst_link_serialworker::stalledLineEndsAtZero_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("dropped"); // messages the line took in before the end dropped them
    // The stop's zeros take the place of each group's set-point waiting:
    // they go out as soon as the line takes again, or at once as the port
    // closes, however long the stall.
    QTest::newRow("stop, then the line drains") << "drained" << -1;
    QTest::newRow("stop, then the thread's end") << "thread" << -1;
    // As the handler of a crash or Ctrl+Z writes them, no stop before;
    // out whole, nothing is owed when the adapter is pulled later.
    QTest::newRow("crash, then the adapter pulled") << "crash" << -1;
    // Zeros that never left are owed to the next port, after its bit rate:
    // a stop's waiting, or those of a Ctrl+Z on a line stopped outright.
    QTest::newRow("stop, then the adapter pulled") << "pulled" << -1;
    QTest::newRow("Ctrl+Z on a stopped line, then the adapter pulled") << "Ctrl+Z" << -1;
    // Whatever number of messages an end drops, the last one each node
    // takes is zeros, not a repeat of the transfer-ID it took before.
    for (const char* end : {"crash", "thread", "pulled"})
        for (int dropped = 0; dropped < 32; ++dropped)
            QTest::addRow("%s, %d messages dropped", end, dropped) << end << dropped;
    // No group turning: nothing is dropped, and the close waits for the line.
    QTest::newRow("zeros waiting, a close, the line drains within its second") << "close" << -1;
}

// Eight groups at 500 (0 for the close) on a line that takes nothing (the
// adapter's end left unread and its terminal filled up), then an end; then
// the line is read.
void tst_link_serialworker::stalledLineEndsAtZero()
{
    QFETCH(QString, end);
    QFETCH(int, dropped);
    escsim::Pty adapterEnd, next;
    QVERIFY(adapterEnd.open() && next.open());
    LogCapture log(true);
    const int filler = ::open(adapterEnd.slavePath().c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY); // before the port locks it
    QCOMPARE(m_h->open(QString::fromStdString(adapterEnd.slavePath())), int(kOpenOk));
    const QString values = end == "close" ? "0,0,0,0" : "500,0,0,0"; // no group turning for the close
    const auto send = [this](const QString& values) {
        for (int g = 0; g < 8; ++g)
            m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, QString::number(6152 + g), values, 0);
        QMetaObject::invokeMethod(m_h->worker, [] {}, Qt::BlockingQueuedConnection); // all taken
    };
    if (end != "close")
        send(values);
    ThrottleNode node;
    if (dropped >= 0) {
        // The node takes the set-points. Then the terminal holds what no
        // flush drops (its reader's 4095 bytes), and the messages after it
        // are what an end drops.
        QTRY_VERIFY_WITH_TIMEOUT(node.readUntilAll(adapterEnd, 500), kWaitMs);
        const std::vector<char> kept(4095, 0);
        QCOMPARE(::write(filler, kept.data(), kept.size()), ssize_t(kept.size()));
        int unread = 0;
        QTRY_VERIFY_WITH_TIMEOUT(::ioctl(adapterEnd.fd(), FIONREAD, &unread) == 0 && unread == 4095, kWaitMs);
        for (int i = 0; i < dropped; ++i)
            send(values);
    }
    const char nothing[adapter::kFrameSize] = {};
    for (int idle = 0; idle < 20; ++idle, QThread::msleep(5)) // full for good: 100 ms without a frame taken
        while (::write(filler, nothing, sizeof nothing) > 0)
            idle = 0;
    send(values);
    QVERIFY(log.contains(QtDebugMsg, "the line takes nothing for now"));
    if (end == "Ctrl+Z")
        QCOMPARE(::tcflow(filler, TCOOFF), 0); // stopped outright: not even the zeros go out
    if (end == "crash" || end == "Ctrl+Z")
        QCOMPARE(lastresort::writeZeros(), end == "crash" ? 8 : 0);
    else if (end != "close")
        send("0,0,0,0"); // the stop
    ::close(filler);
    QStringList zeros {"bit rate"}; // and each group's, twice, in order
    for (int subject = 6152; subject < 6160; ++subject)
        zeros << QString("0 to %1").arg(subject) << QString("0 to %1").arg(subject);
    if (end == "close") {
        log.onLine("closing waits for it", [&] { node.readUntilAll(adapterEnd, 0); }); // the line drains
        m_h->send(e_TQ_OPAL_CLOSE);
    }
    if (end == "thread")
        QMetaObject::invokeMethod(m_h->worker, [] { QThread::currentThread()->quit(); });
    if (end == "thread" || end == "close")
        QTRY_VERIFY_WITH_TIMEOUT(!m_h->worker->isPortOpen(), kWaitMs);
    if ((dropped >= 0 && end != "pulled") || end == "close") {
        QTRY_VERIFY_WITH_TIMEOUT(node.readUntilAll(adapterEnd, 0), kWaitMs);
        return;
    }
    if (end == "drained" || end == "thread" || end == "crash") {
        const QStringList frames = framesFrom(adapterEnd);
        QCOMPARE(frames.mid(frames.size() - 16), zeros.mid(1)); // the last, and nothing after them
    }
    if (end == "drained" || end == "thread")
        return;
    adapterEnd.close();
    LinkRecord r;
    QVERIFY(m_h->waitFor(kRespOpenResult, 0, kWaitMs, &r));
    QCOMPARE(int(r.extra), int(end == "crash" ? kOpenPortLost : kOpenPortLostTurning));
    QCOMPARE(m_h->open(QString::fromStdString(next.slavePath())), int(kOpenOk));
    if (dropped >= 0)
        QTRY_VERIFY_WITH_TIMEOUT(node.readUntilAll(next, 0), kWaitMs);
    else
        QCOMPARE(framesFrom(next).mid(0, 17), end == "crash" ? QStringList("bit rate") : zeros);
}

void tst_link_serialworker::requestsNoNodeCanTakeSendNothing()
{
    // A node ID past 127 (272 would wrap to node 16), a new node ID outside
    // 16..48, a firmware part without bytes, a tag shorter than 8 bytes:
    // each refused, and the GO after it finds no transfer.
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    syncWithSim();
    const uint64_t before = framesFromPc();
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "15", 16);
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "49", 16);
    m_h->send(e_TQ_OPAL_VERSION, QString(), QString(), 272);
    m_h->send(e_TQ_OPAL_REG, "5", "0,0", 272);
    m_h->send(e_TQ_OPAL_READ_FILE_CTRL, "257", "272,0", 1001);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "256", 272, QByteArray(256, 'x'));
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFGH", "0", 16, QByteArray());
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    m_h->send(e_TQ_OPAL_DOWNLOAD, "ABCDEFG", "256", 16, QByteArray(256, 'x'));
    m_h->send(e_TQ_OPAL_DOWNLOAD_GO, QString(), QString(), 16);
    expectNoFirmwareTraffic(before);
    QCOMPARE(m_h->count([](const LinkRecord& x) { return x.port == kPortNodeInfo || x.port == kPortFileRead; }), 0);
    QCOMPARE(m_bus->nodeIds(), std::vector<uint8_t> {16});

    // Both ends of the node-ID range go out.
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "48", 16);
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->nodeIds(), std::vector<uint8_t> {48}, kWaitMs);
    m_h->send(e_TQ_OPAL_RADIO_6145, "6145", "16", 48);
    QTRY_COMPARE_WITH_TIMEOUT(m_bus->nodeIds(), std::vector<uint8_t> {16}, kWaitMs);
}

void tst_link_serialworker::throttleOnlyOnThrottleSubjects()
{
    // Rows 1-4 of the throttle test are nodes 16-19 (subject 6152), rows
    // 29-32 nodes 44-47 (subject 6159).
    m_bus.reset();
    escsim::Options o;
    o.nodes = {16, 17, 18, 19, 44, 45, 46, 47};
    m_bus = std::make_unique<escsim::Bus>(o);
    m_path = QString::fromStdString(startOnThread(*m_bus));
    QVERIFY(!m_path.isEmpty());
    QCOMPARE(m_h->open(m_path), int(kOpenOk));
    syncWithSim();

    // Values that, read as another port's arguments, would switch nodes
    // (6144), give every node ID 20 (6145) or read past the variable (435, 409).
    LogCapture log(true);
    const uint64_t before = framesFromPc();
    const size_t simEvents = m_bus->logLines().size();
    const auto sendThrottle = [this](int subject, const QString& values) {
        m_h->send(e_TQ_OPAL_RADIO_GAS_UPDATA, QString::number(subject), values, 0);
    };
    for (int subject : {6144, 6145, 435, 409, 6151, 6160, -1, 6152 + 0x10000})
        sendThrottle(subject, "20,200,300,400");
    syncWithSim();
    QCOMPARE(framesFromPc() - before, uint64_t(1)); // the sync request alone
    QCOMPARE(log.count(QtWarningMsg, "cyphal_get_encode_data err -2"), 8);
    QCOMPARE(m_bus->nodeIds(), (std::vector<uint8_t> {16, 17, 18, 19, 44, 45, 46, 47}));
    QCOMPARE(m_bus->logLines().size(), simEvents); // no node control, no ID change
    const escsim::AdapterStats st = m_bus->adapterStats();
    QCOMPARE(st.garbageBytes + st.badFrames, uint64_t(0));

    // The two ends of the range go out, one frame each, with their values.
    sendThrottle(6152, "100,200,300,400");
    sendThrottle(6159, "1000,16383,0,8191");
    syncWithSim();
    QCOMPARE(framesFromPc() - before, uint64_t(4));
    QCOMPARE(log.count(QtWarningMsg, "cyphal_get_encode_data"), 8);
    const quint16 want[] = {100, 200, 300, 400, 1000, 16383, 0, 8191};
    const uint8_t nodes[] = {16, 17, 18, 19, 44, 45, 46, 47};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(m_bus->throttle(nodes[i]), want[i]);
}

QTEST_GUILESS_MAIN(tst_link_serialworker)
#include "tst_link_serialworker.moc"
