#ifndef DOWNLOADTESTHELPERS_H
#define DOWNLOADTESTHELPERS_H

// What the download test uses beside the page: a file's bytes, an action
// run when a widget becomes enabled, the process's memory while it lives,
// and a folder's files and folders to put back as a stop left them.

#include <QDir>
#include <QDirIterator>
#include <QEvent>
#include <QFile>
#include <QMap>
#include <QMetaObject>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "pagetesthelpers.h"

#if defined(__SANITIZE_ADDRESS__)
#define TQ_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQ_TEST_ASAN 1
#endif
#endif
#ifdef TQ_TEST_ASAN
extern "C" void __sanitizer_purge_allocator();
#endif

namespace fwdownload {

inline QByteArray fileBytes(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Runs an action in the turn of the event loop after the watched widget
// becomes enabled: before any timer of a second from now can fire.
class WhenEnabled : public QObject
{
public:
    WhenEnabled(QWidget* widget, std::function<void()> action) : m_action(std::move(action))
    {
        widget->installEventFilter(this);
    }

private:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled() && m_action) {
            QTimer::singleShot(0, this, m_action);
            m_action = nullptr;
        }
        return false;
    }
    std::function<void()> m_action;
};

// The process's resident memory in KiB. Under the address sanitizer the
// freed memory it holds back is handed back first: only memory in use counts.
inline qint64 residentKiB()
{
#ifdef TQ_TEST_ASAN
    __sanitizer_purge_allocator();
#endif
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').first().toLongLong();
    }
    return -1;
}

// The most resident memory seen above the start while it lives.
class MemoryGrowth : public QObject
{
public:
    MemoryGrowth() : m_start(residentKiB()), m_peak(m_start)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { m_peak = qMax(m_peak, residentKiB()); });
        m_timer.start(100);
    }
    qint64 peakKiB()
    {
        m_peak = qMax(m_peak, residentKiB());
        return m_start < 0 ? -1 : m_peak - m_start;
    }
    qint64 startKiB() const { return m_start; }

private:
    QTimer m_timer;
    qint64 m_start;
    qint64 m_peak;
};

// A folder's files and folders, to be put back as a stop left them.
struct Tree {
    QStringList folders;
    QMap<QString, QByteArray> files;

    static Tree of(const QString& root)
    {
        Tree tree;
        QDirIterator it(root, QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = QDir(root).relativeFilePath(path);
            if (it.fileInfo().isDir()) {
                tree.folders << name;
            } else {
                QFile in(path);
                tree.files.insert(name, in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("unreadable"));
            }
        }
        return tree;
    }
    bool restore(const QString& root) const
    {
        bool ok = QDir(root).removeRecursively() && QDir().mkpath(root);
        for (const QString& folder : folders)
            ok = ok && QDir(root).mkpath(folder);
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile out(root + QLatin1Char('/') + it.key());
            ok = ok && out.open(QIODevice::WriteOnly) && out.write(it.value()) == it.value().size();
        }
        return ok;
    }
};

// A click that reaches the page whether or not the button is enabled.
inline void forceClick(QWidget* page, const char* button)
{
    QVERIFY(QMetaObject::invokeMethod(pagetest::child(page, button), "clicked", Q_ARG(bool, false)));
}

} // namespace fwdownload

#endif // DOWNLOADTESTHELPERS_H
