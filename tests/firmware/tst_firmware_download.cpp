// The update-database button's download chain against a real HTTP server on
// 127.0.0.1: the device-file list, then the database it links, the install,
// and every way it can fail with the working database kept open.

#include <QtTest>

#include <memory>

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

QByteArray fileBytes(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
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
    const QString stray = QCoreApplication::applicationDirPath() + "/tst_firmware_download_stray.csv";
    QVERIFY(writeFile(QDir(base()).relativeFilePath(stray), "x"));

    ModalBoxCloser boxes;
    pagetest::click(page(), "btnDownloadDBCSV");
    QVERIFY(!buttonsEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(buttonsEnabled());
    QCOMPARE(m_server->hits(kListPath), 1);
    QCOMPARE(m_server->hits(kDbPath), 1);
    QVERIFY(!QFileInfo::exists(stray));

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
    // Served at `path` instead of the good file: `body`, or a 404 when
    // `missing`, or a redirect to `redirect`. The stall sends a first piece
    // and then nothing: the ten-second watchdog gives it up.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("box");
    const QByteArray html = "<html><body>Login required</body></html>";
    QTest::newRow("list 404") << kListPath << QByteArray("404") << kNetworkError;
    QTest::newRow("database 404") << kDbPath << QByteArray("404") << kNetworkError;
    QTest::newRow("redirect loop") << kDbPath << QByteArray("302 fw.v2.db") << kNetworkError;
    QTest::newRow("stall") << kDbPath << QByteArray("stall") << kNetworkError;
    QTest::newRow("html list") << kListPath << html << kFailed;
    QTest::newRow("html database") << kDbPath << html << kFailed;
    QTest::newRow("empty database") << kDbPath << QByteArray() << kFailed;
    QTest::newRow("link names another file") << kListPath << list("fw.v2.db", "{/db/other.db}") << kFailed;
    QTest::newRow("file cell leaves download/") << kListPath << list("../evil.db", "{/db/../evil.db}") << kFailed;
    QTest::newRow("no row for the product")
        << kListPath << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nOTHER,fw.v2.db,{/db/fw.v2.db}\n") << kFailed;
    // The list's file name is the URL's last part: here none, so nothing can be saved.
    QTest::newRow("list URL names a folder") << "/devfile/" << list("fw.v2.db", "{/db/fw.v2.db}") << kNetworkError;
}

void TestFirmwareDownload::failuresKeepTheWorkingDatabase()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, box);
    body.replace("{", m_server->url(QString()).toUtf8()).replace("}", "");
    if (body == "404")
        m_server->remove(path);
    else if (body.startsWith("302 "))
        m_server->redirect(path, body.mid(4));
    else if (body == "stall")
        m_server->stall(path, 100000, "SQLite format 3");
    else
        m_server->serve(path, body);
    if (path == "/devfile/")
        kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(path), true);
    m_server->serve("/db/other.db", m_dbBytes);

    ModalBoxCloser boxes;
    update(boxes, box, 30000);
    if (QTest::currentDataTag() == QLatin1String("redirect loop"))
        QCOMPARE(m_server->hits(kDbPath), 11); // the first request and ten redirects
    QTest::qWait(1500); // no second box, also not from the watchdog
    QCOMPARE(boxes.texts(), QStringList{box});
    expectOldDatabaseInUse();
    QVERIFY(!QFileInfo::exists(inBase("download/temp")));
    QVERIFY(!QFileInfo::exists(inBase("evil.db")));
    QCOMPARE(m_server->hits("/evil.db") + m_server->hits("/db/other.db"), 0);

    // The next click starts afresh and succeeds.
    kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(kListPath), true);
    m_server->serve(kListPath, list("fw.v2.db", m_server->url(kDbPath)));
    m_server->serve(kDbPath, m_dbBytes);
    update(boxes, kSuccess);
    QCOMPARE(clickSimDevice(page()), kNewVersions);
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

QTEST_MAIN(TestFirmwareDownload)
#include "tst_firmware_download.moc"
