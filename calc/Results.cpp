// The result fields of the sheet: parse the parameter and level texts, run
// the Y-factor cascade of physics/YFactor and show what it yields, in the
// order and with the formats the sheet has always used.

#include "calc/Results.h"

#include "calc/EnrTable.h"
#include "physics/YFactor.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString kFmtY = QStringLiteral("0.000");  // Y factors (dB)
const QString kFmtNF = QStringLiteral("0.00");  // noise figures (dB)
const QString kFmtGain = QStringLiteral("0.0"); // device gain (dB)
constexpr int kTeDigits = 3;                    // significant figures of temperatures

const Field kResultFields[] = {Field::Y2dB, Field::Teq1, Field::NF1, Field::Y12dB, Field::Teq2,
                               Field::NF2, Field::Gain, Field::Teq, Field::NF};
const Control kOutlets[] = {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv,
                            Control::btnSaveTsv};

const Field kLevelFields[] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};

// A pair is usable when both levels are numbers and LO < HI strictly.
std::optional<physics::LevelPair> usablePair(const std::optional<double> &lo, const std::optional<double> &hi)
{
    if (!lo || !hi || !(*lo < *hi))
        return std::nullopt;
    return physics::LevelPair{*lo, *hi};
}

// The value of a temperature text written by FormatSig. Its scientific form
// ("1.35e+3") always uses '.', which a decimal-comma locale reads as a group
// separator, so such a text is read in the C locale.
double shownValue(const QString &text)
{
    if (text.contains(QLatin1Char('e'))) {
        bool ok = false;
        const double v = QLocale::c().toDouble(text, &ok);
        return ok && std::isfinite(v) ? v : 0.0;
    }
    return ParseNumber(text);
}

} // namespace

std::optional<physics::LevelUnits> levelUnits(const QString &units)
{
    if (units == QLatin1String("dB"))
        return physics::LevelUnits::Db;
    if (units == QLatin1String("Watt"))
        return physics::LevelUnits::Watt;
    if (units == QLatin1String("Volt"))
        return physics::LevelUnits::Volt;
    return std::nullopt;
}

CascadeInputs cascadeInputsFrom(const Sheet &s)
{
    auto value = [&s](Field f) { return ParseNumber(s.text(f)); };
    CascadeInputs r;
    physics::CascadeInput &in = r.cascade;
    in.tHot = value(Field::Thot);
    in.tCold = value(Field::Tcold);
    in.tAtt1 = value(Field::Tatt1);
    in.tAtt2 = value(Field::Tatt2);
    in.att11 = value(Field::Att11);
    in.att12 = value(Field::Att12);
    in.att21 = value(Field::Att21);
    in.att22 = value(Field::Att22);
    r.units = levelUnits(s.unitsText());
    in.units = r.units.value_or(physics::LevelUnits::Db);
    for (std::size_t k = 0; k < r.levels.size(); ++k) {
        const QString &text = s.text(kLevelFields[k]);
        if (IsNumber(text))
            r.levels[k] = ParseNumber(text);
    }
    in.instrument = usablePair(r.levels[0], r.levels[1]);
    in.combined = usablePair(r.levels[2], r.levels[3]);
    // The calibration path's own source temperatures when a calibration
    // ENR table gives them (a converter's IF); otherwise Thot and Tcold.
    const Sheet::CalibrationEnr &cal = s.calibrationEnr;
    if (cal.state == Sheet::CalibrationEnr::State::Table) {
        in.calTHot = cal.tHot;
        in.calTCold = cal.tCold;
    }
    return r;
}

namespace {

// The calibration path's ENR as the table gives it, after `where` ("IF
// 1250.000 MHz"; empty for an amplifier): nothing when typed.
QString calibrationEnrText(const Sheet::CalibrationEnr &cal, const QString &where)
{
    using State = Sheet::CalibrationEnr::State;
    const QString fmtMhz = QStringLiteral("0.000");
    switch (cal.state) {
    case State::Typed:
        return where;
    case State::Table: {
        const QString enr = FormatFixed(cal.enrDb, QStringLiteral("0.00"));
        return where.isEmpty() ? QStringLiteral("Calibration ENR %1 dB").arg(enr)
                               : QStringLiteral("%1, calibration ENR %2 dB").arg(where, enr);
    }
    case State::Outside: {
        const QString outside = QStringLiteral("outside the calibration ENR table (%1 to %2 MHz)")
                                    .arg(FormatFixed(cal.lowMhz, fmtMhz), FormatFixed(cal.highMhz, fmtMhz));
        return where.isEmpty() ? QStringLiteral("Frequency %1").arg(outside)
                               : QStringLiteral("%1, %2").arg(where, outside);
    }
    }
    return where;
}

} // namespace

QString ifText(const Sheet &s)
{
    const DeviceSetup &d = s.device;
    if (!d.converter())
        return calibrationEnrText(s.calibrationEnr, QString());
    const QString &rf = s.text(Field::Frequency);
    if (!IsNumber(rf))
        return converterErrorText(physics::ConverterError::NotFinite);
    const physics::FrequencyPlan plan = physics::frequencyPlan(d.mode, d.loMhz, d.sideband, ParseNumber(rf));
    if (!plan.ok())
        return converterErrorText(plan.error);
    return calibrationEnrText(
        s.calibrationEnr, QStringLiteral("IF %1 MHz").arg(FormatFixed(plan.ifMhz, QStringLiteral("0.000"))));
}

void ResultsReset(Sheet &s)
{
    for (Field f : kResultFields)
        s.setText(f, QString());
    for (Field f : {Field::Teq, Field::Teq1, Field::Teq2})
        s.setColour(f, Colour::DarkRed);
    for (Control c : kOutlets)
        s.setEnabled(c, false);
}

void ResultsCalc(Sheet &s)
{
    ResultsReset(s);
    const CascadeInputs inputs = cascadeInputsFrom(s);
    // Levels in units the sheet does not know give no power ratio: nothing
    // can be computed.
    if (!inputs.units)
        return;
    const physics::CascadeInput &in = inputs.cascade;
    const physics::CascadeResult r = physics::cascade(in);

    // Calibration of the instrument (2). A failed calculation (Y of exactly 1, a
    // logarithm of a non-positive ratio, an overflow) stops here and leaves
    // the rest empty.
    const physics::YFactorResult &cal = r.instrument;
    // A calibration frequency outside the calibration ENR table's knots
    // gives the receiver no source temperatures (nothing is extrapolated):
    // its temperature, and so the device's results, stay empty.
    const bool calSourceKnown = s.calibrationEnr.state != Sheet::CalibrationEnr::State::Outside;
    if (in.instrument) {
        if (!cal.ok)
            return;
        if (cal.Y > 0) {
            // A valid calibration pair alone makes the report available.
            for (Control c : kOutlets)
                s.setEnabled(c, true);
        }
        s.setText(Field::Y2dB, FormatFixed(cal.yDb, kFmtY));
        if (calSourceKnown)
            s.setText(Field::Teq1, FormatSig(cal.te, kTeDigits));
        if (calSourceKnown && cal.te > 0) {
            s.setColour(Field::Teq1, Colour::DarkBlue);
            s.setText(Field::NF1, FormatFixed(cal.nfDb, kFmtNF));
        }
    }

    // Combined measurement (12).
    const physics::YFactorResult &comb = r.combined;
    if (!in.combined || !comb.ok)
        return;
    s.setText(Field::Y12dB, FormatFixed(comb.yDb, kFmtY));
    s.setText(Field::Teq2, FormatSig(comb.te, kTeDigits));
    // The sign test is made on the temperature as shown (3 figures).
    if (!(shownValue(s.text(Field::Teq2)) > 0) || !std::isfinite(comb.nfDb))
        return;
    s.setColour(Field::Teq2, Colour::DarkBlue);
    s.setText(Field::NF2, FormatFixed(comb.nfDb, kFmtNF));

    // Device under test (1): needs a valid instrument temperature.
    if (!r.device.ok || !calSourceKnown)
        return;
    // A converter's figures need a frequency plan for the RF (IEEE SSB,
    // sheet/DeviceSetup.h).
    const DeviceSetup &d = s.device;
    if (d.converter() &&
        !physics::frequencyPlan(d.mode, d.loMhz, d.sideband, ParseNumber(s.text(Field::Frequency))).ok())
        return;
    const physics::ImageCorrection figures = deviceFigures(d, r);
    if (!figures.ok())
        return;
    const physics::DeviceResult &dut = figures.device;
    s.setText(Field::Teq, FormatSig(dut.te, kTeDigits));
    s.setText(Field::Gain, FormatFixed(dut.gainDb, kFmtGain));
    if (!(shownValue(s.text(Field::Teq)) > 0) || !std::isfinite(dut.nfDb))
        return;
    s.setColour(Field::Teq, Colour::DarkBlue);
    s.setText(Field::NF, FormatFixed(dut.nfDb, kFmtNF));
}

void discardReadings(Session &m)
{
    m.ZeroMeas.Reset();
    m.LevelRecords = {};
    for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
        m.sheet().setText(f, QString());
}

void ResetAction(Session &m)
{
    discardReadings(m);
    ResultsReset(m.sheet());
}

void LimitsToggle(Session &m)
{
    Sheet &s = m.sheet();
    const bool on = !s.checked(Control::mnuOptionsLimits);
    s.setChecked(Control::mnuOptionsLimits, on);
    m.LimitsEnabled = on;
    // Levels taken under the old clipping rule no longer apply.
    discardReadings(m);
    ResultsReset(s);
}

double calibrationMhz(const Sheet &s)
{
    const double mhz = ParseNumber(s.text(Field::Frequency));
    const DeviceSetup &d = s.device;
    if (!d.converter())
        return mhz;
    const physics::FrequencyPlan plan = physics::frequencyPlan(d.mode, d.loMhz, d.sideband, mhz);
    return plan.ok() ? plan.ifMhz : std::numeric_limits<double>::quiet_NaN();
}

Sheet::CalibrationEnr calibrationEnrFrom(const Sheet &s, const EnrTable *table, bool ownTable,
                                         double sourceOffK)
{
    Sheet::CalibrationEnr c;
    // An amplifier is calibrated at its own frequency: only a table of its
    // own makes the calibration path differ from the device path.
    if (!table || table->size() < 2 || !(s.device.converter() || ownTable))
        return c;
    c.mhz = calibrationMhz(s);
    if (!std::isfinite(c.mhz))
        return c; // no frequency plan: the IF line says why
    c.lowMhz = table->freq.first();
    c.highMhz = table->freq.last();
    // Within the knots only, and in (0, 200) dB as shown, as the fields take it.
    const QString text = c.mhz >= c.lowMhz && c.mhz <= c.highMhz
                             ? FormatFixed(csinterpolate(*table, c.mhz), QStringLiteral("0.00"))
                             : QString();
    const double enr = ParseNumber(text);
    if (!(enr > 0 && enr < 200)) {
        c.state = Sheet::CalibrationEnr::State::Outside;
        return c;
    }
    // Thot and Tcold as the fields would show them for this ENR.
    c.state = Sheet::CalibrationEnr::State::Table;
    c.enrDb = enr;
    c.tCold = ParseNumber(FormatFixed(sourceOffK, QStringLiteral("0.00")));
    c.tHot = ParseNumber(FormatFixed(ThotFromEnr(enr, sourceOffK), QStringLiteral("0.0")));
    return c;
}
