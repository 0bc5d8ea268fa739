#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

// Records every log line while it lives, from any thread, and passes the
// lines on to the previous handler.
//
// Use it instead of QTest::ignoreMessage whenever a worker thread may log
// during the test: QtTest's list of expected messages is not guarded, so a
// line logged in another thread while the test adds to the list corrupts it.

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QtGlobal>

#include <functional>
#include <utility>

struct LogLine {
    QtMsgType type;
    QString text;
    QThread* thread;
};

class LogCapture
{
public:
    // quietDebug: keep debug lines out of the test output.
    explicit LogCapture(bool quietDebug = false) : m_quietDebug(quietDebug)
    {
        current() = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QList<LogLine> lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }
    // Runs `act` in the thread that logs a line containing `text`, as it does.
    void onLine(const QString& text, std::function<void()> act)
    {
        QMutexLocker lock(&m_mutex);
        m_trigger = {text, std::move(act)};
    }
    // Number of lines of the given type whose text contains `text`.
    int count(QtMsgType type, const QString& text) const
    {
        int n = 0;
        for (const LogLine& line : lines())
            n += (line.type == type && line.text.contains(text)) ? 1 : 0;
        return n;
    }
    bool contains(QtMsgType type, const QString& text) const { return count(type, text) > 0; }
    // Number of lines of the given type whose text is exactly `text`.
    int countExact(QtMsgType type, const QString& text) const
    {
        int n = 0;
        for (const LogLine& line : lines())
            n += (line.type == type && line.text == text) ? 1 : 0;
        return n;
    }
    // The thread that logged the first line reading exactly `text`, or null.
    QThread* threadOf(const QString& text) const
    {
        for (const LogLine& line : lines()) {
            if (line.text == text)
                return line.thread;
        }
        return nullptr;
    }
    // Texts of the lines that start with prefix, in order.
    QStringList startingWith(const QString& prefix) const
    {
        QStringList found;
        for (const LogLine& line : lines()) {
            if (line.text.startsWith(prefix))
                found.append(line.text);
        }
        return found;
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
        std::function<void()> act;
        {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines.append({type, message, QThread::currentThread()});
            if (self->m_trigger.second && message.contains(self->m_trigger.first))
                act = self->m_trigger.second;
        }
        if (act)
            act();
        if (self->m_previous && !(self->m_quietDebug && type == QtDebugMsg))
            self->m_previous(type, context, message);
    }

    mutable QMutex m_mutex;
    QList<LogLine> m_lines;
    QtMessageHandler m_previous = nullptr;
    std::pair<QString, std::function<void()>> m_trigger;
    bool m_quietDebug;
};

#endif // LOGCAPTURE_H
