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
// whose ITEM cell contains the key (case-sensitive) is the product's row.
// Its file cell must be a bare file name, or the row is not used.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace devfilelist {

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

// Text of a list file as the page reads it: a UTF-8 byte-order mark selects
// UTF-8, otherwise the locale's encoding (UTF-16/32 marks are detected too).
QStringList lines(const QByteArray& bytes);

// Chooses the row of key from the list's bytes.
RowChoice chooseRow(const QByteArray& bytes, const Columns& columns, const QString& key);

// The whole list, for the log: the header and every valid row; the other
// lines in skipped.
struct Table {
    QStringList headers;
    QList<QStringList> rows;
    QStringList skipped;
};
Table readTable(const QByteArray& bytes);

} // namespace devfilelist

#endif // DEVFILELIST_H
