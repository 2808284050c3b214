// The sweep CSV reader over arbitrary bytes: a trace it accepts has one finite frequency and noise figure per
// point (a gain only where the file gives one). And any bytes as the reason of a failed point, written and
// read back, must stay inside their quoted field: the one measured point beside it comes back unchanged, with
// or without a converter's columns after the status.
#include "report/SweepCsv.h"

#include <cmath>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkTrace(const SweepTrace &t)
{
    if (!t.error.isEmpty())
        return;
    check(!t.mhz.isEmpty() && t.mhz.size() <= kSweepMaxPoints && t.nfDb.size() == t.mhz.size());
    check(t.gainDb.isEmpty() || t.gainDb.size() == t.mhz.size());
    for (qsizetype i = 0; i < t.mhz.size(); ++i)
        check(std::isfinite(t.mhz[i]) && std::isfinite(t.nfDb[i])); // a gap in the gain is NaN by design
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    checkTrace(parseSweepCsv(bytes));

    SweepPoint failed, measured;
    failed.state = SweepPoint::State::Failed;
    failed.mhz = 144;
    failed.failure = QString::fromUtf8(bytes.left(4096));
    measured.state = SweepPoint::State::Measured;
    measured.mhz = 145.5;
    measured.device.nfDb = 1.25;
    measured.device.gainDb = 20.5;
    measured.ifMhz = 1250.5;
    DeviceSetup device;
    if (size % 2)
        device.mode = physics::DeviceMode::DownConverter;
    const SweepTrace back = parseSweepCsv(sweepCsv(SweepKind::Measurement, {failed, measured, failed}, device));
    check(back.error.isEmpty() && back.mhz == QVector<double>{145.5} && back.nfDb == QVector<double>{1.25} &&
          back.gainDb == QVector<double>{20.5});
    return 0;
}
