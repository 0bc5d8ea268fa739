#ifndef REGTEXT_P_H
#define REGTEXT_P_H

// The pieces of the register-text grammars that the parameter-file code
// shares with the option names and the value conversion (regtext.cpp), so
// that a file reads a register's options, scale and values exactly as the
// table and the writer do. Not for use outside firmware/regtext*.

#include <QList>
#include <QString>

namespace regtext {
namespace detail {

extern const QString kCaption;  // "STR"
extern const QString kRegister; // "REG"

// The scale between the first "[" and the first "]" after it, and the unit
// behind that "]" less one trailing ";". False without both brackets.
bool scaleAndUnit(const QString& optionText, QString* scale, QString* unit);

// A number as a register value: -32768 to 65535, a negative one as its
// two's complement.
bool toValue16(qint64 number, quint16* value);

// One option of an "S" register: the name shown and the value it stands for.
struct Labelled {
    QString name;
    quint16 value;
};
// The options of an "S" register, in the order the combo offers them.
QList<Labelled> labelOptions(const QString& optionText);

// A scale that every 16-bit step can be shown with and converted back by.
bool usableScale(const QString& scale);
// The step a shown number stands for: shown / scale, truncated for an
// integer scale, rounded for a decimal one.
bool stepOfShown(const QString& scale, const QString& shown, qint64* step);
// The number shown for `step` of an "N" register.
QString scaledNumber(const QString& scale, qint64 step);

// In a ","-list of key_value items, what follows "key_" in the first item
// whose key is `key`: up to the next "_" (cut), or all of it. Empty when
// there is none, or when an item without "_" comes first.
QString fieldAfterKey(const QString& text, const QString& key, bool cut);

// The kind letter a parameter file's reader and writer go by: the second
// ","-field of the option text; empty when there is none.
QString fileKind(const QString& optionText);

} // namespace detail
} // namespace regtext

#endif // REGTEXT_P_H
