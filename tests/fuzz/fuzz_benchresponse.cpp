// The virtual bench's frequency-dependent truths as typed: a DUT response or an ENR table that parses and
// validates is shown again through toText, and that text must parse and validate to the same points (to the
// 15 digits shown), so that reopening the bench window never refuses what it accepted before.
#include "acquire/BenchResponse.h"

#include <cmath>
#include <cstdlib>

namespace {

bool agrees(double a, double b)
{
    return std::abs(a - b) <= 1e-14 * std::max(std::abs(a), std::abs(b));
}
bool same(const BenchResponsePoint &a, const BenchResponsePoint &b)
{
    return agrees(a.mhz, b.mhz) && agrees(a.gainDb, b.gainDb) && agrees(a.nfDb, b.nfDb);
}
bool same(const BenchEnrPoint &a, const BenchEnrPoint &b)
{
    return agrees(a.mhz, b.mhz) && agrees(a.enrDb, b.enrDb);
}

template <typename Point> void roundTrip(const QString &text)
{
    QVector<Point> pts, again;
    if (!BenchResponse::parse(text, pts).isEmpty() || !BenchResponse::validate(pts).isEmpty())
        return;
    if (!BenchResponse::parse(BenchResponse::toText(pts), again).isEmpty() ||
        !BenchResponse::validate(again).isEmpty() || again.size() != pts.size() ||
        !std::equal(pts.begin(), pts.end(), again.begin(),
                    [](const Point &a, const Point &b) { return same(a, b); }))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip<BenchResponsePoint>(text);
    roundTrip<BenchEnrPoint>(text);
    return 0;
}
