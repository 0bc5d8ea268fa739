#ifndef KIOSKTESTSUPPORT_H
#define KIOSKTESTSUPPORT_H

// Helpers for the kiosk tests: a temporary working directory holding the
// kiosk settings file, a way to make that file impossible to write, and a
// record of the log lines.

#include <QDir>
#include <QFile>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

// A fresh working directory for one test; the previous one is restored when
// the object goes. Every test gets a new path, so the settings objects of
// earlier tests are never mistaken for this one's file.
class KioskWorkDir
{
public:
    KioskWorkDir() : m_previous(QDir::currentPath())
    {
        QDir().mkpath(m_dir.path() + QStringLiteral("/conf"));
        QDir::setCurrent(m_dir.path());
    }
    ~KioskWorkDir() { QDir::setCurrent(m_previous); }

    QString path() const { return m_dir.path(); }
    QString iniPath() const { return m_dir.path() + QStringLiteral("/conf/tq_info.ini"); }

    // Writes the settings file as raw text; call before any settings access.
    bool writeIni(const QByteArray& text) const
    {
        QFile file(iniPath());
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    QByteArray iniBytes() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Makes the settings file of a KioskWorkDir impossible to write, reads still
// working. The file and its folder lose their write bits; when that does not
// stop this process (root, or a process with CAP_DAC_OVERRIDE) the file-size
// limit of the process is set to 0, which the kernel applies to everyone:
// every write that would put a byte into a file fails.
class UnwritableIni
{
public:
    explicit UnwritableIni(const KioskWorkDir& dir)
        : m_file(dir.iniPath()), m_folder(dir.path() + QStringLiteral("/conf"))
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

// Records every log line while it lives, and passes each on to the handler
// that was installed before (QtTest's), so failures still show the lines.
class LogCapture
{
public:
    LogCapture()
    {
        current() = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }

    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    // Lines of the given type that contain text.
    int count(QtMsgType type, const QString& text) const
    {
        QMutexLocker lock(&m_mutex);
        int n = 0;
        for (const auto& line : m_lines)
            n += (line.first == type && line.second.contains(text)) ? 1 : 0;
        return n;
    }
    bool has(QtMsgType type, const QString& text) const { return count(type, text) > 0; }
    int countOfType(QtMsgType type) const
    {
        QMutexLocker lock(&m_mutex);
        int n = 0;
        for (const auto& line : m_lines)
            n += line.first == type ? 1 : 0;
        return n;
    }
    QStringList linesOfType(QtMsgType type) const
    {
        QMutexLocker lock(&m_mutex);
        QStringList out;
        for (const auto& line : m_lines) {
            if (line.first == type)
                out << line.second;
        }
        return out;
    }

private:
    static LogCapture*& current()
    {
        static LogCapture* instance = nullptr;
        return instance;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        LogCapture* self = current();
        if (!self)
            return;
        {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines.append({type, message});
        }
        if (self->m_previous)
            self->m_previous(type, context, message);
    }

    mutable QMutex m_mutex;
    QList<QPair<QtMsgType, QString>> m_lines;
    QtMessageHandler m_previous = nullptr;
};

#endif // KIOSKTESTSUPPORT_H
