#include "kiosk/expirytime.h"

#include <climits>

namespace expirytime {

QDateTime parseEither(const QString& text)
{
    const QDateTime colon = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (colon.isValid())
        return colon;
    return parseDashed(text);
}

QDateTime parseDashed(const QString& text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh-mm-ss"));
}

int secondsBetween(const QDateTime& from, const QDateTime& to)
{
    if (!from.isValid() || !to.isValid())
        return 0;
    const qint64 secs = from.secsTo(to);
    if (secs > INT_MAX)
        return INT_MAX;
    if (secs < INT_MIN)
        return INT_MIN;
    return int(secs);
}

int secondsToExpiry(const QString& text, QDateTime (*parse)(const QString&), const ExpiryTrace& trace)
{
    if (text.isEmpty())
        return 1;
    const QDateTime end = parse(text);
    const QDateTime now = QDateTime::currentDateTime();
    const int secs = secondsBetween(now, end);
    if (trace)
        trace(now, end, secs);
    return atLeastOne(secs);
}

} // namespace expirytime
