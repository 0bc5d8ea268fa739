#ifndef DISKFAULTS_H
#define DISKFAULTS_H

// A disk that fails on demand, for the test that links diskfaults.cpp: that
// file defines write(), fsync(), rename(), unlink(), read() and readdir(),
// which the dynamic linker then finds before the C library's for every
// library of the process, Qt's file writes included. Armed, they count the
// writes and syncs on files and folders whose path holds a given part, and
// fail some of them as a full disk does (ENOSPC); disarmed, they only pass
// every call on.

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace diskfaults {

// The nth call fails: Once; with every later one (FromThenOn), and then no
// name changes either (ReadOnly, see makeReadOnly()); or, a write, takes
// half of its bytes and fails the rest, as a disk that fills up (CutShort);
// or, as a disk that dies or a stick pulled out, fails with every later
// call, no name changes, and nothing reads or lists either (Dying: EIO).
enum class Fault { Once, FromThenOn, ReadOnly, CutShort, Dying };
// Counts the calls on paths that hold part and fails the nth; 0: none.
void arm(const QByteArray& part, int nth, Fault fault = Fault::Once);
// From now on no name on a path that holds part is renamed or removed
// (EACCES), as in a read-only folder; files are written as before.
void makeReadOnly(const QByteArray& part);
void disarm();
// The calls counted since arm().
int calls();
// The path of the first call that failed since arm(), or empty.
QString failedPath();

} // namespace diskfaults
Q_DECLARE_METATYPE(diskfaults::Fault)

#endif // DISKFAULTS_H
