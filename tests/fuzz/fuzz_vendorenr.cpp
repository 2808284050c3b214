// The vendor ENR file over arbitrary bytes, and the column lookup over whatever table it yields.
#include "calc/VendorEnr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!isVendorEnrFile(bytes))
        return 0;
    const EnrFileContents c = parseVendorEnrFile(bytes);
    if (!c.failed)
        for (double mhz : {0.0, c.table.freq.front(), (c.table.freq.front() + c.table.freq.back()) / 2, 1e12})
            enrColumnAt(c.table, c.table.unc, mhz), enrColumnAt(c.table, c.table.onMag, mhz);
    return 0;
}
