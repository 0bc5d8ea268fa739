// Firmware upgrade against the simulator: enter upgrade mode with the access
// code, two parts written through the file-write service, the register-5
// status protocol and the restarts in between; refusals of bad writes.

#include <QtTest>

#include <cstring>
#include <mutex>
#include <tuple>

#include "link/crc.h"
#include "link/cyphalports.h"
#include "simfixture.h"

namespace {

const char kCode[] = " .vr-kisa";

ExecCommandArgs command(uint16_t cmd, const char* param)
{
    ExecCommandArgs a;
    a.command = cmd;
    a.param = reinterpret_cast<const uint8_t*>(param);
    a.paramLen = std::strlen(param);
    return a;
}

std::vector<uint8_t> makeImage(size_t len, uint8_t seed)
{
    std::vector<uint8_t> img(len);
    for (size_t i = 0; i < len; ++i)
        img[i] = uint8_t(i * 7 + seed + (i >> 8));
    return img;
}

} // namespace

class TestEscSimUpgrade : public QObject {
    Q_OBJECT

private:
    static int reg5(SimFixture& f)
    {
        RegAccessArgs a;
        a.reg = 5;
        Record r;
        if (!f.request(kPortRegAccess, 16, &a, &r) || r.payload[0] != 0x10)
            return -1;
        return getU16(r.payload, 2);
    }

    static int fileWrite(SimFixture& f, uint64_t offset, const uint8_t* data, uint16_t len)
    {
        FileWriteArgs a;
        a.offset = offset;
        std::memcpy(a.path, "ROMTAG01", 8);
        a.data = data;
        a.dataLen = len;
        Record r;
        if (!f.request(kPortFileWrite, 16, &a, &r))
            return -1;
        return getU16(r.payload, 0);
    }

    // Sends the image as the link's worker does: 256-byte writes (the last
    // one padded with 0xFF), then the empty final write.
    static bool sendPart(SimFixture& f, const std::vector<uint8_t>& img)
    {
        size_t off = 0;
        for (; off < img.size(); off += 256) {
            const uint16_t n = uint16_t(std::min<size_t>(256, img.size() - off));
            if (fileWrite(f, off, img.data() + off, n) != 0)
                return false;
        }
        return fileWrite(f, off, nullptr, 0) == 0;
    }

    static bool restartAndWait(SimFixture& f, int expectedMode)
    {
        const ExecCommandArgs restart = command(0xFFFF, "0");
        Record r;
        if (!f.request(kPortExecCommand, 16, &restart, &r) || r.payload[0] != 0)
            return false;
        // Heartbeats after the answer are the restarted node's.
        f.client.clearBacklog();
        return f.client.waitFor([&](const Record& x) {
            return x.port == kPortHeartbeat && x.node == 16 && getU16(x.payload, 0) <= 2 &&
                   x.payload[5] == expectedMode;
        }, kWaitMs);
    }

private slots:
    void twoPartUpgrade()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(reg5(f), 0);

        const ExecCommandArgs enter = command(0xFFFD, kCode);
        Record r;
        QVERIFY(f.request(kPortExecCommand, 16, &enter, &r));
        QCOMPARE(int(r.payload[0]), 0);
        QVERIFY(f.bus.inUpgradeMode(16));
        QVERIFY(f.client.waitFor([](const Record& x) {
            return x.port == kPortHeartbeat && x.node == 16 && x.payload[5] == 3;
        }, kWaitMs));
        QCOMPARE(reg5(f), 0x20);

        // Part 1: 1000 bytes, so the last write is padded.
        const std::vector<uint8_t> part1 = makeImage(1000, 1);
        QVERIFY(sendPart(f, part1));
        QCOMPARE(reg5(f), 0xa0);
        std::vector<uint8_t> padded1 = part1;
        padded1.resize(1024, 0xFF);
        QCOMPARE(f.bus.image(16, 1), padded1);
        QCOMPARE(f.bus.imageCrc32(16, 1), crc32Firmware(padded1.data(), uint32_t(padded1.size())));
        QCOMPARE(QString::fromStdString(f.bus.imagePath(16, 1)), QString("ROMTAG01"));
        QVERIFY(f.bus.image(16, 2).empty());

        // The restart brings it back still in upgrade mode, ready for part 2.
        QVERIFY(restartAndWait(f, 3));
        QCOMPARE(reg5(f), 0x40);
        const std::vector<uint8_t> part2 = makeImage(512, 9);
        QVERIFY(sendPart(f, part2));
        QCOMPARE(reg5(f), 0xa1);
        QCOMPARE(f.bus.imageCrc32(16, 2), crc32Firmware(part2.data(), uint32_t(part2.size())));

        // The last restart ends the upgrade.
        QVERIFY(restartAndWait(f, 0));
        QCOMPARE(reg5(f), 0);
        QVERIFY(!f.bus.inUpgradeMode(16));
        QCOMPARE(f.bus.image(16, 1), padded1); // kept for inspection
    }

    void refusals()
    {
        SimFixture f;
        QVERIFY(f.up());
        const std::vector<uint8_t> chunk = makeImage(256, 3);

        // Not in upgrade mode: access denied.
        QCOMPARE(fileWrite(f, 0, chunk.data(), 256), 13);

        // A wrong access code does not open upgrade mode.
        const ExecCommandArgs wrong = command(0xFFFD, " .vr-kisb");
        Record r;
        QVERIFY(f.request(kPortExecCommand, 16, &wrong, &r));
        QCOMPARE(int(r.payload[0]), 4);
        QVERIFY(!f.bus.inUpgradeMode(16));

        const ExecCommandArgs enter = command(0xFFFD, kCode);
        QVERIFY(f.request(kPortExecCommand, 16, &enter, &r));
        QCOMPARE(int(r.payload[0]), 0);

        // Lengths other than 256 or 0 (built by hand; the port layer pads).
        std::vector<uint8_t> req = {0, 0, 0, 0, 0, 8, 'R', 'O', 'M', 'T', 'A', 'G', '0', '1', 100, 0};
        req.insert(req.end(), 100, 0xAB);
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortFileWrite, 16, req));
        QVERIFY(f.client.waitFor(kPortFileWrite, 16, kWaitMs, &r));
        QCOMPARE(getU16(r.payload, 0), 101);

        // Offsets must follow on.
        QCOMPARE(fileWrite(f, 256, chunk.data(), 256), 102);
        QCOMPARE(fileWrite(f, 0, chunk.data(), 256), 0);
        QCOMPARE(fileWrite(f, 0x10000, chunk.data(), 256), 102);
        QCOMPARE(fileWrite(f, 512, nullptr, 0), 102);
        QCOMPARE(fileWrite(f, 256, chunk.data(), 256), 0);
        // Starting over at offset 0 is allowed.
        QCOMPARE(fileWrite(f, 0, chunk.data(), 256), 0);
        QCOMPARE(fileWrite(f, 256, nullptr, 0), 0);
        QCOMPARE(f.bus.image(16, 1), chunk);

        // Part complete: further writes are refused until the restart.
        QCOMPARE(fileWrite(f, 256, chunk.data(), 256), 13);

        // A restart outside the part-1-done state leaves upgrade mode.
        QVERIFY(f.request(kPortExecCommand, 16, &enter, &r)); // ready for part 1 again
        QVERIFY(restartAndWait(f, 0));
        QVERIFY(!f.bus.inUpgradeMode(16));
    }

    void imageCallbackReportsCompletedParts()
    {
        SimFixture f;
        std::mutex m;
        std::vector<std::tuple<int, int, size_t>> seen; // node, part, size
        f.bus.setImageCallback([&](uint8_t node, int part, const std::vector<uint8_t>& img) {
            std::lock_guard<std::mutex> lock(m);
            seen.emplace_back(node, part, img.size());
        });
        QVERIFY(f.up());
        const ExecCommandArgs enter = command(0xFFFD, kCode);
        Record r;
        QVERIFY(f.request(kPortExecCommand, 16, &enter, &r));
        QVERIFY(sendPart(f, makeImage(300, 5)));
        std::lock_guard<std::mutex> lock(m);
        QCOMPARE(int(seen.size()), 1);
        QCOMPARE(std::get<0>(seen[0]), 16);
        QCOMPARE(std::get<1>(seen[0]), 1);
        QCOMPARE(int(std::get<2>(seen[0])), 512);
    }
};

QTEST_GUILESS_MAIN(TestEscSimUpgrade)
#include "tst_escsim_upgrade.moc"
