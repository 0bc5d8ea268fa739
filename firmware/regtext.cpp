#include "firmware/regtext.h"

#include <QDebug>

#include <limits>

namespace regtext {

namespace {

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

// The stored value of the "S" option whose label is `label`.
bool labelValue(const QString& optionText, const QString& label, QString* value)
{
    for (const QString& part : optionText.split(QLatin1Char(';'))) {
        QString stored;
        QString name;
        if (labelOption(part, &stored, &name) && name == label) {
            *value = stored;
            return true;
        }
    }
    return false;
}

// The number of a shown name: the name less the register's unit, when what
// is left is a plain decimal number (digits, at most one "."). A name in
// exponent form, with a sign or with another unit carries none.
bool numberOfName(const QString& name, const QString& unit, QString* number)
{
    if (!name.endsWith(unit))
        return false;
    const QString text = name.left(name.size() - unit.size());
    if (text.isEmpty() || text.count(QLatin1Char('.')) > 1 || text == QLatin1String("."))
        return false;
    for (const QChar c : text) {
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

// The step a shown number stands for: shown / scale, truncated for an
// integer scale, rounded for a decimal one. False for a zero or unreadable
// scale, or a number that does not parse.
bool stepOfShown(const QString& scale, const QString& shown, qint64* step)
{
    bool ok = false;
    if (!scale.contains(QLatin1Char('.'))) {
        const qint64 s = scale.toLongLong(&ok);
        if (!ok || s == 0)
            return false;
        const qint64 number = shown.toLongLong(&ok);
        if (!ok || (s == -1 && number == std::numeric_limits<qint64>::min()))
            return false;
        *step = number / s;
        return true;
    }
    const double d = scale.toDouble(&ok);
    if (!ok || d == 0)
        return false;
    const double quotient = shown.toDouble(&ok) / d;
    // Beyond 2^53 the rounding means nothing, and the ranges are 16-bit.
    if (!ok || !(quotient > -9.0e15 && quotient < 9.0e15))
        return false;
    *step = qRound64(quotient);
    return true;
}

// A scale that steps can be shown with and converted back by: not zero, and
// a number.
bool usableScale(const QString& scale)
{
    bool ok = false;
    if (!scale.contains(QLatin1Char('.')))
        return scale.toLongLong(&ok) != 0 && ok;
    return scale.toDouble(&ok) != 0 && ok;
}

bool convertsBack(const QString& scale, const QString& number, qint64 step)
{
    qint64 back = 0;
    return stepOfShown(scale, number, &back) && back == step;
}

// The number shown for `step` of an "N" register, the scale times the step
// in plain decimal notation: exact for an integer scale; for a decimal one
// computed in single precision and printed with 6 significant digits, or
// with as many more as it takes to convert back to the step. Without any
// text that converts back (a zero scale, say), the 6-digit one.
QString scaledNumber(const QString& scale, qint64 step)
{
    if (!scale.contains(QLatin1Char('.')))
        return QString::number(qint64(scale.toInt()) * step);
    const QString shown = plainDecimal(double(scale.toFloat() * float(step)), 6);
    if (convertsBack(scale, shown, step))
        return shown;
    const double exact = scale.toDouble() * double(step);
    for (int digits = 7; digits <= 17; ++digits) {
        const QString text = plainDecimal(exact, digits);
        if (convertsBack(scale, text, step))
            return text;
    }
    return shown;
}

// The kind letter a parameter file's reader and writer go by: the second
// ","-field of the option text; empty when there is none.
QString fileKind(const QString& optionText)
{
    const QStringList fields = optionText.split(QLatin1Char(','));
    return fields.size() < 2 ? QString() : fields.at(1);
}

} // namespace

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

// ---- option names ----

OptionNames optionNames(const QString& optionText, const QString& curValue, const QString& defValue)
{
    OptionNames out;
    const QStringList parts = optionText.split(QLatin1Char(';'));
    if (parts.size() < 2)
        return out;
    const QStringList fields = parts.at(1).split(QLatin1Char(','));
    if (fields.size() < 2)
        return out;
    // A register without a value (a file without values) shows no option as
    // its current one: nobody chose any.
    const bool hasCur = !curValue.isEmpty();
    const int cur = curValue.toInt();
    const int def = defValue.toInt();
    const QString& kind = fields.at(1);

    if (kind == QLatin1String("S")) {
        out.currentSet = true;
        for (const QString& part : parts) {
            QString stored;
            QString label;
            if (!labelOption(part, &stored, &label))
                continue;
            const int value = stored.toInt();
            out.names << (value == def ? QLatin1Char('*') + label : label);
            if (hasCur && value == cur)
                out.current = label;
        }
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
        for (qint64 i = lo; i <= hi; ++i) {
            const QString number = scaledNumber(scale, i);
            // A name that would not convert back to its step is not offered:
            // choosing it could only write another value.
            if (!convertsBack(scale, number, i))
                continue;
            const QString shown = number + unit;
            out.names << (i == def ? QLatin1Char('*') + shown : shown);
            if (hasCur && i == cur)
                out.current = shown;
        }
        return out;
    }

    if (kind == QLatin1String("I")) {
        out.currentSet = true;
        QString scale;
        QString unit;
        if (!scaleAndUnit(optionText, &scale, &unit))
            return out;
        const QString curText = QString::number(cur) + unit;
        const QString defText = QLatin1Char('*') + QString::number(def) + unit;
        if (!hasCur)
            out.names << defText;
        else if (cur != def)
            out.names << curText << defText;
        else
            out.names << QLatin1Char('*') + curText;
        if (hasCur)
            out.current = curText;
        out.names << parts.at(1).trimmed();
        return out;
    }
    return out;
}

QString getNumberAfterPrefix(const QString& text, const QString& key)
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
            return pieces.at(1);
    }
    return QString();
}

// ---- value items and conversion ----

bool splitValueItem(const QString& item, QString* address, QString* valueText)
{
    const QStringList pieces = item.split(QLatin1Char('_'));
    if (pieces.size() < 2)
        return false;
    *address = pieces.at(0);
    *valueText = pieces.at(1);
    if (valueText->startsWith(QLatin1Char('*')))
        valueText->remove(0, 1);
    return true;
}

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

int findRegister(const QList<RegRecord>& records, const QString& address)
{
    for (int i = 0; i < records.size(); ++i) {
        const RegRecord& r = records.at(i);
        if (r.attr == kRegister && r.m_reg == address && r.optionText.split(QLatin1Char(',')).size() >= 2)
            return i;
    }
    return -1;
}

Conversion writeValue(const QString& optionText, const QString& valueText, bool raw, int* value)
{
    const QChar kind = kindOf(optionText).toUpper();
    QString text;
    QString scale;
    QString unit;
    if (kind != QLatin1Char('S') && kind != QLatin1Char('N') && kind != QLatin1Char('I')) {
        return Conversion::NoValue;
    } else if (raw) {
        text = numericPart(valueText);
    } else if (kind == QLatin1Char('S')) {
        if (!labelValue(optionText, valueText, &text))
            return Conversion::NoValue;
    } else if (kind == QLatin1Char('N')) {
        if (!scaleAndUnit(optionText, &scale, &unit) || scale.isEmpty())
            return Conversion::NoValue;
        const QStringList range = firstOptionFields(optionText).at(0).split(QLatin1Char('~'));
        if (range.size() < 2)
            return Conversion::EndOfList;
        const qint64 lo = range.at(0).toInt();
        const qint64 hi = range.at(1).toInt();
        QString number;
        qint64 step = 0;
        if (!numberOfName(valueText, unit, &number) || !stepOfShown(scale, number, &step) || step < lo
            || step > hi)
            return Conversion::NoValue;
        text = QString::number(step);
    } else if (!scaleAndUnit(optionText, &scale, &unit) || !numberOfName(valueText, unit, &text)) {
        // An "I" name is an integer and the unit; its integer-entry item is none.
        return Conversion::NoValue;
    }
    // The wire carries 16 bits; an unreadable or negative value is never sent.
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < 0 || v > 0xFFFF)
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

// ---- parameter files ----

namespace {

// The current value of a record loaded from a file, `cur` as the file
// carries it: for an "N" register the shown number, divided back by the
// scale; for "S" and "I" the register value. A value that is no number
// reads as 0. False for a value the register cannot hold: outside its
// limits ("N", "I") or none of its labelled values ("S"). An "N" register
// whose scale gives no steps gets no current value; registers of other
// kinds keep the text as it stands.
bool loadedCurrent(const RegRecord& r, const QString& cur, QString* current)
{
    const QString kind = fileKind(r.optionText);
    qint64 value = 0;
    bool ok = false;
    if (kind == QLatin1String("N")) {
        QString scale;
        QString unit;
        if (!scaleAndUnit(r.optionText, &scale, &unit) || !usableScale(scale)) {
            *current = QStringLiteral("");
            return true;
        }
        if (scale.contains(QLatin1Char('.')))
            cur.toDouble(&ok);
        else
            cur.toLongLong(&ok);
        if (!stepOfShown(scale, ok ? cur : QStringLiteral("0"), &value))
            return false;
    } else if (kind == QLatin1String("S") || kind == QLatin1String("I")) {
        value = cur.toLongLong(&ok);
    } else {
        *current = cur;
        return true;
    }
    if (kind == QLatin1String("S")) {
        bool labelled = false;
        for (const QString& part : r.optionText.split(QLatin1Char(';'))) {
            QString stored;
            QString label;
            labelled = labelled || (labelOption(part, &stored, &label) && stored.toInt() == value);
        }
        if (!labelled)
            return false;
    } else if (value < r.m_lowLimit || value > r.m_upLimit) {
        return false;
    }
    *current = QString::number(value);
    return true;
}

// The current value as a file carries it: for an "N" register the number
// shown for its step, which the reader divides back; else the value itself.
QString fileCurrent(const RegRecord& r)
{
    bool ok = false;
    const qint64 step = r.curValue.toLongLong(&ok);
    QString scale;
    QString unit;
    if (!ok || fileKind(r.optionText) != QLatin1String("N") || !scaleAndUnit(r.optionText, &scale, &unit))
        return r.curValue;
    return scaledNumber(scale, step);
}

bool withoutValues(const RegRecord& r)
{
    return r.curValue.isEmpty() || r.defValue.isEmpty();
}

} // namespace

QString parameterFileText(const QList<RegRecord>& records)
{
    QString content;
    for (const RegRecord& r : records) {
        if (r.attr == kCaption)
            content += QLatin1String(":STR,") + r.text + QLatin1Char(';');
        else if (r.attr == kRegister)
            content += QLatin1String(":REG,") + r.m_reg + QLatin1Char(',') + r.text + QLatin1String(",0")
                + r.optionText;
        else
            qDebug() << "saveSetRegValueToFile--unkonw attr:" << r.attr;
    }
    if (!records.isEmpty())
        content += QLatin1Char('@');
    for (const RegRecord& r : records) {
        if (r.attr != kRegister)
            continue;
        // Built by concatenation: a value holding "%1" must stay as it is.
        content += QLatin1String("reg_") + r.m_reg + QLatin1String(",cur_") + fileCurrent(r)
            + QLatin1String(",def_") + r.defValue + QLatin1String(",low_") + QString::number(r.m_lowLimit)
            + QLatin1String(",upper_") + QString::number(r.m_upLimit) + QLatin1Char(';');
    }
    return content;
}


LoadedParameters loadParameterText(QString content)
{
    // An editor may end the line; the grammar has no line breaks of its own.
    while (content.endsWith(QLatin1Char('\n')) || content.endsWith(QLatin1Char('\r')))
        content.chop(1);

    LoadedParameters out;
    const QStringList halves = content.split(QLatin1Char('@'));
    out.records = parseDescription(halves.at(0));
    // An empty file empties the list; any other file must bring a register.
    if (!content.isEmpty() && registerCount(out.records) == 0) {
        out.status = LoadedParameters::NoRegisters;
        return out;
    }
    if (halves.size() < 2) {
        out.status = LoadedParameters::NoValues;
        return out;
    }

    int awaited = registerCount(out.records);
    // A record takes one item at most. One whose shown value did not convert
    // still has no current value, and a second item for its address must not
    // count for a register that the file left out.
    QVector<bool> taken(out.records.size(), false);
    auto isFree = [&](int i) { return !taken.at(i) && withoutValues(out.records.at(i)); };
    for (const QString& item : halves.at(1).split(QLatin1Char(';'))) {
        if (item.isEmpty())
            continue;
        const QString reg = getNumberAfterPrefix(item, QStringLiteral("reg"));
        const QString cur = getNumberAfterPrefix(item, QStringLiteral("cur"));
        const QString def = getNumberAfterPrefix(item, QStringLiteral("def"));
        const QString low = getNumberAfterPrefix(item, QStringLiteral("low"));
        const QString upper = getNumberAfterPrefix(item, QStringLiteral("upper"));

        // The first record without values that carries this address; a
        // caption's empty address matches an item without one.
        int match = -1;
        for (int i = 0; i < out.records.size() && match < 0; ++i) {
            if (isFree(i) && out.records.at(i).m_reg == reg)
                match = i;
        }
        if (match < 0)
            continue;
        if (reg.isEmpty() || cur.isEmpty() || def.isEmpty() || low.isEmpty() || upper.isEmpty()) {
            out.status = LoadedParameters::MissingField;
            out.badReg = reg;
            return out;
        }
        // Records whose option text has no kind never take a value.
        for (; match < out.records.size(); ++match) {
            const RegRecord& r = out.records.at(match);
            if (isFree(match) && r.m_reg == reg && r.optionText.split(QLatin1Char(',')).size() >= 2)
                break;
        }
        if (match >= out.records.size())
            continue;

        taken[match] = true;
        RegRecord& r = out.records[match];
        r.defValue = def;
        r.m_upLimit = qint16(upper.toInt());
        r.m_lowLimit = qint16(low.toInt());
        // Only an "N" register is saved as the number shown; a lowercase
        // "n" one has no options and keeps its register value.
        if (!loadedCurrent(r, cur, &r.curValue)) {
            out.status = LoadedParameters::BadValue;
            out.badReg = reg;
            return out;
        }
        --awaited;
    }
    out.status = awaited == 0 ? LoadedParameters::Ok : LoadedParameters::ValuesMissing;
    return out;
}

QString fileTypeOfPath(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    QStringList pieces = name.split(QLatin1Char('_'));
    if (pieces.size() < 2)
        return QString();
    pieces.removeLast();
    return pieces.join(QLatin1Char('_'));
}

bool isFileNameSafe(const QString& devType)
{
    return !devType.contains(QLatin1Char('/')) && !devType.contains(QLatin1Char('\\'))
        && !devType.contains(QChar(0));
}

} // namespace regtext
