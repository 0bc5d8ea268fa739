#include "firmware/regtext.h"
#include "firmware/regtext_p.h"

#include <QDebug>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace regtext {

namespace detail {

const QString kCaption = QStringLiteral("STR");
const QString kRegister = QStringLiteral("REG");

// The scale between the first "[" and the first "]" after it, and the unit
// behind that "]" less one trailing ";". False without both brackets.
bool scaleAndUnit(const QString& optionText, QString* scale, QString* unit)
{
    const int open = optionText.indexOf(QLatin1Char('['));
    if (open < 0)
        return false;
    const int close = optionText.indexOf(QLatin1Char(']'), open);
    if (close < 0)
        return false;
    *scale = optionText.mid(open + 1, close - open - 1);
    *unit = optionText.mid(close + 1);
    if (unit->endsWith(QLatin1Char(';')))
        unit->chop(1);
    return true;
}

// The first option part (P1) split at ","; empty when there is none.
QStringList firstOptionFields(const QString& optionText)
{
    const QStringList parts = optionText.split(QLatin1Char(';'));
    return parts.size() < 2 ? QStringList() : parts.at(1).split(QLatin1Char(','));
}

QChar kindOf(const QString& optionText)
{
    const QStringList fields = firstOptionFields(optionText);
    return fields.size() < 2 || fields.at(1).size() != 1 ? QChar() : fields.at(1).at(0);
}

// One "S" option part: stored value, kind letter, label. A part of fewer
// fields is none; so is one whose label is empty or begins with "*": the
// label could not be told from the default mark, nor be written back.
bool labelOption(const QString& part, QString* value, QString* label)
{
    const QStringList fields = part.split(QLatin1Char(','));
    if (fields.size() < 3 || fields.at(2).isEmpty() || fields.at(2).startsWith(QLatin1Char('*')))
        return false;
    *value = fields.at(0);
    *label = fields.at(2);
    return true;
}

// A number as a register value: -32768 to 65535, a negative one as its
// two's complement.
bool toValue16(qint64 number, quint16* value)
{
    if (number < -32768 || number > 0xFFFF)
        return false;
    *value = quint16(number);
    return true;
}


// The options of an "S" register, in order. A stored value that is no
// number reads as 0; one beyond 16 bits could not be written and is none,
// and so is a second label for a value already offered (reading the value
// back could show only one of them). A label already shown gets the stored
// value added in brackets, as often as it takes to tell it apart.
QList<Labelled> labelOptions(const QString& optionText)
{
    QList<Labelled> out;
    QSet<quint16> values;
    QSet<QString> names;
    for (const QString& part : optionText.split(QLatin1Char(';'))) {
        QString stored;
        QString label;
        if (!labelOption(part, &stored, &label))
            continue;
        bool ok = false;
        qint64 number = stored.toLongLong(&ok);
        number = ok ? number : 0;
        quint16 value = 0;
        if (!toValue16(number, &value) || values.contains(value))
            continue;
        QString name = label;
        while (names.contains(name))
            name += QStringLiteral(" (%1)").arg(number);
        values.insert(value);
        names.insert(name);
        out.append({name, value});
    }
    return out;
}

// The number of a shown name: the name less the register's unit, when what
// is left is a plain decimal number (digits, at most one ".", a leading "-"
// where it is negative). A name in exponent form, with a "+" or with
// another unit carries none.
bool numberOfName(const QString& name, const QString& unit, QString* number)
{
    if (!name.endsWith(unit))
        return false;
    const QString text = name.left(name.size() - unit.size());
    const QString digits = text.startsWith(QLatin1Char('-')) ? text.mid(1) : text;
    if (digits.isEmpty() || digits.count(QLatin1Char('.')) > 1 || digits == QLatin1String("."))
        return false;
    for (const QChar c : digits) {
        if (c != QLatin1Char('.') && (c < QLatin1Char('0') || c > QLatin1Char('9')))
            return false;
    }
    *number = text;
    return true;
}

// `v` with `digits` significant digits in plain decimal notation, without
// trailing zeros: what %g prints while it needs no exponent, and the same
// digits placed around the point where %g would switch to exponent form.
QString plainDecimal(double v, int digits)
{
    const QString e = QString::number(v, 'e', digits - 1); // "-1.00005e+06"
    const int at = e.indexOf(QLatin1Char('e'));
    if (at < 0)
        return e; // inf, nan
    QString mantissa = e.left(at);
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    mantissa.remove(QLatin1Char('.'));
    const int point = 1 + e.mid(at + 1).toInt();
    QString out;
    if (point <= 0)
        out = QLatin1String("0.") + QString(-point, QLatin1Char('0')) + mantissa;
    else if (point >= mantissa.size())
        out = mantissa + QString(point - mantissa.size(), QLatin1Char('0'));
    else
        out = mantissa.left(point) + QLatin1Char('.') + mantissa.mid(point);
    if (out.contains(QLatin1Char('.'))) {
        while (out.endsWith(QLatin1Char('0')))
            out.chop(1);
        if (out.endsWith(QLatin1Char('.')))
            out.chop(1);
    }
    return negative && out != QLatin1String("0") ? QLatin1Char('-') + out : out;
}

// A scale that every 16-bit step can be shown with and converted back by:
// an integer (no ".") within 32 bits, or a decimal number; not zero, and
// for a decimal one finite, with a product with any 16-bit step that stays
// a finite double. Any other scale cannot carry the register's values.
struct Scale {
    bool integer = true;
    qint64 i = 0;
    double d = 0;
    float f = 0; // the decimal scale in single precision, as names are first computed
};

bool parseScale(const QString& text, Scale* out)
{
    bool ok = false;
    if (!text.contains(QLatin1Char('.'))) {
        out->integer = true;
        out->i = text.toInt(&ok);
        return ok && out->i != 0;
    }
    out->integer = false;
    out->d = text.toDouble(&ok);
    out->f = text.toFloat();
    return ok && out->d != 0 && std::isfinite(out->d)
        && std::fabs(out->d) <= std::numeric_limits<double>::max() / 65536.0;
}

bool stepOfShown(const Scale& scale, const QString& shown, qint64* step)
{
    bool ok = false;
    if (scale.integer) {
        const qint64 number = shown.toLongLong(&ok);
        if (!ok || (scale.i == -1 && number == std::numeric_limits<qint64>::min()))
            return false;
        *step = number / scale.i;
        return true;
    }
    const double quotient = shown.toDouble(&ok) / scale.d;
    // Beyond 2^53 the rounding means nothing, and the ranges are 16-bit.
    if (!ok || !(quotient > -9.0e15 && quotient < 9.0e15))
        return false;
    *step = qRound64(quotient);
    return true;
}

bool convertsBack(const Scale& scale, const QString& number, qint64 step)
{
    qint64 back = 0;
    return stepOfShown(scale, number, &back) && back == step;
}

// The number shown for `step`: see scaledNumber. `back` tells whether it
// converts back to the step.
QString stepNumber(const Scale& scale, qint64 step, bool* back)
{
    *back = true;
    if (scale.integer) // exact, and divided back exactly
        return QString::number(scale.i * step);
    const QString shown = plainDecimal(double(scale.f * float(step)), 6);
    if (convertsBack(scale, shown, step))
        return shown;
    const double exact = scale.d * double(step);
    for (int digits = 7; digits <= 17; ++digits) {
        const QString text = plainDecimal(exact, digits);
        if (convertsBack(scale, text, step))
            return text;
    }
    *back = false;
    return shown;
}

bool usableScale(const QString& scale)
{
    Scale parsed;
    return parseScale(scale, &parsed);
}

// The step a shown number stands for: shown / scale, truncated for an
// integer scale, rounded for a decimal one. False for a scale that is not
// usable, or a number that does not parse.
bool stepOfShown(const QString& scaleText, const QString& shown, qint64* step)
{
    Scale scale;
    return parseScale(scaleText, &scale) && stepOfShown(scale, shown, step);
}

// The number shown for `step` of an "N" register, the scale times the step
// in plain decimal notation: exact for an integer scale; for a decimal one
// computed in single precision and printed with 6 significant digits, or
// with as many more as it takes to convert back to the step. Without any
// text that converts back, the 6-digit one. Empty for a scale that is not
// usable.
QString scaledNumber(const QString& scaleText, qint64 step)
{
    Scale scale;
    bool back = false;
    return parseScale(scaleText, &scale) ? stepNumber(scale, step, &back) : QString();
}

// The kind letter a parameter file's reader and writer go by: the second
// ","-field of the option text; empty when there is none.
QString fileKind(const QString& optionText)
{
    const QStringList fields = optionText.split(QLatin1Char(','));
    return fields.size() < 2 ? QString() : fields.at(1);
}

} // namespace detail

using namespace detail;

// ---- register description ----

QList<RegRecord> parseDescription(const QString& text)
{
    QList<RegRecord> out;
    if (text.isEmpty())
        return out;
    for (const QString& piece : text.split(QLatin1Char(':'))) {
        const int semicolon = piece.indexOf(QLatin1Char(';'));
        const QString head = semicolon < 0 ? piece : piece.left(semicolon);
        const QStringList fields = head.split(QLatin1Char(','));
        RegRecord record;
        if (fields.at(0) == kCaption && fields.size() >= 2) {
            record.attr = kCaption;
            record.text = fields.at(1);
        } else if (fields.at(0) == kRegister && fields.size() >= 3) {
            record.attr = kRegister;
            record.m_reg = fields.at(1);
            record.text = fields.at(2);
            record.optionText = semicolon < 0 ? QStringLiteral("") : piece.mid(semicolon);
        } else {
            continue;
        }
        out.append(record);
    }
    return out;
}

int registerCount(const QList<RegRecord>& records)
{
    int n = 0;
    for (const RegRecord& r : records)
        n += r.attr == kRegister ? 1 : 0;
    return n;
}

// ---- register values ----

bool registerValue(const QString& text, quint16* value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    return ok && toValue16(number, value);
}

int valueNumber(quint16 value, qint16 low, qint16 up)
{
    return low < 0 || up < 0 ? int(qint16(value)) : int(value);
}

// ---- option names ----

OptionNames optionNames(const QString& optionText, const QString& curValue, const QString& defValue, qint16 low,
                        qint16 up)
{
    OptionNames out;
    const QStringList parts = optionText.split(QLatin1Char(';'));
    if (parts.size() < 2)
        return out;
    const QStringList fields = parts.at(1).split(QLatin1Char(','));
    if (fields.size() < 2)
        return out;
    // A register without a value (a file without values) shows no option as
    // its current one: nobody chose any. A default that is no value reads
    // as 0.
    quint16 cur = 0;
    const bool hasCur = registerValue(curValue, &cur);
    quint16 def = 0;
    if (!registerValue(defValue, &def))
        def = 0;
    const QString& kind = fields.at(1);
    // Options are compared with the current value and the default as the
    // 16 bits the register holds, so that a negative step or stored value
    // matches the value a read gives for it.
    const auto add = [&](const QString& name, quint16 value) {
        if (hasCur && value == cur) {
            out.currentIndex = out.names.size();
            out.current = name;
        }
        out.names << (value == def ? QLatin1Char('*') + name : name);
        out.values << value;
    };

    if (kind == QLatin1String("S")) {
        out.currentSet = true;
        for (const Labelled& option : labelOptions(optionText))
            add(option.name, option.value);
        return out;
    }

    if (kind == QLatin1String("N")) {
        out.currentSet = true;
        QString scale;
        QString unit;
        if (!scaleAndUnit(optionText, &scale, &unit)) {
            out.noBrackets = true;
            return out;
        }
        const QStringList range = fields.at(0).split(QLatin1Char('~'));
        if (range.size() < 2)
            return out;
        const qint64 lo = range.at(0).toInt();
        const qint64 hi = range.at(1).toInt();
        if (hi - lo > kMaxRangeSteps) {
            out.tooWidePart = parts.at(1);
            return out;
        }
        Scale parsed;
        if (!parseScale(scale, &parsed))
            return out;
        for (qint64 i = lo; i <= hi; ++i) {
            // A step the register cannot hold, or a name that would not
            // convert back to its step, is not offered: choosing it could
            // only write another value.
            quint16 value = 0;
            bool back = false;
            if (!toValue16(i, &value))
                continue;
            const QString number = stepNumber(parsed, i, &back);
            if (back)
                add(number + unit, value);
        }
        return out;
    }

    if (kind == QLatin1String("I")) {
        out.currentSet = true;
        QString scale;
        QString unit;
        if (!scaleAndUnit(optionText, &scale, &unit))
            return out;
        const QString curText = QString::number(valueNumber(cur, low, up)) + unit;
        const QString defText = QString::number(valueNumber(def, low, up)) + unit;
        if (hasCur)
            add(curText, cur);
        if (!hasCur || cur != def)
            add(defText, def);
        out.names << parts.at(1).trimmed();
        return out;
    }
    return out;
}

namespace detail {

QString fieldAfterKey(const QString& text, const QString& key, bool cut)
{
    if (text.isEmpty() || key.isEmpty())
        return QString();
    for (const QString& item : text.split(QLatin1Char(','))) {
        if (item.isEmpty())
            continue;
        const QStringList pieces = item.split(QLatin1Char('_'));
        if (pieces.size() < 2)
            return QString();
        if (pieces.at(0) == key)
            return cut ? pieces.at(1) : item.mid(key.size() + 1);
    }
    return QString();
}

} // namespace detail

QString getNumberAfterPrefix(const QString& text, const QString& key)
{
    return fieldAfterKey(text, key, true);
}

// ---- value conversion ----

QString numericPart(const QString& valueText)
{
    int n = 0;
    while (n < valueText.size()) {
        const QChar c = valueText.at(n);
        if (!(c == QLatin1Char('.') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            break;
        ++n;
    }
    return valueText.left(n);
}

QString hexByte(int value)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

bool parseRegAddress(const QString& text, int* reg)
{
    QString digits = text;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits.remove(0, 2);
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits) {
        if (!(c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))))
            return false;
    }
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || value > 0xFF)
        return false;
    *reg = int(value);
    return true;
}

bool hasKind(const QString& optionText)
{
    return optionText.split(QLatin1Char(',')).size() >= 2;
}

Conversion writeValue(const QString& optionText, const QString& valueText, bool raw, int* value)
{
    const QChar kind = kindOf(optionText).toUpper();
    qint64 number = 0;
    bool ok = false;
    QString scale;
    QString unit;
    QString text;
    if (kind != QLatin1Char('S') && kind != QLatin1Char('N') && kind != QLatin1Char('I')) {
        return Conversion::NoValue;
    } else if (raw) {
        const bool negative = valueText.startsWith(QLatin1Char('-'));
        number = numericPart(valueText.mid(negative ? 1 : 0)).toLongLong(&ok);
        if (!ok)
            return Conversion::NoValue;
        number = negative ? -number : number;
    } else if (kind == QLatin1Char('S')) {
        // The name is one that the options show: equal labels are told
        // apart there, so each name stands for its own value.
        const QList<Labelled> options = labelOptions(optionText);
        const auto it = std::find_if(options.cbegin(), options.cend(),
                                     [&](const Labelled& o) { return o.name == valueText; });
        if (it == options.cend())
            return Conversion::NoValue;
        number = it->value;
    } else if (kind == QLatin1Char('N')) {
        if (!scaleAndUnit(optionText, &scale, &unit) || scale.isEmpty())
            return Conversion::NoValue;
        const QStringList range = firstOptionFields(optionText).at(0).split(QLatin1Char('~'));
        if (range.size() < 2)
            return Conversion::EndOfList;
        const qint64 lo = range.at(0).toInt();
        const qint64 hi = range.at(1).toInt();
        if (!numberOfName(valueText, unit, &text) || !stepOfShown(scale, text, &number) || number < lo
            || number > hi)
            return Conversion::NoValue;
    } else {
        // An "I" name is an integer and the unit; its integer-entry item is none.
        if (!scaleAndUnit(optionText, &scale, &unit) || !numberOfName(valueText, unit, &text))
            return Conversion::NoValue;
        number = text.toLongLong(&ok);
        if (!ok)
            return Conversion::NoValue;
    }
    // The wire carries 16 bits: a negative number goes as its two's
    // complement, anything beyond is never sent.
    quint16 v = 0;
    if (!toValue16(number, &v))
        return Conversion::NoValue;
    *value = v;
    return Conversion::Value;
}

bool refreshValue(const QString& optionText, const QString& valueText, QString* curValue)
{
    int value = 0;
    if (writeValue(optionText, valueText, false, &value) != Conversion::Value)
        return false;
    *curValue = QString::number(value);
    return true;
}

bool integerName(const QString& optionText, int typed, qint16 low, qint16 up, QString* name)
{
    quint16 value = 0;
    QString scale;
    QString unit;
    if (!toValue16(typed, &value) || !scaleAndUnit(optionText, &scale, &unit))
        return false;
    *name = QString::number(valueNumber(value, low, up)) + unit;
    return true;
}

bool choosesNothing(const QString& optionText, const QString& valueText)
{
    const QStringList parts = optionText.split(QLatin1Char(';'));
    return valueText.isEmpty()
        || (kindOf(optionText) == QLatin1Char('I') && parts.size() > 1 && valueText == parts.at(1).trimmed());
}

bool isIntegerEntryItem(const QString& text)
{
    return text.contains(QLatin1String(",I,")) || text.contains(QLatin1String(",i,"));
}

bool parseIntegerEntry(const QString& text, IntegerEntry* out)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() < 3 || (fields.at(1) != QLatin1String("I") && fields.at(1) != QLatin1String("i")))
        return false;
    const QStringList range = fields.at(0).split(QLatin1Char('~'));
    if (range.size() < 2)
        return false;
    QString scale;
    QString unit;
    if (!scaleAndUnit(fields.at(2), &scale, &unit))
        return false;
    out->lo = range.at(0).toInt();
    out->hi = range.at(1).toInt();
    out->unit = unit;
    return true;
}

} // namespace regtext
