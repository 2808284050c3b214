// The ENR table file over arbitrary bytes, and the spline through whatever table it yields.
#include "calc/EnrTable.h"
#include "calc/Results.h"

#include <cstdlib>

// The loader's file also holds the menu actions on the sheet, which the harness never reaches.
void ResultsCalc(Sheet &) { std::abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    EnrFileContents c = ParseEnrFile(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!c.failed && c.table.size() >= 3) {
        fitSpline(c.table);
        csinterpolate(c.table, (c.table.freq.front() + c.table.freq.back()) / 2);
    }
    return 0;
}
