// The typed frequency list of a sweep, and the range form from three numbers: a list that is accepted holds
// 1 to kSweepMaxPoints finite frequencies inside the accepted range, strictly rising; a refused one holds
// none and says why in a sentence of bounded length.
#include "acquire/SweepPlan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void check(const FrequencyList &f)
{
    bool ok = f.error.isEmpty() ? !f.mhz.isEmpty() && f.mhz.size() <= kSweepMaxPoints
                                : f.mhz.isEmpty() && f.error.size() < 300;
    for (qsizetype i = 0; ok && i < f.mhz.size(); ++i)
        ok = std::isfinite(f.mhz[i]) && f.mhz[i] >= kSweepMinMhz && f.mhz[i] <= kSweepMaxMhz &&
             (i == 0 || f.mhz[i] > f.mhz[i - 1]);
    if (!ok)
        std::abort();
}

} // namespace

// The ENR table's loading command (calc/EnrTable.cpp, linked for its number reader) recomputes the results
// through this; the list parser never loads a table.
class Sheet;
void ResultsCalc(Sheet &)
{
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(listedFrequencies(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))));
    if (size >= 3 * sizeof(double)) {
        double v[3];
        std::memcpy(v, data, sizeof v);
        check(rangeFrequencies(v[0], v[1], v[2]));
    }
    return 0;
}
