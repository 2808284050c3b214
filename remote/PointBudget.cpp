#include "remote/PointBudget.h"

#include "instrument/Instrument.h"
#include "instrument/UncertaintyBudget.h"

#include <cmath>
#include <limits>

double pointUncertainty(Instrument &m, const SweepPlan &plan, const SweepPoint &point, physics::BudgetOut out)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const std::optional<physics::LevelPair> cal = m.sweepCalibration().at(point.ifMhz); // kept by the receiver's frequency
    if (point.state != SweepPoint::State::Measured || !cal || !point.loDb || !point.hiDb)
        return nan;
    BudgetInputs b = budgetInputs(m);
    physics::BudgetInput &in = b.input;
    physics::CascadeInput setup = plan.params;
    setup.tHot = point.source.tHot; // the source at this point's frequency
    setup.tCold = point.source.tCold;
    setBudgetSetup(in, setup);
    // Levels in dB full scale, the zero already removed: powers in that unit.
    auto power = [](double db) { return std::pow(10.0, db / 10); };
    in.power = {power(cal->lo), power(cal->hi), power(*point.loDb), power(*point.hiDb)};
    in.combined = true;
    const double bt = b.bandwidthHz * plan.intervalS;
    const double rel = bt > 0 ? 1.0 / std::sqrt(bt) : nan;
    in.relSd = {rel, rel, rel, rel};
    const physics::BudgetResult r = physics::uncertaintyBudget(in, 0);
    const physics::BudgetOutput &o = r.out[int(out)];
    return r.status == physics::BudgetStatus::Ok && o.ok ? o.expanded : nan;
}
