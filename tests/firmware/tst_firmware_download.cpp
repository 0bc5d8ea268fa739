// The update-database button's download chain against a real HTTP server on
// 127.0.0.1: the device-file list, then the database it links, the install,
// every way it can fail with the working database kept open and the box
// that says so, the rate the chain needs of a server, and a download that
// meets an upgrade. The install on the disk has a test of its own
// (tst_firmware_install.cpp).

#include <QtTest>

#include "downloadpagefixture.h"
#include "firmware/devfilelist.h"
#include "firmware/ratefloor.h"
#include "logcapture.h"

using namespace fwdownload;
using namespace fwpage;

class TestFirmwareDownload : public QObject, public DownloadPageFixture
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init() { setUpChain(); }
    void cleanup() { tearDownChain(); }

    void listThenDatabaseAreInstalled_data();
    void listThenDatabaseAreInstalled();
    void redirectsAreFollowed_data();
    void redirectsAreFollowed();
    void failuresKeepTheWorkingDatabase_data();
    void failuresKeepTheWorkingDatabase();
    void rateFloorWeighsTheLastWindow_data();
    void rateFloorWeighsTheLastWindow();
    void aFailureWithoutADatabaseSaysSo_data();
    void aFailureWithoutADatabaseSaysSo();
    void debugTabDownloadIsOnlySaved();
    void nothingOfADownloadLandsDuringAnUpgrade_data();
    void nothingOfADownloadLandsDuringAnUpgrade();
};

void TestFirmwareDownload::listThenDatabaseAreInstalled_data()
{
    // The database served in rollback-journal mode, or in WAL mode, which
    // must leave no "-wal" or "-shm" file beside it when it is read; or a
    // hot journal lies where it lands, which must not be played into it.
    QTest::addColumn<QString>("kind");
    QTest::newRow("rollback journal") << QString();
    QTest::newRow("WAL mode") << "wal";
    QTest::newRow("a stray journal where it lands") << "journal";
    // Slow, in 16 pieces over some 4 s, but well above a floor of 1 KiB in
    // a window shortened to 2 s: it is not cut.
    QTest::newRow("a slow body above the rate floor") << "paced";
}

void TestFirmwareDownload::listThenDatabaseAreInstalled()
{
    QFETCH(QString, kind);
    QStringList installed{"devFileList.csv", "fw.v2.db"};
    if (kind == "wal") {
        QVERIFY(testdb::writeStandardDb(inBase("served.db")));
        QVERIFY(testdb::toWalMode(inBase("served.db")));
        m_dbBytes = fileBytes(inBase("served.db"));
        QVERIFY(QFile::remove(inBase("served.db")));
        QCOMPARE(m_dbBytes.at(18), char(2)); // the header says WAL
        m_server->serve(kDbPath, m_dbBytes);
    } else if (kind == "journal") {
        QVERIFY(writeFile("download/fw.v2.db-journal", testdb::hotJournal(inBase("j.db"))));
        installed << "fw.v2.db-journal";
    } else if (kind == "paced") {
        TQCAN::setDownloadRateFloor(2, 1024);
        m_server->pace(kDbPath, m_dbBytes, qMax(256, m_dbBytes.size() / 16), 250);
    }
    // Stray files next to the executable are never read, and go.
    const QString stray = QCoreApplication::applicationDirPath() + "/tst_firmware_download_stray";
    for (const char* suffix : {".csv", ".db"})
        QVERIFY(writeFile(QDir(base()).relativeFilePath(stray + suffix), "x"));

    ModalBoxCloser boxes;
    LogCapture log(true);
    pagetest::click(page(), "btnDownloadDBCSV");
    QVERIFY(!buttonsEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(buttonsEnabled());
    QCOMPARE(m_server->hits(kListPath), 1);
    QCOMPARE(m_server->hits(kDbPath), 1);
    QVERIFY(!QFileInfo::exists(stray + ".csv") && !QFileInfo::exists(stray + ".db"));
    // Each file removed there is logged.
    const QString deleted = log.startingWith(QStringLiteral("File deleted:")).join('\n');
    for (const char* suffix : {".csv", ".db"})
        QVERIFY2(deleted.contains(stray + suffix), qPrintable(deleted));

    QCOMPARE(shownDb(page()), QStringLiteral("fw"));
    QCOMPARE(snapshot(inBase("download")).keys(), installed);
    QCOMPARE(clickSimDevice(page()), kNewVersions);
    QCOMPARE(fileBytes(inBase("download/fw.v2.db")), m_dbBytes); // read as it came, nothing beside it
    QCOMPARE(snapshot(inBase("download")).keys(), installed);
    QTest::qWait(1500); // the watchdog is off: no second box
    QCOMPARE(boxes.texts(), QStringList{kSuccess});
}

void TestFirmwareDownload::redirectsAreFollowed_data()
{
    QTest::addColumn<bool>("absolute");
    QTest::newRow("absolute") << true;
    QTest::newRow("relative") << false;
}

void TestFirmwareDownload::redirectsAreFollowed()
{
    QFETCH(bool, absolute);
    // The list and the database both answer 302 first.
    m_server->serve("/mirror/list.csv", list("fw.v2.db", m_server->url(kDbPath)));
    m_server->redirect(kListPath, absolute ? m_server->url("/mirror/list.csv").toUtf8() : "../mirror/list.csv");
    m_server->serve("/db/store/fw.v2.db", m_dbBytes);
    m_server->redirect(kDbPath, absolute ? m_server->url("/db/store/fw.v2.db").toUtf8() : "store/fw.v2.db");

    ModalBoxCloser boxes;
    update(boxes, kSuccess);
    QCOMPARE(m_server->hits("/mirror/list.csv"), 1);
    QCOMPARE(m_server->hits("/db/store/fw.v2.db"), 1);
    QCOMPARE(clickSimDevice(page()), kNewVersions);
}

void TestFirmwareDownload::failuresKeepTheWorkingDatabase_data()
{
    // Served at `path` instead of the good file: `body`, or one of these
    // responses: "404"; "302 <location>"; "stall" (a first piece, then
    // nothing: the ten-second watchdog gives it up); "cut" and "overlong"
    // (a Content-Length above and below the body's size); "cut by N" (the
    // good database without its last N bytes, under a Content-Length that
    // says so); "short by 1" (the database without its last byte under the
    // whole one's Content-Length); "dropped" (the database without its last
    // 1024 bytes and without Content-Length, ended by the closed
    // connection); "announced above the bound" (a Content-Length above the
    // database bound); "endless" (a first piece, then bytes without end);
    // "packed" (128 MiB of zeros packed into some 128 KiB under "Content-
    // Encoding: deflate", which the page must not unpack). For the last two
    // the memory the process takes meanwhile is measured. "{" and "}" enclose a
    // path on the server, "<" and ">" one below the working directory;
    // "good" serves the good files. `plant` puts something in download/
    // before the click: "file:" or "folder:" and its name; "record:" and the
    // text of a record in download/previous; or "corrupt:" and a name that
    // the install spoils right after it moved the file in.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("plant");
    const QByteArray html = "<html><body>Login required</body></html>";
    QTest::newRow("list 404") << kListPath << QByteArray("404") << kNetworkError << QString();
    QTest::newRow("database 404") << kDbPath << QByteArray("404") << kNetworkError << QString();
    QTest::newRow("redirect loop") << kDbPath << QByteArray("302 fw.v2.db") << kNetworkError << QString();
    QTest::newRow("stall") << kDbPath << QByteArray("stall") << kNetworkError << QString();
    QTest::newRow("database shorter than its Content-Length") << kDbPath << QByteArray("cut") << kNetworkError << QString();
    QTest::newRow("database longer than its Content-Length") << kDbPath << QByteArray("overlong") << kFailed << QString();
    QTest::newRow("database 1 byte shorter than its Content-Length") << kDbPath << QByteArray("short by 1") << kNetworkError << QString();
    QTest::newRow("database cut by 1 byte") << kDbPath << QByteArray("cut by 1") << kFailed << QString();
    QTest::newRow("database cut by 1024 bytes") << kDbPath << QByteArray("cut by 1024") << kFailed << QString();
    QTest::newRow("database cut by 4000 bytes") << kDbPath << QByteArray("cut by 4000") << kFailed << QString();
    QTest::newRow("database cut by a dropped connection") << kDbPath << QByteArray("dropped") << kFailed << QString();
    QTest::newRow("database announced above the bound") << kDbPath << QByteArray("announced above the bound") << kFailed << QString();
    QTest::newRow("endless list") << kListPath << QByteArray("endless") << kFailed << QString();
    QTest::newRow("endless database") << kDbPath << QByteArray("endless") << kFailed << QString();
    QTest::newRow("endless redirect") << kDbPath << QByteArray("endless 302 /db/store/fw.v2.db") << kFailed << QString();
    QTest::newRow("packed database") << kDbPath << QByteArray("packed") << kFailed << QString();
    QTest::newRow("html list") << kListPath << html << kFailed << QString();
    QTest::newRow("html database") << kDbPath << html << kFailed << QString();
    QTest::newRow("empty database") << kDbPath << QByteArray() << kFailed << QString();
    QTest::newRow("database without a usable table") << kDbPath << QByteArray("unusable") << kFailed << QString();
    QTest::newRow("link names another file") << kListPath << list("fw.v2.db", "{/db/other.db}") << kFailed << QString();
    QTest::newRow("file cell leaves download/") << kListPath << list("../evil.db", "{/db/../evil.db}") << kFailed << QString();
    QTest::newRow("database named like the list")
        << kListPath << list("devFileList.csv", "{/db/devFileList.csv}") << kFailed << QString();
    QTest::newRow("database named like a list called *.db")
        << "/devfile/list.db" << list("list.db", "{/db/list.db}") << kFailed << QString();
    // The install's record in download/previous carries this name.
    const QString recordName = "The server sends a file named %1, a name the install keeps for its own record: "
                               "the server must send it under another name.";
    QTest::newRow("list named like the install's record")
        << "/devfile/install-record.csv" << list("fw.v2.db", "{/db/fw.v2.db}")
        << failedBecause(kFailed, recordName.arg("install-record.csv")) << QString();
    QTest::newRow("database named like the install's record") << kListPath
        << list("install-record.db", "{/db/install-record.db}")
        << failedBecause(kFailed, recordName.arg("install-record.db")) << QString();
    QTest::newRow("a file of the user's named like the install's record") << kDbPath << QByteArray("good")
        << failedBecause(kFailed, inBase("download/install-record.db") + " is in the way: move it elsewhere, then update again.")
        << "file:install-record.db";
    QTest::newRow("database name not *.db") << kListPath << list("fw.sqlite", "{/db/fw.sqlite}") << kFailed << QString();
    QTest::newRow("link to a local file") << kListPath << list("fw.v2.db", "file://<local/fw.v2.db>") << kFailed << QString();
    QTest::newRow("redirect to a local file") << kDbPath << QByteArray("302 file://<local/fw.v2.db>") << kFailed << QString();
    QTest::newRow("no row for the product")
        << kListPath << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nOTHER,fw.v2.db,{/db/fw.v2.db}\n") << kFailed << QString();
    QTest::newRow("list above the bound")
        << kListPath << list("fw.v2.db", "{/db/fw.v2.db}") + QByteArray(int(devfilelist::kMaxListBytes), '#') << kFailed
        << QString();
    // The list's file name is the URL's last part (a path of /devfile/ here
    // is the list's URL): here none, so nothing can be saved.
    QTest::newRow("list URL names a folder") << "/devfile/" << list("fw.v2.db", "{/db/fw.v2.db}") << kNetworkError << QString();
    // The install itself fails: the old files cannot be set aside, the new
    // ones cannot all be put in place, or the new database does not read there.
    // A backup folder in the way is named.
    const QString inTheWayBox = failedBecause(kFailed, inTheWay(inBase("download/previous")));
    QTest::newRow("backup folder cannot be made") << kDbPath << QByteArray("good") << inTheWayBox << "file:previous";
    QTest::newRow("backup folder holds files") << kDbPath << QByteArray("good") << inTheWayBox << "file:previous/old.db";
    QTest::newRow("backup folder holds a record that does not read")
        << kDbPath << QByteArray("good") << inTheWayBox << "record:state pending\n";
    QTest::newRow("backup folder holds a record naming no file")
        << kDbPath << QByteArray("good") << inTheWayBox << "record:tq install record 1\nstate pending\nold\n";
    QTest::newRow("backup folder holds a record naming a file outside it")
        << kDbPath << QByteArray("good") << inTheWayBox << "record:tq install record 1\nstate installed\nold ..%2Fold.db\n";
    const QString newDb = inBase("download/fw.v2.db");
    QTest::newRow("a move fails") << kDbPath << QByteArray("good")
                                  << failedBecause(kFailed, newDb + " is in the way: move it elsewhere, then update again.")
                                  << "folder:fw.v2.db";
    // A move never writes through a link: not even one that leads nowhere.
    QTest::newRow("a link where the new database goes")
        << kDbPath << QByteArray("good")
        << failedBecause(kFailed, "The link " + newDb + " leads nowhere and is in the way: remove it, then update again.")
        << "link:fw.v2.db";
    // One byte every 200 ms keeps the no-progress watchdog alive; the rate
    // floor, its window shortened to 3 s, ends it.
    QTest::newRow("a body that trickles") << kDbPath << QByteArray("trickle") << failedBecause(kFailed, tooSlow(1024, 3))
                                          << QString();
    QTest::newRow("new database does not open") << kDbPath << QByteArray("good") << kFailed << "corrupt:fw.v2.db";
    // A disk that fills up within a write: it takes part, and then nothing.
    QTest::newRow("a short write of the list") << kListPath << QByteArray("good")
                                               << failedBecause(kFailed, diskFull(inBase("download/temp/devFileList.csv")))
                                               << "short:temp/";
    QTest::newRow("a short write of the install's record")
        << kDbPath << QByteArray("good") << failedBecause(kFailed, diskFull(inBase("download/previous"))) << "short:previous";
}

void TestFirmwareDownload::failuresKeepTheWorkingDatabase()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, box);
    QFETCH(QString, plant);
    body.replace("{", m_server->url(QString()).toUtf8()).replace("}", "");
    body.replace("<", base().toUtf8() + '/').replace(">", "");
    // A real database where a local link would lead.
    QVERIFY(testdb::writeStandardDb(inBase("local/fw.v2.db")));
    const QString planted = plant.startsWith("record:") ? "previous/" + FileSwap::recordName() : plant.section(':', 1);
    if (plant.startsWith("record:")) {
        QVERIFY(writeFile("download/" + planted, plant.mid(7).toUtf8()));
    } else if (plant.startsWith("folder:")) {
        QVERIFY(QDir().mkpath(inBase("download/" + planted)));
    } else if (plant.startsWith("link:")) {
        QVERIFY(QDir().mkpath(inBase("outside")));
        QVERIFY(QFile::link(inBase("outside/" + planted), inBase("download/" + planted)));
    } else if (plant.startsWith("corrupt:")) {
        FileSwap::setStepHook([planted](const QString& step) {
            if (step == "moved in " + planted)
                writeFile("download/" + planted, "not a database any more");
        });
    } else if (plant.startsWith("short:")) {
        diskfaults::arm(("/download/" + planted).toUtf8(), 1, diskfaults::Fault::CutShort);
    } else if (!plant.isEmpty()) {
        QVERIFY(writeFile("download/" + planted, "x"));
    }
    m_oldFiles = snapshot(inBase("download"));

    if (body == "404")
        m_server->remove(path);
    else if (body.startsWith("302 "))
        m_server->redirect(path, body.mid(4));
    else if (body == "stall")
        m_server->stall(path, 100000, "SQLite format 3");
    else if (body == "trickle") {
        TQCAN::setDownloadRateFloor(3, 1024);
        m_server->pace(path, m_dbBytes, 1, 200);
    }
    else if (body == "cut")
        m_server->misstate(path, m_dbBytes.left(m_dbBytes.size() / 2), m_dbBytes.size());
    else if (body == "overlong")
        m_server->misstate(path, m_dbBytes, m_dbBytes.size() / 2);
    else if (body.startsWith("cut by "))
        m_server->serve(path, m_dbBytes.left(m_dbBytes.size() - body.mid(7).toInt()));
    else if (body == "short by 1")
        m_server->misstate(path, m_dbBytes.left(m_dbBytes.size() - 1), m_dbBytes.size());
    else if (body == "dropped")
        m_server->misstate(path, m_dbBytes.left(m_dbBytes.size() - 1024), HttpFileServer::kNoLength);
    else if (body == "announced above the bound")
        m_server->misstate(path, m_dbBytes, record_db::kMaxDatabaseBytes + 1);
    else if (body == "packed")
        m_server->serveEncoded(path, qCompress(QByteArray(128 * 1024 * 1024, '\0'), 9).mid(4), "deflate");
    else if (body == "endless")
        m_server->endless(path, path == kListPath ? list("fw.v2.db", m_server->url(kDbPath)) : m_dbBytes.left(100));
    else if (body.startsWith("endless 302 "))
        m_server->endless(path, "<html>", body.mid(12));
    else if (body == "unusable")
        m_server->serve(path, testdb::dbBytes(inBase("unusable.db"),
                                              {testdb::Table{"P_FLY_ESC_A'; DROP TABLE P_FLY_ESC_A;--",
                                                             {testdb::row("2.5.0", "n", 300, 200)}}}));
    else if (body != "good")
        m_server->serve(path, body);
    if (path.startsWith("/devfile/") && path != kListPath)
        kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(path), true);
    const QStringList elsewhere{"/evil.db", "/db/other.db", "/db/devFileList.csv", "/db/list.db", "/db/fw.sqlite"};
    m_server->serve("/db/install-record.db", m_dbBytes);
    for (const QString& other : elsewhere)
        m_server->serve(other, m_dbBytes);

    ModalBoxCloser boxes;
    const bool measured = body.startsWith("endless") || body == "packed";
    std::unique_ptr<MemoryGrowth> memory(measured ? new MemoryGrowth : nullptr);
    update(boxes, box, measured ? 240000 : 30000);
    FileSwap::setStepHook(nullptr);
    diskfaults::disarm();
    if (memory) {
        // An endless body went past the bound; the process held little of
        // any of it.
        const qint64 bound = path == kListPath ? devfilelist::kMaxListBytes : record_db::kMaxDatabaseBytes;
        if (body.startsWith("endless"))
            QVERIFY2(m_server->poured(path) > bound, qPrintable(QString::number(m_server->poured(path))));
        const qint64 growth = memory->peakKiB();
        qInfo("%s: resident memory %lld KiB at the start, at most %lld KiB above it (%lld bytes poured)",
              QTest::currentDataTag(), memory->startKiB(), growth, m_server->poured(path));
        QVERIFY(growth >= 0);
        QVERIFY2(growth < 64 * 1024, qPrintable(QString::number(growth)));
    }
    if (QTest::currentDataTag() == QLatin1String("redirect loop"))
        QCOMPARE(m_server->hits(kDbPath), 11); // the first request and ten redirects
    QTest::qWait(1500); // no second box, also not from the watchdog
    QCOMPARE(boxes.texts(), QStringList{box});
    expectOldDatabaseInUse();
    QVERIFY(!QFileInfo::exists(inBase("download/temp")));
    QVERIFY(!QFileInfo::exists(inBase("evil.db")));
    QVERIFY(QDir(inBase("outside")).isEmpty());
    for (const QString& other : elsewhere)
        QVERIFY2(m_server->hits(other) == 0, qPrintable(other));

    // The next click starts afresh and succeeds.
    if (!plant.isEmpty())
        QVERIFY(QFile::remove(inBase("download/" + planted))
                || QDir(inBase("download/" + planted)).removeRecursively());
    QDir(inBase("download/previous")).removeRecursively();
    kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(kListPath), true);
    m_server->serve(kListPath, list("fw.v2.db", m_server->url(kDbPath)));
    m_server->serve(kDbPath, m_dbBytes);
    update(boxes, kSuccess);
    QCOMPARE(clickSimDevice(page()), kNewVersions);
    QVERIFY(!QFileInfo::exists(inBase("download/previous")));
}

void TestFirmwareDownload::rateFloorWeighsTheLastWindow_data()
{
    // A floor of 30 bytes in 3 s; the bytes of each second, and the second
    // (from 0) at whose end the transfer is too slow, or -1.
    QTest::addColumn<QList<int>>("seconds");
    QTest::addColumn<int>("tooSlowAt");
    QTest::newRow("the floor exactly, each window") << QList<int>{10, 10, 10, 10, 10} << -1;
    QTest::newRow("a byte short") << QList<int>{10, 10, 9} << 2;
    QTest::newRow("nothing, but not yet a whole window") << QList<int>{0, 0} << -1;
    QTest::newRow("nothing for a whole window") << QList<int>{0, 0, 0} << 2;
    QTest::newRow("a burst that leaves the window") << QList<int>{30, 0, 0, 0} << 3;
    QTest::newRow("a trickle") << QList<int>{5, 5, 5, 5} << 2;
}

void TestFirmwareDownload::rateFloorWeighsTheLastWindow()
{
    QFETCH(QList<int>, seconds);
    QFETCH(int, tooSlowAt);
    RateFloor floor(3, 30);
    // Neither the seconds of an earlier transfer count, nor what it brought
    // in its last one.
    floor.tick();
    floor.tick();
    floor.add(1000);
    floor.restart();
    int at = -1;
    for (int second = 0; second < seconds.size() && at < 0; ++second) {
        floor.add(seconds.at(second));
        if (floor.tick())
            at = second;
    }
    QCOMPARE(at, tooSlowAt);
}

void TestFirmwareDownload::aFailureWithoutADatabaseSaysSo_data()
{
    // No database was in use when the update failed: none is called kept.
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("box");
    QTest::newRow("a database that does not read") << "html" << kFailedNoDb;
    QTest::newRow("a backup folder in the way")
        << "in the way" << failedBecause(kFailedNoDb, inTheWay(inBase("download/previous")));
    // The list names an old database that does not open: none is in use.
    QTest::newRow("an old database that does not open") << "unreadable old, html" << kFailedNoDb;
}

void TestFirmwareDownload::aFailureWithoutADatabaseSaysSo()
{
    QFETCH(QString, failure);
    QFETCH(QString, box);
    m_page.reset();
    if (failure.startsWith("unreadable old"))
        QVERIFY(writeFile("download/old.db", "not a database any more"));
    else
        QVERIFY(QDir(inBase("download")).removeRecursively());
    ModalBoxCloser boxes;
    m_page = startPage();
    QCOMPARE(boxes.texts(), QStringList{kPleaseUpdate});
    openPort(page());
    if (failure.endsWith("html"))
        m_server->serve(kDbPath, "<html></html>");
    else
        QVERIFY(writeFile("download/previous/stray", "x"));
    update(boxes, box);
    QVERIFY(clickSimDevice(page()).isEmpty());

    QVERIFY(QDir(inBase("download/previous")).removeRecursively());
    m_server->serve(kDbPath, m_dbBytes);
    update(boxes, kSuccess);
    expectNewDatabaseInUse();
}

void TestFirmwareDownload::debugTabDownloadIsOnlySaved()
{
    pagetest::child<QLineEdit>(page(), "lEditHttps")->setText(m_server->url(kDbPath));
    ModalBoxCloser boxes;
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_download_clicked"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(inBase("fw.v2.db")), m_dbBytes, pagetest::kSlowMs);
    QTest::qWait(500);
    QVERIFY(boxes.texts().isEmpty());
    expectOldDatabaseInUse();
}

void TestFirmwareDownload::nothingOfADownloadLandsDuringAnUpgrade_data()
{
    // late: the list answers while the upgrade runs (its start forced past
    // the disabled button); otherwise the database request fails and the
    // upgrade starts before the watchdog's last tick, with the port then
    // closed or not; refused: the node refuses the upgrade at once, so
    // that it fails before that tick.
    QTest::addColumn<bool>("late");
    QTest::addColumn<bool>("closePort");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a failed download's last tick") << false << false << false;
    QTest::newRow("the last tick with the port closed") << false << true << false;
    QTest::newRow("the upgrade failing before the last tick") << false << true << true;
    QTest::newRow("a late reply") << true << false << false;
}

void TestFirmwareDownload::nothingOfADownloadLandsDuringAnUpgrade()
{
    QFETCH(bool, late);
    QFETCH(bool, closePort);
    QFETCH(bool, refused);
    QCOMPARE(clickSimDevice(page()), QStringList{"1.0.0-old"});
    const auto upgradeHoldsTheControls = [this] {
        for (const char* name : {"btnDownloadDBCSV", "btnUpgradedev", "comboBoxThrot", "comboBox_dev_ver"}) {
            if (pagetest::child(page(), name)->isEnabled())
                return false;
        }
        return true;
    };
    ModalBoxCloser boxes;
    pagetest::NumberedRequests asked;
    if (late) {
        m_server->serveLate(kListPath, list("fw.v2.db", m_server->url(kDbPath)), 1000);
        pagetest::click(page(), "btnDownloadDBCSV");
        forceClick(page(), "btnUpgradedev");
        page()->doProcessRecvTQPack(asked.info(16)); // still what it was
        QVERIFY(upgradeHoldsTheControls());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kFailed}, pagetest::kSlowMs);
    } else {
        m_server->remove(kDbPath);
        WhenEnabled startUpgrade(pagetest::child(page(), "btnUpgradedev"), [this, closePort, refused, &asked] {
            pagetest::click(page(), "btnUpgradedev");
            page()->doProcessRecvTQPack(asked.info(16));
            if (closePort)
                pagetest::click(page(), "btnOpen");
            if (refused)
                page()->doProcessRecvTQPack(pagetest::record(435, 16, std::string("\x05", 1)));
        });
        pagetest::click(page(), "btnDownloadDBCSV");
        if (refused) {
            // The failed upgrade leaves the one-second timer to the
            // download's last tick, which still reports.
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), (QStringList{kUpgradeFailed, kNetworkError}), pagetest::kSlowMs);
            QVERIFY(buttonsEnabled());
            openPort(page());
            expectOldDatabaseInUse();
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kNetworkError}, pagetest::kSlowMs);
    }
    QVERIFY(upgradeHoldsTheControls());
    // A second click that gets through starts nothing.
    forceClick(page(), "btnDownloadDBCSV");
    QTest::qWait(500);
    QCOMPARE(m_server->hits(kListPath), 1);
    QCOMPARE(m_server->hits(kDbPath), late ? 0 : 1);
    QVERIFY(upgradeHoldsTheControls());

    // The upgrade ends on its own terms: the node refuses, or, with the port
    // closed, its watchdog runs out.
    if (!closePort)
        page()->doProcessRecvTQPack(pagetest::record(435, 16, std::string("\x05", 1)));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts().last(), kUpgradeFailed, 15000);
    QCOMPARE(boxes.texts().size(), 2);
    if (closePort)
        openPort(page());
    expectOldDatabaseInUse();
}

QTEST_MAIN(TestFirmwareDownload)
#include "tst_firmware_download.moc"
