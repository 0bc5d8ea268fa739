// CRC known answers and the 16-byte adapter frame codec / stream decoder.

#include <QtTest>

#include <vector>

#include "link/adapterframe.h"
#include "link/crc.h"
#include "linktesthelpers.h"

using namespace adapter;
using lt::bytes;

namespace {
std::vector<uint8_t> enc(uint32_t id, const std::vector<uint8_t>& d)
{
    std::vector<uint8_t> out(kFrameSize);
    if (!encodeFrame(id, d.data(), uint8_t(d.size()), out.data()))
        qFatal("encodeFrame refused a valid frame");
    return out;
}
} // namespace

class TstAdapterFrame : public QObject {
    Q_OBJECT
private slots:
    void crcKnownAnswers()
    {
        const std::vector<uint8_t> check = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
        QCOMPARE(crc16CcittFalse(check.data(), 9), uint16_t(0x29B1));
        QCOMPARE(crc32Firmware(check.data(), 9), 0xCBF43926u);
        // The table code against a bit-by-bit reference, any length.
        lt::Rng r(7);
        std::vector<uint8_t> v;
        for (int n = 0; n < 300; ++n) {
            QCOMPARE(crc16CcittFalse(v.data(), v.size()), lt::crc16Slow(v));
            v.push_back(uint8_t(r.next()));
        }
    }

    void frameKnownAnswers()
    {
        // The node-information request to node 16, and the bit-rate command.
        const auto f = enc(0x136B880F, {0xE0});
        QCOMPARE(f, bytes({0xAA, 0x0F, 0x88, 0x6B, 0x13, 0x01, 0xE0, 0, 0, 0, 0, 0, 0, 0, 0xB1, 0x84}));
        Frame d;
        QVERIFY(decodeFrame(f.data(), d));
        QCOMPARE(d.can_id, 0x136B880Fu);
        QCOMPARE(int(d.dlc), 1);
        QCOMPARE(int(d.data[0]), 0xE0);

        std::vector<uint8_t> cmd(kFrameSize);
        encodeBitrateCommand(500000, cmd.data());
        QCOMPARE(cmd, bytes({0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x20, 0xA1, 0x07, 0, 0, 0, 0, 0, 0xD9, 0xD0}));
        encodeBitrateCommand(125000, cmd.data()); // unsupported: the default rate
        QVERIFY(decodeFrame(cmd.data(), d));
        QCOMPARE(bitrateOf(d), 500000u);
    }

    void decodeRejectsCorruption()
    {
        const auto f = enc(0x0740080F, {0x00, 0x05, 0xE0});
        Frame d;
        for (size_t i = 0; i < kFrameSize; ++i) {
            auto g = f;
            g[i] ^= 0x01;
            QVERIFY2(!decodeFrame(g.data(), d), qPrintable(QString("byte %1").arg(i)));
        }
        // A DLC over 8 is refused even with a matching CRC.
        auto g = f;
        g[5] = 9;
        const uint16_t crc = crc16CcittFalse(g.data(), 14);
        g[14] = uint8_t(crc);
        g[15] = uint8_t(crc >> 8);
        QVERIFY(!decodeFrame(g.data(), d));
    }

    void streamResyncsAfterRandomGarbage()
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
            ids.push_back(r.next() & 0x1FFFFFFF);
            const auto f = enc(ids.back(), d);
            s.insert(s.end(), f.begin(), f.end());
        }
        std::vector<uint32_t> got;
        for (size_t pos = 0; pos < s.size();) { // in arbitrary pieces
            const size_t n = std::min<size_t>(1 + r.below(50), s.size() - pos);
            dec.feed(s.data() + pos, n, [&](const Frame& f) { got.push_back(f.can_id); });
            QVERIFY(dec.buffered() <= dec.capacity());
            pos += n;
        }
        QCOMPARE(got, ids);
        QCOMPARE(dec.stats().droppedBytes, uint64_t(garbage));
        QVERIFY(dec.stats().badFrames > 0);
    }
};

QTEST_APPLESS_MAIN(TstAdapterFrame)
#include "tst_link_adapterframe.moc"
