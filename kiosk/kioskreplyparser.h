#ifndef KIOSKREPLYPARSER_H
#define KIOSKREPLYPARSER_H

// Reply texts of the kiosk's network peer ("code=100:msg=ok:heartbeat=30")
// and the JSON conversions, shared by the kiosk's common widget and its
// utility object. Each caller adds its own debug lines; the refusals and the
// wrong-kind warnings are written here.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace kioskreply {

// Called once the reply is split, with all pieces and the pieces that
// contain the key, before a missing key is reported.
using SplitTrace = std::function<void(const QStringList& pieces, const QStringList& selection)>;

// Takes the value of key out of source. An empty source, and a key that no
// piece contains, are refused with a critical line. At the first piece of
// which one "="-separated part equals the key, value becomes the piece's
// second part (left as it is for a piece without "=") and the result is
// true. value is not touched otherwise.
bool splitMessage(const QString& source, const QString& key, QString& value,
                  const SplitTrace& trace);

QString jsonObjectToString(const QJsonObject& object);
QString jsonArrayToString(const QJsonArray& array);

// An empty object or array, with a warning, for text that is not JSON of
// that kind.
QJsonObject stringToJsonObject(const QString& text);
QJsonArray stringToJsonArray(const QString& text);

} // namespace kioskreply

#endif // KIOSKREPLYPARSER_H
