#ifndef TEMPWORKDIR_H
#define TEMPWORKDIR_H

// A fresh temporary folder as the working directory while the object lives;
// the previous working directory comes back when it goes. Code that reads
// "./conf/..." or writes marker files then meets only the test's own files.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class TempWorkDir
{
public:
    TempWorkDir() : m_previous(QDir::currentPath()), m_entered(QDir::setCurrent(m_dir.path())) {}
    ~TempWorkDir() { QDir::setCurrent(m_previous); }
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;

    bool isValid() const { return m_dir.isValid() && m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes a file below the folder, creating the folders on its way.
    bool write(const QString& relative, const QByteArray& bytes) const
    {
        const QString file = filePath(relative);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    QByteArray read(const QString& relative) const
    {
        QFile in(filePath(relative));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_entered;
};

#endif // TEMPWORKDIR_H
