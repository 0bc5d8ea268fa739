#include "link/subserialtqthread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMetaMethod>
#include <QStringList>
#include <QTimer>

#include "app/auxthreadcontroller.h"
#include "app/msgtypes.h"
#include "kiosk/commonmethod.h"
#include "link/lastresort.h"
#include "link/portsearch.h"
#include "link/throttleticklog.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Index of a message-type name, or -1 for a name the worker does not know.
int cmdIndex(const QString& cmdtype)
{
    for (int i = 0; i < e_CmdTypeCount; ++i) {
        if (cmdtype == g_strCmdType[i])
            return i;
    }
    return -1;
}

// The transfer-ID a request's arguments carry at `at`, when the page
// numbers its requests: -1 (the link numbers it) when there is none, false
// for one that is no transfer-ID.
bool transferIdOf(const QStringList& parts, int at, int* transferId)
{
    *transferId = -1;
    if (parts.size() <= at)
        return true;
    bool numbered = false;
    *transferId = parts.at(at).toInt(&numbered);
    return numbered && *transferId >= 0 && *transferId < canard::kTransferIdModulo;
}

// Whether the device behind an open serial port is gone (the adapter
// pulled, the far end of a pseudo-terminal closed): the system has hung the
// port up, answers it with EIO or ENXIO, or has removed its file. A full
// buffer (EAGAIN: a line that takes nothing for a while) is none of these.
bool deviceGone(int fd)
{
    pollfd probe {fd, POLLOUT, 0};
    if (::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
    termios settings {};
    if (::tcgetattr(fd, &settings) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV || errno == EBADF))
        return true;
    struct stat file {};
    return ::fstat(fd, &file) != 0 || file.st_nlink == 0;
}

} // namespace

subSerialTQThread::subSerialTQThread(QObject* parent) : QObject(parent) {}

subSerialTQThread::~subSerialTQThread()
{
    // cleanup() normally ran in the worker's thread; the children left when
    // the thread never started go with the QObject tree.
}

void subSerialTQThread::doProcessRecvReq(Communicat msg)
{
    Communicat req;
    if (!commonmethod::getInstance()->copyCommunicat(&req, msg))
        return;

    const int cmd = cmdIndex(req.cmdtype);
    switch (cmd) {
    case e_TQ_OPAL_SEARCH:
        handleSearchReq(req);
        return;
    case e_TQ_OPAL_OPEN:
        handleOpenReq(req);
        return;
    case e_TQ_OPAL_CLOSE:
        qDebug() << "subSerialTQThread: close port" << m_portName;
        writeOut();
        closePort();
        return;
    default:
        break;
    }
    if (cmd < e_TQ_OPAL_VERSION) {
        qDebug() << "subSerialTQThread: request ignored:" << req.cmdtype;
        return;
    }
    if (!portReadyFor(cmd))
        return;

    switch (cmd) {
    case e_TQ_OPAL_VERSION:
        handleVersionReq(req);
        break;
    case e_TQ_OPAL_REG:
        handleRegReq(req);
        break;
    case e_TQ_OPAL_CTRL:
        handleCtrlReq(req);
        break;
    case e_TQ_OPAL_READ_FILE_CTRL:
        handleReadFileReq(req);
        break;
    case e_TQ_OPAL_DOWNLOAD:
        handleDownloadReq(req.param, req.data, req.arg1.toLatin1().left(8));
        break;
    case e_TQ_OPAL_DOWNLOAD_GO:
        handleDownloadGoReq();
        break;
    case e_TQ_OPAL_RADIO_6144:
        handleRadio6144Req(req);
        break;
    case e_TQ_OPAL_RADIO_6145:
        handleRadio6145Req(req);
        break;
    case e_TQ_OPAL_RADIO_GAS_UPDATA: {
        const QStringList g = req.arg2.split(QLatin1Char(','));
        handleGas6152Req(req.arg1.toInt(), g.value(0).toInt(), g.value(1).toInt(), g.value(2).toInt(),
                         g.value(3).toInt());
        break;
    }
    default:
        break;
    }
}

void subSerialTQThread::handleSearchReq(const Communicat& req)
{
    int count = 0;
    const QString text = portSearchText(&count);
    qDebug() << "subSerialTQThread: port search:" << text;
    auxthreadcontroller* hub = m_auxThreadCtrl.loadAcquire();
    if (!hub) {
        qWarning() << "subSerialTQThread: port search result has no hub to go to";
        return;
    }
    Communicat reply;
    reply.SrcType = e_TQTHREAD;
    reply.DestType = e_TQFORMALPAGE;
    reply.cmdtype = g_strCmdType[e_TQ_OPAL_SEARCH];
    reply.arg2 = text;
    reply.sender = req.sender;
    reply.param = count;
    hub->NotifyMessage(reply);
    reply.DestType = e_TQPAGE;
    hub->NotifyMessage(reply);
}

void subSerialTQThread::handleOpenReq(const Communicat& req)
{
    const QString name = req.arg1.trimmed();
    const uint32_t bitrate = req.param > 0 ? uint32_t(req.param) : 0; // 0 selects 500000
    if (m_port && m_port->isOpen() && name == m_portName) {
        // Same port again: only the bus rate changes.
        writeBitrateCommand(bitrate);
        emitOpenResult(kOpenOk);
        return;
    }
    closePort();
    if (name.isEmpty()) {
        qWarning() << "subSerialTQThread: open refused: no port name";
        emitOpenResult(kOpenFailed);
        return;
    }

    ensurePort();
    // A short name ("ttyUSB0") is looked up under /dev; a path is taken as it is.
    m_port->setPortName(name);
    m_port->setBaudRate(kSerialBaudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        qWarning() << "subSerialTQThread: cannot open" << name << ":" << m_port->errorString();
        m_port->clearError();
        emitOpenResult(kOpenFailed);
        return;
    }
    m_portName = name;
    m_portOpen.storeRelease(1);
    lastresort::setPort(int(m_port->handle()));
    m_droppedLogged = 0;
    m_errorLogged = false;
    m_session.reset();
    qDebug() << "subSerialTQThread: opened" << name << "CAN bit rate" << bitrate;
    writeBitrateCommand(bitrate);
    payZerosOwed();
    emitOpenResult(kOpenOk);
}

void subSerialTQThread::payZerosOwed()
{
    // Their nodes may turn still, at the set-points of before the loss:
    // turning, so their zeros go twice (the lost port dropped messages
    // nobody counted) and count once this line takes them. After the
    // bit-rate command (zeros at a rate the bus does not run at reach
    // nobody), before anything else.
    const unsigned owed = m_zerosOwed;
    m_zerosOwed = 0;
    lastresort::markTurning(owed);
    for (int g = 0; g < lastresort::kGroups; ++g) {
        if (owed & (1u << g))
            handleGas6152Req(kPortThrottleFirst + g, 0, 0, 0, 0);
    }
    if (owed)
        qDebug() << "subSerialTQThread: zeros owed since a port was lost sent, groups" << Qt::hex << owed;
}

void subSerialTQThread::handleVersionReq(const Communicat& req)
{
    // arg2 carries the transfer-ID when the page numbers its requests.
    int transferId = -1;
    if (!transferIdOf(req.arg2.isEmpty() ? QStringList() : QStringList(req.arg2), 0, &transferId)) {
        qWarning() << "subSerialTQThread: node information request with a bad transfer-ID:" << req.arg2;
        return;
    }
    sendService(kPortNodeInfo, req.param, nullptr, transferId);
}

void subSerialTQThread::handleRegReq(const Communicat& req)
{
    const QStringList parts = req.arg2.split(QLatin1Char(','));
    if (parts.size() < 2) {
        qWarning() << "subSerialTQThread: register request without operation and value:" << req.arg2;
        return;
    }
    // arg2 carries "operation,value" and, when the page numbers its
    // requests, ",transfer-ID".
    int transferId = -1;
    if (!transferIdOf(parts, 2, &transferId)) {
        qWarning() << "subSerialTQThread: register request with a bad transfer-ID:" << req.arg2;
        return;
    }
    RegAccessArgs a;
    a.op = uint8_t(parts.at(0).toInt());
    a.reg = uint8_t(req.arg1.toInt());
    a.value = uint16_t(parts.at(1).toInt());
    sendService(kPortRegAccess, req.param, &a, transferId);
}

void subSerialTQThread::handleCtrlReq(const Communicat& req)
{
    const QByteArray param = req.arg2.toLocal8Bit();
    ExecCommandArgs a;
    a.command = uint16_t(req.arg1.toInt());
    a.param = reinterpret_cast<const uint8_t*>(param.constData());
    a.paramLen = size_t(param.size());
    sendService(kPortExecCommand, req.param, &a);
}

void subSerialTQThread::handleReadFileReq(const Communicat& req)
{
    // arg2 carries "node,offset" and, when the page numbers its requests,
    // ",transfer-ID"; the parameter is the file type.
    const QStringList parts = req.arg2.split(QLatin1Char(','));
    if (parts.size() < 2) {
        qWarning() << "subSerialTQThread: file read request without node and offset:" << req.arg2;
        return;
    }
    int transferId = -1;
    if (!transferIdOf(parts, 2, &transferId)) {
        qWarning() << "subSerialTQThread: file read request with a bad transfer-ID:" << req.arg2;
        return;
    }
    FileReadArgs a;
    a.offset = uint32_t(parts.at(1).toLongLong());
    a.fileType = uint16_t(req.param);
    sendService(kPortFileRead, parts.at(0).toInt(), &a, transferId);
}

void subSerialTQThread::handleRadio6144Req(const Communicat& req)
{
    NodeControlArgs a;
    a.value = uint8_t(req.arg2.toInt());
    a.node = uint8_t(req.param);
    sendMessage(kPortNodeControl, &a);
}

void subSerialTQThread::handleRadio6145Req(const Communicat& req)
{
    const int newId = req.arg2.toInt();
    if (newId < 16 || newId > 48) {
        qWarning("set_addr_request->node_id err %d", newId);
        return;
    }
    NodeIdAssignArgs a;
    a.newId = uint8_t(newId);
    sendMessage(kPortNodeIdAssign, &a);
}

void subSerialTQThread::handleGas6152Req(int subject, int g1, int g2, int g3, int g4)
{
    qCDebug(lcThrottleTicks, "-----handleGas6152Req----");
    // The link takes these values on the eight throttle subjects only.
    if (subject < kPortThrottleFirst || subject > kPortThrottleLast) {
        qWarning("cyphal_get_encode_data err %d", int(kEncErrUnknownPort));
        return;
    }
    const int group = subject - kPortThrottleFirst;
    // It takes the place of the group's message still waiting, if any: a
    // line that drains late carries the latest set-points (or the zeros),
    // never an older one after them. A waiting message has no transfer-ID
    // yet: it takes the next one as it is written, so that a node sees
    // them follow one another.
    WaitingThrottle& next = m_waitingThrottle[size_t(group)];
    next.values.t[0] = uint16_t(g1);
    next.values.t[1] = uint16_t(g2);
    next.values.t[2] = uint16_t(g3);
    next.values.t[3] = uint16_t(g4);
    const auto setPoint = [](uint16_t value) { return (value & 0x3FFF) != 0; }; // values go mod 16384
    next.allZero = std::none_of(std::begin(next.values.t), std::end(next.values.t), setPoint);
    // The zeros of a group turning go twice: what its nodes took last may
    // be anything a drop of what the line had not taken left, and a node
    // drops the repeat of that message's transfer-ID; of two consecutive
    // ones at most one repeats it.
    next.copies = next.allZero && (lastresort::turningGroups() & (1u << group)) ? 2 : 1;
    writeWaitingThrottle();
}

void subSerialTQThread::writeWaitingThrottle()
{
    for (int g = 0; g < lastresort::kGroups; ++g) {
        WaitingThrottle& next = m_waitingThrottle[size_t(g)];
        for (; next.copies > 0; --next.copies) {
            // Every write goes to the system at once: bytes the port still
            // holds are bytes the line has not taken.
            if (m_port->bytesToWrite() == 0 && writeThrottle(g, next))
                continue;
            if (!m_lineBehind)
                qDebug() << "subSerialTQThread: the line takes nothing for now, each throttle group's newest"
                            " message waits";
            m_lineBehind = true;
            // With the port's buffer empty its bytesWritten() never comes:
            // try again shortly.
            if (m_port->bytesToWrite() == 0)
                m_lineTimer->start();
            return;
        }
    }
    if (m_lineBehind)
        qDebug() << "subSerialTQThread: the line takes the throttle messages again";
    m_lineBehind = false;
    // Zeros the system holds count once the line has taken them: look again
    // shortly.
    if (lastresort::zerosOnTheirWay() != 0)
        m_lineTimer->start();
}

bool subSerialTQThread::writeThrottle(int group, const WaitingThrottle& message)
{
    // Built now, under the transfer-ID the line takes next, with its
    // group's zeros after it kept ready for an end that skips the queue.
    const uint16_t subject = uint16_t(kPortThrottleFirst + group);
    uint8_t frame[adapter::kFrameSize];
    uint8_t zeros[lastresort::kZerosSize];
    m_session.throttleFrame(subject, message.values, frame);
    m_session.throttleFrame(subject, ThrottleArgs(), zeros, 1);
    m_session.throttleFrame(subject, ThrottleArgs(), zeros + adapter::kFrameSize, 2);
    lastresort::ThrottleWrite write(group, message.allZero, zeros);
    if (!write.allowed()) {
        if (!m_haltLogged)
            qDebug() << "subSerialTQThread: the throttle test was stopped, set-points dropped until it starts again";
        m_haltLogged = true;
        return true;
    }
    m_haltLogged = false;
    // Straight to the system, not into the port's own buffer: a message the
    // line cannot take keeps waiting here, where a newer one replaces it.
    // Left in the port's buffer it would go out after the zeros of an end
    // that skips this thread (a crash, Ctrl+Z), which can drop only what
    // the system holds.
    ssize_t n = 0;
    do
        n = ::write(int(m_port->handle()), frame, adapter::kFrameSize);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    m_session.throttleWritten(subject);
    if (size_t(n) < adapter::kFrameSize) // the rest follows through the port
        writeBytes(frame + n, adapter::kFrameSize - size_t(n));
    else if (message.copies == 1) // zeros: the last of their copies
        write.sent();
    return true;
}

bool subSerialTQThread::portReadyFor(int cmd)
{
    if (isPortOpen())
        return true;
    const quint32 bit = 1u << cmd;
    if (!(m_droppedLogged & bit)) {
        m_droppedLogged |= bit;
        qDebug() << "subSerialTQThread: port closed, dropping" << g_strCmdType[cmd] << "requests";
    }
    return false;
}

bool subSerialTQThread::sendService(uint16_t port, int node, const void* args, int transferId)
{
    if (node < 0 || node > 127) {
        qWarning("subSerialTQThread: request on port %d to node %d refused: no such node ID", port, node);
        return false;
    }
    const int ret = cyphal_send_data(&m_session, port, uint8_t(node), args, transferId);
    if (ret < 0) {
        qWarning("subSerialTQThread: request on port %d to node %d not encoded: err %d", port, node, ret);
        return false;
    }
    flushTx();
    return true;
}

int subSerialTQThread::sendMessage(uint16_t subject, const void* args)
{
    const int ret = cyphal_send_data(&m_session, subject, 0xFF, args);
    if (ret == 0)
        flushTx();
    return ret;
}

void subSerialTQThread::flushTx()
{
    m_txBuf.clear();
    m_session.takeTxBytes(m_txBuf);
    writeBytes(m_txBuf.data(), m_txBuf.size());
}

void subSerialTQThread::writeBitrateCommand(uint32_t bitrate)
{
    uint8_t cmd[adapter::kFrameSize];
    adapter::encodeBitrateCommand(bitrate, cmd);
    writeBytes(cmd, sizeof cmd);
}

void subSerialTQThread::writeBytes(const uint8_t* data, size_t len)
{
    if (len == 0 || !m_port || !m_port->isOpen())
        return;
    m_port->write(reinterpret_cast<const char*>(data), qint64(len));
    m_port->flush();
}

void subSerialTQThread::doProcessReadyRead()
{
    if (!m_port)
        return;
    const QByteArray bytes = m_port->readAll();
    if (bytes.isEmpty())
        return;
    m_rxRecords.clear();
    m_session.feed(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), m_rxRecords);
    for (response_data_struct_t& r : m_rxRecords)
        emitRecord(r);
    m_rxRecords.clear();
}

void subSerialTQThread::doProcessPortError(QSerialPort::SerialPortError error)
{
    // Open failures are reported by handleOpenReq; here only a port that was
    // working counts.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    if (!m_port || !m_port->isOpen())
        return;
    // Qt reports a write the full buffer refused (EAGAIN) as a resource
    // error too. Such a line is slow (an adapter whose CAN side stops
    // draining), not lost: closing it would leave the nodes at the
    // set-points already on their way, out of reach of every stop.
    if (!deviceGone(int(m_port->handle()))) {
        if (!m_errorLogged)
            qDebug() << "subSerialTQThread: port" << m_portName << "kept open, its device is there:"
                     << m_port->errorString();
        m_errorLogged = true;
        m_port->clearError();
        return;
    }
    // Closed right here: a port whose device is gone keeps signalling the
    // error at full CPU. The groups that turned are owed their zeros.
    qWarning() << "subSerialTQThread: port" << m_portName << "lost:" << m_port->errorString();
    closePort();
    emitOpenResult(m_zerosOwed ? kOpenPortLostTurning : kOpenPortLost);
}

void subSerialTQThread::closePort()
{
    if (m_fwTimer)
        m_fwTimer->stop();
    if (m_lineTimer)
        m_lineTimer->stop();
    // Zeros the line has not taken are owed to the next port.
    m_zerosOwed |= lastresort::turningGroups();
    lastresort::setPort(-1);
    if (m_port && m_port->isOpen())
        m_port->close();
    if (m_port)
        m_port->clearError();
    m_portOpen.storeRelease(0);
    m_session.reset();
    m_download.reset();
    m_waitingThrottle = {};
    m_lineBehind = false;
}

void subSerialTQThread::emitRecord(response_data_struct_t& rec)
{
    // The payload belongs to the receiving slot; with none connected nobody
    // would free it.
    static const QMetaMethod sig = QMetaMethod::fromSignal(&subSerialTQThread::signalNotifyTQPage);
    if (!isSignalConnected(sig)) {
        freeResponse(rec);
        return;
    }
    emit signalNotifyTQPage(rec);
    rec.payload = nullptr;
    rec.payload_size = 0;
}

void subSerialTQThread::emitOpenResult(uint8_t extra)
{
    response_data_struct_t r;
    r.port_id = kRespOpenResult;
    r.extra = extra;
    emitRecord(r);
}

void subSerialTQThread::ensurePort()
{
    if (!m_port) {
        m_port = new QSerialPort(this);
        connect(m_port, &QSerialPort::readyRead, this, &subSerialTQThread::doProcessReadyRead);
        connect(m_port, &QSerialPort::errorOccurred, this, &subSerialTQThread::doProcessPortError);
        // Queued: not from inside the port's own write.
        connect(m_port, &QSerialPort::bytesWritten, this, &subSerialTQThread::writeWaitingThrottle,
                Qt::QueuedConnection);
    }
    if (!m_fwTimer) {
        m_fwTimer = new QTimer(this);
        m_fwTimer->setSingleShot(true);
        m_fwTimer->setTimerType(Qt::PreciseTimer);
        m_fwTimer->setInterval(kFirmwarePacingMs);
        connect(m_fwTimer, &QTimer::timeout, this, &subSerialTQThread::doProcessFirmwareSingleTimerOut);
    }
    if (!m_lineTimer) {
        m_lineTimer = new QTimer(this);
        m_lineTimer->setSingleShot(true);
        m_lineTimer->setInterval(kLineRetryMs);
        connect(m_lineTimer, &QTimer::timeout, this, &subSerialTQThread::writeWaitingThrottle);
    }
}

void subSerialTQThread::writeOut()
{
    // What the page sent just before (the throttle groups' last messages)
    // may still wait, here or in the port's buffer, which closing drops.
    if (!m_port || !m_port->isOpen())
        return;
    // With groups turning behind a slow line, what the port holds that the
    // line has not taken is older than each group's zeros: it is dropped,
    // so that those go out next and fit, twice (whatever the line dropped).
    // A run of zeros goes first: a frame the line took only in part cannot
    // swallow them then.
    const unsigned turning = lastresort::turningGroups();
    if (m_lineBehind && turning != 0) {
        qDebug() << "subSerialTQThread: the line is behind, what it has not taken is dropped before closing";
        m_port->clear(QSerialPort::Output);
        lastresort::queueDropped();
        static const uint8_t run[adapter::kFrameSize] = {};
        writeBytes(run, sizeof run);
        for (int g = 0; g < lastresort::kGroups; ++g) {
            if (turning & (1u << g))
                m_waitingThrottle[size_t(g)] = WaitingThrottle {2, true, ThrottleArgs()};
        }
    }
    // Else a line that takes nothing for a while is given up.
    QElapsedTimer elapsed;
    elapsed.start();
    writeWaitingThrottle();
    if (m_port->bytesToWrite() > 0 || m_lineBehind)
        qDebug() << "subSerialTQThread: the line has not taken everything, closing waits for it up to"
                 << kWriteOutMs << "ms";
    while (m_port->isOpen() && (m_port->bytesToWrite() > 0 || m_lineBehind) && elapsed.elapsed() < kWriteOutMs) {
        const int left = int(kWriteOutMs - elapsed.elapsed());
        pollfd ready {int(m_port->handle()), POLLOUT, 0};
        if (m_port->bytesToWrite() > 0 ? !m_port->waitForBytesWritten(left) : ::poll(&ready, 1, left) <= 0)
            break;
        writeWaitingThrottle();
    }
    if (m_port->bytesToWrite() > 0 || m_lineBehind)
        qWarning() << "subSerialTQThread:" << m_port->bytesToWrite() << "bytes and the throttle messages waiting"
                   << "not written before closing" << m_portName;
}

void subSerialTQThread::cleanup()
{
    writeOut();
    closePort();
    delete m_fwTimer;
    m_fwTimer = nullptr;
    delete m_lineTimer;
    m_lineTimer = nullptr;
    delete m_port;
    m_port = nullptr;
}
