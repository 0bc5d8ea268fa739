#ifndef EXPIRYTIME_H
#define EXPIRYTIME_H

// Seconds left until an expiry time given as local date-time text, shared by
// the kiosk's common widget and its utility object.

#include <QDateTime>
#include <QString>

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

} // namespace expirytime

#endif // EXPIRYTIME_H
