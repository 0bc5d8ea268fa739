#ifndef FILESYNC_H
#define FILESYNC_H

// Making what was written last through a power cut: the data of an open
// file, or the entries of a folder (names made, renamed or removed in it).
// Each gives the system's reason when the disk does not say it did, or an
// empty text. Elsewhere than on Unix there is nothing to do.

#include <QString>

namespace filesync {

QString syncFile(int fd);
QString syncFolder(const QString& path);

} // namespace filesync

#endif // FILESYNC_H
