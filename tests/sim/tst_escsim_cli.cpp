// The esc-sim program itself: the terminal's path alone on the first line,
// the --link symbolic link made and removed (a file of the user's in its
// place refused and kept), options reach the nodes.

#include <QtTest>

#include <csignal>

#include "link/cyphalports.h"
#include "linkharness.h"

class TestEscSimCli : public QObject {
    Q_OBJECT

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
        p.start(ESC_SIM_EXE, {"--nodes", "16,18,19", "--name", "CLI-ESC", "--node-name", "19,CLI,B", "--link", link,
                              "--swap", "18,0,NEW,ESC", "--swap-after-heartbeat-0", "--slow-info", "19,300",
                              "--description", desc, "--quiet"});
        QVERIFY(p.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), kWaitMs);
        const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
        QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);

        SimClient c;
        QVERIFY(c.open(link.toStdString())); // through the link, as a user would
        QVERIFY(c.waitFor(kPortHeartbeat, 18));
        LinkRecord r;
        QVERIFY(c.send(kPortNodeInfo, 18, nullptr));
        QVERIFY(c.waitFor(kPortNodeInfo, 18, kWaitMs, &r));
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[30])), QString("CLI-ESC"));
        const QByteArray uniqueId(reinterpret_cast<const char*>(&r.payload[14]), 16);
        QElapsedTimer slow;
        slow.start();
        QVERIFY(c.send(kPortNodeInfo, 19, nullptr) && c.waitFor(kPortNodeInfo, 19, kWaitMs, &r));
        QVERIFY(slow.elapsed() >= 300);
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[30])), QString("CLI,B"));
        c.clear();
        ::kill(p.processId(), SIGUSR1); // node 18 is another device now, its first heartbeat as the last one
        QVERIFY(c.waitUntil([&c] { // both in the application (mode 0), the new device too
            return c.count([](const LinkRecord& h) {
                return h.port == kPortHeartbeat && h.node == 18 && h.transferId == 0 && h.payload.size() > 5
                    && h.payload[5] == 0;
            }) == 2;
        }));
        QTRY_VERIFY_WITH_TIMEOUT(c.send(kPortNodeInfo, 18, nullptr) && c.waitFor(kPortNodeInfo, 18, 100, &r)
                                     && QString(reinterpret_cast<const char*>(&r.payload[30])) == "NEW,ESC",
                                 kWaitMs);
        QVERIFY(QByteArray(reinterpret_cast<const char*>(&r.payload[14]), 16) != uniqueId); // its own
        FileReadArgs fr;
        fr.fileType = 1001;
        QVERIFY(c.send(kPortFileRead, 16, &fr));
        QVERIFY(c.waitFor(kPortFileRead, 16, kWaitMs, &r));
        QCOMPARE(QString(reinterpret_cast<const char*>(&r.payload[7])), QString(":STR,Only a caption"));
        c.close();
        // SIGUSR2: the adapter out and in again, on a new terminal the link follows.
        QCOMPARE(::kill(pid_t(p.processId()), SIGUSR2), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), kWaitMs);
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromLocal8Bit(p.readLine()).trimmed());
        QVERIFY(c.open(link.toStdString()) && c.waitFor(kPortHeartbeat, 19));
        c.close();

        p.terminate();
        QVERIFY(p.waitForFinished(kWaitMs));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());

        // A file of the user's where the link would go is refused and kept.
        {
            QFile f(link);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the user's notes\n");
        }
        QProcess refused;
        refused.start(ESC_SIM_EXE, {"--link", link, "--quiet"});
        const bool finished = refused.waitForFinished(kWaitMs);
        QVERIFY2(!QFileInfo(link).isSymLink(), "the user's file was replaced by the link");
        QVERIFY(finished);
        QCOMPARE(refused.exitCode(), 1);
        QVERIFY(refused.readAllStandardOutput().isEmpty());
        QFile kept(link);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the user's notes\n"));
    }

    // A node made to refuse its bit-rate write, as a real one may: the other
    // node takes the same write.
    void registerFaultRefusesTheAccess()
    {
        QProcess p;
        // The lowest node, register and state a fault may name, too.
        p.start(ESC_SIM_EXE, {"--nodes", "1,17", "--register-fault", "17,4,13", "--register-fault", "1,0,1",
                              "--quiet"});
        QVERIFY(p.waitForStarted(kWaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), kWaitMs);
        SimClient c;
        QVERIFY(c.open(QString::fromLocal8Bit(p.readLine()).trimmed().toStdString()));
        struct Case {
            uint8_t node, reg;
            int opState;
        };
        for (const Case& k : {Case {17, 4, 0x13}, Case {1, 4, 0x20}, Case {1, 0, 0x01}}) {
            RegAccessArgs a;
            a.op = 2;
            a.reg = k.reg;
            a.value = 1; // 500K, the rate the nodes run at
            LinkRecord r;
            QVERIFY(c.send(kPortRegAccess, k.node, &a));
            QVERIFY(c.waitFor(kPortRegAccess, k.node, kWaitMs, &r));
            QCOMPARE(int(r.payload.at(0)), k.opState);
            QCOMPARE(int(r.payload.at(1)), int(k.reg));
        }
        c.close();
        // Pulled and plugged in again with no link to follow: the new path, and it runs on.
        QCOMPARE(::kill(pid_t(p.processId()), SIGUSR2), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine(), kWaitMs);
        p.terminate();
        QVERIFY(p.waitForFinished(kWaitMs));
        QCOMPARE(p.exitCode(), 0);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList {"--bogus"};
        QTest::newRow("bad node list") << QStringList {"--nodes", "16,abc"};
        QTest::newRow("node 0") << QStringList {"--nodes", "0"};
        QTest::newRow("node 128") << QStringList {"--nodes", "16,128"};
        QTest::newRow("empty node item") << QStringList {"--nodes", "16,,17"};
        QTest::newRow("node with a tail") << QStringList {"--nodes", "16,17x"};
        QTest::newRow("telemetry above 1000 Hz") << QStringList {"--telemetry-hz", "1001"};
        QTest::newRow("missing value") << QStringList {"--telemetry-hz"};
        QTest::newRow("bad version after upgrade") << QStringList {"--new-sw", "2"};
        QTest::newRow("register fault of a node not on the bus") << QStringList {"--register-fault", "17,4,13"};
        QTest::newRow("register fault without a state") << QStringList {"--register-fault", "16,4"};
        QTest::newRow("register fault of state 0") << QStringList {"--register-fault", "16,4,0"};
        QTest::newRow("register fault of state 100") << QStringList {"--register-fault", "16,4,100"};
        QTest::newRow("register fault of register -1") << QStringList {"--register-fault", "16,-1,13"};
        QTest::newRow("register fault of register 256") << QStringList {"--register-fault", "16,256,13"};
        QTest::newRow("register fault of node 0") << QStringList {"--nodes", "16", "--register-fault", "0,4,13"};
        QTest::newRow("register fault with a tail") << QStringList {"--register-fault", "16,4,13,1"};
        QTest::newRow("name of a node not on the bus") << QStringList {"--node-name", "17,ESC"};
        QTest::newRow("node name without a name") << QStringList {"--node-name", "16,"};
        QTest::newRow("swap of a node not on the bus") << QStringList {"--swap", "17,100,ESC"};
        QTest::newRow("swap without a name") << QStringList {"--swap", "16,100,"};
        QTest::newRow("swap silent past a minute") << QStringList {"--swap", "16,60001,ESC"};
        QTest::newRow("slow info of a node not on the bus") << QStringList {"--slow-info", "17,100"};
        QTest::newRow("slow info past a minute") << QStringList {"--slow-info", "16,60001"};
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
