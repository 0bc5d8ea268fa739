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

// Whether what resolve() did leaves the backup folder behind.
bool leftBehind(FileSwap::Outcome settled)
{
    return settled == FileSwap::Outcome::InTheWay || settled == FileSwap::Outcome::Unreadable;
}

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

    // A swap that an earlier run left behind is settled first. Where that
    // fails, the box says what the next start does with it.
    const QString backup = FileSwap::backupFolder(download);
    if (leftBehind(FileSwap::resolve(download))) {
        const QString next = nextStartText(false);
        failDownloadChain(QStringLiteral("the backup folder %1 is left").arg(backup),
                          next.isEmpty() ? diskFailureText(backup, QStringLiteral("it cannot be removed")) : next);
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
        installed = openFirmwareDb(newDb);
        why = installed ? QString() : QStringLiteral("it does not read in place");
    }
    if (installed && !swap.commit()) {
        installed = false;
        why = QStringLiteral("the install cannot be recorded");
    }
    if (!installed) {
        m_recordDb.dbClose();
        mDbTableNameL.clear();
        // The undo follows what the disk says: only a record that could not
        // be put back to pending after it said installed leaves the install
        // standing, whole. A backup folder left by the undo is its own
        // unfinished work, unless it was someone else's from the start.
        const FileSwap::Outcome settled = swap.resolve();
        installed = settled == FileSwap::Outcome::Finished && openFirmwareDb(newDb);
        if (!installed) {
            failInstall(swap, leftBehind(settled) && swap.failure() != FileSwap::Failure::InTheWay,
                        QStringLiteral("install of %1 failed %2").arg(m_pendingDbName, why));
            return;
        }
    }
    // Old copies that cannot go now go at the next start: the box says so.
    const QString left = leftBehind(swap.resolve()) ? nextStartText(true) : QString();
    const QString done = tr("Download firmware successfully") + (left.isEmpty() ? QString() : '\n' + left);
    clearDownloadTempDir(download + QStringLiteral("/temp"));
    // Stray lists and databases next to the executable are never read; each
    // file removed is logged.
    const QString appDir = QCoreApplication::applicationDirPath();
    deleteFilesByPattern(appDir, kDbPattern);
    deleteFilesByPattern(appDir, kListPattern);

    setDbInUse(m_pendingDbName);
    m_pendingDbName.clear();
    m_upDB_timeout = 0;
    releaseDownloadControls(false);
    qDebug() << "--------------dowoload----m_db_name=" << m_db_name << " mDbTableNameL=" << mDbTableNameL;
    qDebug() << "--------------dowoload firmware auto ok,m_db_name=" << m_db_name;
    QMessageBox::information(nullptr, tr("Notify"), done, QMessageBox::Ok);
}

void TQCAN::failInstall(const FileSwap& swap, bool leftBehind, const QString& reason)
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    // The page opens what the folder holds: the database in use when it is
    // back, else the new one where the undo could not take it out, else
    // none. The box's first line says which (by default: kept, or none
    // where none was in use).
    const bool kept = !m_db_name.isEmpty() && swap.holds(m_db_name) == FileSwap::Holds::Old
                   && openFirmwareDb(download + QLatin1Char('/') + m_db_name);
    QString inUse;
    if (!kept && swap.holds(m_pendingDbName) == FileSwap::Holds::New
        && openFirmwareDb(download + QLatin1Char('/') + m_pendingDbName)) {
        setDbInUse(m_pendingDbName);
        inUse = tr("Download firmware failed, the new database is in use");
    } else if (!kept) {
        if (!m_db_name.isEmpty())
            inUse = tr("Download firmware failed");
        setDbInUse(QString());
    }
    QStringList lines{installFailureText(swap)};
    if (leftBehind)
        lines << nextStartText(false);
    lines.removeAll(QString());
    failDownloadChain(reason, lines.join(QLatin1Char('\n')), inUse);
}

QString TQCAN::nextStartText(bool installed) const
{
    const QString download = downloadBaseDir() + QStringLiteral("/download");
    const QString native = QDir::toNativeSeparators(FileSwap::backupFolder(download));
    // As the folder stands now: a record whose files all lie where the
    // undo or the end leaves them, or none, only goes, and needs no line.
    QString why;
    const FileSwap::Outcome next = FileSwap::planned(download, &why);
    if (installed && (next == FileSwap::Outcome::Finished || next == FileSwap::Outcome::Unreadable))
        return tr("The old lists and databases in %1 could not be removed now: the old copies are removed at the "
                  "next start.")
            .arg(native);
    switch (next) {
    case FileSwap::Outcome::Undone:
        return tr("The install could not be undone whole: the next start completes the undo.");
    case FileSwap::Outcome::Finished:
        return tr("The install could not be finished whole: the next start finishes it.");
    case FileSwap::Outcome::Unreadable:
        // The install's own record, written whole before anything moved: a
        // start that reads it undoes or finishes the install.
        return tr("The install's record in %1 cannot be read now (%2): the next start settles the install.")
            .arg(native, why);
    case FileSwap::Outcome::InTheWay:
        return backupInTheWayText(FileSwap::backupFolder(download));
    case FileSwap::Outcome::Nothing:
        break;
    }
    return QString();
}

QString TQCAN::installFailureText(const FileSwap& swap) const
{
    const QString path = QDir::toNativeSeparators(swap.failurePath());
    switch (swap.failure()) {
    case FileSwap::Failure::InTheWay:
        return backupInTheWayText(swap.failurePath());
    case FileSwap::Failure::Disk:
        return diskFailureText(swap.failurePath(), swap.failureError());
    case FileSwap::Failure::Taken:
        return inTheWayText(swap.failurePath());
    case FileSwap::Failure::Move:
        return tr("Cannot move %1: %2").arg(path, swap.failureError());
    case FileSwap::Failure::TooLarge:
        return tr("%1 holds more lists and databases than an install can record. An update removes every list "
                  "and database there: move those you keep elsewhere, then update again.")
            .arg(path);
    case FileSwap::Failure::Name:
        // One of the folder's own files, or one the server sent.
        if (QFileInfo(swap.failurePath()).path() == downloadBaseDir() + QStringLiteral("/download"))
            return inTheWayText(swap.failurePath());
        return tr("The server sends a file named %1, a name the install keeps for its own record: the server "
                  "must send it under another name.")
            .arg(QFileInfo(swap.failurePath()).fileName());
    case FileSwap::Failure::None:
        break;
    }
    return QString();
}

bool TQCAN::dirExists(const QString& path)
{
    return QDir(path).exists();
}

bool TQCAN::makeDirIfMissing(const QString& path)
{
    return dirExists(path) || QDir().mkpath(path);
}

bool TQCAN::clearDownloadTempDir(QString path)
{
    const QFileInfo info(path);
    // A link in its place goes as a link: the folder it leads to is no
    // staging of ours. (Below the folder, links go as links too.)
    if (info.isSymLink()) {
        const bool removed = QFile::remove(path);
        qWarning() << "staging folder" << path << "was a link to" << info.symLinkTarget()
                   << (removed ? ": the link was removed, not what it leads to" : ": the link cannot be removed");
        return removed;
    }
    if (!info.exists())
        return true;
    if (!info.isDir() || !QDir(path).removeRecursively()) {
        qCritical() << "cannot clear the staging folder" << path;
        return false;
    }
    return true;
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
