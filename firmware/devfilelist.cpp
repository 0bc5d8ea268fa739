#include "firmware/devfilelist.h"

#include <QBuffer>
#include <QIODevice>
#include <QTextCodec>
#include <QTextStream>

#include <memory>

#include "firmware/firmwarenames.h"

namespace devfilelist {

namespace {

const QChar kSeparator = QLatin1Char(',');

// The lines of a list as the page reads them: a UTF-8 byte-order mark
// selects UTF-8, otherwise the locale's encoding (UTF-16/32 marks are
// detected too). Counts the characters it hands out against the bound, so
// that neither a long list nor one endless line is taken in whole.
class LineReader
{
public:
    LineReader(QIODevice& in, qint64 maxBytes)
        : m_maxBytes(maxBytes)
        , m_tooLarge(!in.isSequential() && in.size() - in.pos() > maxBytes)
    {
        if (m_tooLarge)
            return;
        const bool utf8Mark = in.peek(3) == "\xEF\xBB\xBF";
        m_stream.setDevice(&in);
        m_stream.setAutoDetectUnicode(true);
        if (utf8Mark)
            m_stream.setCodec(QTextCodec::codecForName("UTF-8"));
    }

    bool tooLarge() const { return m_tooLarge; }

    // The first line; an empty text still has its (empty) header line.
    QString header()
    {
        QString line = readLine();
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        return line;
    }

    // The next line; false at the end of the text, or when the line would
    // pass the bound (tooLarge then tells).
    bool next(QString& line)
    {
        if (m_tooLarge || m_stream.atEnd())
            return false;
        line = readLine();
        return !m_tooLarge;
    }

private:
    QString readLine()
    {
        if (m_tooLarge)
            return QString();
        // One character more than is left shows a line that is too long.
        const QString line = m_stream.readLine(qMax<qint64>(1, m_maxBytes - m_read + 1));
        m_read += line.size() + (m_stream.atEnd() ? 0 : 1);
        m_tooLarge = m_read > m_maxBytes;
        return line;
    }

    QTextStream m_stream;
    const qint64 m_maxBytes;
    qint64 m_read = 0;
    bool m_tooLarge;
};

// A device reading bytes, for the readers' byte overloads.
std::unique_ptr<QBuffer> readerOf(const QByteArray& bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

} // namespace

QString productKey()
{
    return QStringLiteral("P_FLY-ESC");
}

Columns testColumns()
{
    return {QStringLiteral("TEST_FILE"), QStringLiteral("LINK_TEST_FILE")};
}

Columns releaseColumns()
{
    return {QStringLiteral("RELEASE_FILE"), QStringLiteral("LINK_RELEASE_FILE")};
}

RowChoice chooseRow(QIODevice& in, const Columns& columns, const QString& key, qint64 maxBytes)
{
    RowChoice choice;
    LineReader reader(in, maxBytes);
    choice.headerLine = reader.header();
    if (reader.tooLarge()) {
        choice.headerLine.clear();
        choice.outcome = Outcome::TooLarge;
        return choice;
    }
    choice.headers = choice.headerLine.split(kSeparator);

    int item = -1;
    int file = -1;
    int link = -1;
    for (int i = 0; i < choice.headers.size(); ++i) {
        const QString& name = choice.headers.at(i);
        if (name == QLatin1String("ITEM"))
            item = i;
        else if (name == columns.file)
            file = i;
        else if (name == columns.link)
            link = i;
    }
    if (item < 0 || file < 0 || link < 0)
        return choice; // NoColumns

    choice.outcome = Outcome::NoRow;
    QString line;
    while (reader.next(line)) {
        const QStringList cells = line.split(kSeparator);
        if (cells.size() != choice.headers.size()) {
            choice.skipped.append(line);
            continue;
        }
        ++choice.validRows;
        if (!cells.at(item).contains(key))
            continue;
        choice.fileName = cells.at(file);
        choice.link = cells.at(link);
        choice.outcome = firmwarenames::isBareFileName(choice.fileName) ? Outcome::Matched
                                                                        : Outcome::BadFileName;
        return choice; // the lines after the product's row are not read
    }
    if (reader.tooLarge())
        choice.outcome = Outcome::TooLarge;
    return choice;
}

RowChoice chooseRow(const QByteArray& bytes, const Columns& columns, const QString& key, qint64 maxBytes)
{
    return chooseRow(*readerOf(bytes), columns, key, maxBytes);
}

Table readTable(QIODevice& in, qint64 maxBytes)
{
    Table table;
    LineReader reader(in, maxBytes);
    table.headers = reader.header().split(kSeparator);
    QString line;
    while (reader.next(line)) {
        const QStringList cells = line.split(kSeparator);
        if (cells.size() == table.headers.size())
            table.rows.append(cells);
        else
            table.skipped.append(line);
    }
    table.tooLarge = reader.tooLarge();
    return table;
}

Table readTable(const QByteArray& bytes, qint64 maxBytes)
{
    return readTable(*readerOf(bytes), maxBytes);
}

} // namespace devfilelist
