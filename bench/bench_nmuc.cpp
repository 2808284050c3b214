// Cost of one uncertainty calculation in exact mode: about 37 bisection
// steps, each summing up to dof/2 chi-square series terms. The dialog must
// answer within 100 ms up to 1 000 000 dof, above which fast mode is forced.
//
// BM_NmucExact is what CalcNmuc runs; BM_NmucExactPlain sums every term the
// way the published routine does, for comparison. Each run checks that the
// two agree to well below the 0.01 dB the dialog shows.
#include "bench/ChiSquarePlain.h"
#include "physics/ChiSquare.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using physics::nmucUncertainty;

constexpr double kConfidence = 95.0; // %

// dof = 2*B*T with T = 1 s.
double bandwidthFor(const benchmark::State &state)
{
    return static_cast<double>(state.range(0)) / 2.0;
}

void checkAgainstPlain(double B)
{
    static double checkedFor = -1.0;
    if (checkedFor == B)
        return;
    checkedFor = B;
    const double skip = nmucUncertainty(B, 1.0, kConfidence, false);
    const double plain = nmucUncertainty(B, 1.0, kConfidence, false, pochisqPlain);
    if (!(std::fabs(skip - plain) < 1e-6)) {
        std::fprintf(stderr, "dof %g: skipping sum %.12f dB, plain sum %.12f dB\n", 2 * B, skip, plain);
        std::abort();
    }
}

void BM_NmucExact(benchmark::State &state)
{
    const double B = bandwidthFor(state);
    checkAgainstPlain(B);
    for (auto _ : state)
        benchmark::DoNotOptimize(nmucUncertainty(B, 1.0, kConfidence, false));
    state.counters["dB"] = nmucUncertainty(B, 1.0, kConfidence, false);
}

void BM_NmucExactPlain(benchmark::State &state)
{
    const double B = bandwidthFor(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(nmucUncertainty(B, 1.0, kConfidence, false, pochisqPlain));
}

void BM_NmucFast(benchmark::State &state)
{
    const double B = bandwidthFor(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(nmucUncertainty(B, 1.0, kConfidence, true));
}

} // namespace

BENCHMARK(BM_NmucExact)->Arg(400)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NmucExactPlain)->Arg(400)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NmucFast)->Arg(2000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
