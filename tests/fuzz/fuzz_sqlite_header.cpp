// libFuzzer target: arbitrary bytes as a downloaded database file, judged by
// its SQLite header and its length, with the promise the install relies on:
// a file taken as whole holds every page its header counts (or, where the
// count is not valid, whole pages only), so that one byte less is refused.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "firmware/sqliteheader.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QByteArray header = file.left(sqliteheader::kHeaderBytes);
    const qint64 length = file.size();
    sqliteheader::Layout layout;
    const bool readable = sqliteheader::readLayout(header, &layout);
    const bool whole = sqliteheader::wholeFileProblem(header, length).isEmpty();
    CHECK(!whole || readable);
    if (!readable)
        return 0;
    CHECK(layout.pageSize >= 512 && layout.pageSize <= 65536 && (layout.pageSize & (layout.pageSize - 1)) == 0);
    CHECK(layout.countValid == (layout.pageCount != 0 && header.mid(24, 4) == header.mid(92, 4)));
    const qint64 stated = layout.pageCount * layout.pageSize;
    if (layout.countValid) {
        CHECK(whole == (length >= stated));
        CHECK(!sqliteheader::wholeFileProblem(header, stated - 1).isEmpty());
        CHECK(sqliteheader::wholeFileProblem(header, stated).isEmpty());
    } else {
        CHECK(whole == (length % layout.pageSize == 0));
        CHECK(!sqliteheader::wholeFileProblem(header, length + 1).isEmpty() || (length + 1) % layout.pageSize == 0);
    }
    return 0;
}
