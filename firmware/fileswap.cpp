#include "firmware/fileswap.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#endif

#include "firmware/filesync.h"
#include "firmware/firmwarenames.h"
#include "firmware/regularfile.h"

namespace {

const QString kBackupName = QStringLiteral("previous");
const QString kRecordName = QStringLiteral("install-record");
const QByteArray kRecordHead = "tq install record 1";
const QByteArray kPending = "state pending";
const QByteArray kInstalled = "state installed";
// A record names a few files: anything larger is no record of ours.
constexpr qint64 kMaxRecordBytes = 1024 * 1024;

FileSwap::StepHook& stepHook()
{
    static FileSwap::StepHook hook;
    return hook;
}

void step(const QString& what)
{
    qDebug() << "install:" << what;
    if (stepHook())
        stepHook()(what);
}

// The record itself or an unfinished write of it.
bool isRecordEntry(const QString& name)
{
    return name == kRecordName || name.startsWith(kRecordName + QLatin1Char('.'));
}

// Makes the folder's entries last through a power cut, so that the disk
// never shows a later step without an earlier one. False, with the
// system's reason in error, when the disk does not say they do.
bool syncFolder(const QString& path, QString* error = nullptr)
{
    const QString failure = filesync::syncFolder(path);
    if (failure.isEmpty())
        return true;
    qCritical() << "install: cannot sync folder" << path << ":" << failure;
    if (error)
        *error = failure;
    return false;
}

// Whether anything, a link leading nowhere included, carries the name.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

#ifdef Q_OS_UNIX
// Renames from to to at once, replacing a file there: empty, or the
// system's reason.
QString renameOver(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return qt_error_string(errno);
}
#endif

struct Record {
    bool installed = false;
    QStringList old;
    QStringList staged;
};

QByteArray encode(const Record& record)
{
    QByteArray text = kRecordHead + '\n' + (record.installed ? kInstalled : kPending) + '\n';
    for (const QString& name : record.old)
        text += "old " + name.toUtf8().toPercentEncoding() + '\n';
    for (const QString& name : record.staged)
        text += "new " + name.toUtf8().toPercentEncoding() + '\n';
    return text;
}

// False when the file is no record of ours: every name must be a bare file
// name, so that no record leads outside the folder.
bool decode(const QByteArray& text, Record* record)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 3 || lines.takeLast() != QByteArray() || lines.takeFirst() != kRecordHead)
        return false;
    const QByteArray state = lines.takeFirst();
    if (state != kPending && state != kInstalled)
        return false;
    record->installed = state == kInstalled;
    for (const QByteArray& line : qAsConst(lines)) {
        const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(4)));
        if (!firmwarenames::isBareFileName(name) || isRecordEntry(name))
            return false;
        if (line.startsWith("old "))
            record->old << name;
        else if (line.startsWith("new "))
            record->staged << name;
        else
            return false;
    }
    return true;
}

// Whether a record was read; or why not: the file is no record of ours (it
// is no regular file, passes the bound, or does not decode), or it cannot
// be read now, a fault of the disk rather than of the file.
enum class Reading { Read, NotOurs, Failed };

// The record's bytes. Read only from a regular file of that name, never
// through a link, and never more than the bound: a device or a pipe in its
// place could give bytes without end, or none ever. Failed: the system's
// reason in why.
Reading readRecordBytes(const QString& backup, QByteArray* bytes, QString* why)
{
    const QString path = backup + QLatin1Char('/') + kRecordName;
#ifdef Q_OS_UNIX
    // What the name holds is judged before it is opened, so that a disk
    // that fails is told apart from a file that is not ours.
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        *why = qt_error_string(errno);
        return Reading::Failed;
    }
    if (!S_ISREG(status.st_mode) || status.st_size > kMaxRecordBytes)
        return Reading::NotOurs;
#endif
    QFile file;
    if (!regularfile::open(file, path, QIODevice::ReadOnly, kMaxRecordBytes, regularfile::Links::Refuse, why))
        return Reading::Failed;
    *bytes = file.read(kMaxRecordBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        return Reading::Failed;
    }
    return bytes->size() <= kMaxRecordBytes ? Reading::Read : Reading::NotOurs;
}

Reading readRecord(const QString& backup, Record* record, QString* why)
{
    QByteArray bytes;
    const Reading read = readRecordBytes(backup, &bytes, why);
    return read == Reading::Read && !decode(bytes, record) ? Reading::NotOurs : read;
}

// The names in a folder, hidden ones too. False, with the system's reason,
// when the listing fails: a listing cut short is none.
bool listFolder(const QString& path, QStringList* names, QString* why)
{
#ifdef Q_OS_UNIX
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) {
        *why = qt_error_string(errno);
        return false;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            *names << name;
    }
    ::closedir(dir);
    if (error != 0)
        *why = qt_error_string(error);
    return error == 0;
#else
    Q_UNUSED(why)
    *names = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return true;
#endif
}

// What the backup folder holds: nothing at its name; a record that reads
// (into record); the record's unfinished writes or nothing, left before the
// first move; anything else, which is in the way; or what cannot be read
// now (why says so), which a start on a disk that works settles.
enum class Held { Absent, Record, NoRecord, Other, Unreadable };

Held inspect(const QString& backup, Record* record, QString* why)
{
    if (!present(backup))
        return Held::Absent;
    const QFileInfo info(backup);
    if (info.isSymLink() || !info.isDir()) {
        qCritical() << "install: the backup folder is in the way:" << backup;
        return Held::Other;
    }
    QStringList entries;
    if (!listFolder(backup, &entries, why)) {
        qCritical() << "install: the backup folder cannot be read now:" << backup << ":" << *why;
        return Held::Unreadable;
    }
    if (!entries.contains(kRecordName)) {
        for (const QString& name : qAsConst(entries)) {
            if (!isRecordEntry(name)) {
                qCritical() << "install: the backup folder holds files no record names:" << backup;
                return Held::Other;
            }
        }
        return Held::NoRecord;
    }
    switch (readRecord(backup, record, why)) {
    case Reading::Read:
        return Held::Record;
    case Reading::Failed:
        qCritical() << "install: the record in the backup folder cannot be read now:" << backup << ":" << *why;
        return Held::Unreadable;
    case Reading::NotOurs:
        break;
    }
    qCritical() << "install: the record in the backup folder does not read:" << backup;
    return Held::Other;
}

// What resolve() changes for a record that reads: the new files it takes
// out of the folder and the old ones it puts back (pending), or the old
// copies it drops (installed). Empty: only the record and its folder go.
struct Plan {
    QStringList takeOut;
    QStringList putBack;
    QStringList drop;
    bool empty() const { return takeOut.isEmpty() && putBack.isEmpty() && drop.isEmpty(); }
};

Plan planFor(const QString& folder, const QString& backup, const Record& record)
{
    Plan plan;
    const QDir dir(backup);
    for (const QString& name : record.old) {
        if (present(dir.filePath(name)))
            (record.installed ? plan.drop : plan.putBack) << name;
    }
    if (record.installed)
        return plan;
    // A new name is taken out only where it is the new file: its old copy
    // lies in the backup folder, or it named no old file (the moves in
    // begin only after every old file is set aside).
    for (const QString& name : record.staged) {
        const bool isNew = present(dir.filePath(name)) || !record.old.contains(name);
        if (isNew && QFileInfo(folder + QLatin1Char('/') + name).isFile())
            plan.takeOut << name;
    }
    return plan;
}

// Why the record could not be written whole, or empty once it is on the
// disk and reads back as written. Every step is checked on its own. Where
// a rename replaces a file at once, the record is written under a name of
// its own ("install-record.new") and renamed over the old one, so that each
// step gives the system's reason: a save file's commit that cannot link its
// file in beside one of the name gives none. Elsewhere a save file does the
// replacing; its commit reports neither a write that failed before it nor
// a failed sync, and puts the file in place all the same.
QString recordWriteFailure(const QString& backup, const QByteArray& text)
{
    const QString path = backup + QLatin1Char('/') + kRecordName;
#ifdef Q_OS_UNIX
    const QString unfinished = path + QStringLiteral(".new");
    QFile::remove(unfinished); // an earlier write's, cut off
    QFile file(unfinished);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return file.errorString();
#else
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
#endif
    QString failure = filesync::writeAll(file, text.constData(), text.size());
    if (failure.isEmpty())
        failure = filesync::syncFile(file.handle());
#ifdef Q_OS_UNIX
    // A write cut off here leaves its file to the next write and resolve().
    file.close();
    if (failure.isEmpty())
        failure = renameOver(unfinished, path);
#else
    if (failure.isEmpty() && !file.commit())
        failure = file.errorString();
#endif
    if (!failure.isEmpty())
        return failure;
    if (!syncFolder(backup, &failure))
        return failure;
    QByteArray back;
    QString ignored;
    if (readRecordBytes(backup, &back, &ignored) != Reading::Read || back != text)
        return QStringLiteral("the record does not read back as written");
    return QString();
}

bool writeRecord(const QString& backup, const Record& record, QString* error)
{
    const QString failure = recordWriteFailure(backup, encode(record));
    if (failure.isEmpty())
        return true;
    qCritical() << "install: cannot write the record in" << backup << ":" << failure;
    *error = failure;
    return false;
}

// Moves a file, or a link as a link, by a rename on the same file system:
// never by a copy, which is not done at once and would write through a
// link that lies where the file goes. A name that is taken, also by a link
// that leads nowhere, makes it fail. False, with the reason in why, when
// the file did not move.
bool moveFile(const QString& from, const QString& to, const QString& what, QString* why = nullptr)
{
    QString failure;
    if (present(to)) {
        failure = QStringLiteral("the name is taken");
    } else {
#ifdef Q_OS_UNIX
        failure = renameOver(from, to);
#else
        QFile file(from);
        if (!file.rename(to))
            failure = file.errorString();
#endif
    }
    if (!failure.isEmpty()) {
        qCritical() << "install: cannot move" << from << "to" << to << ":" << failure;
        if (why)
            *why = failure;
        return false;
    }
    step(what);
    return true;
}

// The record (its unfinished writes first) and then the backup folder go.
bool removeRecordAndFolder(const QString& backup)
{
    QDir dir(backup);
    QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    // The record last: while it is there the folder is ours to clear.
    if (entries.removeAll(kRecordName) > 0)
        entries << kRecordName;
    for (const QString& name : qAsConst(entries)) {
        if (isRecordEntry(name) && QFile::remove(dir.filePath(name)))
            step(QStringLiteral("removed %1").arg(name));
    }
    if (!QDir().rmdir(backup)) {
        qCritical() << "install: the backup folder holds files no record names:" << backup;
        return false;
    }
    step(QStringLiteral("removed the backup folder"));
    return true;
}

} // namespace

FileSwap::FileSwap(const QString& folder) : m_folder(folder), m_backup(backupFolder(folder)) {}

QString FileSwap::backupFolder(const QString& folder)
{
    return folder + QLatin1Char('/') + kBackupName;
}

QString FileSwap::recordName()
{
    return kRecordName;
}

void FileSwap::setStepHook(StepHook hook)
{
    stepHook() = std::move(hook);
}

bool FileSwap::fail(Failure kind, const QString& path, const QString& error)
{
    m_failure = kind;
    m_failurePath = path;
    m_failureError = error;
    return false;
}

bool FileSwap::move(const QString& from, const QString& to, const QString& what)
{
    // What is in the way is told apart from a rename the system refused.
    if (present(to)) {
        qCritical() << "install: the name is taken:" << to;
        return fail(Failure::Taken, to);
    }
    QString why;
    return moveFile(from, to, what, &why) || fail(Failure::Move, from, why);
}

FileSwap::Holds FileSwap::holds(const QString& name) const
{
    if (!present(m_folder + QLatin1Char('/') + name))
        return Holds::Nothing;
    const bool movedIn = m_movedIn.contains(name);
    // An old file still in the backup folder: what has its name is the new
    // one, or something else.
    if (m_old.contains(name) && present(m_backup + QLatin1Char('/') + name))
        return movedIn ? Holds::New : Holds::Nothing;
    return movedIn && !m_old.contains(name) ? Holds::New : Holds::Old;
}

bool FileSwap::setAside(const QStringList& filters, const QStringList& staged)
{
    const QFileInfo backup(m_backup);
    if (backup.exists() || backup.isSymLink()) {
        qCritical() << "install: the backup folder is in the way:" << m_backup;
        return fail(Failure::InTheWay, m_backup);
    }
    Record record;
    for (const QFileInfo& info : QDir(m_folder).entryInfoList(filters, QDir::Files))
        record.old << info.fileName();
    for (const QString& path : staged)
        record.staged << QFileInfo(path).fileName();
    QStringList paths = staged;
    for (const QString& name : qAsConst(record.old))
        paths << m_folder + QLatin1Char('/') + name;
    for (const QString& path : qAsConst(paths)) {
        const QString name = QFileInfo(path).fileName();
        if (isRecordEntry(name) || !firmwarenames::isBareFileName(name)) {
            qCritical() << "install: refused file name" << path;
            return fail(Failure::Name, path);
        }
    }
    // The record at its longest, as commit() writes it, must read back: a
    // record that passed the bound would put the backup folder in the way
    // of every later update.
    Record installed = record;
    installed.installed = true;
    if (encode(installed).size() > kMaxRecordBytes) {
        qCritical() << "install: the record of" << record.old.size() << "files would pass" << kMaxRecordBytes
                    << "bytes";
        return fail(Failure::TooLarge, m_folder);
    }
    QString error;
    if (!QDir().mkdir(m_backup)) {
        error = qt_error_string(errno);
        qCritical() << "install: cannot make the backup folder" << m_backup << ":" << error;
        return fail(Failure::Disk, m_backup, error);
    }
    // No file moves before the record is known whole on the disk; until
    // then the folder goes with any failure, in no later update's way.
    QString failedAt = m_folder;
    bool recorded = syncFolder(m_folder, &error);
    if (recorded) {
        step(QStringLiteral("made the backup folder"));
        failedAt = m_backup;
        recorded = writeRecord(m_backup, record, &error);
    }
    if (!recorded) {
        removeRecordAndFolder(m_backup);
        return fail(Failure::Disk, failedAt, error);
    }
    step(QStringLiteral("record written"));
    m_old = record.old;
    m_staged = staged;
    for (const QString& name : qAsConst(m_old)) {
        if (!move(m_folder + QLatin1Char('/') + name, m_backup + QLatin1Char('/') + name,
                  QStringLiteral("set aside %1").arg(name)))
            return false;
    }
    if (!syncFolder(m_backup, &error))
        return fail(Failure::Disk, m_backup, error);
    if (!syncFolder(m_folder, &error))
        return fail(Failure::Disk, m_folder, error);
    return true;
}

bool FileSwap::moveIn()
{
    for (const QString& from : qAsConst(m_staged)) {
        const QString name = QFileInfo(from).fileName();
        if (!move(from, m_folder + QLatin1Char('/') + name, QStringLiteral("moved in %1").arg(name)))
            return false;
        m_movedIn << name;
    }
    QString error;
    if (!syncFolder(m_folder, &error))
        return fail(Failure::Disk, m_folder, error);
    return true;
}

bool FileSwap::commit()
{
    Record record;
    record.installed = true;
    record.old = m_old;
    for (const QString& path : qAsConst(m_staged))
        record.staged << QFileInfo(path).fileName();
    QString error;
    if (writeRecord(m_backup, record, &error)) {
        step(QStringLiteral("record says installed"));
        return true;
    }
    // A rewrite that failed once it had taken the record's name (its
    // folder's sync, its reading back) may have left a record that says
    // installed, or none that reads: it must say pending again, so that
    // the undo that follows, and a start after a crash during it, undoes
    // rather than finishes. Should even that fail, the undo follows what
    // the disk says.
    Record onDisk;
    QString ignored;
    if (readRecord(m_backup, &onDisk, &ignored) != Reading::Read || onDisk.installed) {
        record.installed = false;
        if (writeRecord(m_backup, record, &ignored))
            step(QStringLiteral("record says pending again"));
    }
    return fail(Failure::Disk, m_backup, error);
}

FileSwap::Outcome FileSwap::planned(const QString& folder, QString* unreadable)
{
    const QString backup = backupFolder(folder);
    Record record;
    QString why;
    switch (inspect(backup, &record, &why)) {
    case Held::Absent:
    case Held::NoRecord:
        return Outcome::Nothing;
    case Held::Other:
        return Outcome::InTheWay;
    case Held::Unreadable:
        if (unreadable)
            *unreadable = why;
        return Outcome::Unreadable;
    case Held::Record:
        break;
    }
    if (planFor(folder, backup, record).empty())
        return Outcome::Nothing;
    return record.installed ? Outcome::Finished : Outcome::Undone;
}

FileSwap::Outcome FileSwap::resolve(const QString& folder, QString* unreadable)
{
    const QString backup = backupFolder(folder);
    Record record;
    QString why;
    switch (inspect(backup, &record, &why)) {
    case Held::Absent:
        return Outcome::Nothing;
    case Held::NoRecord:
        // Made, and nothing moved yet: the record comes before the first move.
        return removeRecordAndFolder(backup) ? Outcome::Nothing : Outcome::InTheWay;
    case Held::Other:
        return Outcome::InTheWay;
    case Held::Unreadable:
        if (unreadable)
            *unreadable = why;
        return Outcome::Unreadable;
    case Held::Record:
        break;
    }
    const Plan plan = planFor(folder, backup, record);
    const QDir dir(backup);

    bool whole = true;
    if (record.installed) {
        qDebug() << "install: finishing the install recorded in" << backup;
        for (const QString& name : plan.drop) {
            if (QFile::remove(dir.filePath(name))) {
                step(QStringLiteral("dropped %1").arg(name));
            } else {
                qCritical() << "install: cannot remove the old file" << dir.filePath(name);
                whole = false;
            }
        }
        return whole && removeRecordAndFolder(backup) ? Outcome::Finished : Outcome::InTheWay;
    }

    qDebug() << "install: undoing the install recorded in" << backup;
    for (const QString& name : plan.takeOut) {
        const QString path = folder + QLatin1Char('/') + name;
        if (QFile::remove(path)) {
            step(QStringLiteral("took out %1").arg(name));
        } else {
            qCritical() << "install: cannot take out the new file" << path;
            whole = false;
        }
    }
    for (const QString& name : plan.putBack) {
        if (!moveFile(dir.filePath(name), folder + QLatin1Char('/') + name, QStringLiteral("put back %1").arg(name)))
            whole = false;
    }
    syncFolder(folder);
    syncFolder(backup);
    return whole && removeRecordAndFolder(backup) ? Outcome::Undone : Outcome::InTheWay;
}
