#ifndef APPCOPY_H
#define APPCOPY_H

// The real executable, started as a child process the way a user starts
// it. It runs as a copy beside its translations, so that what a user's run
// left beside the built one (language, scales) never reaches it, and with a
// folder of the test's own as its working directory and TMPDIR: its
// single-instance lock and socket are named below TMPDIR, so parallel test
// runs never meet each other nor a running instance.
//
//   AppCopy app(TQ_TOPAZ_EXE);
//   QProcess child;
//   app.start(child, folder.path(), 20000);

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

class AppCopy
{
public:
    explicit AppCopy(const QString& built)
    {
        const QFileInfo exe(built);
        m_valid = m_bin.isValid();
        for (const QFileInfo& file : exe.dir().entryInfoList({exe.fileName(), "*.qm"}, QDir::Files))
            m_valid = m_valid && QFile::copy(file.filePath(), m_bin.filePath(file.fileName()));
        m_exe = m_bin.filePath(exe.fileName());
        m_valid = m_valid && QFileInfo(m_exe).isExecutable();
    }
    bool isValid() const { return m_valid; }

    // Starts the copy in `folder` on the offscreen platform. It closes every
    // modal box as it shows and quits by itself after quitMs; `env` adds
    // "NAME=value" variables. Output and errors come merged.
    void start(QProcess& child, const QString& folder, int quitMs, const QStringList& env = {}) const
    {
        QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
        all.insert("QT_QPA_PLATFORM", "offscreen");
        all.insert("TQ_AUTOTEST_QUIT_MS", QString::number(quitMs));
        all.insert("TMPDIR", folder);
        for (const QString& item : env)
            all.insert(item.section('=', 0, 0), item.section('=', 1));
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setProcessEnvironment(all);
        child.setWorkingDirectory(folder);
        child.start(m_exe, QStringList());
    }

private:
    QTemporaryDir m_bin;
    QString m_exe;
    bool m_valid = false;
};

#endif // APPCOPY_H
