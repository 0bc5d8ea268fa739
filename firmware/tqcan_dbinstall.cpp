// Installing a downloaded device-file list and firmware database, and the
// folder and file helpers of the downloads.
//
// The database that works is never lost: the staged files are checked
// before anything is touched, the old files are set aside rather than
// deleted, and they come back, reopened, when the new ones cannot be put
// in place or do not open.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "firmware/firmwarenames.h"

namespace {

const QString kDbPattern = QStringLiteral("*.db");
const QString kListPattern = QStringLiteral("*.csv");

} // namespace

void TQCAN::installDownloadedDb()
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    const QString staging = download + QStringLiteral("/temp");
    const QString backup = download + QStringLiteral("/previous");
    const QString listName = firmwarenames::lastPathPart(m_csvFilePath);
    const QString stagedDb = staging + QLatin1Char('/') + m_pendingDbName;

    // Everything is checked before the working files are touched, on a
    // connection of its own.
    QString why;
    if (!QFileInfo(m_csvFilePath).isFile()) {
        failDownloadChain(QStringLiteral("staged list missing: %1").arg(m_csvFilePath));
        return;
    }
    if (!record_db::checkDatabaseFile(stagedDb, &why)) {
        failDownloadChain(QStringLiteral("staged database %1 unusable: %2").arg(stagedDb, why));
        return;
    }

    m_recordDb.dbClose();
    // Stray lists and databases next to the executable are never read.
    const QString appDir = QCoreApplication::applicationDirPath();
    deleteFilesByPattern(appDir, kDbPattern);
    deleteFilesByPattern(appDir, kListPattern);

    // The old files step aside, the new ones move in.
    clearDownloadTempDir(backup);
    bool moved = moveFilesByPattern(backup, download, kListPattern)
              && moveFilesByPattern(backup, download, kDbPattern)
              && moveFilesByPattern(download, staging, kListPattern)
              && moveFilesByPattern(download, staging, kDbPattern);
    const QString newDb = download + QLatin1Char('/') + m_pendingDbName;
    moved = moved && QFileInfo(download + QLatin1Char('/') + listName).isFile()
         && record_db::checkDatabaseFile(newDb, &why);
    if (moved) {
        openFirmwareDb(newDb);
        moved = m_recordDb.isOpen() && !mDbTableNameL.isEmpty();
    }
    if (!moved) {
        restorePreviousDb(backup);
        failDownloadChain(QStringLiteral("install of %1 failed %2").arg(m_pendingDbName, why));
        return;
    }
    clearDownloadTempDir(backup);
    clearDownloadTempDir(staging);

    m_db_name = m_pendingDbName;
    m_pendingDbName.clear();
    m_upDB_timeout = 0;
    ui->btnUpgradedev->setEnabled(true);
    ui->btnDownloadDBCSV->setEnabled(true);
    qDebug() << "--------------dowoload----m_db_name=" << m_db_name << " mDbTableNameL=" << mDbTableNameL;
    ui->lEdit_upgrade_db->setText(firmwarenames::baseBeforeFirstDot(m_db_name));
    qDebug() << "--------------dowoload firmware auto ok,m_db_name=" << m_db_name;
    QMessageBox::information(nullptr, tr("Notify"), tr("Download firmware successfully"), QMessageBox::Ok);
}

bool TQCAN::restorePreviousDb(const QString& backupDir)
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    m_recordDb.dbClose();
    deleteFilesByPattern(download, kListPattern);
    deleteFilesByPattern(download, kDbPattern);
    bool restored = moveFilesByPattern(download, backupDir, kListPattern)
                 && moveFilesByPattern(download, backupDir, kDbPattern);
    if (restored && !QDir(backupDir).entryList(QDir::Files).isEmpty()) {
        qCritical() << "restorePreviousDb--files left in" << backupDir;
        restored = false;
    } else {
        clearDownloadTempDir(backupDir);
    }
    mDbTableNameL.clear();
    if (!m_db_name.isEmpty())
        openFirmwareDb(download + QLatin1Char('/') + m_db_name);
    return restored;
}

bool TQCAN::dirExists(const QString& path)
{
    return QDir(path).exists();
}

bool TQCAN::makeDirIfMissing(const QString& path)
{
    return dirExists(path) || QDir().mkpath(path);
}

void TQCAN::clearDownloadTempDir(QString path)
{
    if (dirExists(path))
        QDir(path).removeRecursively();
}

bool TQCAN::deleteFilesByPattern(const QString& dir, const QString& pattern)
{
    const QFileInfoList files = QDir(dir).entryInfoList({pattern}, QDir::Files);
    for (const QFileInfo& info : files) {
        const QString path = info.absoluteFilePath();
        if (QFile::remove(path))
            qDebug() << "File deleted:" << path;
        else
            qDebug() << "Failed to delete file:" << path;
    }
    return true;
}

bool TQCAN::moveFilesByPattern(const QString& dstDir, const QString& srcDir, const QString& pattern)
{
    if (!makeDirIfMissing(srcDir) || !makeDirIfMissing(dstDir))
        return false;
    bool all = true;
    const QFileInfoList files = QDir(srcDir).entryInfoList({pattern}, QDir::Files);
    for (const QFileInfo& info : files) {
        const QString source = info.absoluteFilePath();
        const QString target = QDir(dstDir).absoluteFilePath(info.fileName());
        if (QFile::rename(source, target)) {
            qDebug() << "File moved:" << source << "to" << target;
        } else {
            qDebug() << "Failed to move file:" << source;
            all = false;
        }
    }
    return all;
}
