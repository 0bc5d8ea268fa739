#include "app/qtsingleapplication.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

QString instanceKey(const QString& id)
{
    // One instance per user: another user's copy does not block this one.
    const QByteArray user = qgetenv("USER").isEmpty() ? qgetenv("USERNAME") : qgetenv("USER");
    const QByteArray hash = QCryptographicHash::hash(id.toUtf8() + '\0' + user,
                                                     QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("qtsingleapp-%1-%2").arg(id, QString::fromLatin1(hash));
}

} // namespace

QtSingleApplication::QtSingleApplication(const QString& id, int& argc, char** argv)
    : QApplication(argc, argv), m_id(id), m_serverName(instanceKey(id))
{
    m_lock.reset(new QLockFile(QDir::temp().filePath(m_serverName + QStringLiteral(".lock"))));
    // QLockFile takes over a lock whose process is gone (a crashed
    // instance); a stale time of 0 never overrides a live holder, however
    // long it has been running.
    m_lock->setStaleLockTime(0);
    m_running = !m_lock->tryLock(100);
    if (!m_running)
        startServer();
}

QtSingleApplication::~QtSingleApplication()
{
    if (m_server)
        m_server->close();
}

void QtSingleApplication::startServer()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed instance would make listen() fail.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName)) {
        qWarning() << "QtSingleApplication: cannot listen on" << m_serverName << m_server->errorString();
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &QtSingleApplication::readConnection);
}

void QtSingleApplication::readConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
            // One message per connection, ended by a newline.
            if (!socket->canReadLine())
                return;
            const QString message = QString::fromUtf8(socket->readLine()).chopped(1);
            socket->write("ack\n");
            socket->flush();
            emit messageReceived(message);
        });
    }
}

bool QtSingleApplication::sendMessage(const QString& msg, int timeout)
{
    if (!m_running)
        return false;
    QElapsedTimer elapsed;
    elapsed.start();
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeout))
        return false;
    QByteArray bytes = msg.toUtf8();
    bytes.replace('\n', ' ');
    socket.write(bytes + '\n');
    if (!socket.waitForBytesWritten(qMax(0, timeout - int(elapsed.elapsed()))))
        return false;
    // Wait for the acknowledgement so that the message is known to have
    // arrived before this instance exits.
    while (!socket.canReadLine()) {
        const int left = timeout - int(elapsed.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            return false;
    }
    return true;
}
