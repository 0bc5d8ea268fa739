// libFuzzer target: arbitrary text as a parameter file (and its name),
// through the loader, the "key_value" item reader and the writer.

#include <cstddef>
#include <cstdint>

#include <QString>

#include "firmware/regtext.h"

#define CHECK(c) do { if (!(c)) __builtin_trap(); } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const regtext::LoadedParameters loaded = regtext::loadParameterText(text);
    if (loaded.status == regtext::LoadedParameters::Ok) {
        // Every register got its default and limits.
        for (const RegRecord& r : loaded.records) {
            if (r.attr == QLatin1String("REG"))
                CHECK(!r.defValue.isEmpty());
        }
    }
    // Saved again and loaded, the records stay.
    const QString saved = regtext::parameterFileText(loaded.records);
    const regtext::LoadedParameters again = regtext::loadParameterText(saved);
    if (!saved.contains(QLatin1Char('\n')) && !saved.contains(QLatin1Char('\r')))
        CHECK(again.records.size() == loaded.records.size() || saved.count(QLatin1Char('@')) > 1);

    const QString item = text.left(200);
    for (const char* key : {"reg", "cur", "def", "low", "upper"})
        regtext::getNumberAfterPrefix(item, QLatin1String(key));
    const QString type = regtext::fileTypeOfPath(text);
    CHECK(!type.contains(QLatin1Char('/')));
    return 0;
}
