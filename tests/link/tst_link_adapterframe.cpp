// CRC vectors and the 16-byte adapter frame codec / stream decoder.

#include <QtTest>

#include <cstring>
#include <vector>

#include "link/adapterframe.h"
#include "link/crc.h"
#include "linktesthelpers.h"

using namespace adapter;

namespace {
const uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

std::vector<uint8_t> enc(uint32_t id, std::vector<uint8_t> d)
{
    std::vector<uint8_t> out(kFrameSize);
    bool ok = encodeFrame(id, d.data(), uint8_t(d.size()), out.data());
    Q_ASSERT(ok);
    Q_UNUSED(ok);
    return out;
}
} // namespace

class TstAdapterFrame : public QObject {
    Q_OBJECT
private slots:
    void crc16Vector()
    {
        QCOMPARE(crc16CcittFalse(kCheck, 9), uint16_t(0x29B1));
        QCOMPARE(crc16CcittFalse(kCheck, 0), uint16_t(0xFFFF));
        // continuing a running CRC gives the same result as one pass
        QCOMPARE(crc16CcittFalse(kCheck + 4, 5, crc16CcittFalse(kCheck, 4)), uint16_t(0x29B1));
    }
    void crc16MatchesBitwise()
    {
        lt::Rng r(7);
        std::vector<uint8_t> v(1000);
        for (auto& b : v)
            b = uint8_t(r.next());
        for (size_t n : {size_t(0), size_t(1), size_t(13), size_t(999), size_t(1000)})
            QCOMPARE(crc16CcittFalse(v.data(), n), lt::crc16Slow(v.data(), n));
    }
    void crc32Vector()
    {
        QCOMPARE(crc32Firmware(kCheck, 9), 0xCBF43926u);
        QCOMPARE(crc32Firmware(kCheck, 0), 0u);
        lt::Rng r(9);
        std::vector<uint8_t> v(4099);
        for (auto& b : v)
            b = uint8_t(r.next());
        for (uint32_t n : {1u, 3u, 4u, 5u, 7u, 8u, 1023u, 4099u})
            QCOMPARE(crc32Firmware(v.data(), n), lt::crc32Slow(v.data(), n));
    }

    void encodeDesignExample430()
    {
        const auto f = enc(0x136B880F, {0xE0});
        const auto want = lt::bytes({0xAA, 0x0F, 0x88, 0x6B, 0x13, 0x01, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0xB1, 0x84});
        QCOMPARE(f, want);
        Frame d;
        QVERIFY(decodeFrame(f.data(), d));
        QCOMPARE(d.can_id, 0x136B880Fu);
        QCOMPARE(int(d.dlc), 1);
        QCOMPARE(int(d.data[0]), 0xE0);
        QVERIFY(isDataFrame(d));
    }
    void bitrateCommand()
    {
        uint8_t out[16];
        encodeBitrateCommand(500000, out);
        const auto want = lt::bytes({0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x20, 0xA1, 0x07, 0, 0, 0, 0, 0, 0xD9, 0xD0});
        QCOMPARE(std::vector<uint8_t>(out, out + 16), want);
        Frame d;
        for (uint32_t rate : {250000u, 500000u, 800000u, 1000000u}) {
            encodeBitrateCommand(rate, out);
            QVERIFY(decodeFrame(out, d));
            QVERIFY(isBitrateCommand(d));
            QCOMPARE(bitrateOf(d), rate);
        }
        for (uint32_t rate : {0u, 1u, 125000u, 2000000u}) {
            QCOMPARE(normaliseBitrate(rate), 500000u);
            encodeBitrateCommand(rate, out);
            QVERIFY(decodeFrame(out, d));
            QCOMPARE(bitrateOf(d), 500000u);
        }
    }
    void statusFrame()
    {
        uint8_t out[16];
        encodeStatusFrame(0, out);
        Frame d;
        QVERIFY(decodeFrame(out, d));
        QVERIFY(isStatusFrame(d));
        QVERIFY(!isDataFrame(d));
        QCOMPARE(int(d.dlc), 1);
    }
    void encodeRejectsBadDlc()
    {
        uint8_t out[16];
        memset(out, 0x55, 16);
        uint8_t data[9] = {};
        QVERIFY(!encodeFrame(1, data, 9, out));
        QCOMPARE(int(out[0]), 0x55); // untouched
        QVERIFY(!encodeFrame(1, nullptr, 3, out));
        QVERIFY(encodeFrame(1, nullptr, 0, out));
    }
    void decodeRejectsCorruption()
    {
        auto f = enc(0x0740080F, {0x00, 0x05, 0xE0});
        Frame d;
        for (size_t i = 0; i < 16; ++i) {
            auto g = f;
            g[i] ^= 0x01;
            QVERIFY2(!decodeFrame(g.data(), d), qPrintable(QString("byte %1").arg(i)));
        }
        // DLC 9 with a correct CRC is still refused
        auto g = f;
        g[5] = 9;
        const uint16_t crc = crc16CcittFalse(g.data(), 14);
        g[14] = uint8_t(crc);
        g[15] = uint8_t(crc >> 8);
        QVERIFY(!decodeFrame(g.data(), d));
    }

    void streamByteByByte()
    {
        StreamDecoder dec;
        std::vector<uint8_t> s;
        for (int i = 0; i < 20; ++i) {
            auto f = enc(0x100 + i, {uint8_t(i), 0xAA, 0xAA});
            s.insert(s.end(), f.begin(), f.end());
        }
        std::vector<Frame> got;
        for (uint8_t b : s)
            dec.feed(&b, 1, [&](const Frame& f) { got.push_back(f); });
        QCOMPARE(int(got.size()), 20);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(got[i].can_id, uint32_t(0x100 + i));
            QCOMPARE(int(got[i].data[0]), i);
        }
        QCOMPARE(dec.stats().droppedBytes, 0ull);
        QCOMPARE(dec.stats().badFrames, 0ull);
        QCOMPARE(dec.buffered(), size_t(0));
    }
    void streamResyncAfterRandomGarbage()
    {
        lt::Rng r(12345);
        StreamDecoder dec(64);
        std::vector<uint8_t> s;
        std::vector<uint32_t> ids;
        size_t garbage = 0;
        for (int i = 0; i < 500; ++i) {
            const size_t g = r.below(40);
            for (size_t k = 0; k < g; ++k) // garbage rich in head bytes
                s.push_back(r.below(4) == 0 ? 0xAA : uint8_t(r.next()));
            garbage += g;
            std::vector<uint8_t> d(r.below(9));
            for (auto& b : d)
                b = uint8_t(r.next());
            const uint32_t id = r.next() & 0x1FFFFFFF;
            ids.push_back(id);
            auto f = enc(id, d);
            s.insert(s.end(), f.begin(), f.end());
        }
        std::vector<uint32_t> got;
        size_t pos = 0;
        while (pos < s.size()) { // arbitrary pieces
            const size_t n = std::min<size_t>(1 + r.below(50), s.size() - pos);
            dec.feed(s.data() + pos, n, [&](const Frame& f) { got.push_back(f.can_id); });
            QVERIFY(dec.buffered() <= dec.capacity());
            pos += n;
        }
        QCOMPARE(got, ids);
        QCOMPARE(dec.stats().frames, uint64_t(ids.size()));
        QCOMPARE(dec.stats().droppedBytes, uint64_t(garbage));
        QVERIFY(dec.stats().badFrames > 0);
    }
    void streamTruncatedThenGood()
    {
        StreamDecoder dec;
        auto a = enc(0x11, {1, 2, 3});
        auto b = enc(0x22, {4, 5});
        std::vector<uint8_t> s(a.begin(), a.begin() + 9);
        s.insert(s.end(), b.begin(), b.end());
        std::vector<Frame> got;
        dec.feed(s.data(), s.size(), [&](const Frame& f) { got.push_back(f); });
        QCOMPARE(int(got.size()), 1);
        QCOMPARE(got[0].can_id, 0x22u);
        QCOMPARE(dec.stats().droppedBytes, 9ull);
        QVERIFY(dec.stats().badFrames >= 1);
    }
    void streamBadDlcCounted()
    {
        StreamDecoder dec;
        auto a = enc(0x11, {1});
        a[5] = 12;
        auto b = enc(0x22, {});
        std::vector<uint8_t> s = a;
        s.insert(s.end(), b.begin(), b.end());
        int n = 0;
        dec.feed(s.data(), s.size(), [&](const Frame& f) { QCOMPARE(f.can_id, 0x22u); ++n; });
        QCOMPARE(n, 1);
        QCOMPARE(dec.stats().badFrames, 1ull);
        QCOMPARE(dec.stats().droppedBytes, 16ull);
    }
    void streamBoundedBuffer()
    {
        StreamDecoder dec(32);
        std::vector<uint8_t> junk(100, 0xAA);
        QCOMPARE(dec.write(junk.data(), junk.size()), size_t(32)); // only what fits
        Frame f;
        QVERIFY(!dec.next(f));
        QVERIFY(dec.buffered() < kFrameSize);
        // a megabyte of heads never grows the buffer
        std::vector<uint8_t> big(1 << 20, 0xAA);
        int n = 0;
        dec.feed(big.data(), big.size(), [&](const Frame&) { ++n; });
        QCOMPARE(n, 0);
        QVERIFY(dec.buffered() < kFrameSize);
        QCOMPARE(dec.capacity(), size_t(32));
        // and it still decodes afterwards
        dec.reset();
        auto g = enc(0x33, {9});
        dec.feed(g.data(), g.size(), [&](const Frame& fr) { QCOMPARE(fr.can_id, 0x33u); ++n; });
        QCOMPARE(n, 1);
    }
    void resetDropsPartial()
    {
        StreamDecoder dec;
        auto a = enc(0x11, {1});
        QCOMPARE(dec.write(a.data(), 10), size_t(10));
        dec.reset();
        QCOMPARE(dec.buffered(), size_t(0));
        dec.write(a.data(), 16);
        Frame f;
        QVERIFY(dec.next(f));
        QCOMPARE(f.can_id, 0x11u);
    }
};

QTEST_APPLESS_MAIN(TstAdapterFrame)
#include "tst_link_adapterframe.moc"
