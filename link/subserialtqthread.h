#ifndef SUBSERIALTQTHREAD_H
#define SUBSERIALTQTHREAD_H

// The serial worker: owns the adapter's serial port and does all Cyphal/CAN
// work in its own thread. It is constructed in the GUI thread and moved to
// the serial thread by the hub; the port and the pacing timer are created
// later, in that thread, the first time they are needed, and deleted by
// cleanup() when the thread finishes.
//
// Requests arrive as Communicat records on doProcessRecvReq; every decoded
// device response, and the internal codes 8888 (link frame) and 8889 (open
// result: 1 opened, 0 open failed, 2 port lost, 3 port lost while
// throttle groups turned), leaves on signalNotifyTQPage. The receiving
// slot owns and frees the payload.
//
// Only a device that is gone (the adapter pulled, the far end of a
// terminal closed) closes the port as lost: a line that takes nothing for
// a while is slow, and while it is, each throttle group keeps only its
// newest message waiting, with no transfer-ID until it is written. The
// groups still turning when the port closes (lost, or closed before the
// line took their zeros) get their zeros first on the next port opened.

#include <QAtomicInt>
#include <QAtomicPointer>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "app/communicat.h"
#include "link/firmwaretransfer.h"
#include "link/lastresort.h"
#include "link/linksession.h"

class QTimer;
class auxthreadcontroller;

class subSerialTQThread : public QObject
{
    Q_OBJECT
public:
    // The adapter's serial side always runs at this rate, 8N1, no flow control.
    static constexpr qint32 kSerialBaudRate = 500000;
    // Pause before each firmware write after the first, so that the node can
    // store the previous 256 bytes.
    static constexpr int kFirmwarePacingMs = 10;
    // Longest wait for the port to take what is still buffered when it closes.
    static constexpr int kWriteOutMs = 1000;
    // Pause before a throttle message the line did not take is tried again.
    static constexpr int kLineRetryMs = 10;

    explicit subSerialTQThread(QObject* parent = nullptr);
    ~subSerialTQThread() override;

    void setAuxThreadCtrl(auxthreadcontroller* hub) { m_auxThreadCtrl.storeRelease(hub); }
    // Whether the adapter's port is open now; callable from any thread.
    bool isPortOpen() const { return m_portOpen.loadAcquire() != 0; }

signals:
    void signalNotifyTQPage(response_data_struct_t pack);

public slots:
    void doProcessRecvReq(Communicat msg);
    // Runs in the worker's thread when that thread finishes: what is still
    // buffered is written out, then the port closes.
    void cleanup();
    // The pacing timer of the firmware transfer has run out: next write.
    void doProcessFirmwareSingleTimerOut();

private slots:
    void doProcessReadyRead();
    void doProcessPortError(QSerialPort::SerialPortError error);
    // Writes the throttle messages waiting, as far as the port takes them.
    void writeWaitingThrottle();

private:
    void handleSearchReq(const Communicat& req);
    void handleOpenReq(const Communicat& req);
    void handleVersionReq(const Communicat& req);
    void handleRegReq(const Communicat& req);
    void handleCtrlReq(const Communicat& req);
    void handleReadFileReq(const Communicat& req);
    void handleDownloadReq(int node, const QByteArray& image, const QByteArray& tag);
    void handleDownloadGoReq();
    void handleDownloadLastReq();
    void handleRadio6144Req(const Communicat& req);
    void handleRadio6145Req(const Communicat& req);
    void handleGas6152Req(int subject, int g1, int g2, int g3, int g4);

    // True when the port is open; otherwise logs the drop once per request
    // type (the throttle test keeps sending hundreds a second).
    bool portReadyFor(int cmd);
    // Encodes a service request to `node` (0..127) and writes it out, under
    // the transfer-ID given (-1: the transport's next).
    bool sendService(uint16_t port, int node, const void* args, int transferId = -1);
    // Encodes a broadcast message and writes it out; returns 0 or the error.
    int sendMessage(uint16_t subject, const void* args);
    void sendNextFirmwareChunk();
    struct WaitingThrottle;
    // One copy of a throttle message to group 0..7, out to the system at
    // once under the next transfer-ID; false when the line took none of it
    // (it waits on).
    bool writeThrottle(int group, const WaitingThrottle& message);
    // The zero messages owed since a port was lost, first on the new one.
    void payZerosOwed();
    void flushTx();
    // Tells the adapter the CAN bit rate (0 or an unknown rate: 500000).
    void writeBitrateCommand(uint32_t bitrate);
    void writeBytes(const uint8_t* data, size_t len);
    // Writes out what the port still buffers; done before an orderly close.
    void writeOut();
    void closePort();
    void emitRecord(response_data_struct_t& rec);
    void emitOpenResult(uint8_t extra);
    void ensurePort();

    LinkSession m_session;
    FirmwareTransfer m_download;
    QSerialPort* m_port = nullptr;
    QTimer* m_fwTimer = nullptr;
    QTimer* m_lineTimer = nullptr;        // a throttle message waits, the port's buffer empty
    QString m_portName;
    QAtomicInt m_portOpen {0};
    quint32 m_droppedLogged = 0;          // one bit per e_CmdType
    bool m_haltLogged = false;            // set-points dropped after a stop, logged
    // Each group's newest throttle message not written yet: it waits while
    // the port still holds bytes the line has not taken.
    struct WaitingThrottle {
        int copies = 0; // still to write: 0 (none waits), 1, or 2 for zeros
        bool allZero = false;
        ThrottleArgs values;
    };
    std::array<WaitingThrottle, lastresort::kGroups> m_waitingThrottle;
    bool m_lineBehind = false;            // throttle messages wait, logged
    bool m_errorLogged = false;           // an error with the device still there, logged
    unsigned m_zerosOwed = 0;             // one bit per group, since a port was lost
    std::vector<uint8_t> m_txBuf;
    std::vector<response_data_struct_t> m_rxRecords;
    QAtomicPointer<auxthreadcontroller> m_auxThreadCtrl;
};

#endif // SUBSERIALTQTHREAD_H
