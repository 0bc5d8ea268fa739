// Installing a downloaded device-file list and firmware database, and the
// folder and file helpers of the downloads.
//
// The database that works is never lost: the staged files are checked
// before anything is touched, the old files are set aside rather than
// deleted (and nothing is deleted before they are), and they come back,
// reopened, when the new ones cannot be put in place or do not open.

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

// Replaces the working files of a folder with staged ones so that every
// step can be undone: the old files are moved into a backup folder, never
// deleted, the staged ones moved in, and only commit() drops the old ones.
// Files are renamed, not copied, within the download folder.
class FileSwap
{
public:
    FileSwap(const QString& folder, const QString& backup) : m_folder(folder), m_backup(backup) {}

    // Moves the folder's plain files that match filters into the backup
    // folder, which must be absent or empty: what lies there may be all
    // that is left of an earlier install. False when the folder is in the
    // way or cannot be made, or a file does not move; rollBack() then puts
    // back what was moved.
    bool setAside(const QStringList& filters)
    {
        const QFileInfo backup(m_backup);
        const bool empty = backup.isDir()
            && QDir(m_backup).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty();
        if (backup.exists() && !empty) {
            qCritical() << "install: the backup folder is in the way:" << m_backup;
            return false;
        }
        if (!QDir().mkpath(m_backup)) {
            qCritical() << "install: cannot make the backup folder" << m_backup;
            return false;
        }
        for (const QFileInfo& info : QDir(m_folder).entryInfoList(filters, QDir::Files)) {
            if (!move(info.absoluteFilePath(), m_backup + QLatin1Char('/') + info.fileName(), m_setAside))
                return false;
        }
        return true;
    }

    // Moves the staged files into the folder; a name that is taken there
    // makes it fail.
    bool moveIn(const QStringList& staged)
    {
        for (const QString& from : staged) {
            if (!move(from, m_folder + QLatin1Char('/') + QFileInfo(from).fileName(), m_movedIn))
                return false;
        }
        return true;
    }

    // Removes the files moved in (only those) and puts the old ones back;
    // an old file that cannot go back stays in the backup folder.
    void rollBack()
    {
        for (const auto& moved : qAsConst(m_movedIn)) {
            if (!QFile::remove(moved.second))
                qCritical() << "install: cannot take out the new file" << moved.second;
        }
        bool whole = true;
        for (const auto& moved : qAsConst(m_setAside)) {
            if (QFile::rename(moved.second, moved.first)) {
                qDebug() << "File moved:" << moved.second << "to" << moved.first;
            } else {
                qCritical() << "install: old file left in" << m_backup << ":" << moved.second;
                whole = false;
            }
        }
        if (whole)
            QDir().rmdir(m_backup);
    }

    // The new files stay: the old ones go.
    void commit()
    {
        if (!QDir(m_backup).removeRecursively())
            qCritical() << "install: cannot remove the old files in" << m_backup;
    }

private:
    using Moves = QList<QPair<QString, QString>>; // from, to

    static bool move(const QString& from, const QString& to, Moves& done)
    {
        if (!QFile::rename(from, to)) {
            qDebug() << "Failed to move file:" << from << "to" << to;
            return false;
        }
        qDebug() << "File moved:" << from << "to" << to;
        done.append({from, to});
        return true;
    }

    const QString m_folder;
    const QString m_backup;
    Moves m_setAside;
    Moves m_movedIn;
};

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

    // The old files step aside, the new ones move in and must open; any
    // failure puts the old ones back and reopens them.
    FileSwap swap(download, download + QStringLiteral("/previous"));
    m_recordDb.dbClose();
    bool installed = swap.setAside({kListPattern, kDbPattern, firmwarenames::lastPathPart(m_csvFilePath)})
                  && swap.moveIn({m_csvFilePath, stagedDb});
    if (installed) {
        // What the page reads from here on: it must read there too (a
        // stray journal of that name, for one, makes it unreadable).
        openFirmwareDb(newDb);
        installed = m_recordDb.isOpen() && !mDbTableNameL.isEmpty();
        why = installed ? QString() : QStringLiteral("it does not read in place");
    }
    if (!installed) {
        m_recordDb.dbClose();
        swap.rollBack();
        mDbTableNameL.clear();
        if (!m_db_name.isEmpty())
            openFirmwareDb(download + QLatin1Char('/') + m_db_name);
        failDownloadChain(QStringLiteral("install of %1 failed %2").arg(m_pendingDbName, why));
        return;
    }
    swap.commit();
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
