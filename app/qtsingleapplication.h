#ifndef QTSINGLEAPPLICATION_H
#define QTSINGLEAPPLICATION_H

// A widgets application that knows whether another instance with the same id
// is already running, and can send that instance a text message.
//
// The first instance holds a lock file and listens on a local socket, both
// named from the id and the user; a later instance fails to take the lock and
// talks to the socket instead.

#include <QApplication>
#include <QLockFile>
#include <QScopedPointer>

class QLocalServer;

class QtSingleApplication : public QApplication
{
    Q_OBJECT
public:
    QtSingleApplication(const QString& id, int& argc, char** argv);
    ~QtSingleApplication() override;

    bool isRunning() const { return m_running; }
    QString id() const { return m_id; }

    // Sends msg to the running instance; false when none answered in time.
    bool sendMessage(const QString& msg, int timeout = 5000);

signals:
    void messageReceived(const QString& message);

private:
    void startServer();
    void readConnection();

    QString m_id;
    QString m_serverName;
    QScopedPointer<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_running = false;
};

#endif // QTSINGLEAPPLICATION_H
