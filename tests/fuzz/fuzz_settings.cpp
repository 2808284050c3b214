// The settings file over arbitrary bytes (up to 1 MiB: scripts/fuzz sets the length): every section, key and
// value read must come back under the same names with the same text when the document is written and read
// again, so that a section or key lost or merged on the way shows as a crash.
#include "instrument/SettingsIni.h"

#include <QHash>
#include <cstdlib>

namespace {

// section -> key -> value; each section and each key appears once in a document.
QHash<QString, QHash<QString, QString>> byName(const IniDocument &doc)
{
    QHash<QString, QHash<QString, QString>> out;
    for (const IniSection &s : doc) {
        if (out.contains(s.name))
            std::abort(); // a section twice
        QHash<QString, QString> &keys = out[s.name];
        for (const IniEntry &e : s.entries)
            if (!keys.contains(e.key))
                keys.insert(e.key, e.value);
            else
                std::abort(); // a key twice
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const IniDocument doc = ParseSettingsIni(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (byName(ParseSettingsIni(WriteSettingsIni(doc))) != byName(doc))
        std::abort();
    return 0;
}
