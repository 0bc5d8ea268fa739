#include "kiosk/heartendpoints.h"

#include <QDebug>

#include "kiosk/kioskini.h"

namespace {

constexpr int kNtpHostCount = 4;

quint16 parsePort(const QString& text, quint16 fallback)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    return (ok && value > 0 && value <= 65535) ? quint16(value) : fallback;
}

} // namespace

void splitNtpHost(const QString& entry, quint16 defaultPort, QString* host, quint16* port)
{
    const QString text = entry.trimmed();
    QString name = text;
    quint16 number = defaultPort;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            name = text.mid(1, close - 1);
            if (text.mid(close + 1).startsWith(QLatin1Char(':')))
                number = parsePort(text.mid(close + 2), defaultPort);
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        // More than one colon is a bare IPv6 address without a port.
        const int colon = text.indexOf(QLatin1Char(':'));
        name = text.left(colon);
        number = parsePort(text.mid(colon + 1), defaultPort);
    }
    if (host)
        *host = name;
    if (port)
        *port = number;
}

HeartEndpoints defaultHeartEndpoints()
{
    HeartEndpoints endpoints;
    endpoints.ntpHosts = QStringList{QStringLiteral("0.pool.ntp.org"), QStringLiteral("1.pool.ntp.org"),
                                     QStringLiteral("2.pool.ntp.org"), QStringLiteral("3.pool.ntp.org")};
    return endpoints;
}

HeartEndpoints readHeartEndpoints()
{
    HeartEndpoints endpoints = defaultHeartEndpoints();
    endpoints.ntpPort = parsePort(kioskini::readValue(QStringLiteral("ntp/port")), endpoints.ntpPort);
    for (int i = 0; i < kNtpHostCount; ++i) {
        const QString host = kioskini::readValue(QStringLiteral("ntp/host%1").arg(i + 1)).trimmed();
        if (!host.isEmpty())
            endpoints.ntpHosts[i] = host;
    }

    const QString url = kioskini::readValue(QStringLiteral("heart/url")).trimmed();
    if (!url.isEmpty()) {
        const QUrl parsed(url, QUrl::StrictMode);
        if (parsed.isValid() && !parsed.isRelative())
            endpoints.heartUrl = parsed;
        else
            qWarning() << "readHeartEndpoints--heart/url is not a usable URL:" << url;
    }
    return endpoints;
}
