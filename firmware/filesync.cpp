#include "firmware/filesync.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace filesync {

QString writeAll(QFileDevice& file, const char* data, qint64 size)
{
    const qint64 written = file.write(data, size);
    if (written == size)
        return QString();
    return written < 0 ? file.errorString() : qt_error_string(ENOSPC);
}

QString syncFile(int fd)
{
#ifdef Q_OS_UNIX
    if (::fsync(fd) != 0)
        return qt_error_string(errno);
#else
    Q_UNUSED(fd)
#endif
    return QString();
}

QString syncFolder(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return qt_error_string(errno);
    const QString failure = syncFile(fd);
    ::close(fd);
    return failure;
#else
    Q_UNUSED(path)
    return QString();
#endif
}

} // namespace filesync
