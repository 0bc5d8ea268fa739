// Port layer: the throttle packing and the payload layouts of the records
// handed to the page.

#include <QtTest>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

#include "link/cyphalports.h"
#include "link/linksession.h"

using canard::TransferKind;

namespace {
QByteArray qb(std::initializer_list<int> l)
{
    QByteArray b;
    for (int x : l)
        b.append(char(x));
    return b;
}
QByteArray zeros(int n) { return QByteArray(n, '\0'); }
} // namespace

class TstCyphalPorts : public QObject {
    Q_OBJECT
private slots:
    void throttlePacking()
    {
        uint8_t out[7];
        packThrottle6152(100, 200, 300, 400, out);
        QCOMPARE(std::vector<uint8_t>(out, out + 7), std::vector<uint8_t>({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90}));
        // The fourth value's high bits land in bits 14-15 of the words.
        packThrottle6152(0, 0, 0, 0x3FFF, out);
        QCOMPARE(std::vector<uint8_t>(out, out + 7), std::vector<uint8_t>({0x00, 0xC0, 0x00, 0xC0, 0x00, 0xC0, 0xFF}));
    }

    void throttleOnlyOnThrottleSubjects()
    {
        ThrottleArgs thr;
        thr.t[0] = 20; // read as a node-ID assignment this would be ID 20 for every node
        uint8_t buf[16];
        for (uint16_t port : {uint16_t(kPortNodeControl), uint16_t(kPortNodeIdAssign), uint16_t(kPortExecCommand),
                              uint16_t(kPortFileWrite), uint16_t(kPortRegAccess), uint16_t(6151), uint16_t(6160)}) {
            std::fill(std::begin(buf), std::end(buf), 0xEE);
            size_t size = sizeof buf;
            QCOMPARE(cyphal_get_encode_data(port, thr, buf, &size), int(kEncErrUnknownPort));
            QCOMPARE(size, sizeof buf);
            QVERIFY(std::all_of(std::begin(buf), std::end(buf), [](uint8_t b) { return b == 0xEE; }));
            canard::Instance pc;
            QCOMPARE(cyphal_send_data(pc, port, thr), int(kEncErrUnknownPort));
            QCOMPARE(pc.txQueueSize(), size_t(0));
            QCOMPARE(LinkSession().throttleFrame(port, thr, buf), int(kEncErrUnknownPort));
        }
        for (uint16_t port : {uint16_t(kPortThrottleFirst), uint16_t(kPortThrottleLast)}) {
            size_t size = sizeof buf;
            QCOMPARE(cyphal_get_encode_data(port, ThrottleArgs {{100, 200, 300, 400}}, buf, &size), 0);
            QCOMPARE(std::vector<uint8_t>(buf, buf + size), std::vector<uint8_t>({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90}));
            canard::Instance pc;
            QCOMPARE(cyphal_send_data(pc, port, thr), 0);
            QCOMPARE(pc.txQueueSize(), size_t(1));
            // A frame built is the next message queued, byte for byte; one
            // built an ID ahead and written, the one queued after it.
            LinkSession link;
            QCOMPARE(link.send(port, thr), 0);
            link.takeTxBytes();
            QCOMPARE(link.throttleFrame(port, ThrottleArgs(), buf), 0);
            QCOMPARE(link.send(port, ThrottleArgs()), 0);
            QCOMPARE(link.takeTxBytes(), std::vector<uint8_t>(buf, buf + adapter::kFrameSize));
            QCOMPARE(link.throttleFrame(port, thr, buf, 1), 0);
            link.throttleWritten(port);
            QCOMPARE(link.send(port, thr), 0);
            QCOMPARE(link.takeTxBytes(), std::vector<uint8_t>(buf, buf + adapter::kFrameSize));
        }
    }

    void requestUnderItsOwnTransferId()
    {
        // A request numbered by its sender goes out under that transfer-ID
        // (the tail byte's low 5 bits) and leaves the transport's own count
        // alone; a number beyond the 5 bits is refused, nothing queued.
        FileReadArgs read;
        canard::Instance pc;
        QCOMPARE(cyphal_send_data(pc, kPortFileRead, 16, &read, 29), 0);
        QCOMPARE(int(pc.peekTx()->data[pc.peekTx()->len - 1] & 0x1F), 29);
        QCOMPARE(int(pc.nextTransferId(TransferKind::Request, kPortFileRead, 16)), 0);
        pc.clearTx();
        for (int bad : {32, -2}) {
            QCOMPARE(cyphal_send_data(pc, kPortFileRead, 16, &read, bad), int(kEncErrBadArg));
            QCOMPARE(pc.txQueueSize(), size_t(0));
        }
        QCOMPARE(cyphal_send_data(pc, kPortFileRead, 16, &read), 0);
        QCOMPARE(int(pc.peekTx()->data[pc.peekTx()->len - 1] & 0x1F), 0);
    }

    void recordLayouts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        const int rsp = int(TransferKind::Response), msg = int(TransferKind::Message);

        QByteArray head(30, '\0');
        for (int i = 0; i < 30; ++i)
            head[i] = char(0x40 + i);
        QTest::newRow("430: 296 bytes, name at 30, image CRC at 285")
            << rsp << 430 << head + char(5) + "ESC-A" + qb({1, 0x99, 0x77})
            << head + "ESC-A" + zeros(250) + qb({1, 0x99}) + zeros(9);
        const QByteArray letters("abcdefghijklmnopqrst");
        QTest::newRow("430: name length beyond the bytes received")
            << rsp << 430 << QByteArray(30, 0x11) + char(200) + letters << QByteArray(30, 0x11) + letters + zeros(246);
        QTest::newRow("430: short, zero-extended") << rsp << 430 << qb({1, 0, 2, 3, 4, 5})
                                                   << qb({1, 0, 2, 3, 4, 5}) + zeros(290);
        QTest::newRow("256: name-only reply + 9 zeros") << rsp << 256 << qb({0, 5}) << qb({0, 5}) + zeros(9);
        QTest::newRow("256: value + 9 zeros") << rsp << 256 << qb({0, 5, 0x34, 0x12})
                                              << qb({0, 5, 0x34, 0x12}) + zeros(9);
        QTest::newRow("256: short value, zero-extended") << rsp << 256 << qb({0, 5, 7}) << qb({0, 5, 7, 0}) + zeros(9);
        QByteArray whole(23, 0x21);
        QTest::newRow("256: whole register + 9 zeros") << rsp << 256 << whole << whole + zeros(9);
        QTest::newRow("256: beyond the extent, cut to 23") << rsp << 256 << whole + "xyz" << whole + zeros(9);
        QByteArray chunk = zeros(7) + QByteArray(256, 'x');
        QTest::newRow("257: 263-byte chunk + NUL") << rsp << 257 << chunk << chunk + '\0';
        QTest::newRow("257: short, zero-extended + NUL") << rsp << 257 << qb({1, 2, 3}) << qb({1, 2, 3}) + zeros(5);
        QTest::newRow("409: zero-extended") << rsp << 409 << qb({13}) << qb({13, 0});
        QTest::newRow("435: empty, zero-extended") << rsp << 435 << QByteArray() << qb({0});
        QTest::newRow("7509: up to the mode") << msg << 7509 << qb({10, 0, 0, 0, 0, 3, 0xEE}) << qb({10, 0, 0, 0, 0, 3});
        QTest::newRow("6160: + 9 zeros") << msg << 6160 << qb({1, 2, 3, 4, 5, 6}) << qb({1, 2, 3, 4, 5, 6}) + zeros(9);
    }
    void recordLayouts()
    {
        QFETCH(int, kind);
        QFETCH(int, port);
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        // Decoded from a heap buffer of exactly the bytes received: QByteArray
        // keeps a zero after its data, which would hide a read one byte too far
        // from the address sanitizer.
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[size_t(in.size())]);
        std::copy(in.constBegin(), in.constEnd(), exact.get());
        response_data_struct_t r;
        QVERIFY(cyphal_decode_response(TransferKind(kind), uint16_t(port), 4, 21, 27, exact.get(), size_t(in.size()), r));
        const QByteArray got(reinterpret_cast<const char*>(r.payload), int(r.payload_size));
        freeResponse(r);
        QCOMPARE(int(r.port_id), port);
        QCOMPARE(int(r.remote_node_id), 21);
        QCOMPARE(int(r.priority), 4);
        QCOMPARE(int(r.transfer_id), 27);
        QCOMPARE(got, out);
    }
};

QTEST_APPLESS_MAIN(TstCyphalPorts)
#include "tst_link_cyphalports.moc"
