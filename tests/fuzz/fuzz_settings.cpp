// The settings file over arbitrary bytes; every value read must be written back and read again as the same text.
#include "instrument/SettingsIni.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const IniDocument doc = ParseSettingsIni(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    IniSection values{QStringLiteral("default"), {}}; // plain key names in file order, the file's values
    for (const IniSection &s : doc)
        for (const IniEntry &e : s.entries)
            values.entries.append({QStringLiteral("K%1").arg(values.entries.size(), 6, 10, QLatin1Char('0')), e.value});
    const IniDocument again = ParseSettingsIni(WriteSettingsIni({values}));
    for (qsizetype i = 0; i < values.entries.size(); ++i)
        if (again.value(0).entries.value(i).value != values.entries[i].value)
            std::abort();
    return 0;
}
