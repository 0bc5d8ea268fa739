#ifndef FIRMWARENAMES_H
#define FIRMWARENAMES_H

// Names that reach the firmware database and the download folder from
// outside: table names found in a database file, file names and links found
// in the device-file list, and the device type a node reports. QtCore only.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace firmwarenames {

// A table name that may go into a statement: ASCII letters, digits and
// underscores, not starting with a digit, and not one of SQLite's own
// tables ("sqlite_..." in any letter case).
bool isPlainTableName(const QString& table);

// SQLite's own bookkeeping tables ("sqlite_sequence", ...).
bool isSqliteInternalTable(const QString& table);

// A file name without any folder: not empty, no "/" or "\", not "." or "..",
// no NUL. Only such a name may be joined to the download folder.
bool isBareFileName(const QString& name);

// A name the install takes for a database file: a bare file name ending in
// ".db" (any letter case, as the install's "*.db" filter matches), with a
// name before it that does not start with "." (a hidden file is not listed).
bool isDatabaseFileName(const QString& name);

// A link the downloads follow: http or https, nothing else (no local file,
// no other protocol).
bool isWebLink(const QUrl& url);

// The last part of a URL or path split at "/" (empty when it ends in "/").
QString lastPathPart(const QString& url);

// The text before the first "." (the whole text when it has none).
QString baseBeforeFirstDot(const QString& fileName);

// The database table of a device type. The type is split at "-" when it
// holds one, else at "_" when it holds one; the table is the first of
// tables that contains both pieces (a missing piece matches any name). A
// type with neither separator matches the first table; an empty type (a node
// whose information has not arrived) matches none. Empty when none matches.
QString matchFirmwareTable(const QString& devType, const QStringList& tables);

} // namespace firmwarenames

#endif // FIRMWARENAMES_H
