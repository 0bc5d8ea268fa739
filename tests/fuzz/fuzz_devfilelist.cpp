// libFuzzer target: arbitrary bytes as a device-file list, read line by line
// for both modes and whole, with the invariants the page relies on: a usable
// row names a bare file name, every output comes from the list's own cells,
// the chosen row is the first valid row carrying the key (so what follows it
// never matters), and nothing above the bound is read.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "firmware/devfilelist.h"
#include "firmware/firmwarenames.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const auto table = devfilelist::readTable(bytes);
    CHECK(!table.tooLarge);
    for (const QStringList& row : table.rows)
        CHECK(row.size() == table.headers.size());

    for (const auto& columns : {devfilelist::testColumns(), devfilelist::releaseColumns()}) {
        const auto choice = devfilelist::chooseRow(bytes, columns, devfilelist::productKey());
        CHECK(choice.outcome != devfilelist::Outcome::TooLarge);
        CHECK(!choice.headers.isEmpty());
        CHECK(choice.headers == table.headers);
        if (choice.usable()) {
            CHECK(firmwarenames::isBareFileName(choice.fileName));
            CHECK(!choice.fileName.contains(QLatin1Char(',')) && !choice.link.contains(QLatin1Char(',')));
            CHECK(choice.validRows >= 1);
        } else if (choice.outcome != devfilelist::Outcome::BadFileName) {
            CHECK(choice.fileName.isEmpty() && choice.link.isEmpty());
        }
        if (choice.outcome == devfilelist::Outcome::Matched || choice.outcome == devfilelist::Outcome::BadFileName) {
            // The row read whole at the place where the choice stopped.
            CHECK(choice.validRows <= table.rows.size());
            const QStringList& row = table.rows.at(choice.validRows - 1);
            const int item = choice.headers.lastIndexOf(QStringLiteral("ITEM"));
            CHECK(row.at(item).contains(devfilelist::productKey()));
            CHECK(row.contains(choice.fileName) && row.contains(choice.link));
            for (int i = 0; i < choice.validRows - 1; ++i)
                CHECK(!table.rows.at(i).at(item).contains(devfilelist::productKey()));
        }
        // A bound below the list's size refuses it unread.
        if (size > 0) {
            const auto refused = devfilelist::chooseRow(bytes, columns, devfilelist::productKey(), qint64(size) - 1);
            CHECK(refused.outcome == devfilelist::Outcome::TooLarge && refused.headers.isEmpty());
        }
        // The table name derived from a device type always passes or fails
        // the identifier check without surprises.
        const QString name = firmwarenames::matchFirmwareTable(choice.fileName, choice.headers);
        CHECK(name.isEmpty() || choice.headers.contains(name));
        (void)firmwarenames::isPlainTableName(name);
        (void)firmwarenames::isDatabaseFileName(choice.fileName);
    }
    return 0;
}
