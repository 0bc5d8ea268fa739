#ifndef FILESYNC_H
#define FILESYNC_H

// Making what was written last through a power cut: the data of an open
// file, or the entries of a folder (names made, renamed or removed in it).
// Each gives the system's reason when the disk does not say it did, or an
// empty text. Elsewhere than on Unix there is nothing to do.

#include <QFileDevice>
#include <QString>

namespace filesync {

// Writes size bytes to file, opened Unbuffered so that each write reaches
// the system here: the system's reason when not all of them went, or an
// empty text. A write that comes back short carries no reason (the system
// reports none for the part it took): on a file on the disk that is a full
// disk, and it is named so.
QString writeAll(QFileDevice& file, const char* data, qint64 size);
QString syncFile(int fd);
QString syncFolder(const QString& path);

} // namespace filesync

#endif // FILESYNC_H
