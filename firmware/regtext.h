#ifndef REGTEXT_H
#define REGTEXT_H

// The text grammars of the parameter tab, without widgets (QtCore only):
//   - the register description a node sends on port 257, ":"-separated
//     "STR" caption and "REG" register entries;
//   - a register's option text (";"-separated parts, kind letter S, N or I,
//     scale in brackets, unit) and the option names shown for it;
//   - the conversion of a shown option into the value that is written to
//     the register, row by row of the register table (regchoices.cpp);
//   - parameter files: the description, "@", then one
//     "reg_,cur_,def_,low_,upper_;" item per register (regfile.cpp).
// Every function is pure; the configurator page wraps them and owns the
// boxes, the table and the traffic.

#include <QList>
#include <QString>
#include <QStringList>

#include "configurator/regrecord.h"

namespace regtext {

// ---- register description ----

// The records of a description text, in order. Pieces of another kind, and
// entries with fewer fields than their kind needs, give no record. Every
// record starts without values, with key 0.
QList<RegRecord> parseDescription(const QString& text);
int registerCount(const QList<RegRecord>& records);

// ---- register values ----

// A register holds 16 bits: a decimal number from -32768 to 65535 is one of
// its values (a negative number as its two's complement). False for any
// other text.
bool registerValue(const QString& text, quint16* value);
// The number a register value stands for: read as signed 16 bits where a
// limit is negative, else unsigned. A value is compared with its limits,
// and an integer shown, as this number.
int valueNumber(quint16 value, qint16 low, qint16 up);

// ---- option names ----

// The options of a register's combo, each with the register value it stands
// for. Each option stands for a value of its own, and no two show the same
// name: a label that an earlier option already shows gets its stored value
// added in brackets, and a second label for a value already offered is none.
struct OptionNames {
    QStringList names;        // in combo order; "*" marks the default
    QList<quint16> values;    // the value of each name; an "I" kind's integer-entry item, last, has none
    int currentIndex = -1;    // the name of the current value; -1: none shows it
    bool currentSet = false;  // false: the caller's current text stays as it was
    QString current;          // display text of the current value, never with "*"
    QString tooWidePart;      // not empty: an "N" range of more than 250 steps (this part)
    bool noBrackets = false;  // an "N" kind without its scale brackets
};
// Steps an "N" range may have beyond its first.
constexpr int kMaxRangeSteps = 250;
// Every name converts back to the value it stands for (writeValue), and
// that value shows the same name again: "N" numbers are printed in plain
// decimal notation, and a step whose number would not convert back, or that
// is no 16-bit value, is not offered; an "S" option whose label is empty or
// begins with "*" (not to be told from the default mark), or whose stored
// value is no 16-bit value, is none; a scale that cannot carry every 16-bit
// step (zero, an integer beyond 32 bits, a product beyond a double) offers
// nothing. Without a current value no name is the current one. The limits
// say how an "I" kind's numbers are shown (valueNumber).
OptionNames optionNames(const QString& optionText, const QString& curValue, const QString& defValue,
                        qint16 low = 0, qint16 up = 0);

// In a ","-list of key_value items, the value of the first item whose key is
// `key`; empty when there is none, or when an item without "_" comes first.
QString getNumberAfterPrefix(const QString& text, const QString& key);

// ---- value conversion ----

// The value text up to its first character that is neither a digit nor ".".
QString numericPart(const QString& valueText);
// A register address: hexadecimal, optionally "0x"-prefixed, 0 to 0xFF.
bool parseRegAddress(const QString& text, int* reg);
// A byte as the register boxes show it: "0x" and two upper-case hex digits.
QString hexByte(int value);
// Whether a record's option text names a kind (has two ","-fields): only
// such a register is written, or takes a value from a file.
bool hasKind(const QString& optionText);

enum class Conversion {
    Value,    // *value holds the register value (0 to 0xFFFF)
    NoValue,  // this item gives nothing; the list goes on
    EndOfList // a malformed "N" range: this item and the ones after it give nothing
};
// The register value for a value text: an option name of the table (raw
// false) or a stored value such as the default list's "2X" (raw true). A
// name of an "N" or "I" register is a plain decimal number, with a sign
// where it is negative, followed by the register's unit; an "S" name is one
// that optionNames offers. Any other text gives no value. A negative number
// is written as its 16-bit two's complement.
Conversion writeValue(const QString& optionText, const QString& valueText, bool raw, int* value);
// The current value the table's text stands for, as the record keeps it
// between a write and the next read: the register value that a write of the
// text sends (for "N" the step, not the shown number), as an unsigned
// decimal number. False when the text gives none.
bool refreshValue(const QString& optionText, const QString& valueText, QString* curValue);
// The name an "I" register shows for an integer typed into its entry
// dialog: the number as the register's value reads it back, and the
// register's unit. False for a number that is no 16-bit value, or an option
// text without its scale brackets.
bool integerName(const QString& optionText, int typed, qint16 low, qint16 up, QString* name);
// A table text that chooses nothing: a combo that shows no option, or an
// "I" register's integer-entry item (the dialog cancelled without a
// previous choice). A write has nothing to send for it.
bool choosesNothing(const QString& optionText, const QString& valueText);

// The integer-entry item of an "I" kind ("lo~hi,I,[scale]unit").
struct IntegerEntry {
    int lo = 0;
    int hi = 0;
    QString unit;
};
bool isIntegerEntryItem(const QString& text);
bool parseIntegerEntry(const QString& text, IntegerEntry* out);

// ---- the register table's rows (regchoices.cpp) ----

// A row of the register table as the writer, the refresh and the save take
// it: the record it was built from, by its place in the list, and the
// option it shows. A row is never looked up again by its address: two
// records of one address are two rows, each converted with its own
// options, and an address holding "_" is an address like any other.
struct Choice {
    int record = -1;
    QString text; // the option shown, without the default mark; empty: none
};
// The option a combo shows, as a choice takes it: without the "*" that
// marks the default.
QString choiceText(const QString& shown);
// The restore's choices: every register's default, as a stored value.
QList<Choice> defaultChoices(const QList<RegRecord>& records);

struct RegisterWrite {
    int record = -1;
    int reg = 0; // register number, 0 to 0xFF
    quint16 value = 0;
};
struct WritePlan {
    QList<RegisterWrite> writes; // in row order
    // The record of the first row that should be written and cannot; -1:
    // none. Neither it nor the rows after it are written.
    int refused = -1;
    bool endOfList = false; // refused for an "N" range without "~"
};
// What a write sends for these rows: each converted with its own record's
// options, or (raw) its stored value as the restore sends it. A row that
// chooses nothing, or whose record has no kind, sends nothing; so does a
// stored value that gives none (the node keeps what it holds).
WritePlan planWrites(const QList<RegRecord>& records, const QList<Choice>& choices, bool raw);
// The refresh after a write and before a save: each row's own record takes
// the value its option stands for; a row that gives none changes nothing.
void refreshValues(QList<RegRecord>* records, const QList<Choice>& choices);

// ---- parameter files ----

// The file text of a register list, one line, no line break.
QString parameterFileText(const QList<RegRecord>& records);

// Whether a file text, as the load reads it, gives back these records with
// the same values. When it does not, `badIndex` is the first record that it
// would not give back (-1 when it gives back every record yet does not
// load), and `why` says what is wrong with it. The save checks the bytes it
// wrote, read back; the one-argument form checks the text it would write.
struct FileCheck {
    bool ok = true;
    int badIndex = -1;
    QString why;
};
FileCheck checkParameterFile(const QList<RegRecord>& records, const QString& fileText);
FileCheck checkParameterFile(const QList<RegRecord>& records);

struct LoadedParameters {
    enum Status {
        Ok,            // every register got its values
        NoValues,      // empty, or no "@": the registers come without values
        MissingField,  // an item lacks one of its five fields (badReg)
        BadValue,      // a current value the register cannot hold (badReg)
        ValuesMissing, // some register got no item
        NoRegisters,   // a file that is not empty yet describes no register
        TooManyRegisters // more registers than a register index can name
    };
    Status status = Ok;
    QList<RegRecord> records;
    QString badReg;
};
// Reads a parameter file's text. Line breaks at its end are ignored. An
// item names its register by all of its "reg_" field (an address may hold
// "_"), and takes the first record of that address still without values. The
// file's current values must be ones the registers can hold: 16-bit values
// within the limits the file gives ("N", "I"; compared as valueNumber reads
// them), or a labelled value ("S"); defaults must be 16-bit values. Values
// are kept as unsigned decimal numbers, as a read gives them.
LoadedParameters loadParameterText(QString content);
// A register's index is one byte: no node has more registers than this, and
// a file that describes more is refused before its values are read.
constexpr int kMaxRegisters = 256;

// The device type a parameter file's name carries (the text before the
// last "_" of the name); empty when the name carries none.
QString fileTypeOfPath(const QString& path);

// A device type that can stand in a file name: no path separator.
bool isFileNameSafe(const QString& devType);

} // namespace regtext

#endif // REGTEXT_H
