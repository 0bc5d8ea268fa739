// Installing a downloaded device-file list and firmware database, and the
// folder and file helpers of the downloads.
//
// The database that works is never lost: the staged files are checked
// before anything is touched, the old files are set aside rather than
// deleted (and nothing is deleted before they are), and they come back,
// reopened, when the new ones cannot be put in place or do not open. The
// set-aside folder download/previous records how far the install got
// (firmware/fileswap.h), so that an install cut off by a crash is undone,
// or finished once its new database has opened, before the page chooses
// its database at the next start and before the next install.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "firmware/fileswap.h"
#include "firmware/firmwarenames.h"

namespace {

const QString kDbPattern = QStringLiteral("*.db");
const QString kListPattern = QStringLiteral("*.csv");

} // namespace

void TQCAN::installDownloadedDb()
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    const QString stagedDb = download + QStringLiteral("/temp/") + m_pendingDbName;
    const QString newDb = download + QLatin1Char('/') + m_pendingDbName;

    // The staged files are checked before the working ones are touched, on
    // a connection of its own.
    QString why;
    if (!QFileInfo(m_csvFilePath).isFile()) {
        failDownloadChain(QStringLiteral("staged list missing: %1").arg(m_csvFilePath));
        return;
    }
    if (!record_db::checkDatabaseFile(stagedDb, &why)) {
        failDownloadChain(QStringLiteral("staged database %1 unusable: %2").arg(stagedDb, why));
        return;
    }

    // A swap that an earlier run left behind is settled first.
    if (FileSwap::resolve(download) == FileSwap::Outcome::InTheWay) {
        failDownloadChain(QStringLiteral("the backup folder %1 is in the way").arg(FileSwap::backupFolder(download)));
        return;
    }

    // The old files step aside, the new ones move in and must open there;
    // then the record says installed. Any failure before that puts the old
    // ones back and reopens them.
    FileSwap swap(download);
    m_recordDb.dbClose();
    bool installed = swap.setAside({kListPattern, kDbPattern, firmwarenames::lastPathPart(m_csvFilePath)},
                                   {m_csvFilePath, stagedDb})
                  && swap.moveIn();
    if (installed) {
        // What the page reads from here on: it must read there too.
        openFirmwareDb(newDb);
        installed = m_recordDb.isOpen() && !mDbTableNameL.isEmpty();
        why = installed ? QString() : QStringLiteral("it does not read in place");
    }
    if (installed && !swap.commit()) {
        installed = false;
        why = QStringLiteral("the install cannot be recorded");
    }
    if (!installed) {
        m_recordDb.dbClose();
        swap.resolve();
        mDbTableNameL.clear();
        if (!m_db_name.isEmpty())
            openFirmwareDb(download + QLatin1Char('/') + m_db_name);
        failDownloadChain(QStringLiteral("install of %1 failed %2").arg(m_pendingDbName, why));
        return;
    }
    // Old copies that cannot go now go at the next start.
    swap.resolve();
    clearDownloadTempDir(download + QStringLiteral("/temp"));
    // Stray lists and databases next to the executable are never read.
    const QString appDir = QCoreApplication::applicationDirPath();
    deleteFilesByPattern(appDir, kDbPattern);
    deleteFilesByPattern(appDir, kListPattern);

    m_db_name = m_pendingDbName;
    m_pendingDbName.clear();
    m_upDB_timeout = 0;
    releaseDownloadControls(false);
    qDebug() << "--------------dowoload----m_db_name=" << m_db_name << " mDbTableNameL=" << mDbTableNameL;
    ui->lEdit_upgrade_db->setText(firmwarenames::baseBeforeFirstDot(m_db_name));
    qDebug() << "--------------dowoload firmware auto ok,m_db_name=" << m_db_name;
    QMessageBox::information(nullptr, tr("Notify"), tr("Download firmware successfully"), QMessageBox::Ok);
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
