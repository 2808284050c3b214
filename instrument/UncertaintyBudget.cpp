#include "instrument/UncertaintyBudget.h"

#include "acquire/Bench.h"
#include "calc/EnrTable.h"
#include "calc/Results.h"
#include "calc/Nmuc.h"
#include "calc/VendorEnr.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <algorithm>
#include <cmath>

namespace {

using physics::BudgetOut;
using physics::BudgetStatus;
using physics::BudgetTerm;

} // namespace

void setBudgetSetup(physics::BudgetInput &in, const physics::CascadeInput &c)
{
    in.tHot = c.tHot;
    in.tCold = c.tCold;
    in.tAtt1 = c.tAtt1;
    in.tAtt2 = c.tAtt2;
    in.att11 = c.att11;
    in.att12 = c.att12;
    in.att21 = c.att21;
    in.att22 = c.att22;
}

BudgetInputs budgetInputs(Instrument &m)
{
    const Sheet &s = m.sheet();
    const BudgetSettings &set = m.budgetSettings();
    auto value = [&s](Field f) { return ParseNumber(s.text(f)); };
    BudgetInputs b;
    physics::BudgetInput &in = b.input;
    // The same parsing of the sheet as the results; a level counts here when
    // it is a number in units that give a power.
    const CascadeInputs p = cascadeInputsFrom(s);
    setBudgetSetup(in, p.cascade);
    auto usable = [&p](int k) { return p.units && p.levels[k]; };
    for (int k = 0; k < 4; ++k)
        in.power[k] = usable(k) ? physics::levelPower(*p.units, *p.levels[k]) : 0.0;
    b.calibration = usable(0) && usable(1);
    in.combined = usable(2) && usable(3);

    // The readings' scatter: a mean square over T seconds through a
    // statistical bandwidth B has 2 B T degrees of freedom (the uncertainty
    // calculator's chi-square model), hence a relative standard deviation of
    // sqrt(2 / dof) = 1 / sqrt(B T).
    b.intervalS = value(Field::Interval);
    if (set.bandwidthHz > 0) {
        b.bandwidthHz = set.bandwidthHz;
        b.bandwidthSource = QStringLiteral("typed");
    } else if (m.route() == DeviceRoute::Bench) {
        b.bandwidthHz = m.bench().statisticalBandwidthHz(m.bench().lastRate());
        b.bandwidthSource = QStringLiteral("the virtual bench's");
    } else {
        b.bandwidthHz = ParseNumber(m.nmuc().text(NmucField::Bandwidth));
        b.bandwidthSource = QStringLiteral("the uncertainty calculator's");
    }
    // An averaged level is the mean of Averages mean squares: one mean
    // square over their whole recording time.
    b.averages = std::clamp(m.session().Averages, 1, Session::kMaxAverages);
    const double bt = b.bandwidthHz * b.intervalS * b.averages;
    const double rel = bt > 0 ? 1.0 / std::sqrt(bt) : std::nan("");
    in.relSd = {rel, rel, rel, rel};

    // ENR and reflections from the table at the current frequency.
    const EnrTable &table = m.enrTable();
    const bool loaded = s.enabled(Control::mnuEnrUnl);
    const double mhz = value(Field::Frequency);
    b.enrU95Db = set.enrU95Db;
    if (loaded && set.useFileEnrU)
        if (const std::optional<double> u = enrColumnAt(table, table.unc, mhz)) {
            b.enrU95Db = *u;
            b.enrUFromFile = true;
        }
    in.gSourceOn = set.gSourceOn;
    in.gSourceOff = set.gSourceOff;
    if (loaded && set.useFileReflection) {
        const std::optional<double> on = enrColumnAt(table, table.onMag, mhz);
        const std::optional<double> off = enrColumnAt(table, table.offMag, mhz);
        if (on && off) {
            in.gSourceOn = *on;
            in.gSourceOff = *off;
            b.reflectionFromFile = true;
        }
    }
    in.gDutIn = set.gDutIn;
    in.gDutOut = set.gDutOut;
    in.gReceiver = set.gReceiver;
    in.uEnrDb = b.enrU95Db / 2;
    // Between the table's points the curve is a choice: half its distance
    // from the straight line in dB, as a rectangle.
    if (loaded) {
        const double a = enrInterpolationHalfWidth(table, mhz);
        b.enrInterpHalfDb = std::isfinite(a) ? a : 0.0;
    }
    in.enrInterpHalfDb = b.enrInterpHalfDb;
    in.uTcold = set.tcoldU95K / 2;
    in.uAttDb = set.attU95Db / 2;
    in.uTatt = set.tattU95K / 2;
    return b;
}

physics::BudgetResult sheetBudget(Instrument &m, int draws)
{
    const BudgetInputs b = budgetInputs(m);
    if (!b.calibration) {
        physics::BudgetResult r;
        r.status = BudgetStatus::NoCalibration;
        return r;
    }
    return physics::uncertaintyBudget(b.input, draws);
}

QString budgetStatusText(BudgetStatus s)
{
    switch (s) {
    case BudgetStatus::Ok:
        return {};
    case BudgetStatus::NoCalibration:
        return QStringLiteral("No instrument calibration: take or type Noise LO and HI (2) first.");
    case BudgetStatus::YCalNotAboveOne:
        return QStringLiteral("Y(2) is not above 1 (0 dB): the noise source makes no difference, so no "
                              "uncertainty can be given.");
    case BudgetStatus::YDevNotAboveOne:
        return QStringLiteral("Y(12) is not above 1 (0 dB): the device path shows no noise step, so no "
                              "uncertainty can be given.");
    case BudgetStatus::NegativeTemperature:
        return QStringLiteral(
            "A temperature (Thot, Tcold, Tatt1, Tatt2) is below 0 K: the budget is meaningless.");
    case BudgetStatus::HotNotAbove290:
        return QStringLiteral(
            "Thot is not above 290 K: the source has no excess noise, its ENR is undefined.");
    case BudgetStatus::BadInput:
        return QStringLiteral(
            "An entry is out of range: reflections from 0 to below 1, uncertainties at least 0, "
            "bandwidth and interval above 0.");
    }
    return {};
}

QString budgetTermName(BudgetTerm t)
{
    static const char *const names[] = {"ENR",
                                        "ENR interpolation",
                                        "Tcold",
                                        "Att1(2) loss",
                                        "Att2(2) loss",
                                        "Att1(12) loss",
                                        "Att2(12) loss",
                                        "Tatt1",
                                        "Tatt2",
                                        "Noise LO (2) scatter",
                                        "Noise HI (2) scatter",
                                        "Noise LO (12) scatter",
                                        "Noise HI (12) scatter",
                                        "Mismatch source on / receiver",
                                        "Mismatch source off / receiver",
                                        "Mismatch source on / DUT input",
                                        "Mismatch source off / DUT input",
                                        "Mismatch DUT output / receiver"};
    static_assert(sizeof(names) / sizeof(names[0]) == physics::kBudgetTerms);
    return QString::fromLatin1(names[static_cast<int>(t)]);
}

QString budgetTermUnit(BudgetTerm t)
{
    switch (t) {
    case BudgetTerm::Tcold:
    case BudgetTerm::Tatt1:
    case BudgetTerm::Tatt2:
        return QStringLiteral("K");
    case BudgetTerm::Noise11:
    case BudgetTerm::Noise12:
    case BudgetTerm::Noise21:
    case BudgetTerm::Noise22:
        return QStringLiteral("%");
    default:
        return QStringLiteral("dB");
    }
}

QString nfToolTip(Instrument &m, Field f)
{
    if (m.sheet().text(f).isEmpty())
        return {};
    const BudgetOut which = f == Field::NF ? BudgetOut::DutNf : BudgetOut::RxNf;
    const physics::BudgetResult r = sheetBudget(m, 0);
    if (r.status != BudgetStatus::Ok)
        return budgetStatusText(r.status);
    const physics::BudgetOutput &o = r.out[static_cast<int>(which)];
    if (!o.ok)
        return QStringLiteral("No uncertainty: the noise temperature lies too close to 0 K.");
    return QStringLiteral("\u00b1 %1 dB (95 %, k = 2); largest contribution: %2.\nUtility > Uncertainty "
                          "budget shows them all.")
        .arg(FormatFixed(o.expanded, QStringLiteral("0.00")),
             budgetTermName(static_cast<BudgetTerm>(o.dominant)));
}
