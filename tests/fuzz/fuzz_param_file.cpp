// libFuzzer target: arbitrary text as a parameter file (and its name),
// through the loader, the "key_value" item reader, the writer and the
// check that a save loads back. How a register reads its value is worked
// out here from its limits, not by the functions under test: signed where
// a limit is negative, as the node reads it.

#include <cstddef>
#include <cstdint>

#include <QString>

#include "firmware/regtext.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

namespace {

qint64 oracleNumber(quint16 value, qint16 low, qint16 up)
{
    return low < 0 || up < 0 ? qint64(value >= 0x8000 ? int(value) - 0x10000 : int(value)) : qint64(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const regtext::LoadedParameters loaded = regtext::loadParameterText(text);
    bool everyValue = loaded.status == regtext::LoadedParameters::Ok;
    if (loaded.status == regtext::LoadedParameters::Ok) {
        // Every register got its default and limits, and a current value it
        // can hold.
        for (const RegRecord& r : loaded.records) {
            if (r.attr != QLatin1String("REG"))
                continue;
            CHECK(!r.defValue.isEmpty());
            everyValue = everyValue && !r.curValue.isEmpty();
            // Values are kept as a read gives them: 16 bits, unsigned.
            quint16 value = 0;
            CHECK(regtext::registerValue(r.defValue, &value) && r.defValue == QString::number(value));
            const QString kind = r.optionText.section(QLatin1Char(','), 1, 1);
            if (r.curValue.isEmpty() || (kind != QLatin1String("N") && kind != QLatin1String("I")
                                         && kind != QLatin1String("S")))
                continue;
            CHECK(regtext::registerValue(r.curValue, &value) && r.curValue == QString::number(value));
            // Compared with the limits as the node reads it.
            const qint64 number = oracleNumber(value, r.m_lowLimit, r.m_upLimit);
            if (kind != QLatin1String("S"))
                CHECK(number >= r.m_lowLimit && number <= r.m_upLimit);
        }
    }
    // Only a file of nothing but line breaks loads without a register.
    if (regtext::registerCount(loaded.records) == 0 && loaded.status != regtext::LoadedParameters::NoRegisters) {
        for (const QChar c : text)
            CHECK(c == QLatin1Char('\n') || c == QLatin1Char('\r'));
    }
    // Saved again and loaded, the records stay; with all their values.
    const QString saved = regtext::parameterFileText(loaded.records);
    const regtext::LoadedParameters again = regtext::loadParameterText(saved);
    if (!saved.contains(QLatin1Char('\n')) && !saved.contains(QLatin1Char('\r')))
        CHECK(again.records.size() == loaded.records.size() || saved.count(QLatin1Char('@')) > 1);
    // What loads with every value saves, and loads back the same; a save
    // the check lets through loads back the same too.
    const regtext::FileCheck check = regtext::checkParameterFile(loaded.records);
    if (everyValue)
        CHECK(check.ok);
    if (check.ok) {
        CHECK(again.status == regtext::LoadedParameters::Ok);
        for (int i = 0; i < loaded.records.size(); ++i) {
            CHECK(again.records.at(i).curValue == loaded.records.at(i).curValue);
            CHECK(again.records.at(i).defValue == loaded.records.at(i).defValue);
        }
    }

    // Any value within an "I" register's limits loads too, as the node reads
    // it: its lowest and its highest, the lowest negative where a limit is.
    if (check.ok && loaded.status == regtext::LoadedParameters::Ok) {
        for (int i = 0; i < loaded.records.size(); ++i) {
            const RegRecord& r = loaded.records.at(i);
            if (r.attr != QLatin1String("REG") || r.optionText.section(QLatin1Char(','), 1, 1) != QLatin1String("I")
                || r.m_lowLimit > r.m_upLimit)
                continue;
            for (const qint16 limit : {r.m_lowLimit, r.m_upLimit}) {
                QList<RegRecord> edge = loaded.records;
                edge[i].curValue = QString::number(quint16(limit));
                CHECK(oracleNumber(quint16(limit), r.m_lowLimit, r.m_upLimit) == limit);
                const regtext::LoadedParameters back = regtext::loadParameterText(regtext::parameterFileText(edge));
                CHECK(back.status == regtext::LoadedParameters::Ok);
                CHECK(back.records.at(i).curValue == edge.at(i).curValue);
            }
            break;
        }
    }

    const QString item = text.left(200);
    for (const char* key : {"reg", "cur", "def", "low", "upper"})
        regtext::getNumberAfterPrefix(item, QLatin1String(key));
    const QString type = regtext::fileTypeOfPath(text);
    CHECK(!type.contains(QLatin1Char('/')));
    return 0;
}
