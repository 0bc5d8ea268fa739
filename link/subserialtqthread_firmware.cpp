// The firmware transfer of the serial worker: one DOWNLOAD starts a part and
// sends its first 256 bytes; each GO (the page sends one per acknowledged
// write) sends the next 256 bytes after a 10 ms pause, then the closing write,
// then the read of the node's upgrade-status register.

#include "link/subserialtqthread.h"

#include <QDebug>
#include <QTimer>

#include "link/crc.h"

namespace {

// Register that tells how a node took a firmware part.
constexpr uint8_t kUpgradeStatusRegister = 5;

} // namespace

void subSerialTQThread::handleDownloadReq(int node, const QByteArray& image, const QByteArray& tag)
{
    if (m_fwTimer)
        m_fwTimer->stop();
    m_download.reset();
    if (node < 0 || node > 127) {
        qWarning("subSerialTQThread: firmware download to node %d refused", node);
        return;
    }
    std::vector<uint8_t> bytes(image.constBegin(), image.constEnd());
    if (!m_download.start(uint8_t(node), std::move(bytes), reinterpret_cast<const uint8_t*>(tag.constData()),
                          size_t(tag.size()))) {
        qWarning("subSerialTQThread: firmware download refused: image of %d bytes, tag of %d bytes "
                 "(needs data and 8 tag bytes)",
                 int(image.size()), int(tag.size()));
        return;
    }
    qDebug("subSerialTQThread: firmware download to node %d: %d bytes, CRC-32 %08X", node, int(image.size()),
           crc32Firmware(m_download.image().data(), uint32_t(m_download.imageSize())));
    sendNextFirmwareChunk();
}

void subSerialTQThread::handleDownloadGoReq()
{
    const int node = m_download.node();
    switch (m_download.onGo()) {
    case FirmwareTransfer::Step::Ignore:
        qDebug() << "subSerialTQThread: TQ_OPAL_DOWNLOAD_GO ignored: no firmware transfer running";
        break;
    case FirmwareTransfer::Step::SendStatusRead: {
        RegAccessArgs a;
        a.op = 0;
        a.reg = kUpgradeStatusRegister;
        sendService(kPortRegAccess, node, &a);
        break;
    }
    case FirmwareTransfer::Step::SendFinal:
        handleDownloadLastReq();
        break;
    case FirmwareTransfer::Step::SendChunk:
        if (m_fwTimer->isActive()) {
            // A second acknowledgement for the same write: one write per step.
            qDebug() << "subSerialTQThread: TQ_OPAL_DOWNLOAD_GO ignored: a write is already due";
            break;
        }
        m_fwTimer->start();
        break;
    }
}

void subSerialTQThread::handleDownloadLastReq()
{
    const FileWriteArgs a = m_download.takeFinalWrite();
    qDebug("subSerialTQThread: firmware part closed at offset %llu", static_cast<unsigned long long>(a.offset));
    sendService(kPortFileWrite, m_download.node(), &a);
}

void subSerialTQThread::doProcessFirmwareSingleTimerOut()
{
    if (!isPortOpen() || !m_download.active())
        return;
    sendNextFirmwareChunk();
}

void subSerialTQThread::sendNextFirmwareChunk()
{
    FileWriteArgs a;
    if (m_download.nextChunk(a))
        sendService(kPortFileWrite, m_download.node(), &a);
}
