#ifndef DEVFILELIST_H
#define DEVFILELIST_H

// The device-file list: a small comma-separated text that names, for a
// product key, the firmware-database file to use and the link it is
// downloaded from, once for developer mode (test columns) and once for
// release. QtCore only; the page's readers wrap it.
//
// Format: line 1 is the header; every line is split at each "," (no quoting,
// no trimming, empty cells count); LF or CR LF line ends; a byte-order mark
// is skipped. Columns are found by their exact header text and may stand in
// any order; a name that occurs twice counts at its later position. A data
// row is valid only with as many cells as the header. The first valid row
// whose ITEM cell contains the key (case-sensitive) is the product's row,
// and nothing after it is read. Its file cell must be a bare file name, or
// the row is not used.
//
// The list is read line by line. A list larger than a bound (a real one is
// a few lines) is refused: by its size before anything is read, or, on a
// device of unknown size, as soon as more than the bound has been read.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

namespace devfilelist {

// The largest list read, in bytes.
constexpr qint64 kMaxListBytes = 4 * 1024 * 1024;

// The product key of the configurator's ESCs.
QString productKey();

// The pair of columns one mode reads.
struct Columns {
    QString file;
    QString link;
};
Columns testColumns();    // "TEST_FILE", "LINK_TEST_FILE"
Columns releaseColumns(); // "RELEASE_FILE", "LINK_RELEASE_FILE"

enum class Outcome {
    Matched,      // fileName and link hold the product's row
    NoColumns,    // "ITEM" or one of the pair is not in the header
    NoRow,        // no valid row carries the key
    BadFileName,  // the product's row names no bare file name
    TooLarge,     // the list is larger than the bound: not read (further)
};

struct RowChoice {
    Outcome outcome = Outcome::NoColumns;
    QString headerLine;
    QStringList headers;
    int validRows = 0;        // valid rows read, the chosen one included
    QStringList skipped;      // lines passed over for their cell count
    QString fileName;         // set only when a row carries the key
    QString link;
    bool usable() const { return outcome == Outcome::Matched; }
};

// Chooses the row of key from the list read from in, from its current
// position; in must be open for reading. Reading stops at the chosen row.
RowChoice chooseRow(QIODevice& in, const Columns& columns, const QString& key,
                    qint64 maxBytes = kMaxListBytes);
// The same from the list's bytes.
RowChoice chooseRow(const QByteArray& bytes, const Columns& columns, const QString& key,
                    qint64 maxBytes = kMaxListBytes);

// The whole list, for the log: the header and every valid row; the other
// lines in skipped. A list above the bound is not read: tooLarge.
struct Table {
    QStringList headers;
    QList<QStringList> rows;
    QStringList skipped;
    bool tooLarge = false;
};
Table readTable(QIODevice& in, qint64 maxBytes = kMaxListBytes);
Table readTable(const QByteArray& bytes, qint64 maxBytes = kMaxListBytes);

} // namespace devfilelist

#endif // DEVFILELIST_H
