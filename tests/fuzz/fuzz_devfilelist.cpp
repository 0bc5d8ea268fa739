// libFuzzer target: arbitrary bytes as a device-file list, read for both
// modes and whole, with the invariants the page relies on: a usable row
// names a bare file name, and every output comes from the list's own cells.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "firmware/devfilelist.h"
#include "firmware/firmwarenames.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    for (const auto& columns : {devfilelist::testColumns(), devfilelist::releaseColumns()}) {
        const auto choice = devfilelist::chooseRow(bytes, columns, devfilelist::productKey());
        CHECK(!choice.headers.isEmpty());
        if (choice.usable()) {
            CHECK(firmwarenames::isBareFileName(choice.fileName));
            CHECK(!choice.fileName.contains(QLatin1Char(',')) && !choice.link.contains(QLatin1Char(',')));
            CHECK(choice.validRows >= 1);
        } else if (choice.outcome != devfilelist::Outcome::BadFileName) {
            CHECK(choice.fileName.isEmpty() && choice.link.isEmpty());
        }
        // The table name derived from a device type always passes or fails
        // the identifier check without surprises.
        const QString table = firmwarenames::matchFirmwareTable(choice.fileName, choice.headers);
        CHECK(table.isEmpty() || choice.headers.contains(table));
        (void)firmwarenames::isPlainTableName(table);
    }
    const auto table = devfilelist::readTable(bytes);
    for (const QStringList& row : table.rows)
        CHECK(row.size() == table.headers.size());
    return 0;
}
