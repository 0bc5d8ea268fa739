#ifndef FILESWAP_H
#define FILESWAP_H

// Replaces the working files of a folder with staged ones so that the old
// state is never lost, not even to a crash. The old files are moved (never
// copied, never deleted) into the backup folder "previous" below the
// folder, the staged ones are moved in, and only after commit() are the old
// ones dropped. Renames only: the staged files lie on the same file system.
//
// The backup folder is the swap's undo record. Before the first file moves
// it receives the file "install-record": the names set aside ("old") and
// the names moved in ("new"), and the state "pending"; commit() rewrites the
// state to "installed". The record is written whole or not at all (a new
// file synced and renamed over the old one, then its folder synced), and
// counts as written only once it reads back so; no file moves before. Every
// point at which a swap can stop leaves one of these states, which
// resolve() finishes or undoes:
//
//   no backup folder        nothing to do
//   folder without record   made, nothing moved yet: the folder goes (with a
//                           record's unfinished write, "install-record.*")
//   record "pending"        not completed: undone. First every new name is
//                           taken out of the folder where it is the new file:
//                           its old copy lies in the backup folder, or it
//                           named no old file (the moves in begin only after
//                           every old file is set aside); then every old
//                           file still in the backup folder is put back
//   record "installed"      completed: the old copies go
//
// and then the record and the backup folder go. Each step of resolve() may
// itself be cut off and repeated: it only removes a new file while the old
// one of its name waits in the backup folder, and only drops old copies
// after the record says installed. A backup folder that holds anything else
// (a record that is not ours, files it does not name, no folder at all but
// a file of that name) is left alone and reported as in the way. One that
// cannot be read now (its listing or its record fails, as on a dying disk)
// is left alone too, and reported as unreadable: it is no one else's, and
// a later resolve() on a disk that reads settles it. A record is read only
// from a regular file (never through a link, from a device or a pipe) and
// up to a bound.
//
// Files and links move by renames only, never by a copy: a link is moved
// as a link, and a name that is taken, also by a link that leads nowhere,
// is never written through. Nothing below the folder is followed out of it.
//
// QtCore only. Failures are logged.

#include <QString>
#include <QStringList>

#include <functional>

class FileSwap
{
public:
    enum class Outcome {
        Nothing,    // no backup folder was there
        Undone,     // a pending swap was undone: the old files are back
        Finished,   // a committed swap was finished: the old copies are gone
        InTheWay,   // the backup folder is still there (see above)
        Unreadable, // the backup folder or its record cannot be read now
    };

    // Why setAside(), moveIn() or commit() failed.
    enum class Failure {
        None,
        InTheWay, // the backup folder (failurePath()) was there already
        Disk,     // a write or sync at failurePath() failed: failureError()
        Taken,    // the name a file moves to, failurePath(), is taken
        Move,     // the file failurePath() did not move: failureError()
        TooLarge, // the record of the folder's files would pass its bound
        Name,     // a file, failurePath(), whose name the swap cannot take
    };

    // What the folder holds under a name after a failed swap and its
    // resolve(): the file it held before (or one the swap never touched),
    // the one the swap moved in (the undo could not take it out), or
    // neither.
    enum class Holds { Nothing, Old, New };

    explicit FileSwap(const QString& folder);

    static QString backupFolder(const QString& folder);
    // The record's name in the backup folder; no file set aside or moved in
    // may carry it or begin with it and a dot.
    static QString recordName();

    // Records the swap and sets aside the folder's plain files that match
    // filters; staged names the files that moveIn() will bring. False when
    // the backup folder is there already, a name is the record's, the
    // record would pass its bound or cannot be written, or a file does not
    // move; resolve() then undoes what was done. Stopped before the first
    // move, it leaves no backup folder behind.
    bool setAside(const QStringList& filters, const QStringList& staged);
    // Moves the staged files in; a name that is taken there makes it fail.
    bool moveIn();
    // The commit point: the record says installed. False when it cannot be
    // written; the record is then put back to pending where it can be, so
    // that resolve() undoes the swap.
    bool commit();

    Failure failure() const { return m_failure; }
    QString failurePath() const { return m_failurePath; }
    QString failureError() const { return m_failureError; }
    Holds holds(const QString& name) const;

    // Finishes or undoes what the backup folder of folder records. When it
    // cannot be read (Unreadable), unreadable gets the system's reason.
    static Outcome resolve(const QString& folder, QString* unreadable = nullptr);
    // What resolve() sets out to do with the backup folder as it stands,
    // read from its record: Undone (pending) or Finished (installed) where
    // it moves or drops a file; Nothing where it only removes the folder
    // (none there, one made before the first move, or a record whose
    // files are all where the undo or the end leaves them); InTheWay or
    // Unreadable where it leaves the folder alone.
    static Outcome planned(const QString& folder, QString* unreadable = nullptr);
    Outcome resolve() const { return resolve(m_folder); }

    // Called after every change on the disk with its name ("set aside
    // old.db", "record says installed", ...): where a test stops a swap as
    // a crash would. Empty: none.
    using StepHook = std::function<void(const QString& step)>;
    static void setStepHook(StepHook hook);

private:
    bool fail(Failure kind, const QString& path, const QString& error = QString());
    bool move(const QString& from, const QString& to, const QString& step);

    const QString m_folder;
    const QString m_backup;
    QStringList m_old;     // names set aside
    QStringList m_staged;  // paths of the files to move in
    QStringList m_movedIn; // names moved in
    Failure m_failure = Failure::None;
    QString m_failurePath;
    QString m_failureError;
};

#endif // FILESWAP_H
