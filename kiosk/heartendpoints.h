#ifndef HEARTENDPOINTS_H
#define HEARTENDPOINTS_H

// Where the heartbeat worker sends its traffic: the four NTP servers and the
// heartbeat server's URL, read from the kiosk settings file.
//
//   [ntp]
//   host1=0.pool.ntp.org        ; "name" or "name:port", tried in order 1..4
//   port=123                     ; port of the hosts that name none
//   [heart]
//   url=http://server/heartbeat  ; no URL: no heartbeat request is sent
//                                ; (quote a URL that contains commas)

#include <QString>
#include <QStringList>
#include <QUrl>

struct HeartEndpoints {
    QStringList ntpHosts;  // always four entries, "name" or "name:port"
    quint16 ntpPort = 123;
    QUrl heartUrl;         // empty when not configured
};

// Splits an NTP host entry into name and port; an entry without a port (or
// with an unusable one) gets defaultPort. "[v6addr]:port" is understood.
void splitNtpHost(const QString& entry, quint16 defaultPort, QString* host, quint16* port);

HeartEndpoints defaultHeartEndpoints();

// Reads the endpoints from the kiosk settings file; missing or empty keys
// keep their defaults.
HeartEndpoints readHeartEndpoints();

#endif // HEARTENDPOINTS_H
