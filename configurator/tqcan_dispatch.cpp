// The response dispatcher: every decoded device response, and the link's own
// codes, reach the page here and go to the concern they belong to.
//
// The payload belongs to this slot and is freed on every path. Handlers
// read only bytes that arrived: fixed layouts are read from a zero-padded
// copy, never from beyond the delivered length.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "app/tqpagecontrol.h"
#include "configurator/devinfo.h"
#include "configurator/tqcan_private.h"
#include "link/byteorder.h"
#include "link/cyphalports.h"
#include "link/resulttexts.h"
#include "telemetry/qcwindicatorlamp.h"

int regInfoReadOffset = 0;

namespace {

// Register replies carry at most 23 bytes plus a zero tail; the register
// handlers read up to byte 21.
constexpr size_t kRegReplyView = 32;

// Chunk layout of a description-file read: the offset of the chunk (5
// bytes, little-endian), a 16-bit error code (0: none), then the text.
constexpr uint32_t kFileReadOffsetBytes = 5;
constexpr uint32_t kFileReadTextOffset = 7;
// A chunk this long (or longer) means more text follows.
constexpr int kFileReadChunk = 256;

template <size_t N>
std::array<uint8_t, N> paddedCopy(const uint8_t* payload, uint32_t size)
{
    std::array<uint8_t, N> out {};
    if (payload)
        std::memcpy(out.data(), payload, std::min<size_t>(size, N));
    return out;
}

} // namespace

void TQCAN::doProcessRecvTQPack(response_data_struct_t tqcanPack)
{
    const std::unique_ptr<uint8_t[]> owned(tqcanPack.payload);
    const uint8_t* payload = owned.get();
    const uint32_t size = payload ? tqcanPack.payload_size : 0;
    const int node = tqcanPack.remote_node_id;

    switch (tqcanPack.port_id) {
    case kRespLinkFrame:
        handleLinkFrame();
        break;
    case kRespOpenResult:
        handleOpenResult(tqcanPack.extra);
        break;
    case kPortHeartbeat:
        handleHeartbeat(node, payload, size);
        break;
    case kPortNodeInfo:
        handleDeviceInfo(node, tqcanPack.transfer_id, payload, size);
        break;
    case kPortRegAccess:
        handleRegAccess256(node, tqcanPack.transfer_id, payload, size);
        break;
    case kPortFileRead:
        handleFileRead257(node, tqcanPack.transfer_id, payload, size);
        break;
    case kPortExecCommand:
        handleCommand435(node, payload, size);
        break;
    case kPortFileWrite:
        handleFileWrite409(node, payload, size);
        break;
    case kPortTelemetry:
    case kPortTelemetry2:
        // Without a chart the throttle tab is not built: nothing to show.
        if (size > 0 && m_chart)
            handleEscTelemetryMsg(tqcanPack.port_id, node, payload, size);
        break;
    default:
        break;
    }
}

void TQCAN::handleLinkFrame()
{
    m_linkLamp->setRedMode(false);
    m_linkLamp->setAlarm(true);
    m_linkCount = kLinkCountReload;
}

void TQCAN::handleOpenResult(int result)
{
    if (result == kOpenOk) {
        qDebug() << "doProcessRecvTQPack--open port ok:" << m_openPortName;
        return;
    }
    // Show the port closed before the box: the box runs its own event loop,
    // and responses arriving meanwhile must find the page's final state. The
    // nodes go as on a close by the user: with the device timer stopped they
    // would stay listed for good.
    const QString port = m_openPortName;
    if (m_ending) {
        // A box's own loop would hold the application's end.
        qWarning() << "doProcessRecvTQPack--port" << port << "lost or not opened as the window goes:" << result;
        handelClickOpenBtn(1);
        return;
    }
    const QString cutChange = endBaudChangeCutShort();
    clearDevAndRegInfo();
    handelClickOpenBtn(1);
    if (result == kOpenPortLost || result == kOpenPortLostTurning) {
        qWarning() << "doProcessRecvTQPack--port lost:" << port;
        QString text = tr("Serial Port Closed Unexpectedly !");
        if (result == kOpenPortLostTurning)
            text += QStringLiteral("\n\n")
                + tr("The motors of the throttle test may keep their last set-points. The next port opened "
                     "is sent their zeros first.");
        QMessageBox::information(this, tr("Info"), text);
    } else {
        qWarning() << "doProcessRecvTQPack--open port failed:" << port;
        QMessageBox::information(this, tr("Info"), tr("Open Serial Port Failed !"));
    }
    // What a bit-rate change the close cut short told the nodes, beside the
    // port's box.
    if (!cutChange.isEmpty())
        QMessageBox::information(this, tr("Info"), cutChange);
}

void TQCAN::handleHeartbeat(int nodeId, const uint8_t* payload, uint32_t size)
{
    // While the nodes change their bit rate, or once the page shows the port
    // closed, a late heartbeat would list a node the page just dropped.
    if (m_baudSeqActive || !m_portOpen)
        return;
    constexpr uint32_t kUptimeBytes = 4;
    constexpr uint32_t kModeOffset = 5;
    const qint64 uptime = size >= kUptimeBytes ? qint64(readLe32(payload)) : -1;
    const int mode = size > kModeOffset ? payload[kModeOffset] : 0;
    noteHeardAtNewRate(nodeId);
    handleDevAlive(nodeId, mode, uptime);
}

void TQCAN::handleDeviceInfo(int nodeId, int transferId, const uint8_t* payload, uint32_t size)
{
    if (m_baudSeqActive || !m_portOpen)
        return;
    DevInfoTexts info;
    if (!parseDeviceInfo(payload, size, &info)) {
        qWarning() << "doProcessRecvTQPack--short device information from node" << nodeId
                   << "size=" << size;
        return;
    }
    handleNodeAnswer(nodeId, transferId, info);
}

void TQCAN::handleRegAccess256(int nodeId, int transferId, const uint8_t* payload, uint32_t size)
{
    if (size < 2) {
        qWarning() << "doProcessRecvTQPack--register reply too short, size=" << size;
        return;
    }
    const auto reply = paddedCopy<kRegReplyView>(payload, size);
    const uint8_t op = reply[0];
    const uint8_t reg = reply[1];
    const int value = readLeI16(reply.data() + 2);
    if (reg == 4) {
        noteBaudWriteReply(nodeId, op);
        handleRegReadWrite256Msg(static_cast<int8_t>(op), 4, value);
    }
    else if (reg == 5) {
        // The upgrade status: only the node being upgraded has a say.
        if (nodeId == m_upgrade_devId)
            handleRegReadWrite256MsgUpgrade(static_cast<int8_t>(op), 5, value);
    }
    else {
        if (op & 0x10)
            handleReadSetRegValue(nodeId, transferId, reply.data(), size);
        else if (op & 0x20)
            handleWriteSetRegValue(nodeId, transferId, reply.data(), size);
    }
}

void TQCAN::handleFileRead257(int nodeId, int transferId, const uint8_t* payload, uint32_t size)
{
    if (takeEndedAnswer(nodeId, kPortFileRead, transferId, -1))
        return;
    // Only the device chosen on the parameter tab is being read.
    if (!isParameterReply(nodeId)) {
        qDebug() << "doProcessRecvTQPack--257 from node" << nodeId << "ignored";
        return;
    }
    // A chunk outside a read would replace the list by a fragment.
    if (!m_regInfoReading) {
        qDebug() << "doProcessRecvTQPack--257 with no description read running: ignored";
        return;
    }
    // A chunk belongs to the request that asked for it: an answer to an
    // earlier request (a read started before, Read pressed again while the
    // description arrived) is no part of this read, whatever its offset.
    if (transferId != m_regInfoAwaitedTid) {
        qDebug() << "doProcessRecvTQPack--257 answer to request" << transferId << "while" << m_regInfoAwaitedTid
                 << "is awaited: ignored";
        return;
    }
    releaseTransferId(nodeId, kPortFileRead, transferId);
    m_regInfoAwaitedTid = -1;
    // The node could not give the description: no text comes.
    const int error = size >= kFileReadTextOffset ? readLeI16(payload + kFileReadOffsetBytes) : 0;
    if (error != 0) {
        failRead(tr("Read Register List, Err: %1, Please Check!").arg(error));
        return;
    }
    // The node answers the offset asked for; another one is not the chunk
    // the text goes on with.
    uint64_t offset = 0;
    for (uint32_t i = 0; i < kFileReadOffsetBytes && i < size; ++i)
        offset |= uint64_t(payload[i]) << (8 * i);
    if (size < kFileReadOffsetBytes || offset != uint64_t(regInfoReadOffset)) {
        qDebug() << "doProcessRecvTQPack--257 chunk at offset" << offset << "while" << regInfoReadOffset
                 << "is awaited: ignored";
        return;
    }
    QByteArray chunk;
    if (size > kFileReadTextOffset) {
        const char* text = reinterpret_cast<const char*>(payload + kFileReadTextOffset);
        const uint32_t avail = size - kFileReadTextOffset;
        const void* nul = std::memchr(text, 0, avail);
        chunk = QByteArray(text, nul ? int(static_cast<const char*>(nul) - text) : int(avail));
    }

    // The text is decoded as a whole: a chunk may end inside a multi-byte
    // character, which a chunk-by-chunk decode would break.
    if (regInfoReadOffset == 0)
        m_regInfoBytes.clear();
    m_regInfoBytes += chunk;
    mRegInfoText = decodeDeviceText(m_regInfoBytes.constData(), m_regInfoBytes.size());

    if (chunk.size() >= kFileReadChunk) {
        regInfoReadOffset += kFileReadChunk;
        // The language chosen when the read started: a switch meanwhile must
        // not join the halves of two descriptions.
        const QVector<int> ids = takeTransferIds(m_setDevId, kPortFileRead, 1);
        if (ids.isEmpty())
            failRead(QString());
        else
            requestDescriptionChunk(regInfoReadOffset, ids.first());
        return;
    }
    const QString text = mRegInfoText;
    mRegInfoText.clear();
    m_regInfoBytes.clear();
    regInfoReadOffset = 0;
    m_regInfoReading = false;
    showSetRegInfoFromFireware(text, true);
}

void TQCAN::handleCommand435(int nodeId, const uint8_t* payload, uint32_t size)
{
    if (size < 1) {
        qWarning() << "doProcessRecvTQPack--empty command status from node" << nodeId;
        return;
    }
    const int status = payload[0];
    qDebug() << "doProcessRecvTQPack--435--node=" << nodeId << "status=" << status
             << QString::fromUtf8(commandStatusText(status));
    handleUpgrade435Msg(nodeId, status);
}

void TQCAN::handleFileWrite409(int nodeId, const uint8_t* payload, uint32_t size)
{
    if (size < 2) {
        qWarning() << "doProcessRecvTQPack--file write result too short, size=" << size;
        return;
    }
    const int result = readLe16(payload);
    qDebug() << "doProcessRecvTQPack--409--node=" << nodeId << "result=" << result
             << QString::fromUtf8(fileWriteResultText(result));
    if (nodeId == m_upgrade_devId)
        handleUpgrade409Msg(result);
}
