// The ENR table file over arbitrary bytes, the three curves through whatever table it yields and the overshoot check.
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
        for (physics::Interpolation method : {physics::Interpolation::NaturalSpline, physics::Interpolation::Linear,
                                              physics::Interpolation::MonotoneCubic})
            enrAt(c.table, method, (c.table.freq.front() + c.table.freq.back()) / 2);
        splineOvershoots(c.table);
    }
    return 0;
}
