#include "kiosk/ntpclient.h"

namespace ntpclient {

namespace {

constexpr int kTransmitOffset = 40;
constexpr int kModeServer = 4;

quint32 readBE32(const QByteArray& bytes, int offset)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

void writeBE32(QByteArray& bytes, int offset, quint32 value)
{
    bytes[offset] = char((value >> 24) & 0xFF);
    bytes[offset + 1] = char((value >> 16) & 0xFF);
    bytes[offset + 2] = char((value >> 8) & 0xFF);
    bytes[offset + 3] = char(value & 0xFF);
}

} // namespace

QByteArray buildRequest(const QDateTime& now)
{
    QByteArray packet(kPacketSize, '\0');
    packet[0] = char(0x1B);  // leap 0, version 3, mode 3 (client)
    packet[1] = char(0x00);  // stratum
    packet[2] = char(0x04);  // poll exponent: 16 s
    packet[3] = char(0xFA);  // precision exponent: -6
    packet[5] = char(0x01);  // root delay 1.0 s (16.16)
    packet[9] = char(0x01);  // root dispersion 1.0 s (16.16)
    // Only the low 32 bits travel, which is how NTP eras wrap.
    const quint32 seconds = quint32(quint64(now.toSecsSinceEpoch() + qint64(kNtpToUnixSeconds)));
    writeBE32(packet, kTransmitOffset, seconds);
    return packet;
}

quint32 fractionToMicros(quint32 fraction)
{
    // fraction / 2^32 of a second, exactly, truncated to whole microseconds.
    return quint32((quint64(fraction) * 1000000u) >> 32);
}

ReplyCheck decodeReply(const QByteArray& datagram, Reply* out)
{
    if (datagram.size() < kPacketSize)
        return ReplyCheck::TooShort;
    const auto first = uchar(datagram.at(0));
    if ((first & 0x07) != kModeServer)
        return ReplyCheck::NotServer;
    const int stratum = uchar(datagram.at(1));
    if (stratum < 1 || stratum > 15)
        return ReplyCheck::BadStratum;
    const quint32 seconds = readBE32(datagram, kTransmitOffset);
    const quint32 fraction = readBE32(datagram, kTransmitOffset + 4);
    if (seconds == 0)
        return ReplyCheck::NoTransmitTime;

    Reply reply;
    reply.seconds = seconds;
    reply.fraction = fraction;
    reply.micros = fractionToMicros(fraction);
    // Unsigned 32-bit difference: seconds below the offset belong to the next
    // NTP era (from 2036 on), which the wrap maps onto the right Unix time.
    const quint32 unixSeconds = seconds - kNtpToUnixSeconds;
    reply.transmitTime =
        QDateTime::fromMSecsSinceEpoch(qint64(unixSeconds) * 1000 + reply.micros / 1000);
    if (out)
        *out = reply;
    return ReplyCheck::Ok;
}

QString describe(ReplyCheck check)
{
    switch (check) {
    case ReplyCheck::Ok:
        return QStringLiteral("ok");
    case ReplyCheck::TooShort:
        return QStringLiteral("shorter than 48 bytes");
    case ReplyCheck::NotServer:
        return QStringLiteral("not in server mode");
    case ReplyCheck::BadStratum:
        return QStringLiteral("stratum outside 1-15");
    case ReplyCheck::NoTransmitTime:
        return QStringLiteral("no transmit time");
    }
    return QString();
}

} // namespace ntpclient
