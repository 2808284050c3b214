#include "physics/Budget.h"

#include "physics/Conversions.h"
#include "physics/YFactor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

namespace physics {

namespace {

using Vars = std::array<double, kBudgetTerms>;
using Outs = std::array<double, kBudgetOuts>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kStepOfU = 0.1;   // difference step as a fraction of the standard uncertainty
constexpr double kMinRanked = 0.5; // Monte Carlo: fraction of draws that must give a result
// A result is far from linear when the Monte Carlo interval's ends stray
// from value -+ U by more than this fraction of U.
constexpr double kNonlinear = 0.1;

int at(BudgetTerm t)
{
    return static_cast<int>(t);
}
int at(BudgetOut o)
{
    return static_cast<int>(o);
}

bool isMatch(int i)
{
    return i >= at(BudgetTerm::MatchCalHot);
}
bool isReading(int i)
{
    return i >= at(BudgetTerm::Noise11) && i <= at(BudgetTerm::Noise22);
}

// The measurement model: the sheet's own cascade over the perturbed inputs.
// Readings enter as factors on the measured powers, mismatches as factors
// in dB on the delivered source temperatures (or, device output to
// instrument, on both device-path readings, i.e. on the device's gain).
// `draw`: a Monte Carlo draw, where a noise figure whose noise temperature
// came out at or below 0 K is -infinity (below every physical value: it
// ranks lowest) rather than missing.
Outs evaluate(const BudgetInput &in, const Vars &x, bool draw = false)
{
    CascadeInput ci;
    ci.tHot = ThotFromEnr(x[at(BudgetTerm::Enr)] + x[at(BudgetTerm::EnrInterp)]);
    ci.tCold = x[at(BudgetTerm::Tcold)];
    ci.att11 = x[at(BudgetTerm::Att11)];
    ci.att12 = x[at(BudgetTerm::Att12)];
    ci.att21 = x[at(BudgetTerm::Att21)];
    ci.att22 = x[at(BudgetTerm::Att22)];
    ci.tAtt1 = x[at(BudgetTerm::Tatt1)];
    ci.tAtt2 = x[at(BudgetTerm::Tatt2)];
    ci.units = LevelUnits::Watt;
    ci.instrument =
        LevelPair{in.power[0] * x[at(BudgetTerm::Noise11)], in.power[1] * x[at(BudgetTerm::Noise12)]};
    if (in.combined) {
        const double out = fromDb(x[at(BudgetTerm::MatchDevOut)]);
        ci.combined = LevelPair{in.power[2] * x[at(BudgetTerm::Noise21)] * out,
                                in.power[3] * x[at(BudgetTerm::Noise22)] * out};
    }
    ci.calHotMatch = fromDb(x[at(BudgetTerm::MatchCalHot)]);
    ci.calColdMatch = fromDb(x[at(BudgetTerm::MatchCalCold)]);
    ci.devHotMatch = fromDb(x[at(BudgetTerm::MatchDevHot)]);
    ci.devColdMatch = fromDb(x[at(BudgetTerm::MatchDevCold)]);
    const CascadeResult r = cascade(ci);
    constexpr double kBelowZeroK = -std::numeric_limits<double>::infinity();
    Outs o{kNaN, kNaN, kNaN};
    if (r.instrument.ok && r.instrument.te > 0)
        o[at(BudgetOut::RxNf)] = r.instrument.nfDb;
    else if (draw && r.instrument.ok)
        o[at(BudgetOut::RxNf)] = kBelowZeroK;
    if (r.device.ok) {
        o[at(BudgetOut::DutGain)] = r.device.gainDb;
        if (r.device.te > 0)
            o[at(BudgetOut::DutNf)] = r.device.nfDb;
        else if (draw)
            o[at(BudgetOut::DutNf)] = kBelowZeroK;
    }
    return o;
}

BudgetStatus check(const BudgetInput &in)
{
    const double all[] = {in.tHot,     in.tCold,    in.tAtt1,          in.tAtt2,    in.att11,    in.att12,
                          in.att21,    in.att22,    in.power[0],       in.power[1], in.power[2], in.power[3],
                          in.relSd[0], in.relSd[1], in.relSd[2],       in.relSd[3], in.uEnrDb,   in.uTcold,
                          in.uAttDb,   in.uTatt,    in.enrInterpHalfDb};
    for (double v : all)
        if (!std::isfinite(v))
            return BudgetStatus::BadInput;
    for (double u : {in.uEnrDb, in.enrInterpHalfDb, in.uTcold, in.uAttDb, in.uTatt, in.relSd[0], in.relSd[1],
                     in.relSd[2], in.relSd[3]})
        if (u < 0)
            return BudgetStatus::BadInput;
    for (double g : {in.gSourceOn, in.gSourceOff, in.gDutIn, in.gDutOut, in.gReceiver})
        if (!(g >= 0 && g < 1))
            return BudgetStatus::BadInput;
    if (in.tHot < 0 || in.tCold < 0 || in.tAtt1 < 0 || in.tAtt2 < 0)
        return BudgetStatus::NegativeTemperature;
    if (!(in.tHot > kT0))
        return BudgetStatus::HotNotAbove290;
    if (!(in.power[0] > 0))
        return BudgetStatus::NoCalibration;
    if (!(in.power[1] > in.power[0]))
        return BudgetStatus::YCalNotAboveOne;
    if (in.combined && !(in.power[2] > 0 && in.power[3] > in.power[2]))
        return BudgetStatus::YDevNotAboveOne;
    return BudgetStatus::Ok;
}

// Reflection products of the five mismatches, each reduced by the loss
// between the two ports (a reflected wave crosses it twice).
std::array<double, 5> reflectionProducts(const BudgetInput &in)
{
    const double lCal = fromDb(in.att11 + in.att12), lIn = fromDb(in.att21), lOut = fromDb(in.att22);
    return {in.gSourceOn * in.gReceiver / lCal, in.gSourceOff * in.gReceiver / lCal,
            in.gSourceOn * in.gDutIn / lIn, in.gSourceOff * in.gDutIn / lIn,
            in.gDutOut * in.gReceiver / lOut};
}

// The 2.5 % and 97.5 % points of the draws in v (reordered) and how many
// were unphysical: without a result (NaN: dropped) or a noise temperature at
// or below 0 K (-infinity: they stay in the ranking, at its bottom, and a
// lower point among them is the physical floor, 0 dB for a noise figure).
bool interval(std::vector<double> &v, int draws, BudgetOutput &out)
{
    out.mcDraws = draws;
    out.mcUnphysical =
        static_cast<int>(std::count_if(v.begin(), v.end(), [](double d) { return !std::isfinite(d); }));
    v.erase(std::remove_if(v.begin(), v.end(), [](double d) { return std::isnan(d); }), v.end());
    if (v.empty() || static_cast<double>(v.size()) < kMinRanked * draws)
        return false;
    double sum = 0, sumSq = 0;
    int physical = 0;
    for (double d : v)
        if (std::isfinite(d)) {
            sum += d;
            sumSq += d * d;
            ++physical;
        }
    out.mcSd = physical > 1 ? std::sqrt(std::max(0.0, (sumSq - sum * sum / physical) / (physical - 1))) : 0.0;
    const auto n = v.size();
    const auto lo = static_cast<std::size_t>(0.025 * static_cast<double>(n));
    const auto hi = std::min(n - 1, static_cast<std::size_t>(0.975 * static_cast<double>(n)));
    std::nth_element(v.begin(), v.begin() + lo, v.end());
    out.mcLow = v[lo] == -std::numeric_limits<double>::infinity() ? 0.0 : v[lo];
    std::nth_element(v.begin() + lo, v.begin() + hi, v.end());
    out.mcHigh = v[hi];
    return std::isfinite(out.mcLow) && std::isfinite(out.mcHigh);
}

// The mismatch factor in dB at relative phase phi: the power delivered
// between ports with reflection product rho is 1 / |1 - rho e^(j phi)|^2
// times that of matched ports.
double mismatchDb(double rho, double phi)
{
    return -10.0 * std::log10(1.0 - 2.0 * rho * std::cos(phi) + rho * rho);
}

// Li2(z) = sum z^n / n^2 for 0 <= z < 1 (the terms fall at least as z^n;
// bounded however close z comes to 1).
double dilog(double z)
{
    double sum = 0, zn = 1;
    for (int n = 1; n <= 100000; ++n) {
        zn *= z;
        const double term = zn / (double(n) * n);
        sum += term;
        if (term < 1e-17 * sum)
            break;
    }
    return sum;
}

} // namespace

double mismatchStdDb(double rho)
{
    // ln of the factor is 2 sum rho^n cos(n phi) / n; with phi uniform the
    // cosines are uncorrelated with variance 1/2, so var = 2 Li2(rho^2) in
    // nepers^2. For small rho: sqrt(2) rho nepers, as the U-shaped limits
    // 20 log10(1 +- rho) over sqrt(2) give.
    return 10.0 / std::numbers::ln10 * std::sqrt(2.0 * dilog(rho * rho));
}

double mismatchCorrelation(double rhoA, double rhoB)
{
    // Covariance of the two logarithms at one phase: 2 Li2(rhoA rhoB).
    const double a = dilog(rhoA * rhoA), b = dilog(rhoB * rhoB);
    return a > 0 && b > 0 ? dilog(rhoA * rhoB) / std::sqrt(a * b) : 0.0;
}

BudgetResult uncertaintyBudget(const BudgetInput &in, int draws, std::uint64_t seed)
{
    BudgetResult r;
    r.status = check(in);
    if (r.status != BudgetStatus::Ok)
        return r;

    Vars x0{}, u{};
    x0[at(BudgetTerm::Enr)] = EnrFromThot(in.tHot);
    x0[at(BudgetTerm::Tcold)] = in.tCold;
    x0[at(BudgetTerm::Att11)] = in.att11;
    x0[at(BudgetTerm::Att12)] = in.att12;
    x0[at(BudgetTerm::Att21)] = in.att21;
    x0[at(BudgetTerm::Att22)] = in.att22;
    x0[at(BudgetTerm::Tatt1)] = in.tAtt1;
    x0[at(BudgetTerm::Tatt2)] = in.tAtt2;
    u[at(BudgetTerm::Enr)] = in.uEnrDb;
    // An offset on the ENR (nominal 0 dB), rectangular within -+ the half width.
    u[at(BudgetTerm::EnrInterp)] = in.enrInterpHalfDb / std::sqrt(3.0);
    u[at(BudgetTerm::Tcold)] = in.uTcold;
    for (BudgetTerm t : {BudgetTerm::Att11, BudgetTerm::Att12, BudgetTerm::Att21, BudgetTerm::Att22})
        u[at(t)] = x0[at(t)] != 0 ? in.uAttDb : 0.0; // an absent attenuator (0 dB) is exact
    u[at(BudgetTerm::Tatt1)] = in.uTatt;
    u[at(BudgetTerm::Tatt2)] = in.uTatt;
    for (int k = 0; k < 4; ++k) {
        x0[at(BudgetTerm::Noise11) + k] = 1.0; // factor on the measured power
        u[at(BudgetTerm::Noise11) + k] = in.relSd[k];
    }
    const std::array<double, 5> rho = reflectionProducts(in);
    for (int k = 0; k < 5; ++k)
        u[at(BudgetTerm::MatchCalHot) + k] = mismatchStdDb(rho[k]);
    if (!in.combined) // the device path's inputs do not enter
        for (BudgetTerm t : {BudgetTerm::Att21, BudgetTerm::Att22, BudgetTerm::Noise21, BudgetTerm::Noise22,
                             BudgetTerm::MatchDevHot, BudgetTerm::MatchDevCold, BudgetTerm::MatchDevOut})
            u[at(t)] = 0;

    const Outs nominal = evaluate(in, x0);
    std::array<double, kBudgetOuts> sumSq{}, statSq{};
    std::array<Outs, kBudgetTerms> cu{}; // signed c u, for the correlated pairs
    std::array<bool, kBudgetOuts> finite{};
    for (int o = 0; o < kBudgetOuts; ++o)
        finite[o] = std::isfinite(nominal[o]);
    for (int i = 0; i < kBudgetTerms; ++i) {
        BudgetTermRow &row = r.rows[i];
        row.value = isReading(i) ? in.power[i - at(BudgetTerm::Noise11)]
                    : isMatch(i) ? rho[i - at(BudgetTerm::MatchCalHot)]
                                 : x0[i];
        row.u = u[i];
        if (u[i] == 0)
            continue;
        const double h = kStepOfU * u[i];
        Vars up = x0, down = x0;
        up[i] += h;
        down[i] -= h;
        const Outs fu = evaluate(in, up), fd = evaluate(in, down);
        for (int o = 0; o < kBudgetOuts; ++o) {
            const double c = (fu[o] - fd[o]) / (2 * h) * u[i];
            finite[o] = finite[o] && std::isfinite(c);
            cu[i][o] = std::isfinite(c) ? c : 0.0;
            row.contrib[o] = std::fabs(cu[i][o]);
            sumSq[o] += row.contrib[o] * row.contrib[o];
            if (isReading(i))
                statSq[o] += row.contrib[o] * row.contrib[o];
        }
    }
    // Source on and off meet the same load through the same port with nearly
    // the same reflection: one phase for both, so their mismatches are
    // correlated (fully, for equal reflections) and combine with it.
    const std::pair<BudgetTerm, BudgetTerm> pairs[] = {{BudgetTerm::MatchCalHot, BudgetTerm::MatchCalCold},
                                                       {BudgetTerm::MatchDevHot, BudgetTerm::MatchDevCold}};
    for (const auto &[on, off] : pairs) {
        const double corr = mismatchCorrelation(rho[at(on) - at(BudgetTerm::MatchCalHot)],
                                                rho[at(off) - at(BudgetTerm::MatchCalHot)]);
        for (int o = 0; o < kBudgetOuts; ++o)
            sumSq[o] += 2.0 * corr * cu[at(on)][o] * cu[at(off)][o];
    }
    for (int o = 0; o < kBudgetOuts; ++o) {
        BudgetOutput &out = r.out[o];
        out.ok = finite[o];
        if (!out.ok)
            continue;
        out.value = nominal[o];
        out.uc = std::sqrt(std::max(0.0, sumSq[o]));
        out.expanded = 2.0 * out.uc;
        out.statistical = std::sqrt(statSq[o]);
        double best = -1;
        for (int i = 0; i < kBudgetTerms; ++i)
            if (r.rows[i].contrib[o] > best) {
                best = r.rows[i].contrib[o];
                out.dominant = i;
            }
    }
    if (draws <= 0)
        return r;

    // Monte Carlo: every input with an uncertainty drawn afresh per draw.
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::array<std::vector<double>, kBudgetOuts> samples;
    for (auto &s : samples)
        s.reserve(static_cast<std::size_t>(draws));
    std::vector<int> varied;
    for (int i = 0; i < kBudgetTerms; ++i)
        if (u[i] > 0)
            varied.push_back(i);
    // One phase per junction: calibration path (source on and off), device
    // input (source on and off), device output.
    const int junction[] = {0, 0, 1, 1, 2};
    for (int d = 0; d < draws; ++d) {
        const double phi[] = {phase(rng), phase(rng), phase(rng)};
        Vars x = x0;
        for (int i : varied) {
            if (isMatch(i)) {
                const int k = i - at(BudgetTerm::MatchCalHot);
                x[i] = mismatchDb(rho[k], phi[junction[k]]);
            } else if (i == at(BudgetTerm::EnrInterp)) {
                x[i] = in.enrInterpHalfDb * uniform(rng);
            } else {
                x[i] += u[i] * normal(rng);
            }
        }
        const Outs f = evaluate(in, x, true);
        for (int o = 0; o < kBudgetOuts; ++o)
            samples[o].push_back(f[o]);
    }
    for (int o = 0; o < kBudgetOuts; ++o) {
        BudgetOutput &out = r.out[o];
        if (!out.ok)
            continue;
        out.mcOk = interval(samples[o], draws, out);
        // Far from linear: the value -+ U reaches below 0 K (a noise figure
        // below 0 dB), or the draws' interval departs from it by more than a
        // tenth of U. The draws then are the result.
        const bool noiseFigure = o != at(BudgetOut::DutGain);
        const bool belowZeroK = noiseFigure && out.value - out.expanded < 0;
        const bool departs =
            out.mcOk && (std::fabs(out.mcLow - (out.value - out.expanded)) > kNonlinear * out.expanded ||
                         std::fabs(out.mcHigh - (out.value + out.expanded)) > kNonlinear * out.expanded);
        out.mcIsResult = out.mcOk && (belowZeroK || departs);
    }
    return r;
}

} // namespace physics
