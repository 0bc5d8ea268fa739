#ifndef EXPIRYTIME_H
#define EXPIRYTIME_H

// Seconds left until an expiry time given as local date-time text, shared by
// the kiosk's common widget and its utility object.

#include <QDateTime>
#include <QString>

#include <functional>

namespace expirytime {

// "yyyy-MM-dd hh:mm:ss", or else "yyyy-MM-dd hh-mm-ss"; invalid when neither fits.
QDateTime parseEither(const QString& text);
// "yyyy-MM-dd hh-mm-ss" only.
QDateTime parseDashed(const QString& text);

// Seconds from `from` to `to`, held within the int range so that a date far
// ahead or far back cannot wrap round to the other sign; 0 when either is
// invalid.
int secondsBetween(const QDateTime& from, const QDateTime& to);

// What the kiosk waits for: the seconds when positive, otherwise 1.
inline int atLeastOne(int secs) { return secs > 0 ? secs : 1; }

// Called with the current time, the parsed expiry time and the seconds
// between them, before they are raised to at least 1.
using ExpiryTrace = std::function<void(const QDateTime& now, const QDateTime& end, int secs)>;

// Seconds from now until the expiry time that parse reads from text, at
// least 1; an empty text gives 1 at once, without a trace.
int secondsToExpiry(const QString& text, QDateTime (*parse)(const QString&), const ExpiryTrace& trace = {});

} // namespace expirytime

#endif // EXPIRYTIME_H
