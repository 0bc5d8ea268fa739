// Firmware upgrade against the simulator: upgrade mode entered with the
// access code, two parts written through the file-write service, the
// register-5 status protocol and the restarts in between (unanswered, as a
// boot loader's), the new version after the upgrade, a new start after an
// upgrade was cut off; bad writes refused, a chunk sent again; and what a
// node keeps across a restart.

#include <QtTest>

#include <cstring>

#include "link/crc.h"
#include "link/cyphalports.h"
#include "linkharness.h"

namespace {

const char kCode[] = " .vr-kisa";

// The answer status of an execute command (-1: no answer).
int command(SimFixture& f, uint16_t cmd, const char* param)
{
    ExecCommandArgs a;
    a.command = cmd;
    a.param = reinterpret_cast<const uint8_t*>(param);
    a.paramLen = std::strlen(param);
    LinkRecord r;
    return f.request(kPortExecCommand, 16, &a, &r) ? r.payload[0] : -1;
}

// A register's value as node 16 answers it (-1: no answer or an error).
int readReg(SimFixture& f, uint8_t reg)
{
    RegAccessArgs a;
    a.reg = reg;
    LinkRecord r;
    return f.request(kPortRegAccess, 16, &a, &r) && r.payload[0] == 0x10 ? r.u16(2) : -1;
}

int reg5(SimFixture& f)
{
    return readReg(f, 5);
}

// The op state of a register write to node 16 (-1: no answer).
int writeReg(SimFixture& f, uint8_t reg, uint16_t value)
{
    RegAccessArgs a;
    a.op = 2;
    a.reg = reg;
    a.value = value;
    LinkRecord r;
    return f.request(kPortRegAccess, 16, &a, &r) ? r.payload[0] : -1;
}

// The answer's error code of a file write (-1: no answer).
int fileWrite(SimFixture& f, uint64_t offset, const std::vector<uint8_t>& data)
{
    FileWriteArgs a;
    a.offset = offset;
    std::memcpy(a.path, "ROMTAG01", 8);
    a.data = data.empty() ? nullptr : data.data();
    a.dataLen = uint16_t(data.size());
    LinkRecord r;
    return f.request(kPortFileWrite, 16, &a, &r) ? r.u16(0) : -1;
}

// Sends a part as the link's worker does: 256-byte writes (the port layer
// pads the last one with 0xFF), then the empty closing write.
bool sendPart(SimFixture& f, const std::vector<uint8_t>& img)
{
    size_t off = 0;
    for (; off < img.size(); off += 256) {
        const auto end = img.begin() + long(std::min(img.size(), off + 256));
        if (fileWrite(f, off, std::vector<uint8_t>(img.begin() + long(off), end)) != 0)
            return false;
    }
    return fileWrite(f, off, {}) == 0;
}

// Restarts node 16 and waits for the restarted node's heartbeat in `mode`.
// A boot loader restarts at once: no answer to the command, and the node
// hears requests again within 300 ms.
bool restart(SimFixture& f, int mode)
{
    ExecCommandArgs a;
    a.command = 0xFFFF;
    a.param = reinterpret_cast<const uint8_t*>("0");
    a.paramLen = 1;
    f.client.clear();
    if (!f.client.send(kPortExecCommand, 16, &a))
        return false;
    QTest::qWait(350);
    // Answered only by a node that is back (a restarting one hears nothing);
    // a slow machine only makes the request later.
    if (!f.request(kPortNodeInfo, 16, nullptr))
        return false;
    // The restarted node's transfer IDs start again, so the client may drop
    // its first heartbeat as a repeat; the next one comes a second later.
    const bool back = f.client.waitFor([&](const LinkRecord& x) {
        return x.port == kPortHeartbeat && x.node == 16 && x.u16(0) <= 2 && x.payload[5] == mode;
    });
    return back && f.client.count([](const LinkRecord& x) { return x.port == kPortExecCommand; }) == 0;
}

// Software version in node 16's information, as "major.minor".
QString softwareVersion(SimFixture& f)
{
    LinkRecord r;
    if (!f.request(kPortNodeInfo, 16, nullptr, &r) || r.payload.size() < 6)
        return QString();
    return QString("%1.%2").arg(r.payload[4]).arg(r.payload[5]);
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

private slots:
    void twoPartUpgrade()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(reg5(f), 0);
        QCOMPARE(softwareVersion(f), QString("2.3"));
        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        QVERIFY(f.bus.inUpgradeMode(16));
        QVERIFY(f.client.waitFor([](const LinkRecord& x) {
            return x.port == kPortHeartbeat && x.node == 16 && x.payload[5] == 3; // software update
        }));
        QCOMPARE(reg5(f), 0x20);

        // The first firmware part: 1000 bytes, so the last write is padded.
        const std::vector<uint8_t> part1 = makeImage(1000, 1);
        QVERIFY(sendPart(f, part1));
        QCOMPARE(reg5(f), 0xa0);
        std::vector<uint8_t> padded1 = part1;
        padded1.resize(1024, 0xFF);
        QCOMPARE(f.bus.image(16, 1), padded1);
        QCOMPARE(f.bus.imageCrc32(16, 1), crc32Firmware(padded1.data(), uint32_t(padded1.size())));
        QCOMPARE(f.bus.imagePath(16, 1), std::string("ROMTAG01"));

        // The restart brings it back still in upgrade mode, ready for part 2,
        // and still with the old firmware.
        QVERIFY(restart(f, 3));
        QCOMPARE(reg5(f), 0x40);
        QCOMPARE(softwareVersion(f), QString("2.3"));
        const std::vector<uint8_t> part2 = makeImage(512, 9);
        QVERIFY(sendPart(f, part2));
        QCOMPARE(reg5(f), 0xa1);
        QCOMPARE(f.bus.image(16, 2), part2);

        // The last restart ends the upgrade: the new firmware runs.
        QVERIFY(restart(f, 0));
        QCOMPARE(reg5(f), 0);
        QVERIFY(!f.bus.inUpgradeMode(16));
        QCOMPARE(softwareVersion(f), QString("2.4"));
        QCOMPARE(f.bus.softwareVersion(16), 0x0204);
    }

    // A node told to answer the restart command does so with status 0, then
    // restarts as before.
    void restartAnsweredOnRequest()
    {
        escsim::Options o;
        o.answerRestart = true;
        SimFixture f(o);
        QVERIFY(f.up());
        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        QCOMPARE(command(f, 0xFFFF, "0"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(f.bus.restarting(16), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(!f.bus.restarting(16), kWaitMs);
        // Nothing was received: the restart leaves upgrade mode, version unchanged.
        QVERIFY(!f.bus.inUpgradeMode(16));
        QCOMPARE(softwareVersion(f), QString("2.3"));
    }

    // An upgrade cut off in the middle of part 1 (the PC went away) leaves
    // the boot loader waiting; a new start begins again from scratch.
    void cutOffUpgradeStartsAgain()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        const std::vector<uint8_t> lost = makeImage(256, 5);
        QCOMPARE(fileWrite(f, 0, lost), 0);
        QCOMPARE(fileWrite(f, 256, lost), 0);
        f.client.close();
        QVERIFY(f.client.open(f.bus.path()));

        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        QCOMPARE(reg5(f), 0x20);
        QCOMPARE(fileWrite(f, 512, lost), 102); // the old part is gone
        const std::vector<uint8_t> part1 = makeImage(768, 2);
        QVERIFY(sendPart(f, part1));
        QCOMPARE(f.bus.image(16, 1), part1);
        QCOMPARE(reg5(f), 0xa0);
    }

    // A node made to refuse file writes answers them with the given code
    // and keeps nothing, until it is set back.
    void fileWriteErrorInjected()
    {
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        const std::vector<uint8_t> chunk = makeImage(256, 4);
        f.bus.setFileWriteError(16, 13);
        QCOMPARE(fileWrite(f, 0, chunk), 13);
        f.bus.setFileWriteError(16, 0);
        QCOMPARE(fileWrite(f, 256, chunk), 102); // the refused write was not kept
        QCOMPARE(fileWrite(f, 0, chunk), 0);
    }

    // A chunk at an offset the boot loader already has is refused and
    // changes nothing; only offset 0 starts the part over.
    void chunkSentAgain_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("result");
        QTest::newRow("the last chunk again") << 512 << 102;
        QTest::newRow("an earlier chunk again") << 256 << 102;
        QTest::newRow("the first chunk again starts over") << 0 << 0;
    }
    void chunkSentAgain()
    {
        QFETCH(int, offset);
        QFETCH(int, result);
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(command(f, 0xFFFD, kCode), 0);
        const std::vector<uint8_t> part = makeImage(768, 6);
        for (size_t at = 0; at < part.size(); at += 256)
            QCOMPARE(fileWrite(f, at, std::vector<uint8_t>(part.begin() + long(at), part.begin() + long(at + 256))), 0);
        const std::vector<uint8_t> again = makeImage(256, 8);
        QCOMPARE(fileWrite(f, uint64_t(offset), again), result);
        const std::vector<uint8_t> kept = result == 0 ? again : part;
        QCOMPARE(fileWrite(f, kept.size(), {}), 0);
        QCOMPARE(f.bus.image(16, 1), kept);
    }

    // A restart brings back the values last stored (the store command); the
    // CAN bit rate is stored as it is written, since the rate change sends
    // no store command.
    void restartKeeps_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("store");
        QTest::addColumn<int>("later");  // written after the store (0: none)
        QTest::addColumn<int>("kept");
        QTest::newRow("a value not stored") << 0x0B << 30 << false << 0 << 7;
        QTest::newRow("a stored value") << 0x0B << 30 << true << 0 << 30;
        QTest::newRow("a value written after the store") << 0x0B << 30 << true << 40 << 30;
        QTest::newRow("the bit rate, not stored") << 4 << 3 << false << 0 << 3;
    }
    void restartKeeps()
    {
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(bool, store);
        QFETCH(int, later);
        QFETCH(int, kept);
        SimFixture f;
        QVERIFY(f.up());
        QCOMPARE(writeReg(f, uint8_t(reg), uint16_t(value)), 0x20);
        // Where the node runs now (a new bit rate takes the adapter along).
        QVERIFY(f.client.sendBitrate(f.bus.nodeBitrate(16)));
        if (store)
            QCOMPARE(command(f, 0xFFFA, "0"), 0);
        if (later)
            QCOMPARE(writeReg(f, uint8_t(reg), uint16_t(later)), 0x20);
        QVERIFY(restart(f, 0));
        QCOMPARE(readReg(f, uint8_t(reg)), kept);
    }

    void badWritesRefused()
    {
        SimFixture f;
        QVERIFY(f.up());
        const std::vector<uint8_t> chunk = makeImage(256, 3);
        QCOMPARE(fileWrite(f, 0, chunk), 13); // not in upgrade mode: access denied
        QCOMPARE(command(f, 0xFFFD, " .vr-kisb"), 4); // a wrong access code
        QVERIFY(!f.bus.inUpgradeMode(16));
        QCOMPARE(command(f, 0xFFFD, kCode), 0);

        // A length other than 256 or 0 (built by hand: the port layer pads).
        std::vector<uint8_t> req = {0, 0, 0, 0, 0, 8, 'R', 'O', 'M', 'T', 'A', 'G', '0', '1', 100, 0};
        req.insert(req.end(), 100, 0xAB);
        QVERIFY(f.client.sendRawTransfer(canard::TransferKind::Request, kPortFileWrite, 16, req));
        LinkRecord r;
        QVERIFY(f.client.waitFor(kPortFileWrite, 16, kWaitMs, &r));
        QCOMPARE(r.u16(0), 101);
        // Offsets must follow on.
        QCOMPARE(fileWrite(f, 256, chunk), 102);
        QCOMPARE(fileWrite(f, 0, chunk), 0);
        QCOMPARE(fileWrite(f, 0x10000, chunk), 102);
        QCOMPARE(fileWrite(f, 256, {}), 0);
        QCOMPARE(f.bus.image(16, 1), chunk);
        QCOMPARE(fileWrite(f, 256, chunk), 13); // the part is complete
    }
};

QTEST_GUILESS_MAIN(TestEscSimUpgrade)
#include "tst_escsim_upgrade.moc"
