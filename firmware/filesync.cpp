#include "firmware/filesync.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace filesync {

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
