#ifndef REGULARFILE_H
#define REGULARFILE_H

// Opening a file of outside origin for reading only when it is a regular
// file, and not larger than its reader takes. A FIFO would hold the open
// (and the window) until someone writes to it, a device such as /dev/zero
// gives bytes without end: neither is waited for nor read. The open does
// not block, and the kind and size are those of the file opened, not of
// whatever had the name a moment before.
//
// QtCore only.

#include <QFile>
#include <QString>

namespace regularfile {

enum class Links { Follow, Refuse };

// Opens path into file (mode: ReadOnly, with Text if wanted). False, with
// the reason in why, when it cannot be opened, is no regular file, or is
// larger than maxBytes (-1: any size). A reader must still read no more
// than maxBytes + 1: the file may grow once open.
bool open(QFile& file, const QString& path, QIODevice::OpenMode mode, qint64 maxBytes = -1,
          Links links = Links::Follow, QString* why = nullptr);

} // namespace regularfile

#endif // REGULARFILE_H
