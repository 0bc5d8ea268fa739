#include "firmware/fileswap.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

#include "firmware/firmwarenames.h"

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

// Makes the folder's entries (names made, renamed or removed in it) last
// through a power cut, so that the disk never shows a later step without
// an earlier one.
void syncFolder(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        qWarning() << "install: cannot sync folder" << path;
    if (fd >= 0)
        ::close(fd);
#else
    Q_UNUSED(path)
#endif
}

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

bool writeRecord(const QString& backup, const Record& record)
{
    QSaveFile file(backup + QLatin1Char('/') + kRecordName);
    const QByteArray text = encode(record);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        qCritical() << "install: cannot write the record in" << backup << ":" << file.errorString();
        return false;
    }
    syncFolder(backup);
    return true;
}

bool readRecord(const QString& backup, Record* record)
{
    QFile file(backup + QLatin1Char('/') + kRecordName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxRecordBytes)
        return false;
    return decode(file.readAll(), record);
}

bool moveFile(const QString& from, const QString& to, const QString& what)
{
    if (!QFile::rename(from, to)) {
        qCritical() << "install: cannot move" << from << "to" << to;
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

bool FileSwap::setAside(const QStringList& filters, const QStringList& staged)
{
    const QFileInfo backup(m_backup);
    if (backup.exists() || backup.isSymLink()) {
        qCritical() << "install: the backup folder is in the way:" << m_backup;
        return false;
    }
    Record record;
    for (const QFileInfo& info : QDir(m_folder).entryInfoList(filters, QDir::Files))
        record.old << info.fileName();
    for (const QString& path : staged)
        record.staged << QFileInfo(path).fileName();
    for (const QString& name : record.old + record.staged) {
        if (isRecordEntry(name) || !firmwarenames::isBareFileName(name)) {
            qCritical() << "install: refused file name" << name;
            return false;
        }
    }
    if (!QDir().mkdir(m_backup)) {
        qCritical() << "install: cannot make the backup folder" << m_backup;
        return false;
    }
    syncFolder(m_folder);
    step(QStringLiteral("made the backup folder"));
    if (!writeRecord(m_backup, record))
        return false;
    step(QStringLiteral("record written"));
    m_old = record.old;
    m_staged = staged;
    for (const QString& name : qAsConst(m_old)) {
        if (!moveFile(m_folder + QLatin1Char('/') + name, m_backup + QLatin1Char('/') + name,
                    QStringLiteral("set aside %1").arg(name)))
            return false;
    }
    syncFolder(m_backup);
    syncFolder(m_folder);
    return true;
}

bool FileSwap::moveIn()
{
    for (const QString& from : qAsConst(m_staged)) {
        const QString name = QFileInfo(from).fileName();
        if (!moveFile(from, m_folder + QLatin1Char('/') + name, QStringLiteral("moved in %1").arg(name)))
            return false;
    }
    syncFolder(m_folder);
    return true;
}

bool FileSwap::commit()
{
    Record record;
    record.installed = true;
    record.old = m_old;
    for (const QString& path : qAsConst(m_staged))
        record.staged << QFileInfo(path).fileName();
    if (!writeRecord(m_backup, record))
        return false;
    step(QStringLiteral("record says installed"));
    return true;
}

FileSwap::Outcome FileSwap::resolve(const QString& folder)
{
    const QString backup = backupFolder(folder);
    const QFileInfo info(backup);
    if (!info.exists() && !info.isSymLink())
        return Outcome::Nothing;
    if (info.isSymLink() || !info.isDir()) {
        qCritical() << "install: the backup folder is in the way:" << backup;
        return Outcome::InTheWay;
    }
    const QDir dir(backup);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (!entries.contains(kRecordName)) {
        // Made, and nothing moved yet: the record comes before the first move.
        for (const QString& name : entries) {
            if (!isRecordEntry(name)) {
                qCritical() << "install: the backup folder holds files no record names:" << backup;
                return Outcome::InTheWay;
            }
        }
        return removeRecordAndFolder(backup) ? Outcome::Nothing : Outcome::InTheWay;
    }
    Record record;
    if (!readRecord(backup, &record)) {
        qCritical() << "install: the record in the backup folder does not read:" << backup;
        return Outcome::InTheWay;
    }

    bool whole = true;
    if (record.installed) {
        qDebug() << "install: finishing the install recorded in" << backup;
        for (const QString& name : qAsConst(record.old)) {
            if (!QFileInfo::exists(dir.filePath(name)))
                continue;
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
    for (const QString& name : qAsConst(record.staged)) {
        const QString path = folder + QLatin1Char('/') + name;
        const bool isNew = QFileInfo::exists(dir.filePath(name)) || !record.old.contains(name);
        if (!isNew || !QFileInfo(path).isFile())
            continue;
        if (QFile::remove(path)) {
            step(QStringLiteral("took out %1").arg(name));
        } else {
            qCritical() << "install: cannot take out the new file" << path;
            whole = false;
        }
    }
    for (const QString& name : qAsConst(record.old)) {
        if (QFileInfo::exists(dir.filePath(name))
            && !moveFile(dir.filePath(name), folder + QLatin1Char('/') + name, QStringLiteral("put back %1").arg(name)))
            whole = false;
    }
    syncFolder(folder);
    syncFolder(backup);
    return whole && removeRecordAndFolder(backup) ? Outcome::Undone : Outcome::InTheWay;
}
