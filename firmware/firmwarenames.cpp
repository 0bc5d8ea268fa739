#include "firmware/firmwarenames.h"

namespace firmwarenames {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

bool isSqliteInternalTable(const QString& table)
{
    return table.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

bool isPlainTableName(const QString& table)
{
    if (table.isEmpty() || isAsciiDigit(table.front()) || isSqliteInternalTable(table))
        return false;
    for (const QChar c : table) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

bool isBareFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QChar(0));
}

bool isDatabaseFileName(const QString& name)
{
    static const QLatin1String suffix(".db");
    return isBareFileName(name) && name.size() > suffix.size() && !name.startsWith(QLatin1Char('.'))
        && name.endsWith(suffix, Qt::CaseInsensitive);
}

bool isWebLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QString lastPathPart(const QString& url)
{
    return url.split(QLatin1Char('/')).last();
}

QString baseBeforeFirstDot(const QString& fileName)
{
    return fileName.split(QLatin1Char('.')).first();
}

QString matchFirmwareTable(const QString& devType, const QStringList& tables)
{
    if (devType.isEmpty())
        return QString();
    QString first;
    QString second;
    const QChar separator = devType.contains(QLatin1Char('-')) ? QLatin1Char('-')
                          : devType.contains(QLatin1Char('_')) ? QLatin1Char('_')
                                                               : QChar();
    if (!separator.isNull()) {
        const QStringList pieces = devType.split(separator);
        first = pieces.value(0);
        second = pieces.value(1);
    }
    for (const QString& name : tables) {
        if (name.contains(first) && name.contains(second))
            return name;
    }
    return QString();
}

} // namespace firmwarenames
