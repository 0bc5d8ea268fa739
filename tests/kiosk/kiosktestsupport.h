#ifndef KIOSKTESTSUPPORT_H
#define KIOSKTESTSUPPORT_H

// The kiosk tests' working directory with its own conf/tq_info.ini, and a
// way to make that file impossible to write.

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>

#include "logcapture.h"
#include "tempworkdir.h"

// A fresh working directory holding an empty "conf" folder. Every test gets
// a new path, so settings objects of earlier tests never meet this file.
class KioskWorkDir : public TempWorkDir
{
public:
    KioskWorkDir() { QDir().mkpath(QStringLiteral("conf")); }
    QString iniPath() const { return filePath(QStringLiteral("conf/tq_info.ini")); }
    // Raw text; call before any settings access.
    bool writeIni(const QByteArray& text) const { return write(QStringLiteral("conf/tq_info.ini"), text); }
    QByteArray iniBytes() const { return read(QStringLiteral("conf/tq_info.ini")); }
};

// Makes the settings file of a KioskWorkDir impossible to write, reads still
// working. The file and its folder lose their write bits; when that does not
// stop this process (root, or CAP_DAC_OVERRIDE) the file-size limit of the
// process is set to 0, which the kernel applies to everyone.
class UnwritableIni
{
public:
    explicit UnwritableIni(const KioskWorkDir& dir)
        : m_file(dir.iniPath()), m_folder(dir.filePath(QStringLiteral("conf")))
    {
        m_fileMode = QFile::permissions(m_file);
        m_folderMode = QFile::permissions(m_folder);
        const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(m_file, readOnly);
        QFile::setPermissions(m_folder, readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);

        QFile probe(m_file);
        if (probe.open(QIODevice::Append)) {
            probe.close();
            m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &m_oldLimit);
            struct rlimit none = m_oldLimit;
            none.rlim_cur = 0;
            m_limited = setrlimit(RLIMIT_FSIZE, &none) == 0;
        }
    }
    ~UnwritableIni()
    {
        if (m_limited) {
            setrlimit(RLIMIT_FSIZE, &m_oldLimit);
            std::signal(SIGXFSZ, m_oldSignal);
        }
        QFile::setPermissions(m_folder, m_folderMode);
        QFile::setPermissions(m_file, m_fileMode);
    }

private:
    QString m_file;
    QString m_folder;
    QFile::Permissions m_fileMode;
    QFile::Permissions m_folderMode;
    bool m_limited = false;
    struct rlimit m_oldLimit {};
    void (*m_oldSignal)(int) = SIG_DFL;
};

#endif // KIOSKTESTSUPPORT_H
