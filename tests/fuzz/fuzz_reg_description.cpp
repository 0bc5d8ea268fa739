// libFuzzer target: arbitrary text as a node's register description, through
// the description parser, the option names of every register, the
// conversion of each name back into a register value, the writes of an
// untouched table, and the parameter file of the list.
//
// What a register should offer and show is worked out here from its limits
// and its option text (oracle* below), not by the functions under test: a
// register is signed where a limit is negative, an "S" option is a part
// "value,S,label", an "I" name is the number and the unit behind "]".
//
// The input is the description, optionally followed by a NUL and bytes that
// give the registers their values as a read would: 16-bit little-endian
// numbers taken in turn as a register's current value, default, lower and
// upper limit. Without them every register is tried with a few values.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QSet>
#include <QString>
#include <QStringList>

#include "firmware/regtext.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

namespace {

QString withoutMark(const QString& name)
{
    return name.startsWith(QLatin1Char('*')) ? name.mid(1) : name;
}

// ---- the oracle: what a register's text and limits promise ----

// The number a 16-bit value stands for: signed when either limit is
// negative, as the node reads it.
qint64 oracleNumber(quint16 value, qint16 low, qint16 up)
{
    const bool isSigned = low < 0 || up < 0;
    return isSigned ? qint64(value >= 0x8000 ? int(value) - 0x10000 : int(value)) : qint64(value);
}

// The kind letter: the second ","-field of the first ";"-part after the
// entry's head.
QString oracleKind(const QString& optionText)
{
    const QStringList parts = optionText.split(QLatin1Char(';'));
    return parts.size() < 2 ? QString() : parts.at(1).section(QLatin1Char(','), 1, 1);
}

// The unit: what follows the first "]" after the first "[", less one ";"
// at its end. False without the brackets.
bool oracleUnit(const QString& optionText, QString* unit)
{
    const int open = optionText.indexOf(QLatin1Char('['));
    const int close = open < 0 ? -1 : optionText.indexOf(QLatin1Char(']'), open);
    if (close < 0)
        return false;
    *unit = optionText.mid(close + 1);
    if (unit->endsWith(QLatin1Char(';')))
        unit->chop(1);
    return true;
}

// The values an "S" register offers, in order: every part "value,S,label"
// whose label can be told from the default mark ("*") and whose value a
// register holds (a value that is no number reads as 0), each value once.
QList<quint16> oracleLabelled(const QString& optionText)
{
    QList<quint16> out;
    for (const QString& part : optionText.split(QLatin1Char(';'))) {
        const QStringList fields = part.split(QLatin1Char(','));
        if (fields.size() < 3 || fields.at(2).isEmpty() || fields.at(2).startsWith(QLatin1Char('*')))
            continue;
        qint64 v = 0;
        bool ok = false;
        v = fields.at(0).toLongLong(&ok);
        v = ok ? v : 0;
        if (v < -32768 || v > 0xFFFF || out.contains(quint16(v)))
            continue;
        out << quint16(v);
    }
    return out;
}

// The register number of an address: hexadecimal digits (after an optional
// "0x"), 0 to 0xFF; -1 for any other text.
int oracleRegister(const QString& address)
{
    const QString digits = address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? address.mid(2) : address;
    if (digits.isEmpty())
        return -1;
    int n = 0;
    for (const QChar c : digits) {
        const int d = c.isDigit() ? c.unicode() - '0'
            : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ? c.toLower().unicode() - 'a' + 10
                                                                                   : -1;
        if (d < 0 || (n = n * 16 + d) > 0xFF)
            return -1;
    }
    return n;
}

struct Values {
    quint16 cur = 3;
    quint16 def = 1;
    qint16 low = 0;
    qint16 up = 0;
};

// Values from the bytes behind the NUL, four numbers per register, over
// and over; none: two fixed sets in turn.
class ValueSource
{
public:
    ValueSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    Values next()
    {
        Values v;
        if (m_size < 2) {
            if (m_count++ % 2) {
                v = {0xFFFD, 0, -10, 10};
            }
            return v;
        }
        v.cur = number();
        v.def = number();
        v.low = qint16(number());
        v.up = qint16(number());
        return v;
    }

private:
    quint16 number()
    {
        const size_t at = (m_pos % (m_size / 2)) * 2;
        ++m_pos;
        return quint16(m_data[at] | m_data[at + 1] << 8);
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    int m_count = 0;
};

// The register value a table name writes, as the writer takes the combo's
// text; -1 when it writes none.
int written(const QString& optionText, const QString& name)
{
    int value = -1;
    return regtext::writeValue(optionText, regtext::choiceText(name), false, &value) == regtext::Conversion::Value
        ? value
        : -1;
}

// An "N" register either offers every step of its range that the register
// can hold, or none at all (a scale that cannot carry them is refused).
void checkEveryStep(const QString& optionText, const regtext::OptionNames& names)
{
    const QStringList parts = optionText.split(QLatin1Char(';'));
    const QStringList fields = parts.value(1).split(QLatin1Char(','));
    if (names.values.isEmpty() || fields.value(1) != QLatin1String("N"))
        return;
    const QStringList range = fields.at(0).split(QLatin1Char('~'));
    const qint64 lo = std::max<qint64>(range.value(0).toInt(), -32768);
    const qint64 hi = std::min<qint64>(range.value(1).toInt(), 0xFFFF);
    CHECK(names.values.size() == hi - lo + 1);
}

// Option lists worked out per input beyond the first of each register: a
// long description is checked in full for its first registers only, so
// that the fuzzer keeps its pace.
int g_budget = 0;
constexpr int kListsPerInput = 48;

// The table's current option for a value converts back to that value, and
// a value an option stands for is shown by that option. Returns the
// options for `value`.
regtext::OptionNames checkValue(const RegRecord& r, quint16 value, const Values& v)
{
    const regtext::OptionNames on =
        regtext::optionNames(r.optionText, QString::number(value), QString::number(v.def), v.low, v.up);
    CHECK(on.values.size() <= on.names.size());
    if (on.currentIndex >= 0) {
        CHECK(on.currentIndex < on.values.size());
        CHECK(on.values.at(on.currentIndex) == value);
        CHECK(withoutMark(on.names.at(on.currentIndex)) == on.current);
        CHECK(written(r.optionText, on.current) == value);
    } else {
        CHECK(!on.values.contains(value));
        // A combo that shows no option chooses nothing: nothing is written.
        CHECK(regtext::choosesNothing(r.optionText, QString()));
    }
    return on;
}

// Every option offered writes its own value, and that value read back shows
// the same option. Returns whether the register's value is one its table
// shows.
bool checkRegister(const RegRecord& r, const Values& v)
{
    const regtext::OptionNames names = checkValue(r, v.cur, v);
    CHECK(names.names.size() <= regtext::kMaxRangeSteps + 2);
    CHECK(!names.current.startsWith(QLatin1Char('*')));
    CHECK(names.names.size() - names.values.size() <= 1);
    checkEveryStep(r.optionText, names);

    // What the text and the limits promise: an "S" register offers its
    // labelled values; an "I" register shows its value and its default as
    // the numbers the limits read them as, with its unit.
    const QString kind = oracleKind(r.optionText);
    QString unit;
    if (kind == QLatin1String("S"))
        CHECK(names.values == oracleLabelled(r.optionText));
    if (kind == QLatin1String("I") && oracleUnit(r.optionText, &unit)) {
        const QString cur = QString::number(oracleNumber(v.cur, v.low, v.up)) + unit;
        const QString def = QString::number(oracleNumber(v.def, v.low, v.up)) + unit;
        CHECK(names.current == cur);
        CHECK(names.names.contains(QLatin1Char('*') + def));
    }
    QSet<quint16> distinct;
    for (int i = 0; i < names.values.size(); ++i) {
        CHECK(!distinct.contains(names.values.at(i)));
        distinct.insert(names.values.at(i));
        CHECK(written(r.optionText, names.names.at(i)) == names.values.at(i));
        // Read back (and the value next to it): every option of a short
        // list, the ends and the middle of a long one.
        const int last = names.values.size() - 1;
        if ((last < 4 || i == 0 || i == last || i == last / 2) && (g_budget -= 2) > 0) {
            const regtext::OptionNames back = checkValue(r, names.values.at(i), v);
            CHECK(back.current == withoutMark(names.names.at(i)));
            checkValue(r, quint16(names.values.at(i) + 1), v);
        }
    }
    for (const quint16 value : {0, 0x8000, 0xFFFF}) {
        if (--g_budget > 0)
            checkValue(r, value, v);
    }

    // The integer-entry item writes nothing; a number typed into its dialog
    // writes itself and reads back as its own name.
    if (names.names.size() > names.values.size()) {
        const QString entry = names.names.last();
        CHECK(regtext::choosesNothing(r.optionText, entry));
        regtext::IntegerEntry e;
        if (regtext::parseIntegerEntry(entry, &e)) {
            for (const qint64 typed : {qint64(e.lo), qint64(e.hi), qint64(v.cur), -qint64(v.cur), qint64(qint16(v.up))}) {
                QString name;
                if (typed < e.lo || typed > e.hi || --g_budget < 0
                    || !regtext::integerName(r.optionText, int(typed), v.low, v.up, &name))
                    continue;
                const int value = written(r.optionText, name);
                CHECK(value == int(quint16(typed)));
                CHECK(checkValue(r, quint16(value), v).current == name);
            }
        }
    }
    return names.currentIndex >= 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = nul ? size_t(nul - data) : size;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(textSize));
    ValueSource source(nul ? nul + 1 : data, nul ? size - textSize - 1 : 0);

    g_budget = kListsPerInput;
    QList<RegRecord> records = regtext::parseDescription(text);
    CHECK(regtext::registerCount(records) <= records.size());
    // The registers a node could hold as the table shows them, and whose
    // entry a file can carry.
    QVector<bool> savable(records.size(), false);
    for (int i = 0; i < records.size(); ++i) {
        RegRecord& r = records[i];
        CHECK(r.attr == QLatin1String("STR") || r.attr == QLatin1String("REG"));
        CHECK(r.optionText.isEmpty() || r.optionText.startsWith(QLatin1Char(';')));
        int reg = -1;
        if (regtext::parseRegAddress(r.m_reg, &reg))
            CHECK(reg == oracleRegister(r.m_reg));
        reg = oracleRegister(r.m_reg);
        if (r.attr != QLatin1String("REG"))
            continue;
        const Values v = source.next();
        const bool shown = checkRegister(r, v);
        r.curValue = QString::number(v.cur);
        r.defValue = QString::number(v.def);
        r.m_lowLimit = v.low;
        r.m_upLimit = v.up;
        const qint64 number = oracleNumber(v.cur, v.low, v.up);
        savable[i] = shown && number >= v.low && number <= v.up && reg >= 0 && !r.text.contains(QLatin1Char('@'))
            && !r.optionText.contains(QLatin1Char('@'));
    }

    // The table untouched: each row shows its own register's value (when an
    // option stands for it) and a write sends exactly those, row by row, to
    // the register its address names; one listed twice, twice. A row whose
    // address names no register ends the write there.
    QList<regtext::Choice> shownRows;
    QList<QPair<int, int>> expected; // register, value
    int refusedAt = -1;
    for (int i = 0; i < records.size(); ++i) {
        const RegRecord& r = records.at(i);
        if (r.attr != QLatin1String("REG"))
            continue;
        const regtext::OptionNames on = regtext::optionNames(r.optionText, r.curValue, r.defValue, r.m_lowLimit,
                                                             r.m_upLimit);
        shownRows.append({i, on.currentIndex >= 0 ? regtext::choiceText(on.names.at(on.currentIndex)) : QString()});
        if (on.currentIndex < 0 || refusedAt >= 0)
            continue;
        if (oracleRegister(r.m_reg) < 0)
            refusedAt = i;
        else
            expected.append({oracleRegister(r.m_reg), int(r.curValue.toUInt())});
    }
    const regtext::WritePlan plan = regtext::planWrites(records, shownRows, false);
    CHECK(plan.refused == refusedAt);
    CHECK(plan.writes.size() == expected.size());
    for (int i = 0; i < expected.size(); ++i)
        CHECK(plan.writes.at(i).reg == expected.at(i).first && plan.writes.at(i).value == expected.at(i).second);
    // Refreshed from those rows, every register keeps its value.
    QList<RegRecord> refreshed = records;
    regtext::refreshValues(&refreshed, shownRows);
    for (int i = 0; i < records.size(); ++i)
        CHECK(refreshed.at(i).curValue == records.at(i).curValue);

    // Save then load gives the same values, or the save refuses; and it
    // never refuses for a register that holds a value its table shows,
    // within its limits.
    const regtext::FileCheck check = regtext::checkParameterFile(records);
    CHECK(check.ok == check.why.isEmpty());
    CHECK(check.ok || check.badIndex < records.size());
    if (check.ok) {
        const regtext::LoadedParameters back = regtext::loadParameterText(regtext::parameterFileText(records));
        CHECK(back.status == regtext::LoadedParameters::Ok);
        CHECK(back.records.size() == records.size());
        for (int i = 0; i < records.size(); ++i) {
            CHECK(back.records.at(i).curValue == records.at(i).curValue);
            CHECK(back.records.at(i).defValue == records.at(i).defValue);
        }
    } else if (check.badIndex >= 0) {
        CHECK(!savable.at(check.badIndex));
    }

    // A file of the list without values reads back as the same records.
    for (RegRecord& r : records)
        r.curValue = r.defValue = QStringLiteral("");
    const regtext::LoadedParameters described = regtext::loadParameterText(regtext::parameterFileText(records));
    if (!text.contains(QLatin1Char('@')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        CHECK(described.records.size() == records.size());
    return 0;
}
