#ifndef KIOSKINI_H
#define KIOSKINI_H

// The one access path to the kiosk settings file "./conf/tq_info.ini"
// (relative to the working directory). Every call opens its own settings
// object, so a write is on disk, or reported as failed, when the call returns.

#include <QString>
#include <QStringList>

namespace kioskini {

QString filePath();

// The value under key as text; empty when the file or the key is missing.
QString readValue(const QString& key);

// Every key of the file, as "group/name", in the order the settings object
// lists them.
QStringList keys();

enum class WriteResult {
    Stored,
    KeyWithoutSlash,   // refused, critical line written
    EmptyValue,        // refused, critical line written
    MissingKey,        // key absent and create not set: refused silently
    NotSaved,          // the file could not be written, critical line written
};

// Writes value under key after refusing a key without "/" and an empty
// value; a key the file lacks is created only when create is set.
WriteResult writeValue(const QString& key, const QString& value, bool create);

// The same without the two refusals, for callers whose key and value are
// fixed texts.
WriteResult storeValue(const QString& key, const QString& value, bool create);

// Removes key and, when it names a group, everything under it. False only
// when the file could not be written.
bool removeKey(const QString& key);

// Removes every key that contains part (case-sensitive). False only when the
// file could not be written.
bool removeKeysContaining(const QString& part);

} // namespace kioskini

#endif // KIOSKINI_H
