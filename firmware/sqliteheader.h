#ifndef SQLITEHEADER_H
#define SQLITEHEADER_H

// The header of an SQLite 3 database file (its first 100 bytes), read for
// what it says about the file's length. SQLite reads a page that the file
// lacks as zeros, and neither opening the file nor its integrity check then
// notices that the end is missing: a downloaded file cut short must be told
// by its header. QtCore only.
//
// Big-endian fields used: the page size at offset 16 (2 bytes; 1 stands for
// 65536), the change counter at 24, the database size in pages at 28 and
// the version-valid-for number at 92 (4 bytes each). The size in pages is
// valid only when it is not 0 and the change counter equals the
// version-valid-for number; writers older than that field leave it stale.

#include <QByteArray>
#include <QString>

namespace sqliteheader {

constexpr int kHeaderBytes = 100;

struct Layout {
    qint64 pageSize = 0;     // bytes per page, 512 to 65536
    qint64 pageCount = 0;    // the header's database size in pages
    bool countValid = false; // whether pageCount may be believed
};

// Reads header (the file's first bytes). False when it is shorter than the
// header, lacks the SQLite 3 magic text or states no valid page size.
bool readLayout(const QByteArray& header, Layout* layout);

// Why a file of fileSize bytes that begins with header is no whole
// database, or empty: no valid header; shorter than the pages its header
// counts; or, where the count is not valid, no whole number of pages.
QString wholeFileProblem(const QByteArray& header, qint64 fileSize);

} // namespace sqliteheader

#endif // SQLITEHEADER_H
