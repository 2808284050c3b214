#include "acquire/BenchRig.h"

#include "acquire/Bench.h"

#include <QTimer>

#include <cmath>

BenchRig::~BenchRig() = default;

QList<RigModelInfo> BenchRig::models()
{
    return {RigModelInfo{0, QStringLiteral("TQX"), QStringLiteral("Virtual bench")}};
}

void BenchRig::answer(Done done, bool ok, const QString &error)
{
    m_call = std::make_unique<QObject>(); // drops the earlier call's answer
    RigResult r;
    r.ok = ok;
    r.hz = m_bench.tunedMhz() * 1e6;
    r.error = error;
    QTimer::singleShot(0, m_call.get(), [done = std::move(done), r] {
        if (done)
            done(r);
    });
}

void BenchRig::open(const RigConfig &, int, Done done)
{
    m_open = true;
    answer(std::move(done), true);
}

void BenchRig::tune(double hz, int, Done done)
{
    if (!m_open)
        return answer(std::move(done), false, QStringLiteral("The virtual bench's receiver is not open."));
    if (!(hz > 0) || !std::isfinite(hz))
        return answer(std::move(done), false,
                      QStringLiteral("The virtual bench's receiver cannot tune to %1 Hz.").arg(hz));
    m_bench.tuneTo(hz / 1e6);
    answer(std::move(done), true);
}

void BenchRig::readFrequency(int, Done done)
{
    answer(std::move(done), m_open,
           m_open ? QString() : QStringLiteral("The virtual bench's receiver is not open."));
}

void BenchRig::cancel()
{
    m_call.reset();
}

void BenchRig::close()
{
    m_call.reset();
    m_open = false;
}
