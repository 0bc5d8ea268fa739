// libFuzzer target: arbitrary text as a node's register description, through
// the description parser, the option names of every register and the
// conversion of each name back into a register value.

#include <cstddef>
#include <cstdint>

#include <QSet>
#include <QString>
#include <QStringList>

#include "firmware/regtext.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QList<RegRecord> records = regtext::parseDescription(text);
    CHECK(regtext::registerCount(records) <= records.size());
    for (const RegRecord& r : records) {
        CHECK(r.attr == QLatin1String("STR") || r.attr == QLatin1String("REG"));
        CHECK(r.optionText.isEmpty() || r.optionText.startsWith(QLatin1Char(';')));
        const regtext::OptionNames names = regtext::optionNames(r.optionText, QStringLiteral("3"), QStringLiteral("1"));
        CHECK(names.names.size() <= regtext::kMaxRangeSteps + 2);
        // The default mark is never part of the current option.
        CHECK(!names.current.startsWith(QLatin1Char('*')));
        const QStringList parts = r.optionText.split(QLatin1Char(';'));
        const bool numbers = parts.size() > 1
            && QStringList({"N", "I"}).contains(parts.at(1).section(QLatin1Char(','), 1, 1));
        // A number written is the one its name shows: the current name
        // writes the current value, and no two names write the same.
        int current = -1;
        if (numbers && !names.current.isEmpty()
            && regtext::writeValue(r.optionText, names.current, false, &current) == regtext::Conversion::Value)
            CHECK(current == 3);
        QSet<int> written;
        for (const QString& name : names.names) {
            QString shown = name;
            if (shown.startsWith(QLatin1Char('*')))
                shown.remove(0, 1);
            int value = -1;
            if (regtext::writeValue(r.optionText, shown, false, &value) == regtext::Conversion::Value) {
                CHECK(value >= 0 && value <= 0xFFFF);
                CHECK(!numbers || !written.contains(value));
                written.insert(value);
            }
            QString cur;
            regtext::refreshValue(r.optionText, shown, &cur);
            regtext::IntegerEntry entry;
            if (regtext::isIntegerEntryItem(name))
                regtext::parseIntegerEntry(name, &entry);
        }
        int reg = -1;
        if (regtext::parseRegAddress(r.m_reg, &reg))
            CHECK(reg >= 0 && reg <= 0xFF);
    }
    // A file made of the list reads back as the same records.
    const regtext::LoadedParameters back = regtext::loadParameterText(regtext::parameterFileText(records));
    if (!text.contains(QLatin1Char('@')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        CHECK(back.records.size() == records.size());
    return 0;
}
