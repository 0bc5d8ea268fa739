// Port layer: request payloads, response records, link session.

#include <QtTest>

#include <cstring>
#include <vector>

#include "link/adapterframe.h"
#include "link/cyphalports.h"
#include "link/linksession.h"
#include "linktesthelpers.h"

using canard::TransferKind;
using lt::bytes;

namespace {

std::vector<uint8_t> encode(uint16_t port, const void* args, int* rc = nullptr)
{
    uint8_t buf[kMaxRequestPayload];
    size_t n = sizeof buf;
    const int r = cyphal_get_encode_data(port, args, buf, &n);
    if (rc)
        *rc = r;
    if (r < 0)
        return {};
    return std::vector<uint8_t>(buf, buf + n);
}

struct Rec {
    response_data_struct_t r;
    bool ok = false;
    Rec(TransferKind k, uint16_t port, const std::vector<uint8_t>& d, uint8_t src = 16, uint8_t prio = 4)
    {
        ok = cyphal_decode_response(k, port, prio, src, d.data(), d.size(), r);
    }
    ~Rec() { freeResponse(r); }
    std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(r.payload, r.payload + r.payload_size); }
};

std::vector<uint8_t> cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Adapter-frame bytes of a transfer sent by a device node.
std::vector<uint8_t> deviceBytes(uint8_t node, TransferKind kind, uint16_t port, const std::vector<uint8_t>& p, int tid)
{
    canard::Instance dev(node);
    canard::TxMetadata md;
    md.kind = kind;
    md.port_id = port;
    md.priority = 4;
    md.destination_node_id = 15;
    md.transfer_id = tid;
    dev.push(md, p.data(), p.size());
    std::vector<uint8_t> out;
    for (const auto& f : lt::drain(dev)) {
        uint8_t b[16];
        adapter::encodeFrame(f.id, f.data, f.len, b);
        out.insert(out.end(), b, b + 16);
    }
    return out;
}

void freeAll(std::vector<response_data_struct_t>& v)
{
    for (auto& r : v)
        freeResponse(r);
    v.clear();
}

} // namespace

class TstCyphalPorts : public QObject {
    Q_OBJECT
private slots:
    void throttlePacking()
    {
        uint8_t out[7];
        packThrottle6152(100, 200, 300, 400, out);
        QCOMPARE(std::vector<uint8_t>(out, out + 7), bytes({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90}));
        // values are taken modulo 16384
        uint8_t out2[7];
        packThrottle6152(100 + 16384, 200 + 16384, 300 + 32768, 400 + 16384, out2);
        QCOMPARE(std::vector<uint8_t>(out2, out2 + 7), std::vector<uint8_t>(out, out + 7));
        // t3's high bits land in bits 14-15 of the words
        packThrottle6152(0, 0, 0, 0x3FFF, out);
        QCOMPARE(std::vector<uint8_t>(out, out + 7), bytes({0x00, 0xC0, 0x00, 0xC0, 0x00, 0xC0, 0xFF}));
        lt::Rng r(3);
        for (int i = 0; i < 1000; ++i) {
            uint16_t t[4], u[4];
            for (auto& x : t)
                x = uint16_t(r.next() & 0x3FFF);
            packThrottle6152(t[0], t[1], t[2], t[3], out);
            unpackThrottle6152(out, u);
            for (int k = 0; k < 4; ++k)
                QCOMPARE(u[k], t[k]);
        }
    }
    void requestEncoders()
    {
        RegAccessArgs ra;
        ra.op = 0; ra.reg = 5; ra.value = 0x1234;
        QCOMPARE(encode(256, &ra), bytes({0, 5}));
        ra.op = 1;
        QCOMPARE(encode(256, &ra), bytes({1, 5}));
        ra.op = 2;
        QCOMPARE(encode(256, &ra), bytes({2, 5, 0x34, 0x12}));

        FileReadArgs fr;
        fr.offset = 0x12345678; fr.fileType = 1001;
        QCOMPARE(encode(257, &fr), bytes({0x78, 0x56, 0x34, 0x12, 0, 0xE9, 0x03}));

        QCOMPARE(encode(430, nullptr), std::vector<uint8_t>());

        const char* code = " .vr-kisa";
        ExecCommandArgs ec;
        ec.command = 0xFFFD;
        ec.param = reinterpret_cast<const uint8_t*>(code);
        ec.paramLen = strlen(code);
        QCOMPARE(encode(435, &ec), bytes({0xFD, 0xFF, 0x20, 0x2E, 0x76, 0x72, 0x2D, 0x6B, 0x69, 0x73, 0x61}));
        ec.command = 0xFFFF; ec.param = reinterpret_cast<const uint8_t*>("0"); ec.paramLen = 1;
        QCOMPARE(encode(435, &ec), bytes({0xFF, 0xFF, '0'}));

        NodeControlArgs nc;
        nc.value = 7; nc.node = 33;
        QCOMPARE(encode(6144, &nc), bytes({7, 33, 0}));

        NodeIdAssignArgs na;
        na.newId = 48;
        QCOMPARE(encode(6145, &na), bytes({1, 48}));
        na.newId = 16;
        QCOMPARE(encode(6145, &na), bytes({0, 16}));
        int rc = 0;
        for (uint8_t bad : {0, 15, 49, 255}) {
            na.newId = bad;
            encode(6145, &na, &rc);
            QCOMPARE(rc, int(kEncErrBadArg));
        }

        ThrottleArgs ta;
        ta.t[0] = 100; ta.t[1] = 200; ta.t[2] = 300; ta.t[3] = 400;
        for (uint16_t p = 6152; p <= 6159; ++p)
            QCOMPARE(encode(p, &ta), bytes({0x64, 0x00, 0xC8, 0x00, 0x2C, 0x41, 0x90}));
    }
    void fileWriteEncoder()
    {
        std::vector<uint8_t> img(100);
        for (int i = 0; i < 100; ++i)
            img[i] = uint8_t(i + 1);
        FileWriteArgs fw;
        fw.offset = 0x300;
        memcpy(fw.path, "12345678", 8);
        fw.data = img.data();
        fw.dataLen = 100; // last chunk: padded with 0xFF to 256
        auto e = encode(409, &fw);
        QCOMPARE(int(e.size()), 272);
        QCOMPARE(std::vector<uint8_t>(e.begin(), e.begin() + 16),
                 bytes({0x00, 0x03, 0, 0, 0, 8, '1', '2', '3', '4', '5', '6', '7', '8', 0x00, 0x01}));
        QCOMPARE(std::vector<uint8_t>(e.begin() + 16, e.begin() + 116), img);
        for (size_t i = 116; i < 272; ++i)
            QCOMPARE(int(e[i]), 0xFF);
        fw.dataLen = 0;
        fw.data = nullptr;
        e = encode(409, &fw);
        QCOMPARE(e, bytes({0x00, 0x03, 0, 0, 0, 8, '1', '2', '3', '4', '5', '6', '7', '8', 0, 0}));
        int rc = 0;
        fw.dataLen = 257;
        fw.data = img.data();
        encode(409, &fw, &rc);
        QCOMPARE(rc, int(kEncErrBadArg));
        fw.dataLen = 10;
        fw.data = nullptr;
        encode(409, &fw, &rc);
        QCOMPARE(rc, int(kEncErrNullArg));
        // decoder round trip (simulator side)
        fw.data = img.data();
        fw.dataLen = 256 > img.size() ? uint16_t(img.size()) : 256;
        e = encode(409, &fw);
        FileWriteArgs d;
        QVERIFY(decodeFileWriteRequest(e.data(), e.size(), d));
        QCOMPARE(d.offset, uint64_t(0x300));
        QCOMPARE(int(d.dataLen), 256);
        QVERIFY(!decodeFileWriteRequest(e.data(), 200, d));
    }
    void encoderErrors()
    {
        uint8_t buf[8];
        size_t n = sizeof buf;
        RegAccessArgs ra;
        QCOMPARE(cyphal_get_encode_data(6160, &ra, buf, &n), int(kEncErrUnknownPort));
        QCOMPARE(cyphal_get_encode_data(6151, &ra, buf, &n), int(kEncErrUnknownPort));
        QCOMPARE(cyphal_get_encode_data(7509, &ra, buf, &n), int(kEncErrUnknownPort));
        QCOMPARE(cyphal_get_encode_data(256, nullptr, buf, &n), int(kEncErrNullArg));
        QCOMPARE(cyphal_get_encode_data(256, &ra, nullptr, &n), int(kEncErrNullArg));
        QCOMPARE(cyphal_get_encode_data(256, &ra, buf, nullptr), int(kEncErrNullArg));
        n = 1;
        QCOMPARE(cyphal_get_encode_data(256, &ra, buf, &n), int(kEncErrBufferTooSmall));
        n = 8;
        FileWriteArgs fw;
        QCOMPARE(cyphal_get_encode_data(409, &fw, buf, &n), int(kEncErrBufferTooSmall));
        canard::Instance ins;
        QCOMPARE(cyphal_send_data(ins, 6160, 0xFF, &ra), int(kEncErrUnknownPort));
        QCOMPARE(cyphal_send_data(static_cast<LinkSession*>(nullptr), 256, 16, &ra), int(kSendErrNoLink));
    }
    void priorities()
    {
        struct { uint16_t port; uint8_t prio; } table[] = {
            {256, 1}, {257, 4}, {409, 4}, {430, 4}, {435, 1}, {6144, 4}, {6145, 4}, {6152, 3}, {6159, 3}};
        RegAccessArgs ra; FileReadArgs fr; FileWriteArgs fw; ExecCommandArgs ec; NodeControlArgs nc;
        NodeIdAssignArgs na; na.newId = 20; ThrottleArgs ta;
        const void* args[] = {&ra, &fr, &fw, nullptr, &ec, &nc, &na, &ta, &ta};
        for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
            canard::Instance ins;
            QCOMPARE(cyphal_send_data(ins, table[i].port, 16, args[i]), 0);
            const canard::CanFrame* f = ins.peekTx();
            QVERIFY(f);
            canard::ParsedId p;
            QVERIFY(canard::parseCanId(f->id, p));
            QCOMPARE(int(p.priority), int(table[i].prio));
            QCOMPARE(int(portPriority(table[i].port)), int(table[i].prio));
            QCOMPARE(int(p.port_id), int(table[i].port));
            QCOMPARE(int(p.source_node_id), 15);
            QCOMPARE(p.kind == TransferKind::Request, isServicePort(table[i].port));
        }
    }

    // ---- response records ----
    void nodeInfoRecord()
    {
        std::vector<uint8_t> r(30);
        for (int i = 0; i < 30; ++i)
            r[i] = uint8_t(0x40 + i);
        r.push_back(5); // name length
        for (char c : std::string("ESC-A"))
            r.push_back(uint8_t(c));
        r.push_back(1);    // software_image_crc length
        r.push_back(0x99); // next byte
        r.push_back(0x77);
        Rec rec(TransferKind::Response, 430, r, 21, 4);
        QVERIFY(rec.ok);
        QCOMPARE(rec.r.payload_size, 296u);
        QCOMPARE(int(rec.r.port_id), 430);
        QCOMPARE(int(rec.r.remote_node_id), 21);
        QCOMPARE(int(rec.r.priority), 4);
        QCOMPARE(int(rec.r.extra), 0);
        auto b = rec.bytes();
        QCOMPARE(std::vector<uint8_t>(b.begin(), b.begin() + 30), std::vector<uint8_t>(r.begin(), r.begin() + 30));
        QCOMPARE(std::string(b.begin() + 30, b.begin() + 35), std::string("ESC-A"));
        for (int i = 35; i < 285; ++i)
            QCOMPARE(int(b[i]), 0);
        QCOMPARE(int(b[285]), 1);
        QCOMPARE(int(b[286]), 0x99);
        for (int i = 287; i < 296; ++i)
            QCOMPARE(int(b[i]), 0);
    }
    void nodeInfoNameClamp()
    {
        // length byte 200 but only 20 name bytes arrived: 20 copied, no trailing bytes
        std::vector<uint8_t> r(30, 0x11);
        r.push_back(200);
        for (int i = 0; i < 20; ++i)
            r.push_back(uint8_t('a' + i));
        Rec rec(TransferKind::Response, 430, r);
        auto b = rec.bytes();
        QCOMPARE(int(b.size()), 296);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(int(b[30 + i]), 'a' + i);
        for (int i = 50; i < 296; ++i)
            QCOMPARE(int(b[i]), 0);
        // a full 313-byte response with a 255 name: exactly fills 30..284
        std::vector<uint8_t> big(313, 0x22);
        big[30] = 255;
        big[286] = 0x33;
        big[287] = 0x44;
        Rec rec2(TransferKind::Response, 430, big);
        auto c = rec2.bytes();
        for (int i = 30; i < 285; ++i)
            QCOMPARE(int(c[i]), 0x22);
        QCOMPARE(int(c[285]), 0x33);
        QCOMPARE(int(c[286]), 0x44);
        // short response: zero-extended
        Rec rec3(TransferKind::Response, 430, bytes({1, 0, 2, 3, 4, 5}));
        auto d = rec3.bytes();
        QCOMPARE(int(d.size()), 296);
        QCOMPARE(std::vector<uint8_t>(d.begin(), d.begin() + 6), bytes({1, 0, 2, 3, 4, 5}));
        for (int i = 6; i < 296; ++i)
            QCOMPARE(int(d[i]), 0);
        // empty response
        Rec rec4(TransferKind::Response, 430, {});
        QCOMPARE(rec4.r.payload_size, 296u);
    }
    void regAccessRecord()
    {
        const std::vector<uint8_t> zeros9(9, 0);
        Rec a(TransferKind::Response, 256, bytes({0, 5}));
        QCOMPARE(a.bytes(), cat(bytes({0, 5}), zeros9));
        Rec b(TransferKind::Response, 256, bytes({0, 5, 0x34, 0x12}));
        QCOMPARE(b.bytes(), cat(bytes({0, 5, 0x34, 0x12}), zeros9));
        std::vector<uint8_t> w(23);
        for (int i = 0; i < 23; ++i)
            w[i] = uint8_t(i + 1);
        Rec c(TransferKind::Response, 256, w);
        QCOMPARE(c.bytes(), cat(w, zeros9));
        QCOMPARE(c.r.payload_size, 32u);
        // short forms are zero-extended to the next layout
        Rec d(TransferKind::Response, 256, bytes({0, 5, 7}));
        QCOMPARE(d.bytes(), cat(bytes({0, 5, 7, 0}), zeros9));
        Rec e(TransferKind::Response, 256, bytes({0, 5, 1, 2, 3}));
        QCOMPARE(e.r.payload_size, 32u);
        Rec f(TransferKind::Response, 256, bytes({3}));
        QCOMPARE(f.bytes(), cat(bytes({3, 0}), zeros9));
        // longer than the extent: truncated to 23
        Rec g(TransferKind::Response, 256, cat(w, bytes({9, 9, 9})));
        QCOMPARE(g.bytes(), cat(w, zeros9));
    }
    void fileReadRecord()
    {
        std::vector<uint8_t> r = bytes({0, 1, 0, 0, 0, 0, 0});
        for (int i = 0; i < 100; ++i)
            r.push_back(uint8_t('A' + i % 26));
        Rec a(TransferKind::Response, 257, r);
        QCOMPARE(a.bytes(), cat(r, bytes({0})));
        QCOMPARE(a.r.payload_size, 108u);
        Rec b(TransferKind::Response, 257, bytes({1, 2, 3}));
        QCOMPARE(b.bytes(), bytes({1, 2, 3, 0, 0, 0, 0, 0}));
        std::vector<uint8_t> full(263, 'x');
        Rec c(TransferKind::Response, 257, full);
        QCOMPARE(c.r.payload_size, 264u);
        QCOMPARE(int(c.r.payload[263]), 0);
    }
    void smallRecords()
    {
        Rec w(TransferKind::Response, 409, bytes({13, 0}));
        QCOMPARE(w.bytes(), bytes({13, 0}));
        Rec w1(TransferKind::Response, 409, bytes({13}));
        QCOMPARE(w1.bytes(), bytes({13, 0}));
        Rec x(TransferKind::Response, 435, bytes({3}));
        QCOMPARE(x.bytes(), bytes({3}));
        Rec x0(TransferKind::Response, 435, {});
        QCOMPARE(x0.bytes(), bytes({0}));
        Rec hb(TransferKind::Message, 7509, bytes({10, 0, 0, 0, 0, 3, 0xEE}));
        QCOMPARE(hb.bytes(), bytes({10, 0, 0, 0, 0, 3}));
        Rec hb2(TransferKind::Message, 7509, bytes({10, 0}));
        QCOMPARE(hb2.bytes(), bytes({10, 0, 0, 0, 0, 0}));
        Rec t0(TransferKind::Message, 6160, bytes({1, 2, 3, 4, 5, 6}));
        QCOMPARE(t0.bytes(), cat(bytes({1, 2, 3, 4, 5, 6}), std::vector<uint8_t>(9, 0)));
        QCOMPARE(t0.r.payload_size, 15u);
        Rec t0s(TransferKind::Message, 6160, bytes({1, 2}));
        QCOMPARE(t0s.r.payload_size, 15u);
        QCOMPARE(t0s.bytes(), cat(bytes({1, 2, 0, 0, 0, 0}), std::vector<uint8_t>(9, 0)));
        Rec t1(TransferKind::Message, 6161, bytes({1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(t1.bytes(), bytes({1, 2, 3, 4, 5, 6, 7}));
        Rec t2(TransferKind::Message, 6162, bytes({1, 2, 3, 4, 5}));
        QCOMPARE(t2.bytes(), bytes({1, 2, 3, 4}));
    }
    void unknownOrWrongKind()
    {
        response_data_struct_t r;
        const uint8_t d[2] = {1, 2};
        QVERIFY(!cyphal_decode_response(TransferKind::Message, 256, 1, 16, d, 2, r));
        QVERIFY(!cyphal_decode_response(TransferKind::Response, 7509, 1, 16, d, 2, r));
        QVERIFY(!cyphal_decode_response(TransferKind::Request, 430, 1, 16, d, 2, r));
        QVERIFY(!cyphal_decode_response(TransferKind::Message, 6152, 1, 16, d, 2, r));
        QVERIFY(!cyphal_decode_response(TransferKind::Response, 999, 1, 16, d, 2, r));
        QVERIFY(r.payload == nullptr);
    }

    // ---- link session ----
    void sessionLinkFrames()
    {
        LinkSession s;
        std::vector<response_data_struct_t> out;
        uint8_t st[16];
        adapter::encodeStatusFrame(0, st);
        QCOMPARE(s.feed(st, 16, 0, out), size_t(1)); // first frame and status frame: one 8888
        QCOMPARE(int(out[0].port_id), int(kRespLinkFrame));
        QVERIFY(out[0].payload == nullptr);
        QCOMPARE(out[0].payload_size, 0u);
        QVERIFY(s.firstFrameSeen());
        QCOMPARE(s.feed(st, 16, 0, out), size_t(1)); // every status frame
        auto hb = deviceBytes(20, TransferKind::Message, 7509, bytes({5, 0, 0, 0, 0, 0, 0}), 0);
        QCOMPARE(s.feed(hb.data(), hb.size(), 0, out), size_t(1)); // not first anymore: just the heartbeat
        QCOMPARE(int(out[2].port_id), 7509);
        QCOMPARE(int(out[2].remote_node_id), 20);
        freeAll(out);
        s.reset();
        QVERIFY(!s.firstFrameSeen());
        auto hb2 = deviceBytes(20, TransferKind::Message, 7509, bytes({6, 0, 0, 0, 0, 0, 0}), 1);
        QCOMPARE(s.feed(hb2.data(), hb2.size(), 0, out), size_t(2)); // 8888 then the heartbeat
        QCOMPARE(int(out[0].port_id), int(kRespLinkFrame));
        QCOMPARE(int(out[1].port_id), 7509);
        freeAll(out);
        QCOMPARE(s.stats().statusFrames, 2ull);
    }
    void sessionMultiFrameInPieces()
    {
        LinkSession s;
        std::vector<uint8_t> reply = bytes({0, 0, 0, 0, 0, 0, 0});
        for (int i = 0; i < 256; ++i)
            reply.push_back(uint8_t('a' + i % 26));
        auto wire = deviceBytes(33, TransferKind::Response, 257, reply, 4);
        // garbage in front and between
        std::vector<uint8_t> stream = bytes({0x01, 0xAA, 0x02});
        stream.insert(stream.end(), wire.begin(), wire.end());
        lt::Rng r(5);
        std::vector<response_data_struct_t> out;
        size_t pos = 0;
        while (pos < stream.size()) {
            size_t n = std::min<size_t>(1 + r.below(37), stream.size() - pos);
            s.feed(stream.data() + pos, n, 0, out);
            pos += n;
        }
        QCOMPARE(int(out.size()), 2);
        QCOMPARE(int(out[0].port_id), 8888);
        QCOMPARE(int(out[1].port_id), 257);
        QCOMPARE(int(out[1].remote_node_id), 33);
        QCOMPARE(out[1].payload_size, uint32_t(reply.size() + 1));
        QCOMPARE(std::vector<uint8_t>(out[1].payload, out[1].payload + reply.size()), reply);
        QCOMPARE(int(out[1].payload[reply.size()]), 0);
        QCOMPARE(s.decoder().stats().droppedBytes, 3ull);
        freeAll(out);
    }
    void sessionTx()
    {
        LinkSession s;
        QCOMPARE(s.send(430, 16, nullptr), 0);
        RegAccessArgs ra;
        ra.reg = 5;
        QCOMPARE(cyphal_send_data(&s, 256, 16, &ra), 0);
        QCOMPARE(s.pendingTxFrames(), size_t(2));
        auto b = s.takeTxBytes();
        QCOMPARE(int(b.size()), 32);
        QCOMPARE(std::vector<uint8_t>(b.begin(), b.begin() + 16),
                 bytes({0xAA, 0x0F, 0x88, 0x6B, 0x13, 0x01, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0xB1, 0x84}));
        adapter::Frame f;
        QVERIFY(adapter::decodeFrame(b.data() + 16, f));
        QCOMPARE(f.can_id, 0x0740080Fu);
        QCOMPARE(s.pendingTxFrames(), size_t(0));
        QCOMPARE(LinkSession::bitrateCommandBytes(0),
                 bytes({0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x20, 0xA1, 0x07, 0, 0, 0, 0, 0, 0xD9, 0xD0}));
        // reset drops queued frames
        s.send(430, 16, nullptr);
        s.reset();
        QCOMPARE(s.pendingTxFrames(), size_t(0));
        NodeIdAssignArgs na;
        na.newId = 5;
        QCOMPARE(s.send(6145, 0xFF, &na), int(kEncErrBadArg));
        QCOMPARE(s.pendingTxFrames(), size_t(0));
    }
};

QTEST_APPLESS_MAIN(TstCyphalPorts)
#include "tst_link_cyphalports.moc"
