// The update-database button's download chain over HTTP: the device-file
// list first, then the firmware database that the list's product row links,
// both into the staging folder "download/temp" below the working directory;
// the install (tqcan_dbinstall.cpp) follows. A watchdog on the page's 1 s
// timer ends a request that shows no progress for 10 s.
//
// Only the running chain's request counts: m_downloadReply names it (a
// redirect's request takes its place). Any other reply that finishes - one
// the watchdog gave up on - is dropped unread.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

#include "firmware/devfilelist.h"
#include "firmware/firmwarenames.h"

namespace {

// Seconds without progress before a request is given up.
constexpr int kDownloadWatchdogS = 10;
// Redirects followed for one file.
constexpr int kMaxRedirects = 10;

enum DownloadState { kIdle = 0, kDeviceList = 1, kDatabase = 3 };

} // namespace

void TQCAN::startDownloadCSVRequest()
{
    // The upgrade reads the database: nothing may replace it meanwhile.
    if (m_upgradeState != 0) {
        qCritical() << "startDownloadCSVRequest: refused, node" << m_upgrade_devId << "is being upgraded";
        return;
    }
    m_downloadState = kDeviceList;
    startDownloadCSV();
}

void TQCAN::startDownloadCSV()
{
    const QString url = deviceListUrl();
    const QString staging = downloadBaseDir() + QStringLiteral("/download/temp");
    m_csvFilePath = QStringLiteral("%1%2/%3").arg(downloadBaseDir(), QStringLiteral("/download/temp"),
                                                  firmwarenames::lastPathPart(url));
    qDebug() << "--startDownloadCSV---download----path:" << m_csvFilePath;
    // Left-overs of an earlier chain must not be installed with this one.
    clearDownloadTempDir(staging);
    if (!makeDirIfMissing(staging)) {
        qCritical() << "--startDownloadCSV---ceate--path err:" << m_csvFilePath;
        return;
    }
    m_pendingDbName.clear();
    m_downloadRedirects = 0;
    m_downloadUrl = url;
    m_downloadFilePath = m_csvFilePath;
    startHttpGet();

    m_upDB_timeout = kDownloadWatchdogS;
    ui->btnUpgradedev->setEnabled(false);
    ui->btnDownloadDBCSV->setEnabled(false);
    if (!m_checkDevTimer.isActive())
        m_checkDevTimer.start();
    qDebug() << "--startDownloadCSV--start download----strHttps=" << url;
}

void TQCAN::startDownloadDB(const QString& url)
{
    const QString path = QStringLiteral("%1%2/%3").arg(downloadBaseDir(), QStringLiteral("/download/temp"),
                                                       firmwarenames::lastPathPart(url));
    qDebug() << "--startDownloadDB---download----path:" << downloadBaseDir() << path;
    m_downloadRedirects = 0;
    m_downloadUrl = url;
    m_downloadFilePath = path;
    startHttpGet();
    m_upDB_timeout = kDownloadWatchdogS;
    qDebug() << "--startDownloadDB--start download-----";
}

void TQCAN::startHttpGet()
{
    const QNetworkRequest request(QUrl(m_downloadUrl, QUrl::TolerantMode));
    m_downloadReply = m_netAccessManager->get(request);
    connect(m_downloadReply.data(), &QNetworkReply::downloadProgress, this, &TQCAN::onDownloadProgress);
}

void TQCAN::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    Q_UNUSED(bytesTotal)
    // A request given up on keeps no watchdog alive.
    if (!m_downloadReply || sender() != m_downloadReply.data())
        return;
    qDebug() << "Downloaded:" << bytesReceived << "bytes";
    m_upDB_timeout = kDownloadWatchdogS;
}

void TQCAN::onDownloadFinished(QNetworkReply* reply)
{
    disconnect(reply, &QNetworkReply::downloadProgress, this, &TQCAN::onDownloadProgress);
    reply->deleteLater();
    if (reply != m_downloadReply) {
        qDebug() << "onDownloadFinished--stale reply dropped:" << reply->url().toString();
        return;
    }
    m_downloadReply = nullptr;

    if (reply->error() != QNetworkReply::NoError) {
        failDownloadRequest(reply->errorString());
        return;
    }
    // Nothing of a chain goes on under a running upgrade: no next request,
    // no install.
    if (m_downloadState != kIdle && m_upgradeState != 0) {
        failDownloadChain(QStringLiteral("node %1 is being upgraded").arg(m_upgrade_devId));
        return;
    }

    const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (!target.isEmpty()) {
        if (++m_downloadRedirects > kMaxRedirects) {
            failDownloadRequest(QStringLiteral("more than %1 redirects").arg(kMaxRedirects));
            return;
        }
        // A relative Location is relative to the URL that answered.
        const QUrl next = reply->url().resolved(target);
        if (!firmwarenames::isWebLink(next)) {
            failDownloadChain(QStringLiteral("redirect to %1 refused").arg(next.toString()));
            return;
        }
        qDebug() << "onDownloadFinished--redirect to" << next.toString();
        m_downloadReply = m_netAccessManager->get(QNetworkRequest(next));
        connect(m_downloadReply.data(), &QNetworkReply::downloadProgress, this, &TQCAN::onDownloadProgress);
        return;
    }

    QFile file(m_downloadFilePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qDebug() << "Error: Could not open file for writing";
        failDownloadRequest(file.errorString());
        return;
    }
    const QByteArray body = reply->readAll();
    const bool written = file.write(body) == body.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        failDownloadRequest(QStringLiteral("short write to %1: %2").arg(m_downloadFilePath, file.errorString()));
        return;
    }
    qDebug() << "Download completed. File saved to:" << m_downloadFilePath;

    if (m_downloadState == kDeviceList) {
        handleDeviceListArrived();
        return;
    }
    const bool database = m_downloadState == kDatabase;
    m_downloadState = kIdle;
    // A download outside a chain (the debug tab's) is only saved.
    if (database)
        installDownloadedDb();
}

void TQCAN::handleDeviceListArrived()
{
    QString fileName;
    QString link;
    const bool usable = m_bDebug
        ? readCSVDBTest(m_csvFilePath, fileName, link, devfilelist::productKey())
        : readCSVDBRelease(m_csvFilePath, fileName, link, devfilelist::productKey());
    qDebug() << (m_bDebug ? "--------e_DOWNLOAD_DB---debug--m_db_name="
                          : "--------e_DOWNLOAD_DB---not debug--m_db_name=")
             << fileName;
    if (!usable) {
        failDownloadChain(QStringLiteral("the device-file list names no usable database"));
        return;
    }
    // The database is staged beside the list and installed by its name: a
    // name the install does not take for a database, or the list's own,
    // would overwrite the staged list or be left behind.
    if (!firmwarenames::isDatabaseFileName(fileName)
        || fileName == firmwarenames::lastPathPart(m_csvFilePath)) {
        failDownloadChain(QStringLiteral("%1 is no database file name").arg(fileName));
        return;
    }
    // The database is saved under its link's last part and opened under the
    // row's file name: they must agree.
    if (link.isEmpty() || firmwarenames::lastPathPart(link) != fileName) {
        failDownloadChain(QStringLiteral("link %1 does not name file %2").arg(link, fileName));
        return;
    }
    if (!firmwarenames::isWebLink(QUrl(link, QUrl::TolerantMode))) {
        failDownloadChain(QStringLiteral("link %1 is no web link").arg(link));
        return;
    }
    m_downloadState = kDatabase;
    m_pendingDbName = fileName;
    startDownloadDB(link);
}

void TQCAN::failDownloadRequest(const QString& error)
{
    qCritical() << "Error:" << error;
    releaseDownloadControls(false);
    m_pendingDbName.clear();
    // The watchdog reports on its next tick.
    m_upDB_timeout = 1;
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
}

void TQCAN::failDownloadChain(const QString& reason)
{
    qCritical() << "download firmware failed:" << reason;
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
    m_downloadState = kIdle;
    m_pendingDbName.clear();
    m_upDB_timeout = 0;
    releaseDownloadControls(false);
    QMessageBox::information(nullptr, tr("Notify"),
                             tr("Download firmware failed, the database in use is kept"),
                             QMessageBox::Ok);
}

void TQCAN::downloadWatchdogTick()
{
    if (m_upDB_timeout <= 0 || --m_upDB_timeout > 0)
        return;
    // The request given up on is stale before it is aborted, so that its
    // end neither raises a second box nor writes into a later download.
    if (QNetworkReply* late = m_downloadReply.data()) {
        m_downloadReply = nullptr;
        late->abort();
    }
    m_pendingDbName.clear();
    releaseDownloadControls(true);
    // The same timer counts a running upgrade down.
    if (!m_portOpen && m_upgradeState == 0)
        m_checkDevTimer.stop();
    qCritical() << "Error: m_upDB_timeout timeout " << m_upDB_timeout;
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
    QMessageBox::information(nullptr, tr("Info"), tr("Network Err, Please Check !"), QMessageBox::Ok);
}

void TQCAN::doProcessNetworkError(QNetworkReply::NetworkError error)
{
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
    qCritical() << "Error:" << (m_downloadReply ? m_downloadReply->errorString() : QStringLiteral("no request"))
                << error;
    QMessageBox::information(this, tr("Info"), tr("Network Err, Please Check !"), QMessageBox::Ok);
    releaseDownloadControls(false);
    m_upDB_timeout = 0;
}

void TQCAN::releaseDownloadControls(bool throttleToo)
{
    // The upgrade holds them until its own end.
    if (m_upgradeState != 0) {
        qDebug() << "download over while node" << m_upgrade_devId << "is being upgraded: controls stay disabled";
        return;
    }
    ui->btnUpgradedev->setEnabled(true);
    ui->btnDownloadDBCSV->setEnabled(true);
    if (throttleToo)
        ui->comboBoxThrot->setEnabled(true);
}
