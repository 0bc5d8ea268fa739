// The update-database button's download chain against a real HTTP server on
// 127.0.0.1: the device-file list, then the database it links, the install,
// and every way it can fail with the working database kept open.

#include <QtTest>

#include <memory>

#include "firmwarepagehelpers.h"
#include "httpfileserver.h"
#include "logcapture.h"
#include "modalboxcloser.h"

using namespace fwpage;

namespace {

const QString kListPath = QStringLiteral("/devfile/devFileList.csv");
const QString kDbPath = QStringLiteral("/db/fw.v2.db");
const QString kSuccess = QStringLiteral("Download firmware successfully");
const QString kNetworkError = QStringLiteral("Network Err, Please Check !");
const QString kFailed = QStringLiteral("Download firmware failed, the database in use is kept");

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
    void stalledRequestIsGivenUp();
    void debugTabDownloadIsOnlySaved();

private:
    TQCAN* page() const { return m_page.get(); }
    void serveGoodChain();
    void clickUpdate() { pagetest::click(page(), "btnDownloadDBCSV"); }
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
    setListUrl(m_server->url(kListPath));

    // The working state: an old list and database, open.
    QVERIFY(writeFile("download/devFileList.csv", list("old.db", "http://h/old.db")));
    QVERIFY(writeSingleVersionDb("download/old.db", QStringLiteral("1.0.0-old")));
    m_oldFiles = snapshot(inBase("download"));

    m_page.reset(new TQCAN);
    m_page->resize(1366, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page()));
    m_page->initDbPath();
    QCOMPARE(shownDb(page()), QStringLiteral("old"));
    openPort(page());
    QCOMPARE(clickSimDevice(page()), QStringList{"1.0.0-old"});
}

void TestFirmwareDownload::cleanup()
{
    m_page.reset();
    m_server.reset();
    cleanBase();
}

void TestFirmwareDownload::serveGoodChain()
{
    m_server->serve(kListPath, list("fw.v2.db", m_server->url(kDbPath)));
    QString error;
    const QString staged = inBase("served.db");
    QVERIFY2(testdb::writeStandardDb(staged, &error), qPrintable(error));
    m_dbBytes = fileBytes(staged);
    m_server->serve(kDbPath, m_dbBytes);
    QFile::remove(staged);
}

void TestFirmwareDownload::expectOldDatabaseInUse()
{
    QCOMPARE(snapshot(inBase("download")), m_oldFiles);
    QVERIFY(!QFileInfo::exists(inBase("download/temp")));
    QCOMPARE(shownDb(page()), QStringLiteral("old"));
    QCOMPARE(clickSimDevice(page()), QStringList{"1.0.0-old"});
    QVERIFY(buttonsEnabled());
}

void TestFirmwareDownload::listThenDatabaseAreInstalled()
{
    serveGoodChain();
    // Stray files next to the executable are never read, and go.
    const QString stray = QCoreApplication::applicationDirPath() + "/tst_firmware_download_stray.csv";
    QVERIFY(writeFile(QDir(base()).relativeFilePath(stray), "x"));

    ModalBoxCloser boxes;
    clickUpdate();
    QVERIFY(!buttonsEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(buttonsEnabled());
    QCOMPARE(m_server->hits(kListPath), 1);
    QCOMPARE(m_server->hits(kDbPath), 1);
    QVERIFY(!QFileInfo::exists(stray));

    QCOMPARE(shownDb(page()), QStringLiteral("fw"));
    QCOMPARE(snapshot(inBase("download")).keys(), (QStringList{"devFileList.csv", "fw.v2.db"}));
    QCOMPARE(clickSimDevice(page()), (QStringList{"2.3.0", "2.4.0", "2.5.0"}));

    // The watchdog is off: no second box.
    QTest::qWait(1500);
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
    serveGoodChain();
    // The list and the database both answer 302 first.
    m_server->serve("/mirror/list.csv", list("fw.v2.db", m_server->url(kDbPath)));
    m_server->redirect(kListPath, absolute ? m_server->url("/mirror/list.csv").toUtf8()
                                           : QByteArray("../mirror/list.csv"));
    m_server->serve("/db/store/fw.v2.db", m_dbBytes);
    m_server->redirect(kDbPath, absolute ? m_server->url("/db/store/fw.v2.db").toUtf8()
                                         : QByteArray("store/fw.v2.db"));

    ModalBoxCloser boxes;
    clickUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(m_server->hits("/mirror/list.csv"), 1);
    QCOMPARE(m_server->hits("/db/store/fw.v2.db"), 1);
    QCOMPARE(clickSimDevice(page()).size(), 3);
}

void TestFirmwareDownload::failuresKeepTheWorkingDatabase_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("box");
    QTest::newRow("list 404") << "list 404" << kNetworkError;
    QTest::newRow("database 404") << "database 404" << kNetworkError;
    QTest::newRow("redirect loop") << "redirect loop" << kNetworkError;
    QTest::newRow("html list") << "html list" << kFailed;
    QTest::newRow("html database") << "html database" << kFailed;
    QTest::newRow("empty database") << "empty database" << kFailed;
    QTest::newRow("link names another file") << "link names another file" << kFailed;
    QTest::newRow("file cell leaves download/") << "file cell leaves download/" << kFailed;
    QTest::newRow("no row for the product") << "no row for the product" << kFailed;
    // The list's file name is the URL's last part: here none, so nothing can be saved.
    QTest::newRow("list URL names a folder") << "list URL names a folder" << kNetworkError;
}

void TestFirmwareDownload::failuresKeepTheWorkingDatabase()
{
    QFETCH(QString, fault);
    QFETCH(QString, box);
    serveGoodChain();
    if (fault == "list 404") {
        m_server->remove(kListPath);
    } else if (fault == "database 404") {
        m_server->remove(kDbPath);
    } else if (fault == "redirect loop") {
        m_server->redirect(kDbPath, "fw.v2.db");
    } else if (fault == "html list") {
        m_server->serve(kListPath, "<html><body>Login required</body></html>");
    } else if (fault == "html database") {
        m_server->serve(kDbPath, "<html><body>Login required</body></html>");
    } else if (fault == "empty database") {
        m_server->serve(kDbPath, QByteArray());
    } else if (fault == "link names another file") {
        m_server->serve(kListPath, list("fw.v2.db", m_server->url("/db/other.db")));
        m_server->serve("/db/other.db", m_dbBytes);
    } else if (fault == "file cell leaves download/") {
        m_server->serve(kListPath, list("../evil.db", m_server->url("/db/../evil.db")));
    } else if (fault == "no row for the product") {
        m_server->serve(kListPath, "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nOTHER,fw.v2.db," + m_server->url(kDbPath).toUtf8() + "\n");
    } else if (fault == "list URL names a folder") {
        setListUrl(m_server->url("/devfile/"));
        m_server->serve("/devfile/", list("fw.v2.db", m_server->url(kDbPath)));
    }

    ModalBoxCloser boxes;
    LogCapture log(true);
    clickUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{box}, pagetest::kSlowMs);
    QTRY_VERIFY(buttonsEnabled());
    if (fault == "redirect loop")
        QCOMPARE(m_server->hits(kDbPath), 11); // the first request and ten redirects
    // No second box, also not from the watchdog.
    QTest::qWait(1500);
    QCOMPARE(boxes.texts(), QStringList{box});
    expectOldDatabaseInUse();
    QVERIFY(!QFileInfo::exists(inBase("evil.db")));
    QVERIFY(!QFileInfo::exists(inBase("download/evil.db")));
    QCOMPARE(m_server->hits("/evil.db") + m_server->hits("/db/other.db"), 0);

    // The next click starts afresh and succeeds.
    setListUrl(m_server->url(kListPath));
    serveGoodChain();
    boxes.clear();
    clickUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
    QCOMPARE(clickSimDevice(page()).size(), 3);
}

void TestFirmwareDownload::stalledRequestIsGivenUp()
{
    serveGoodChain();
    m_server->stall(kDbPath, 100000, "SQLite format 3");
    ModalBoxCloser boxes;
    LogCapture log(true);
    clickUpdate();
    QTRY_VERIFY_WITH_TIMEOUT(m_server->hits(kDbPath) == 1, pagetest::kSlowMs);
    // Ten seconds without progress, then the one box.
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kNetworkError}, 30000);
    QVERIFY(log.contains(QtCriticalMsg, QStringLiteral("Error: m_upDB_timeout timeout")));
    QVERIFY(buttonsEnabled());
    QTest::qWait(1500);
    QCOMPARE(boxes.texts(), QStringList{kNetworkError});
    expectOldDatabaseInUse();

    // A fresh chain after the one given up on.
    serveGoodChain();
    boxes.clear();
    clickUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{kSuccess}, pagetest::kSlowMs);
}

void TestFirmwareDownload::debugTabDownloadIsOnlySaved()
{
    serveGoodChain();
    pagetest::child<QLineEdit>(page(), "lEditHttps")->setText(m_server->url(kDbPath));
    ModalBoxCloser boxes;
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_download_clicked"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(inBase("fw.v2.db")).size() > 0, pagetest::kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(inBase("fw.v2.db")), m_dbBytes, pagetest::kSlowMs);
    QTest::qWait(500);
    QVERIFY(boxes.texts().isEmpty());
    expectOldDatabaseInUse();
}

QTEST_MAIN(TestFirmwareDownload)
#include "tst_firmware_download.moc"
