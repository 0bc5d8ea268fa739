#ifndef NTPCLIENT_H
#define NTPCLIENT_H

// The NTP client's packets (RFC 5905 header, 48 bytes, big-endian): the
// request the kiosk sends and the checks a reply must pass before its time
// may touch the clock.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace ntpclient {

// Seconds from 1900-01-01 00:00 UTC (NTP era 0) to 1970-01-01 00:00 UTC.
constexpr quint32 kNtpToUnixSeconds = 2208988800u;
constexpr int kPacketSize = 48;
constexpr quint16 kDefaultPort = 123;

// The client request for the instant now: version 3, client mode, poll 16 s,
// precision -6, root delay and dispersion 1.0 s, transmit seconds of now.
QByteArray buildRequest(const QDateTime& now);

// NTP fraction of a second (units of 2^-32 s) to microseconds.
quint32 fractionToMicros(quint32 fraction);

enum class ReplyCheck { Ok, TooShort, NotServer, BadStratum, NoTransmitTime };

struct Reply {
    quint32 seconds = 0;     // transmit time, seconds since 1900
    quint32 fraction = 0;    // transmit time, fraction
    quint32 micros = 0;      // the fraction in microseconds
    QDateTime transmitTime;  // the instant, local time, to the millisecond
};

// Checks one datagram and, when it is a usable server reply, fills out.
// out is left untouched for any other result.
ReplyCheck decodeReply(const QByteArray& datagram, Reply* out);

QString describe(ReplyCheck check);

} // namespace ntpclient

#endif // NTPCLIENT_H
