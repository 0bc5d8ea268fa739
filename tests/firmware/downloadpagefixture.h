#ifndef DOWNLOADPAGEFIXTURE_H
#define DOWNLOADPAGEFIXTURE_H

// What the tests of the update-database button share: a real HTTP server on
// 127.0.0.1 that serves a device-file list and the database it links, the
// working state they start from (an old list and database in use, the page
// started on them with its port open), the update clicked until its one
// box, and the texts of the boxes the update ends with.

#include <QtTest>

#include <memory>

#include "diskfaults.h"
#include "downloadtesthelpers.h"
#include "firmware/fileswap.h"
#include "firmwarepagehelpers.h"
#include "httpfileserver.h"
#include "modalboxcloser.h"

namespace fwdownload {

const QString kListPath = QStringLiteral("/devfile/devFileList.csv");
const QString kDbPath = QStringLiteral("/db/fw.v2.db");
const QString kSuccess = QStringLiteral("Download firmware successfully");
const QString kNetworkError = QStringLiteral("Network Err, Please Check !");
const QString kFailed = QStringLiteral("Download firmware failed, the database in use is kept");
const QStringList kNewVersions{"2.3.0", "2.4.0", "2.5.0"};
const QString kUpgradeFailed = QStringLiteral("Upgrade failed, please try again!");
const QString kFailedNotKept = QStringLiteral("Download firmware failed");
const QString kFailedNoDb = QStringLiteral("Download firmware failed, no database is in use");
const QString kFailedNew = QStringLiteral("Download firmware failed, the new database is in use");
const QString kPleaseUpdate = QStringLiteral("Please click upgrade database button");

// The failure box with its cause's line: a backup folder in the way, a
// disk that failed (as the test's disk does: full), a server too slow.
inline QString failedBecause(const QString& state, const QString& cause)
{
    return state + '\n' + cause;
}
inline QString inTheWay(const QString& folder)
{
    return QStringLiteral("The backup folder %1 is in the way: move it elsewhere, then update again.").arg(folder);
}
inline QString diskFull(const QString& path)
{
    return QStringLiteral("Cannot write to the disk at %1: No space left on device").arg(path);
}
inline QString tooSlow(int bytes, int seconds)
{
    return QStringLiteral("The server sent less than %1 bytes in the last %2 seconds.").arg(bytes).arg(seconds);
}

class DownloadPageFixture
{
protected:
    // The working state, before each test function.
    void setUpChain()
    {
        using namespace fwpage;
        cleanBase();
        m_server.reset(new HttpFileServer);
        QVERIFY(m_server->listen());
        kioskini::storeValue(QStringLiteral("firmware/url"), m_server->url(kListPath), true);

        // An old list and database, open.
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
        m_newFiles = {{"devFileList.csv", list("fw.v2.db", m_server->url(kDbPath))}, {"fw.v2.db", m_dbBytes}};
    }

    void tearDownChain()
    {
        using namespace fwpage;
        FileSwap::setStepHook(nullptr);
        diskfaults::disarm();
        TQCAN::setDownloadRateFloor(60, 1024);
        for (const char* folder : {"outside", "elsewhere"})
            QDir(inBase(folder)).removeRecursively();
        m_page.reset();
        m_server.reset();
        cleanBase();
    }

    TQCAN* page() const { return m_page.get(); }

    // Clicks the update button and waits for the one box it ends with.
    void update(ModalBoxCloser& boxes, const QString& box, int timeoutMs = pagetest::kSlowMs)
    {
        boxes.clear();
        pagetest::click(page(), "btnDownloadDBCSV");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList{box}, timeoutMs);
        QTRY_VERIFY(buttonsEnabled());
    }

    bool buttonsEnabled() const
    {
        return pagetest::child(page(), "btnDownloadDBCSV")->isEnabled()
            && pagetest::child(page(), "btnUpgradedev")->isEnabled();
    }

    void expectOldDatabaseInUse()
    {
        using namespace fwpage;
        QCOMPARE(snapshot(inBase("download")), m_oldFiles);
        QCOMPARE(shownDb(page()), QStringLiteral("old"));
        QCOMPARE(clickSimDevice(page()), QStringList{"1.0.0-old"});
        QVERIFY(buttonsEnabled());
    }

    void expectNewDatabaseInUse()
    {
        using namespace fwpage;
        QCOMPARE(snapshot(inBase("download")), m_newFiles);
        QCOMPARE(shownDb(page()), QStringLiteral("fw"));
        QCOMPARE(clickSimDevice(page()), kNewVersions);
        QVERIFY(buttonsEnabled());
    }

    pagetest::PageEnv m_env;
    std::unique_ptr<HttpFileServer> m_server;
    std::unique_ptr<TQCAN> m_page;
    QMap<QString, QByteArray> m_oldFiles;
    QMap<QString, QByteArray> m_newFiles; // download/ after the good chain's install
    QByteArray m_dbBytes; // the database the server hands out
};

} // namespace fwdownload

#endif // DOWNLOADPAGEFIXTURE_H
