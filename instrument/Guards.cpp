#include "instrument/Guards.h"

#include "calc/Results.h"
#include "instrument/Instrument.h"
#include "instrument/UncertaintyBudget.h"
#include "physics/Level.h"
#include "physics/YFactor.h"
#include "sheet/NumText.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

using physics::CascadeInput;
using physics::LevelPair;

constexpr Field kLevels[4] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};
// The buttons as the window labels them.
const char *const kReadingNames[4] = {"1 Noise LO", "2 Noise HI", "3 Noise LO", "4 Noise HI"};

QString num(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// The record of level k when the field still shows what the reading wrote.
const LevelRecord *measured(const Session &m, int k)
{
    const LevelRecord &r = m.LevelRecords[k];
    return !r.text.isEmpty() && r.text == m.sheet().text(kLevels[k]) ? &r : nullptr;
}

// The level pairs of the cascade as linear powers, so that each reading's
// power can be varied by its relative scatter whatever the Units.
CascadeInput inPowers(const CascadeInputs &p)
{
    CascadeInput in = p.cascade;
    in.units = physics::LevelUnits::Watt;
    auto power = [&p](int k) { return physics::levelPower(*p.units, *p.levels[k]); };
    if (in.instrument)
        in.instrument = LevelPair{power(0), power(1)};
    if (in.combined)
        in.combined = LevelPair{power(2), power(3)};
    return in;
}

double *powerOf(CascadeInput &in, int k)
{
    std::optional<LevelPair> &pair = k < 2 ? in.instrument : in.combined;
    if (!pair)
        return nullptr;
    return k % 2 == 0 ? &pair->lo : &pair->hi;
}

// Teq(2), Teq(12) and Teq(1) (K) of the cascade; NaN where it gives none.
std::array<double, 3> temperatures(const CascadeInput &in)
{
    const physics::CascadeResult r = physics::cascade(in);
    const double nan = std::nan("");
    return {r.instrument.ok ? r.instrument.te : nan, r.combined.ok ? r.combined.te : nan,
            r.device.ok ? r.device.te : nan};
}

// Standard deviation (K) of the three temperatures from the readings'
// scatter alone: sensitivity to each reading's power by a central
// difference (a tenth of its scatter), combined root-sum-square. NaN where
// the scatter or the temperature is unknown.
std::array<double, 3> temperatureSigmas(const CascadeInput &in, const std::array<double, 4> &rel)
{
    std::array<double, 3> var{};
    for (int k = 0; k < 4; ++k) {
        CascadeInput up = in, down = in;
        double *pu = powerOf(up, k), *pd = powerOf(down, k);
        if (!pu)
            continue;
        const double h = 0.1 * rel[k];
        *pu *= 1 + h;
        *pd *= 1 - h;
        const std::array<double, 3> a = temperatures(up), b = temperatures(down);
        for (int i = 0; i < 3; ++i)
            var[i] += std::pow((a[i] - b[i]) / (2 * h) * rel[k], 2);
    }
    return {std::sqrt(var[0]), std::sqrt(var[1]), std::sqrt(var[2])};
}

// The same set-up with a DUT of the same noise temperature but gain `gain`
// (linear): the calibration readings as measured, the device readings those
// the model predicts on the power scale of the calibration,
//   P = s G / L22 (T12 + Te1 + ((L22 - 1) Tatt2 + L22 Te2) / G),
// s being the calibration's power step per kelvin (the device path's gain
// relation of physics/YFactor.h read backwards).
std::optional<CascadeInput> withGain(const CascadeInput &in, double gain)
{
    const physics::CascadeResult r = physics::cascade(in);
    if (!in.instrument || !r.instrument.ok || !r.combined.ok || !r.device.ok)
        return std::nullopt;
    const double s = (in.instrument->hi - in.instrument->lo) / (r.instrument.tHot - r.instrument.tCold);
    const double l22 = std::pow(10.0, in.att22 / 10);
    const double second = ((l22 - 1) * in.tAtt2 + l22 * r.instrument.te) / gain;
    CascadeInput out = in;
    const double scale = s * gain / l22;
    out.combined = LevelPair{scale * (r.combined.tCold + r.device.te + second),
                             scale * (r.combined.tHot + r.device.te + second)};
    return out;
}

struct Context {
    Instrument &m;
    const Session &session;
    CascadeInputs inputs;
    physics::CascadeResult result;
    std::array<double, 4> rel{}; // relative standard deviation of each level's power
    GuardReport report;

    void warn(GuardKind kind, const QString &text, std::initializer_list<Field> fields)
    {
        report.fired.append(kind);
        report.warnings.append(text);
        for (Field f : fields) {
            QString &mark = report.marks[static_cast<int>(f)];
            mark += (mark.isEmpty() ? QString() : QStringLiteral("\n\n")) + text;
        }
    }
};

void nearClipping(Context &c)
{
    for (int k = 0; k < 4; ++k) {
        const LevelRecord *r = measured(c.session, k);
        if (!r || r->clipped || !(r->peak >= nearClippingPeak()))
            continue;
        const double below = 20 * std::log10(physics::kClipLevel / r->peak);
        const QString where = below > 0
                                  ? QStringLiteral("peaks %1 dB below the clipping level").arg(num(below, 1))
                                  : QStringLiteral("reaches the clipping level");
        const QString which = k % 2 == 1 ? QStringLiteral("the hot reading") : QStringLiteral("this reading");
        c.warn(GuardKind::NearClipping,
               QStringLiteral("The %1 reading %2: %3 may compress (gain compression makes Y too small and NF "
                              "too high). Add attenuation or lower the receiver's audio gain.")
                   .arg(QLatin1String(kReadingNames[k]), where, which),
               {kLevels[k]});
    }
}

void sourceSwitched(Context &c)
{
    const Field yFields[2] = {Field::Y2dB, Field::Y12dB};
    const char *const yNames[2] = {"Y(2)", "Y(12)"};
    for (int pair = 0; pair < 2; ++pair) {
        const int lo = 2 * pair, hi = lo + 1;
        if (!measured(c.session, hi) || !c.inputs.levels[lo] || !c.inputs.units)
            continue;
        const double y = physics::powerRatio(*c.inputs.units, {*c.inputs.levels[lo], *c.inputs.levels[hi]}).Y;
        if (!(y > 0) || !std::isfinite(y))
            continue;
        const double yDb = 10 * std::log10(y);
        // Hot and cold alike: their ratio scatters by the two relative
        // deviations in quadrature.
        const double sigma = std::hypot(c.rel[lo], c.rel[hi]);
        const bool withinScatter = std::isfinite(sigma) && y - 1 < kSigmas * sigma;
        if (yDb >= kMinYDb && !withinScatter)
            continue;
        const QString how =
            withinScatter ? QStringLiteral("%1 is only %2 dB, within the scatter of the two readings "
                                           "(3 sigma: %3 dB)")
                                .arg(QLatin1String(yNames[pair]), num(yDb, 3),
                                     num(10 * std::log10(1 + kSigmas * sigma), 2))
                          : QStringLiteral("%1 is only %2 dB").arg(QLatin1String(yNames[pair]), num(yDb, 3));
        // With hot and cold loads nothing switches: the load was not changed.
        const QString what =
            c.session.HotColdLoads
                ? QStringLiteral("%1: the hot load was probably not connected for the %2 reading. Check the "
                                 "load and its cable, then repeat the reading.")
                : QStringLiteral("%1: the noise source probably did not switch on for the %2 reading. Check "
                                 "its supply, the serial line (DTR) and the cable, then repeat the reading.");
        c.warn(GuardKind::SourceNotSwitched, what.arg(how, QLatin1String(kReadingNames[hi])),
               {kLevels[hi], yFields[pair]});
    }
}

void impossibleTemperatures(Context &c, const CascadeInput &powers)
{
    const std::array<double, 3> te = temperatures(powers);
    const std::array<double, 3> sigma = temperatureSigmas(powers, c.rel);
    const Field fields[3] = {Field::Teq1, Field::Teq2, Field::Teq};
    const char *const names[3] = {"Teq(2)", "Teq(12)", "Teq(1)"};
    for (int i = 0; i < 3; ++i) {
        // Without a known scatter every negative temperature counts.
        const bool known = std::isfinite(sigma[i]) && sigma[i] > 0;
        if (!(te[i] < 0) || (known && te[i] >= -kSigmas * sigma[i]))
            continue;
        const QString size =
            known ? QStringLiteral(" lies %1 standard deviations of the readings' scatter below 0 K")
                        .arg(num(-te[i] / sigma[i], 1))
                  : QStringLiteral(" is below 0 K");
        c.warn(
            GuardKind::ImpossibleTemperature,
            QStringLiteral("%1 = %2 K%3: a noise temperature cannot be negative. Usual causes: Tcold is not "
                           "the source's physical temperature, a mismatch, the DUT's gain too low for the "
                           "second-stage correction, or the receiver's AGC is on.")
                .arg(QLatin1String(names[i]), FormatSig(te[i], 3), size),
            {fields[i]});
    }
}

void lowGain(Context &c, const CascadeInput &powers)
{
    const physics::DeviceResult &dut = c.result.device;
    if (!dut.ok || !(dut.gainDb < kLowGainDb))
        return;
    // How much the readings' scatter in NF(1) grows: the scatter of Teq(1)
    // against that of a DUT of the same noise temperature with a high gain
    // on the same set-up (NF is a function of Teq alone, so the ratio of
    // the temperatures' deviations is that of the noise figures').
    QString factor;
    const std::optional<CascadeInput> ref = withGain(powers, std::pow(10.0, kReferenceGainDb / 10));
    if (ref) {
        const double now = temperatureSigmas(powers, c.rel)[2], high = temperatureSigmas(*ref, c.rel)[2];
        if (std::isfinite(now) && std::isfinite(high) && high > 0)
            factor =
                QStringLiteral(" The readings' scatter in NF(1) is %1 times that of a %2 dB DUT on the same "
                               "set-up.")
                    .arg(num(now / high, 1), num(kReferenceGainDb, 0));
    }
    c.warn(
        GuardKind::LowGain,
        QStringLiteral("The DUT's gain of %1 dB is below %2 dB: the second-stage correction magnifies the "
                       "receiver's noise.%3 Use a receiver with less noise (a preamplifier, included in the "
                       "calibration) or longer readings.")
            .arg(num(dut.gainDb, 1), num(kLowGainDb, 0), factor),
        {Field::Gain, Field::NF});
}

bool differs(double a, double b)
{
    return std::abs(a - b) > 1e-9 * std::max(1.0, std::abs(a));
}

void calibrationState(Context &c)
{
    GuardReport &g = c.report;
    if (!c.inputs.levels[0] || !c.inputs.levels[1]) {
        g.calibration = CalibrationState::None;
        return;
    }
    g.calibration = CalibrationState::Valid;
    const Sheet &s = c.session.sheet();
    const double mhz = ParseNumber(s.text(Field::Frequency)), interval = ParseNumber(s.text(Field::Interval)),
                 enr = ParseNumber(s.text(Field::ENR));
    QStringList changed;
    for (int k = 0; k < 2; ++k) {
        const LevelRecord *r = measured(c.session, k);
        if (!r)
            continue; // a typed level: taken, as far as anyone knows, as the sheet stands
        if (differs(r->mhz, mhz))
            changed << QStringLiteral("at %1 MHz, the Frequency is now %2 MHz").arg(r->mhz).arg(mhz);
        if (differs(r->interval, interval))
            changed << QStringLiteral("with an Interval of %1 s, now %2 s").arg(r->interval).arg(interval);
        if (differs(r->enrDb, enr))
            changed << QStringLiteral("with an ENR of %1 dB, now %2 dB").arg(r->enrDb).arg(enr);
    }
    changed.removeDuplicates();
    if (changed.isEmpty())
        return;
    g.calibration = CalibrationState::Stale;
    g.calibrationDetail = QStringLiteral("The calibration (readings 1 and 2) was taken ") +
                          changed.join(QStringLiteral("; and ")) + QStringLiteral(".");
    c.warn(GuardKind::StaleCalibration,
           g.calibrationDetail +
               QStringLiteral(" NF(1) computed from it does not hold: repeat readings 1 and 2."),
           {Field::NF});
}

} // namespace

double nearClippingPeak()
{
    return physics::kClipLevel * std::pow(10.0, -1.0 / 20);
}

GuardReport evaluateGuards(Instrument &m)
{
    Context c{m, m.session(), cascadeInputsFrom(m.sheet()), {}, {}, {}};
    c.result = physics::cascade(c.inputs.cascade);
    const BudgetInputs budget = budgetInputs(m);
    const double averaged = budget.intervalS * std::clamp(m.session().Averages, 1, Session::kMaxAverages);
    for (int k = 0; k < 4; ++k) {
        const LevelRecord *r = measured(m.session(), k);
        const double bt = budget.bandwidthHz * (r ? r->seconds : averaged);
        c.rel[k] = bt > 0 && std::isfinite(bt) ? 1 / std::sqrt(bt) : std::nan("");
    }
    calibrationState(c);
    nearClipping(c);
    sourceSwitched(c);
    if (c.inputs.units) {
        const CascadeInput powers = inPowers(c.inputs);
        impossibleTemperatures(c, powers);
        lowGain(c, powers);
    }
    return c.report;
}

QString calibrationCaption(CalibrationState s)
{
    switch (s) {
    case CalibrationState::None:
        return QStringLiteral("No calibration");
    case CalibrationState::Valid:
        return QStringLiteral("Calibration valid");
    case CalibrationState::Stale:
        return QStringLiteral("Calibration stale");
    }
    return QString();
}
