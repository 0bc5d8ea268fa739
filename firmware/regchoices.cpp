// The register table's rows as the writer, the refresh and the save take
// them: each row converted with the options of the record it was built
// from, never looked up again by its address.

#include "firmware/regtext.h"

namespace regtext {

namespace {

const QString kRegisterKind = QStringLiteral("REG");

// The record a row stands for, when it is a register of the list.
const RegRecord* registerOf(const QList<RegRecord>& records, const Choice& c)
{
    if (c.record < 0 || c.record >= records.size() || records.at(c.record).attr != kRegisterKind)
        return nullptr;
    return &records.at(c.record);
}

} // namespace

QString choiceText(const QString& shown)
{
    return shown.startsWith(QLatin1Char('*')) ? shown.mid(1) : shown;
}

QList<Choice> defaultChoices(const QList<RegRecord>& records)
{
    QList<Choice> out;
    for (int i = 0; i < records.size(); ++i) {
        const RegRecord& r = records.at(i);
        if (r.attr == kRegisterKind && !r.defValue.isEmpty() && !r.m_reg.isEmpty())
            out.append({i, r.defValue});
    }
    return out;
}

WritePlan planWrites(const QList<RegRecord>& records, const QList<Choice>& choices, bool raw)
{
    WritePlan plan;
    for (const Choice& c : choices) {
        const RegRecord* r = registerOf(records, c);
        if (!r || !hasKind(r->optionText))
            continue;
        if (!raw && choosesNothing(r->optionText, c.text))
            continue;
        int reg = 0;
        int value = 0;
        const Conversion result = !parseRegAddress(r->m_reg, &reg)
            ? Conversion::NoValue
            : writeValue(r->optionText, c.text, raw, &value);
        if (result == Conversion::Value) {
            plan.writes.append({c.record, reg, quint16(value)});
            continue;
        }
        // A stored value of a register of no kind the page writes (the
        // restore) is left as the node holds it.
        if (raw && result == Conversion::NoValue)
            continue;
        plan.refused = c.record;
        plan.endOfList = result == Conversion::EndOfList;
        break;
    }
    return plan;
}

void refreshValues(QList<RegRecord>* records, const QList<Choice>& choices)
{
    for (const Choice& c : choices) {
        const RegRecord* r = registerOf(*records, c);
        QString current;
        if (r && hasKind(r->optionText) && refreshValue(r->optionText, c.text, &current))
            (*records)[c.record].curValue = current;
    }
}

} // namespace regtext
