#include "firmware/devfilelist.h"

#include <QTextCodec>
#include <QTextStream>

#include "firmware/firmwarenames.h"

namespace devfilelist {

namespace {

const QChar kSeparator = QLatin1Char(',');

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

QStringList lines(const QByteArray& bytes)
{
    QTextStream in(bytes, QIODevice::ReadOnly);
    in.setAutoDetectUnicode(true);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        in.setCodec(QTextCodec::codecForName("UTF-8"));
    QStringList out;
    // An empty text still has its (empty) header line.
    do {
        QString line = in.readLine();
        if (out.isEmpty() && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        out.append(line);
    } while (!in.atEnd());
    return out;
}

RowChoice chooseRow(const QByteArray& bytes, const Columns& columns, const QString& key)
{
    RowChoice choice;
    const QStringList text = lines(bytes);
    choice.headerLine = text.first();
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
    for (int n = 1; n < text.size(); ++n) {
        const QStringList cells = text.at(n).split(kSeparator);
        if (cells.size() != choice.headers.size()) {
            choice.skipped.append(text.at(n));
            continue;
        }
        ++choice.validRows;
        if (!cells.at(item).contains(key))
            continue;
        choice.fileName = cells.at(file);
        choice.link = cells.at(link);
        choice.outcome = firmwarenames::isBareFileName(choice.fileName) ? Outcome::Matched
                                                                        : Outcome::BadFileName;
        break;
    }
    return choice;
}

Table readTable(const QByteArray& bytes)
{
    Table table;
    const QStringList text = lines(bytes);
    table.headers = text.first().split(kSeparator);
    for (int n = 1; n < text.size(); ++n) {
        const QStringList cells = text.at(n).split(kSeparator);
        if (cells.size() == table.headers.size())
            table.rows.append(cells);
        else
            table.skipped.append(text.at(n));
    }
    return table;
}

} // namespace devfilelist
