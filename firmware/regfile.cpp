// Parameter files: the text of a register list, its reading back, and the
// check that a file gives back what it was made of.

#include "firmware/regtext.h"
#include "firmware/regtext_p.h"

#include <QDebug>

#include <algorithm>

namespace regtext {

using namespace detail;

// ---- parameter files ----

namespace {

// The current value of a record loaded from a file, `cur` as the file
// carries it: for an "N" register the shown number, divided back by the
// scale; for "S" and "I" the register value. A value that is no number
// reads as 0. False for a value the register cannot hold: no 16-bit value,
// outside its limits ("N", "I"; compared as the register reads the value,
// signed where a limit is negative) or none of its labelled values ("S").
// An "N" register whose scale gives no steps gets no current value;
// registers of other kinds keep the text as it stands. The value is kept
// as a read gives it: unsigned.
bool loadedCurrent(const RegRecord& r, const QString& cur, QString* current)
{
    const QString kind = fileKind(r.optionText);
    qint64 number = 0;
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
        if (!stepOfShown(scale, ok ? cur : QStringLiteral("0"), &number))
            return false;
    } else if (kind == QLatin1String("S") || kind == QLatin1String("I")) {
        number = cur.toLongLong(&ok);
    } else {
        *current = cur;
        return true;
    }
    quint16 value = 0;
    if (!toValue16(number, &value))
        return false;
    if (kind == QLatin1String("S")) {
        const QList<Labelled> options = labelOptions(r.optionText);
        if (std::none_of(options.cbegin(), options.cend(), [&](const Labelled& o) { return o.value == value; }))
            return false;
    } else {
        const int shown = valueNumber(value, r.m_lowLimit, r.m_upLimit);
        if (shown < r.m_lowLimit || shown > r.m_upLimit)
            return false;
    }
    *current = QString::number(value);
    return true;
}

// The default of a record loaded from a file: a 16-bit value (a text that
// is no number reads as 0), kept unsigned as a read gives it.
bool loadedDefault(const QString& def, QString* defValue)
{
    bool ok = false;
    const qint64 number = def.toLongLong(&ok);
    quint16 value = 0;
    if (!toValue16(ok ? number : 0, &value))
        return false;
    *defValue = QString::number(value);
    return true;
}

// The current value as a file carries it: for an "N" register the number
// that the table shows for its step (the option's name less the unit, or
// for a step that no option shows, the step as the limits read it, times
// the scale), which the reader divides back; else the value itself.
QString fileCurrent(const RegRecord& r)
{
    quint16 value = 0;
    QString scale;
    QString unit;
    if (fileKind(r.optionText) != QLatin1String("N") || !registerValue(r.curValue, &value)
        || !scaleAndUnit(r.optionText, &scale, &unit) || !usableScale(scale))
        return r.curValue;
    const OptionNames shown = optionNames(r.optionText, r.curValue, r.defValue, r.m_lowLimit, r.m_upLimit);
    if (shown.currentIndex >= 0 && shown.current.endsWith(unit))
        return shown.current.left(shown.current.size() - unit.size());
    return scaledNumber(scale, valueNumber(value, r.m_lowLimit, r.m_upLimit));
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


namespace {

bool sameEntry(const RegRecord& a, const RegRecord& b)
{
    return a.attr == b.attr && a.m_reg == b.m_reg && a.text == b.text && a.optionText == b.optionText;
}

bool sameValues(const RegRecord& a, const RegRecord& b)
{
    return a.attr != kRegister
        || (a.curValue == b.curValue && a.defValue == b.defValue && a.m_lowLimit == b.m_lowLimit
            && a.m_upLimit == b.m_upLimit);
}

} // namespace

FileCheck checkParameterFile(const QList<RegRecord>& records)
{
    return checkParameterFile(records, parameterFileText(records));
}

FileCheck checkParameterFile(const QList<RegRecord>& records, const QString& fileText)
{
    FileCheck out;
    const auto refuse = [&out](int index, const char* why) {
        out.ok = false;
        out.badIndex = index;
        out.why = QLatin1String(why);
        return out;
    };
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).attr == kRegister && withoutValues(records.at(i)))
            return refuse(i, "has no value");
    }
    // What the load makes of the file is what the file holds: an entry it
    // reads as another, a value it refuses or reads as another, is one the
    // file cannot carry. The entries first: a text that breaks the file
    // costs the values of the registers around it too.
    const LoadedParameters back = loadParameterText(fileText);
    const int both = int(std::min(back.records.size(), records.size()));
    for (int i = 0; i < both; ++i) {
        if (!sameEntry(records.at(i), back.records.at(i)))
            return refuse(i, "does not read back as it is described");
    }
    if (back.records.size() != records.size())
        return refuse(both < records.size() ? both : -1, "does not read back as it is described");
    for (int i = 0; i < both; ++i) {
        if (!sameValues(records.at(i), back.records.at(i)))
            return refuse(i, "does not load back with its values");
    }
    if (back.status != LoadedParameters::Ok)
        return refuse(-1, "makes a file that does not load");
    return out;
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
    const int registers = registerCount(out.records);
    if (!content.isEmpty() && registers == 0) {
        out.status = LoadedParameters::NoRegisters;
        return out;
    }
    if (registers > kMaxRegisters) {
        out.status = LoadedParameters::TooManyRegisters;
        return out;
    }
    if (halves.size() < 2) {
        out.status = LoadedParameters::NoValues;
        return out;
    }

    int awaited = registers;
    // A record takes one item at most. One whose shown value did not convert
    // still has no current value, and a second item for its address must not
    // count for a register that the file left out.
    QVector<bool> taken(out.records.size(), false);
    auto isFree = [&](int i) { return !taken.at(i) && withoutValues(out.records.at(i)); };
    for (const QString& item : halves.at(1).split(QLatin1Char(';'))) {
        if (item.isEmpty())
            continue;
        // The whole address: one holding "_" is not another register.
        const QString reg = fieldAfterKey(item, QStringLiteral("reg"), false);
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
            if (isFree(match) && r.m_reg == reg && hasKind(r.optionText))
                break;
        }
        if (match >= out.records.size())
            continue;

        taken[match] = true;
        RegRecord& r = out.records[match];
        r.m_upLimit = qint16(upper.toInt());
        r.m_lowLimit = qint16(low.toInt());
        // Only an "N" register is saved as the number shown; a lowercase
        // "n" one has no options and keeps its register value.
        if (!loadedDefault(def, &r.defValue) || !loadedCurrent(r, cur, &r.curValue)) {
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
