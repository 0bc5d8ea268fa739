// The developer panel's result log: one decoded device response in, two
// diagnostic lines and, for the answers to the panel's requests and for
// heartbeats, one readable line in the log view out.

#include <cstring>
#include <memory>

#include <QDebug>

#include "devpanel/tqwidget.h"
#include "link/byteorder.h"
#include "link/cyphalports.h"
#include "link/resulttexts.h"

namespace {

// Bytes each line reads; a shorter payload gives no line.
constexpr uint32_t kNodeInfoMinSize = 287;   // up to the two bytes at 285
constexpr uint32_t kRegAccessMinSize = 4;    // status, index, i16 value
constexpr uint32_t kCommandMinSize = 1;      // status
constexpr uint32_t kFileWriteMinSize = 2;    // u16 result code
constexpr uint32_t kHeartbeatMinSize = 6;    // u32 uptime, health, mode
constexpr uint32_t kHeartbeatVendorAt = 6;   // vendor status, when delivered
constexpr uint32_t kTelemetryMinSize = 2;    // i16 electrical speed

// Node-information record positions.
constexpr uint32_t kInfoProtocolAt = 0;
constexpr uint32_t kInfoHardwareAt = 2;
constexpr uint32_t kInfoSoftwareAt = 4;
constexpr uint32_t kInfoRevisionAt = 6, kInfoRevisionLen = 8;
constexpr uint32_t kInfoUniqueIdAt = 14, kInfoUniqueIdLen = 16;
constexpr uint32_t kInfoNameAt = 30, kInfoNameLen = 255;
constexpr uint32_t kInfoOtherAt = 285, kInfoOtherLen = 2;

int8_t readI8(const uint8_t* p, uint32_t at)
{
    return static_cast<int8_t>(p[at]);
}

// A text field: local 8-bit text up to its first zero byte, never past the
// field's end.
QString textField(const uint8_t* p, uint32_t at, uint32_t len)
{
    const char* start = reinterpret_cast<const char*>(p + at);
    const void* zero = std::memchr(start, 0, len);
    const int n = zero ? int(static_cast<const char*>(zero) - start) : int(len);
    return QString::fromLocal8Bit(start, n);
}

} // namespace

void tqWidget::doProcessRecvTQPack(response_data_struct_t pack)
{
    // Owned from here on, so that every way out frees it.
    const std::unique_ptr<uint8_t[]> payload(pack.payload);
    const uint8_t* p = payload.get();
    const uint32_t size = p ? pack.payload_size : 0;

    qDebug() << "doProcessRecvTQPack------len=" << pack.payload_size;
    qDebug() << "doProcessRecvTQPack---priority=" << unsigned(pack.priority)
             << "--port_id=" << unsigned(pack.port_id)
             << "--remote_node_id=" << unsigned(pack.remote_node_id);

    if (!p)
        return;

    QString line;
    switch (pack.port_id) {
    case kPortTelemetry:
        if (size < kTelemetryMinSize)
            break;
        qDebug() << "---通知到页面--电气转速:" << readLeI16(p);
        return;
    case kPortTelemetry2:
        return;
    case kPortNodeInfo:
        line = nodeInfoLine(p, size);
        break;
    case kPortRegAccess:
        line = registerLine(p, size);
        break;
    case kPortExecCommand:
        line = commandLine(p, size);
        break;
    case kPortFileWrite:
        line = fileWriteLine(p, size);
        break;
    case kPortHeartbeat:
        line = heartbeatLine(pack, p, size);
        break;
    default:
        return;
    }

    if (line.isEmpty()) {
        qWarning() << "doProcessRecvTQPack: payload of" << size << "bytes too short for port"
                   << pack.port_id;
        return;
    }
    qDebug().noquote() << line;
    appendLog(line);
}

QString tqWidget::nodeInfoLine(const uint8_t* p, uint32_t size)
{
    if (size < kNodeInfoMinSize)
        return QString();
    const QByteArray uniqueId(reinterpret_cast<const char*>(p + kInfoUniqueIdAt), kInfoUniqueIdLen);
    const char* other = reinterpret_cast<const char*>(p + kInfoOtherAt);
    return QStringLiteral("430") + QStringLiteral("_设备信息--协议版本:")
         + QString::number(readLeI16(p + kInfoProtocolAt))
         + QStringLiteral("--硬件版本:") + QString::number(readLeI16(p + kInfoHardwareAt))
         + QStringLiteral("--软件版本:") + QString::number(readLeI16(p + kInfoSoftwareAt))
         + QStringLiteral("--软件签名:") + textField(p, kInfoRevisionAt, kInfoRevisionLen)
         // The unique ID is 16 raw bytes, no text: formatted from the bytes
         // themselves, so that zero bytes and bytes from 0x80 up print as
         // they are.
         + QStringLiteral("--设备唯一:") + bytesToHex(uniqueId)
         + QStringLiteral("--设备型号:") + textField(p, kInfoNameAt, kInfoNameLen)
         + QStringLiteral("--其他:") + QString::fromLocal8Bit(other, kInfoOtherLen);
}

QString tqWidget::registerLine(const uint8_t* p, uint32_t size)
{
    if (size < kRegAccessMinSize)
        return QString();
    return QStringLiteral("256") + QStringLiteral("_寄存器读写--操作状态:")
         + QString::number(readI8(p, 0))
         + QStringLiteral("--索引:") + QString::number(readI8(p, 1))
         + QStringLiteral("--寄存器值:") + QString::number(readLeI16(p + 2));
}

QString tqWidget::commandLine(const uint8_t* p, uint32_t size)
{
    if (size < kCommandMinSize)
        return QString();
    const uint8_t status = p[0];
    return QStringLiteral("435") + QStringLiteral("_控制--操作状态:") + QString::number(status)
         + QStringLiteral("--结果:") + QStringLiteral("%1").arg(QString::fromUtf8(commandStatusText(status)));
}

QString tqWidget::fileWriteLine(const uint8_t* p, uint32_t size)
{
    if (size < kFileWriteMinSize)
        return QString();
    const uint16_t code = readLe16(p);
    return QStringLiteral("409") + QStringLiteral("_download--下载操作结果:") + QString::number(code)
         + QStringLiteral("--结果:") + QStringLiteral("%1").arg(QString::fromUtf8(fileWriteResultText(code)));
}

QString tqWidget::heartbeatLine(const response_data_struct_t& pack, const uint8_t* p, uint32_t size)
{
    if (size < kHeartbeatMinSize)
        return QString();
    // The link's subscription stops after the mode byte, so the vendor
    // status is printed only when a longer payload brings it.
    const QString vendor = size > kHeartbeatVendorAt
        ? QString::number(readI8(p, kHeartbeatVendorAt)) : QString();
    return QStringLiteral("7509") + QStringLiteral("_heart--设备id:")
         + QString::number(pack.remote_node_id)
         + QStringLiteral("开机时间:") + QString::number(int32_t(readLe32(p)))
         + QStringLiteral("节点健康状态") + QString::number(readI8(p, 4))
         + QStringLiteral("节点当前模式") + QString::number(readI8(p, 5))
         + QStringLiteral("用户自定义") + vendor;
}
