// The update-database button's download chain over HTTP: the device-file
// list first, then the firmware database that the list's product row links,
// both into the staging folder "download/temp" below the working directory;
// the install (tqcan_dbinstall.cpp) follows. A watchdog on the page's 1 s
// timer ends a request that shows no progress for 10 s, and a floor on the
// rate ends a chain that brought less than 1 KiB in its last 60 s (a body
// that trickles keeps the watchdog alive for good).
//
// A body goes to its file as it arrives, through a small reply buffer, so
// that memory stays flat whatever a server sends: it is asked for as the
// server stores it (a packed body that the reply unpacked could grow
// without bound in one piece), written under a temporary name, and takes
// the file's name only once the reply has ended without error (a body
// shorter than its Content-Length is one). A body (a redirect's too, which
// is counted and dropped) above the bound of its kind, the list's 4 MiB or
// a database's 256 MiB, or announced above it, ends the chain with the
// failure box. So does a write or sync of a file that fails: the box then
// names the file and what the disk said.
//
// Only the running chain's request counts: m_downloadReply names it (a
// redirect's request takes its place). Any other reply that finishes - one
// the watchdog gave up on - is dropped unread.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

#include <cerrno>

#include "firmware/devfilelist.h"
#include "firmware/filesync.h"
#include "firmware/firmwarenames.h"

namespace {

// Seconds without progress before a request is given up.
constexpr int kDownloadWatchdogS = 10;
// Redirects followed for one file.
constexpr int kMaxRedirects = 10;
// What a reply holds before it waits for the page to take it.
constexpr qint64 kReplyBufferBytes = 256 * 1024;
// What one read takes into the page's hands.
constexpr int kChunkBytes = 64 * 1024;

enum DownloadState { kIdle = 0, kDeviceList = 1, kDatabase = 3 };

// The rate floor of a chain; tests shorten its window.
int g_rateWindowS = 60;
qint64 g_rateFloorBytes = 1024;

// A request for url whose body comes as the server holds it: a body the
// reply unpacked could be any size, and all of it at once in memory.
QNetworkRequest downloadRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

bool isRedirect(const QNetworkReply* reply)
{
    return !reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl().isEmpty();
}

// The body length the server announced, or -1.
qint64 announcedLength(const QNetworkReply* reply)
{
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() ? length.toLongLong() : -1;
}

} // namespace

void TQCAN::setDownloadRateFloor(int windowSeconds, qint64 floorBytes)
{
    g_rateWindowS = windowSeconds;
    g_rateFloorBytes = floorBytes;
}

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
    // Left-overs of an earlier chain must not be installed with this one;
    // anything but a folder there is no left-over of ours.
    QString cause;
    if (!clearDownloadTempDir(staging))
        cause = QFileInfo(staging).isDir() ? diskFailureText(staging, QStringLiteral("it cannot be emptied"))
                                           : inTheWayText(staging);
    else if (!makeDirIfMissing(staging))
        cause = diskFailureText(staging, qt_error_string(errno));
    // Anything but a folder at download/ is in the way, not a fault of the
    // disk's.
    const QFileInfo download(QFileInfo(staging).path());
    if (!cause.isEmpty() && (download.exists() || download.isSymLink()) && !download.isDir())
        cause = inTheWayText(download.filePath());
    if (!cause.isEmpty()) {
        qCritical() << "--startDownloadCSV---ceate--path err:" << m_csvFilePath;
        failDownloadChain(QStringLiteral("no empty staging folder %1").arg(staging), cause);
        return;
    }
    m_pendingDbName.clear();
    m_downloadRate = RateFloor(g_rateWindowS, g_rateFloorBytes);
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
    watchDownloadReply(m_netAccessManager->get(downloadRequest(QUrl(m_downloadUrl, QUrl::TolerantMode))));
}

void TQCAN::watchDownloadReply(QNetworkReply* reply)
{
    dropDownloadFile();
    m_downloadBytes = 0;
    m_downloadReply = reply;
    reply->setReadBufferSize(kReplyBufferBytes);
    connect(reply, &QNetworkReply::downloadProgress, this, &TQCAN::onDownloadProgress);
    connect(reply, &QNetworkReply::readyRead, this, &TQCAN::onDownloadReadyRead);
}

qint64 TQCAN::downloadBound() const
{
    return m_downloadState == kDeviceList ? devfilelist::kMaxListBytes : record_db::kMaxDatabaseBytes;
}

bool TQCAN::openDownloadFile()
{
    m_downloadFile = std::make_unique<QSaveFile>(m_downloadFilePath);
    // Unbuffered: each write's outcome, a short one too, is seen at once.
    if (m_downloadFile->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    qDebug() << "Error: Could not open file for writing";
    return false;
}

void TQCAN::dropDownloadFile()
{
    // A save file that goes uncommitted removes what it wrote.
    m_downloadFile.reset();
}

void TQCAN::onDownloadReadyRead()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    // A request given up on is stopped, not read.
    if (reply != m_downloadReply) {
        reply->abort();
        return;
    }
    takeDownloadedBytes(reply);
}

bool TQCAN::takeDownloadedBytes(QNetworkReply* reply)
{
    const qint64 bound = downloadBound();
    // A redirect's body is counted, not kept.
    const bool keep = !isRedirect(reply);
    bool tooLarge = announcedLength(reply) > bound;
    QString failure;
    char chunk[kChunkBytes];
    while (!tooLarge && failure.isEmpty() && reply->bytesAvailable() > 0) {
        const qint64 read = reply->read(chunk, sizeof chunk);
        if (read <= 0)
            break;
        m_downloadBytes += read;
        m_downloadRate.add(read);
        tooLarge = m_downloadBytes > bound;
        if (!keep || tooLarge)
            continue;
        if (!m_downloadFile && !openDownloadFile())
            failure = m_downloadFile->errorString();
        else
            failure = filesync::writeAll(*m_downloadFile, chunk, read);
    }
    if (!tooLarge && failure.isEmpty())
        return true;
    // The request ends here: stale before it is stopped, so that its end
    // is dropped unread.
    if (m_downloadReply == reply)
        m_downloadReply = nullptr;
    if (reply->isRunning())
        reply->abort();
    if (tooLarge)
        failDownloadChain(QStringLiteral("%1 is larger than %2 bytes").arg(reply->url().toString()).arg(bound));
    else
        failDownloadWrite(failure);
    return false;
}

void TQCAN::failDownloadWrite(const QString& error)
{
    // A URL that names no file leaves nothing to write to: no fault of the
    // disk's.
    if (QFileInfo(m_downloadFilePath).fileName().isEmpty()) {
        failDownloadRequest(error);
        return;
    }
    failDownloadChain(QStringLiteral("cannot write %1: %2").arg(m_downloadFilePath, error),
                      diskFailureText(m_downloadFilePath, error));
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
    disconnect(reply, &QNetworkReply::readyRead, this, &TQCAN::onDownloadReadyRead);
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
        watchDownloadReply(m_netAccessManager->get(downloadRequest(next)));
        return;
    }

    // The rest of the body, then the file under its name. A body that ends
    // before its Content-Length did not come here: the reply reports the
    // closed connection as its error.
    if (!takeDownloadedBytes(reply))
        return;
    // Every write is checked before the file takes its name: the save
    // file's commit reports neither a buffered write that fails inside it
    // nor a failed sync.
    if ((!m_downloadFile && !openDownloadFile()) || !m_downloadFile->flush()) {
        failDownloadWrite(m_downloadFile->errorString());
        return;
    }
    const QString unsynced = filesync::syncFile(m_downloadFile->handle());
    if (!unsynced.isEmpty()) {
        failDownloadWrite(unsynced);
        return;
    }
    if (!m_downloadFile->commit()) {
        failDownloadWrite(m_downloadFile->errorString());
        return;
    }
    m_downloadFile.reset();
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
    dropDownloadFile();
    releaseDownloadControls(false);
    m_pendingDbName.clear();
    // The watchdog reports on its next tick.
    m_upDB_timeout = 1;
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
}

void TQCAN::failDownloadChain(const QString& reason, const QString& cause, const QString& inUse)
{
    qCritical() << "download firmware failed:" << reason;
    dropDownloadFile();
    clearDownloadTempDir(downloadBaseDir() + QStringLiteral("/download/temp"));
    m_downloadState = kIdle;
    m_pendingDbName.clear();
    m_upDB_timeout = 0;
    releaseDownloadControls(false);
    // Unless told otherwise, nothing that failed touched the database in
    // use: it is kept, or none is in use.
    QString text = !inUse.isEmpty()      ? inUse
                 : m_db_name.isEmpty() ? tr("Download firmware failed, no database is in use")
                                       : tr("Download firmware failed, the database in use is kept");
    if (!cause.isEmpty())
        text += QLatin1Char('\n') + cause;
    QMessageBox::information(nullptr, tr("Notify"), text, QMessageBox::Ok);
}

QString TQCAN::backupInTheWayText(const QString& folder) const
{
    return tr("The backup folder %1 is in the way: move it elsewhere, then update again.")
        .arg(QDir::toNativeSeparators(folder));
}

QString TQCAN::diskFailureText(const QString& path, const QString& error) const
{
    return tr("Cannot write to the disk at %1: %2").arg(QDir::toNativeSeparators(path), error);
}

QString TQCAN::inTheWayText(const QString& path) const
{
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return tr("The link %1 leads nowhere and is in the way: remove it, then update again.")
            .arg(QDir::toNativeSeparators(path));
    return tr("%1 is in the way: move it elsewhere, then update again.").arg(QDir::toNativeSeparators(path));
}

void TQCAN::downloadWatchdogTick()
{
    // A chain whose request brings too little for too long ends; the
    // request is stale before it is aborted, so that its end is dropped.
    if (m_upDB_timeout > 0 && m_downloadReply && m_downloadRate.tick()) {
        QNetworkReply* slow = m_downloadReply.data();
        const QString url = slow->url().toString();
        m_downloadReply = nullptr;
        slow->abort();
        failDownloadChain(QStringLiteral("less than %1 bytes in the last %2 s from %3")
                              .arg(m_downloadRate.floorBytes())
                              .arg(m_downloadRate.windowSeconds())
                              .arg(url),
                          tr("The server sent less than %1 bytes in the last %2 seconds.")
                              .arg(m_downloadRate.floorBytes())
                              .arg(m_downloadRate.windowSeconds()));
        return;
    }
    if (m_upDB_timeout <= 0 || --m_upDB_timeout > 0)
        return;
    // The request given up on is stale before it is aborted, so that its
    // end neither raises a second box nor writes into a later download.
    if (QNetworkReply* late = m_downloadReply.data()) {
        m_downloadReply = nullptr;
        late->abort();
    }
    dropDownloadFile();
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
    dropDownloadFile();
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
