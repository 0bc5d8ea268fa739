// The update-database button's download chain against a real HTTP server on
// 127.0.0.1: the device-file list, then the database it links, the install,
// and every way it can fail with the working database kept open.

#include <QtTest>

#include <functional>
#include <memory>

#include "firmware/devfilelist.h"
#include "firmwarepagehelpers.h"
#include "httpfileserver.h"
#include "modalboxcloser.h"

using namespace fwpage;

namespace {

const QString kListPath = QStringLiteral("/devfile/devFileList.csv");
const QString kDbPath = QStringLiteral("/db/fw.v2.db");
const QString kSuccess = QStringLiteral("Download firmware successfully");
const QString kNetworkError = QStringLiteral("Network Err, Please Check !");
const QString kFailed = QStringLiteral("Download firmware failed, the database in use is kept");
const QStringList kNewVersions{"2.3.0", "2.4.0", "2.5.0"};
const QString kUpgradeFailed = QStringLiteral("Upgrade failed, please try again!");

QByteArray fileBytes(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Runs an action in the turn of the event loop after the watched widget
// becomes enabled: before any timer of a second from now can fire.
class WhenEnabled : public QObject
{
public:
    WhenEnabled(QWidget* widget, std::function<void()> action) : m_action(std::move(action))
    {
        widget->installEventFilter(this);
    }

private:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled() && m_action) {
            QTimer::singleShot(0, this, m_action);
            m_action = nullptr;
        }
        return false;
    }
    std::function<void()> m_action;
};

// A click that reaches the page whether or not the button is enabled.
void forceClick(QWidget* page, const char* button)
{
    QVERIFY(QMetaObject::invokeMethod(pagetest::child(page, button), "clicked", Q_ARG(bool, false)));
}

} // namespace

class TestFirmwareDownload : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init();
    void cleanup();

    void listThenDatabaseAreInstalled();
    void redirectsAreFollowed_data();
    void redirectsAreFollowed();
    void failuresKeepTheWorkingDatabase_data();
    void failuresKeepTheWorkingDatabase();
    void debugTabDownloadIsOnlySaved();
    void nothingOfADownloadLandsDuringAnUpgrade_data();
    void nothingOfADownloadLandsDuringAnUpgrade();

private:
    TQCAN* page() const { return m_page.get(); }
    void serveGoodChain();
    // Clicks the update button and waits for the one box it ends with.
    void update(ModalBoxCloser& boxes, const QString& box, int timeoutMs = pagetest::kSlowMs);
    bool buttonsEnabled() const
    {
        return pagetest::child(page(), "btnDownloadDBCSV")->isEnabled()
            && pagetest::child(page(), "btnUpgradedev")->isEnabled();
    }
    void expectOldDatabaseInUse();

    pagetest::PageEnv m_env;
    std::unique_ptr<HttpFileServer> m_server;
    std::unique_ptr<TQCAN> m_page;
    QMap<QString, QByteArray> m_oldFiles;
    QByteArray m_dbBytes; // the database the server hands out
};

void TestFirmwareDownload::init()
{
    cleanBase();
    m_server.reset(new HttpFileServer);
    QVERIFY(m_server->listen());
    kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(kListPath), true);

    // The working state: an old list and database, open.
    QVERIFY(writeFile("download/devFileList.csv", list("old.db", "http://h/old.db")));
    QVERIFY(writeSingleVersionDb("download/old.db", QStringLiteral("1.0.0-old")));
    m_oldFiles = snapshot(inBase("download"));
    m_page = startPage();
    openPort(page());
    expectOldDatabaseInUse();

    m_server->serve(kListPath, list("fw.v2.db", m_server->url(kDbPath)));
    QVERIFY(testdb::writeStandardDb(inBase("served.db")));
    m_dbBytes = fileBytes(inBase("served.db"));
    m_server->serve(kDbPath, m_dbBytes);
    QFile::remove(inBase("served.db"));
}

void TestFirmwareDownload::cleanup()
{
    m_page.reset();
    m_server.reset();
    cleanBase();
}

void TestFirmwareDownload::update(ModalBoxCloser& boxes, const QString& box, int timeoutMs)
{
    boxes.clear();
    pagetest::click(page(), "btnDownloadDBCSV");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{box}, timeoutMs);
    QTRY_VERIFY(buttonsEnabled());
}

void TestFirmwareDownload::expectOldDatabaseInUse()
{
    QCOMPARE(snapshot(inBase("download")), m_oldFiles);
    QCOMPARE(shownDb(page()), QStringLiteral("old"));
    QCOMPARE(clickSimDevice(page()), QStringList{"1.0.0-old"});
    QVERIFY(buttonsEnabled());
}

void TestFirmwareDownload::listThenDatabaseAreInstalled()
{
    // Stray files next to the executable are never read, and go.
    const QString stray = QCoreApplication::applicationDirPath() + "/tst_firmware_download_stray";
    for (const char* suffix : {".csv", ".db"})
        QVERIFY(writeFile(QDir(base()).relativeFilePath(stray + suffix), "x"));

    ModalBoxCloser boxes;
    pagetest::click(page(), "btnDownloadDBCSV");
    QVERIFY(!buttonsEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(buttonsEnabled());
    QCOMPARE(m_server->hits(kListPath), 1);
    QCOMPARE(m_server->hits(kDbPath), 1);
    QVERIFY(!QFileInfo::exists(stray + ".csv") && !QFileInfo::exists(stray + ".db"));

    QCOMPARE(shownDb(page()), QStringLiteral("fw"));
    QCOMPARE(snapshot(inBase("download")).keys(), (QStringList{"devFileList.csv", "fw.v2.db"}));
    QCOMPARE(clickSimDevice(page()), kNewVersions);
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
    // (a Content-Length above and below the body's size). "{" and "}"
    // enclose a path on the server, "<" and ">" one below the working
    // directory; "good" serves the good files. `plant` puts something in download/ before the click:
    // "file:", "folder:" or "journal:" and its name.
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
    QTest::newRow("backup folder cannot be made") << kDbPath << QByteArray("good") << kFailed << "file:previous";
    QTest::newRow("backup folder holds files") << kDbPath << QByteArray("good") << kFailed << "file:previous/old.db";
    QTest::newRow("a move fails") << kDbPath << QByteArray("good") << kFailed << "folder:fw.v2.db";
    QTest::newRow("new database does not open") << kDbPath << QByteArray("good") << kFailed << "journal:fw.v2.db-journal";
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
    const QString planted = plant.section(':', 1);
    if (plant.startsWith("folder:"))
        QVERIFY(QDir().mkpath(inBase("download/" + planted)));
    else if (!plant.isEmpty())
        QVERIFY(writeFile("download/" + planted, plant.startsWith("journal:") ? testdb::hotJournal(inBase("j.db")) : "x"));
    m_oldFiles = snapshot(inBase("download"));

    if (body == "404")
        m_server->remove(path);
    else if (body.startsWith("302 "))
        m_server->redirect(path, body.mid(4));
    else if (body == "stall")
        m_server->stall(path, 100000, "SQLite format 3");
    else if (body == "cut")
        m_server->misstate(path, m_dbBytes.left(m_dbBytes.size() / 2), m_dbBytes.size());
    else if (body == "overlong")
        m_server->misstate(path, m_dbBytes, m_dbBytes.size() / 2);
    else if (body == "unusable")
        m_server->serve(path, testdb::dbBytes(inBase("unusable.db"),
                                              {testdb::Table{"P_FLY_ESC_A'; DROP TABLE P_FLY_ESC_A;--",
                                                             {testdb::row("2.5.0", "n", 300, 200)}}}));
    else if (body != "good")
        m_server->serve(path, body);
    if (path.startsWith("/devfile/") && path != kListPath)
        kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(path), true);
    const QStringList elsewhere{"/evil.db", "/db/other.db", "/db/devFileList.csv", "/db/list.db", "/db/fw.sqlite"};
    for (const QString& other : elsewhere)
        m_server->serve(other, m_dbBytes);

    ModalBoxCloser boxes;
    update(boxes, box, 30000);
    if (QTest::currentDataTag() == QLatin1String("redirect loop"))
        QCOMPARE(m_server->hits(kDbPath), 11); // the first request and ten redirects
    QTest::qWait(1500); // no second box, also not from the watchdog
    QCOMPARE(boxes.texts(), QStringList{box});
    expectOldDatabaseInUse();
    QVERIFY(!QFileInfo::exists(inBase("download/temp")));
    QVERIFY(!QFileInfo::exists(inBase("evil.db")));
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
    if (late) {
        m_server->serveLate(kListPath, list("fw.v2.db", m_server->url(kDbPath)), 1000);
        pagetest::click(page(), "btnDownloadDBCSV");
        forceClick(page(), "btnUpgradedev");
        QVERIFY(upgradeHoldsTheControls());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kFailed}, pagetest::kSlowMs);
    } else {
        m_server->remove(kDbPath);
        WhenEnabled startUpgrade(pagetest::child(page(), "btnUpgradedev"), [this, closePort, refused] {
            pagetest::click(page(), "btnUpgradedev");
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
