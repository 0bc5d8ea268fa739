#include "firmware/sqliteheader.h"

namespace sqliteheader {

namespace {

quint32 bigEndian(const QByteArray& bytes, int offset, int width)
{
    quint32 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | static_cast<quint8>(bytes.at(offset + i));
    return value;
}

} // namespace

bool readLayout(const QByteArray& header, Layout* layout)
{
    static const QByteArray magic("SQLite format 3\0", 16);
    if (header.size() < kHeaderBytes || !header.startsWith(magic))
        return false;
    const quint32 rawPageSize = bigEndian(header, 16, 2);
    const qint64 pageSize = rawPageSize == 1 ? 65536 : rawPageSize;
    // A power of two from 512 up.
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return false;
    const quint32 changeCounter = bigEndian(header, 24, 4);
    const quint32 pageCount = bigEndian(header, 28, 4);
    const quint32 validFor = bigEndian(header, 92, 4);
    layout->pageSize = pageSize;
    layout->pageCount = pageCount;
    layout->countValid = pageCount != 0 && changeCounter == validFor;
    return true;
}

QString wholeFileProblem(const QByteArray& header, qint64 fileSize)
{
    Layout layout;
    if (!readLayout(header, &layout))
        return QStringLiteral("not an SQLite database");
    if (layout.countValid) {
        const qint64 whole = layout.pageCount * layout.pageSize;
        if (fileSize < whole)
            return QStringLiteral("cut short: %1 of %2 bytes").arg(fileSize).arg(whole);
        return QString();
    }
    if (fileSize % layout.pageSize != 0)
        return QStringLiteral("%1 bytes are no whole number of %2-byte pages").arg(fileSize).arg(layout.pageSize);
    return QString();
}

} // namespace sqliteheader
