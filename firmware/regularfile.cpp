#include "firmware/regularfile.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace regularfile {

bool open(QFile& file, const QString& path, QIODevice::OpenMode mode, qint64 maxBytes, Links links, QString* why)
{
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
#ifdef Q_OS_UNIX
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return fail(qt_error_string(errno));
    struct stat status;
    QString reason;
    if (::fstat(fd, &status) != 0)
        reason = qt_error_string(errno);
    else if (!S_ISREG(status.st_mode))
        reason = QStringLiteral("no regular file");
    else if (maxBytes >= 0 && status.st_size > maxBytes)
        reason = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    else if (!file.open(fd, mode, QFileDevice::AutoCloseHandle))
        reason = file.errorString();
    if (reason.isEmpty())
        return true;
    ::close(fd);
    return fail(reason);
#else
    const QFileInfo info(path);
    if ((links == Links::Refuse && info.isSymLink()) || !info.isFile())
        return fail(QStringLiteral("no regular file"));
    if (maxBytes >= 0 && info.size() > maxBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    file.setFileName(path);
    return file.open(mode) || fail(file.errorString());
#endif
}

} // namespace regularfile
