// The esc-sim program itself: path on the first line, --link symlink made
// and removed, options reach the nodes, images saved, bad options refused.

#include <QtTest>

#include <cstring>

#include "link/cyphalports.h"
#include "simclient.h"

namespace {
constexpr int kWaitMs = 8000;
}

class TestEscSimCli : public QObject {
    Q_OBJECT

private:
    // Starts esc-sim and returns the first line it prints.
    static QString startSim(QProcess& p, const QStringList& args)
    {
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(ESC_SIM_EXE, args);
        if (!p.waitForStarted(kWaitMs))
            return QString();
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine() && t.elapsed() < kWaitMs)
            p.waitForReadyRead(100);
        return QString::fromLocal8Bit(p.readLine()).trimmed();
    }

    static bool stopSim(QProcess& p)
    {
        p.terminate();
        return p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private slots:
    void pathLinkAndOptions()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath("escbus");
        const QString desc = dir.filePath("desc.txt");
        {
            QFile f(desc);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(":STR,Only a caption\n");
        }
        QProcess p;
        const QString path = startSim(p, {"--nodes", "16,18", "--name", "CLI-ESC", "--link", link,
                                          "--description", desc, "--quiet"});
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
        QFileInfo li(link);
        QVERIFY(li.isSymLink());
        QCOMPARE(li.symLinkTarget(), path);

        SimClient c;
        QVERIFY(c.open(link.toStdString())); // through the link, as a user would
        QVERIFY(c.waitFor(kPortHeartbeat, 18, kWaitMs));
        QVERIFY(c.send(kPortNodeInfo, 18, nullptr));
        Record r;
        QVERIFY(c.waitFor(kPortNodeInfo, 18, kWaitMs, &r));
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[30])), QString("CLI-ESC"));
        FileReadArgs fr;
        fr.fileType = 1001;
        QVERIFY(c.send(kPortFileRead, 16, &fr));
        QVERIFY(c.waitFor(kPortFileRead, 16, kWaitMs, &r));
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[7])), QString(":STR,Only a caption"));
        c.close();

        QVERIFY(stopSim(p));
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(link));
    }

    void savesReceivedImage()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString prefix = dir.filePath("fw");
        QProcess p;
        const QString path = startSim(p, {"--save-image", prefix, "--baud-limit", "--quiet"});
        QVERIFY(path.startsWith("/dev/"));
        SimClient c;
        QVERIFY(c.open(path.toStdString()));
        const char code[] = " .vr-kisa";
        ExecCommandArgs enter;
        enter.command = 0xFFFD;
        enter.param = reinterpret_cast<const uint8_t*>(code);
        enter.paramLen = std::strlen(code);
        Record r;
        QVERIFY(c.send(kPortExecCommand, 16, &enter));
        QVERIFY(c.waitFor(kPortExecCommand, 16, kWaitMs, &r));
        QCOMPARE(int(r.payload[0]), 0);
        std::vector<uint8_t> img(256);
        for (size_t i = 0; i < img.size(); ++i)
            img[i] = uint8_t(255 - i);
        FileWriteArgs w;
        std::memcpy(w.path, "PARTONE!", 8);
        w.data = img.data();
        w.dataLen = 256;
        QVERIFY(c.send(kPortFileWrite, 16, &w));
        QVERIFY(c.waitFor(kPortFileWrite, 16, kWaitMs, &r));
        QCOMPARE(getU16(r.payload, 0), 0);
        w.offset = 256;
        w.data = nullptr;
        w.dataLen = 0;
        QVERIFY(c.send(kPortFileWrite, 16, &w));
        QVERIFY(c.waitFor(kPortFileWrite, 16, kWaitMs, &r));
        QCOMPARE(getU16(r.payload, 0), 0);

        QFile saved(prefix + "-node16-part1.bin");
        QTRY_VERIFY_WITH_TIMEOUT(saved.exists(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(saved.size(), qint64(256), kWaitMs);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray(reinterpret_cast<const char*>(img.data()), 256));
        c.close();
        QVERIFY(stopSim(p));
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList {"--bogus"};
        QTest::newRow("bad node list") << QStringList {"--nodes", "16,abc"};
        QTest::newRow("node out of range") << QStringList {"--nodes", "200"};
        QTest::newRow("missing value") << QStringList {"--telemetry-hz"};
        QTest::newRow("bad version") << QStringList {"--sw", "two"};
        QTest::newRow("missing description") << QStringList {"--description", "/nonexistent/x.txt"};
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QProcess p;
        p.start(ESC_SIM_EXE, args);
        QVERIFY(p.waitForFinished(kWaitMs));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no path: nothing was created
    }
};

QTEST_GUILESS_MAIN(TestEscSimCli)
#include "tst_escsim_cli.moc"
