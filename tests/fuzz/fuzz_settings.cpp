// The settings file over arbitrary bytes; every value read must be written back and read again as the same text.
#include "app/SettingsIni.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const IniDocument doc = ParseSettingsIni(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    IniSection values{QStringLiteral("default"), {}}; // TQX's own key names, the file's values
    for (const IniSection &s : doc)
        for (const IniEntry &e : s.entries)
            values.entries.append({QStringLiteral("K%1").arg(values.entries.size()), e.value});
    const IniDocument again = ParseSettingsIni(WriteSettingsIni({values}));
    if (!values.entries.isEmpty() && (again.size() != 1 || again[0].entries.size() != values.entries.size()))
        std::abort();
    for (const IniEntry &e : values.entries)
        for (const IniEntry &f : again.value(0).entries)
            if (f.key == e.key && f.value != e.value)
                std::abort();
    return 0;
}
