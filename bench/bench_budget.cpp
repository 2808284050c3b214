// Cost of the whole uncertainty budget: the RSS part (central differences of
// the cascade for every input) and the Monte Carlo run of 10^5 draws. The
// budget window computes it on every change of its inputs, so it must stay
// under 100 ms.
#include "physics/Budget.h"

#include <benchmark/benchmark.h>

namespace {

// A typical bench: ENR 15 dB, 20 dB / 1.5 dB device, 10 dB receiver, 2 kHz
// for 1 s, every uncertainty and reflection present.
physics::BudgetInput typical()
{
    physics::BudgetInput in;
    in.tHot = 9460.6;
    in.tCold = 290;
    in.att21 = 3;
    in.power = {1.0, 4.162, 15.02, 173.5}; // relative to Noise LO (2)
    in.combined = true;
    in.relSd = {0.022, 0.022, 0.022, 0.022};
    in.uEnrDb = 0.1;
    in.uTcold = 1;
    in.uAttDb = 0.02;
    in.uTatt = 1;
    in.gSourceOn = 0.1;
    in.gSourceOff = 0.12;
    in.gDutIn = 0.3;
    in.gDutOut = 0.2;
    in.gReceiver = 0.25;
    return in;
}

void BM_BudgetRss(benchmark::State &state)
{
    const physics::BudgetInput in = typical();
    for (auto _ : state)
        benchmark::DoNotOptimize(physics::uncertaintyBudget(in, 0));
}

void BM_BudgetWithMonteCarlo(benchmark::State &state)
{
    const physics::BudgetInput in = typical();
    for (auto _ : state)
        benchmark::DoNotOptimize(physics::uncertaintyBudget(in));
    const physics::BudgetResult r = physics::uncertaintyBudget(in);
    state.counters["NF_U_dB"] = r.out[0].expanded;
    state.counters["NF_MC_width_dB"] = r.out[0].mcHigh - r.out[0].mcLow;
}

} // namespace

BENCHMARK(BM_BudgetRss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BudgetWithMonteCarlo)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
