// Y-factor noise measurement.
//
// Set-up: noise source -> attenuator 1 (at Tatt1) -> [device under test] ->
// attenuator 2 (at Tatt2) -> instrument (receiver + sound card).
//
// Path 2 (instrument calibration, no device): both attenuators lie between
// source and instrument, so the source temperatures seen by the instrument
// are Th2/Tc2. With the detector power P = k (T_in + Te) the Y factor
// Y = P_hot / P_cold gives Te = (Th - Y Tc) / (Y - 1).
//
// Path 12 (device + instrument): only attenuator 1 lies before the device,
// so the combination sees Th12/Tc12 and yields Te12 at the device input.
// The device gain follows from the two power steps per kelvin:
//   G1 = (dP12 / dP2) * (Th2 - Tc2) / (Th12 - Tc12) * L22,
// L22 being the linear loss of attenuator 2 after the device. The second
// stage behind the device is attenuator 2 (Te = (L22 - 1) Tatt2) followed by
// the instrument (Te2, referred to the attenuator input: L22 Te2), hence
//   Te1 = Te12 - (L22 - 1) Tatt2 / G1 - L22 Te2 / G1.
//
// All temperatures in kelvin, losses and gains in dB on the sheet, linear
// power ratios inside. A noise figure is 10 log10(1 + Te / 290 K).

#include "calc/Results.h"

#include "sheet/Meter.h"
#include "sheet/NumText.h"

#include <QLocale>
#include <cmath>
#include <initializer_list>

namespace {

constexpr double kT0 = 290.0; // reference temperature (K)

const QString kFmtY = QStringLiteral("0.000");  // Y factors (dB)
const QString kFmtNF = QStringLiteral("0.00");  // noise figures (dB)
const QString kFmtGain = QStringLiteral("0.0"); // device gain (dB)
constexpr int kTeDigits = 3;                    // significant figures of temperatures

const Field kResultFields[] = {Field::Y2dB, Field::Teq1, Field::NF1, Field::Y12dB, Field::Teq2,
                               Field::NF2, Field::Gain, Field::Teq, Field::NF};
const Control kOutlets[] = {Control::mnuSaveText, Control::mnuCopyTextClip, Control::mnuSaveTsv,
                            Control::btnSaveTsv};

double toDb(double ratio) { return 10.0 * std::log(ratio) / Ln10; }

bool allFinite(std::initializer_list<double> values)
{
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// Linear power ratio Y = P_HI / P_LO and power step dP = P_HI - P_LO of a
// level pair, in the units the levels are written in. Y stays 0 when it
// cannot be formed (unknown units, LO not positive for Watt/Volt).
struct PairRatio {
    double Y = 0;
    double dP = 0;
};

PairRatio pairRatio(const QString &units, double lo, double hi)
{
    PairRatio r;
    if (units == QLatin1String("dB")) {
        r.Y = std::pow(10.0, (hi - lo) / 10.0);
        r.dP = std::pow(10.0, hi / 10.0) - std::pow(10.0, lo / 10.0);
    } else if (units == QLatin1String("Watt")) {
        if (lo > 0)
            r.Y = hi / lo;
        r.dP = hi - lo;
    } else if (units == QLatin1String("Volt")) {
        if (lo > 0)
            r.Y = (hi / lo) * (hi / lo);
        r.dP = hi * hi - lo * lo;
    }
    return r;
}

// A pair is usable when both texts are numbers and LO < HI strictly.
bool pairUsable(const Sheet &s, Field lo, Field hi)
{
    return IsNumber(s.text(lo)) && IsNumber(s.text(hi)) && ParseNumber(s.text(lo)) < ParseNumber(s.text(hi));
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

void ResultsReset(Meter &m)
{
    Sheet &s = m.sheet();
    for (Field f : kResultFields)
        s.setText(f, QString());
    for (Field f : {Field::Teq, Field::Teq1, Field::Teq2})
        s.setColour(f, Colour::DarkRed);
    for (Control c : kOutlets)
        s.setEnabled(c, false);
}

void ResultsCalc(Meter &m)
{
    ResultsReset(m);
    Sheet &s = m.sheet();
    auto value = [&s](Field f) { return ParseNumber(s.text(f)); };
    const double tHot = value(Field::Thot), tCold = value(Field::Tcold);
    const double tAtt1 = value(Field::Tatt1), tAtt2 = value(Field::Tatt2);
    const QString units = s.unitsText();

    // Source temperatures at the instrument input, calibration path (K).
    const double Th2 = AttenuatorTemp(AttenuatorTemp(tHot, tAtt1, value(Field::Att11)), tAtt2, value(Field::Att12));
    const double Tc2 = AttenuatorTemp(AttenuatorTemp(tCold, tAtt1, value(Field::Att11)), tAtt2, value(Field::Att12));

    // Instrument calibration (2). Every quantity is checked before the block
    // writes anything: a failed calculation (Y of exactly 1, a logarithm of a
    // non-positive ratio, an overflow) stops here and leaves the rest empty.
    double Te2 = 0, dP2 = 0;
    if (pairUsable(s, Field::Noise11, Field::Noise12)) {
        const PairRatio p = pairRatio(units, value(Field::Noise11), value(Field::Noise12));
        const double te = (Th2 - Tc2 * p.Y) / (p.Y - 1.0);
        const double yDb = toDb(p.Y);
        const double nf = te > 0 ? toDb(te / kT0 + 1.0) : 0.0;
        if (!allFinite({Th2, Tc2, p.Y, p.dP, te, yDb, nf}))
            return;
        if (p.Y > 0) {
            // A valid calibration pair alone makes the report available.
            for (Control c : kOutlets)
                s.setEnabled(c, true);
        }
        s.setText(Field::Y2dB, FormatFixed(yDb, kFmtY));
        s.setText(Field::Teq1, FormatSig(te, kTeDigits));
        if (te > 0) {
            s.setColour(Field::Teq1, Colour::DarkBlue);
            s.setText(Field::NF1, FormatFixed(nf, kFmtNF));
        }
        Te2 = te;
        dP2 = p.dP;
    }

    // Combined measurement (12): only attenuator 1 lies before the device.
    const double L22 = std::pow(10.0, value(Field::Att22) / 10.0);
    const double Th12 = AttenuatorTemp(tHot, tAtt1, value(Field::Att21));
    const double Tc12 = AttenuatorTemp(tCold, tAtt1, value(Field::Att21));
    if (!pairUsable(s, Field::Noise21, Field::Noise22))
        return;
    const PairRatio p12 = pairRatio(units, value(Field::Noise21), value(Field::Noise22));
    const double Te12 = (Th12 - Tc12 * p12.Y) / (p12.Y - 1.0);
    const double y12Db = toDb(p12.Y);
    if (!allFinite({L22, Th12, Tc12, p12.Y, p12.dP, Te12, y12Db}))
        return;
    s.setText(Field::Y12dB, FormatFixed(y12Db, kFmtY));
    s.setText(Field::Teq2, FormatSig(Te12, kTeDigits));
    // The sign test is made on the temperature as shown (3 figures).
    if (!(shownValue(s.text(Field::Teq2)) > 0))
        return;
    const double nf12 = toDb(Te12 / kT0 + 1.0);
    if (!std::isfinite(nf12))
        return;
    s.setColour(Field::Teq2, Colour::DarkBlue);
    s.setText(Field::NF2, FormatFixed(nf12, kFmtNF));

    // Device under test (1): needs a valid instrument temperature.
    if (!(Te2 > 0))
        return;
    const double G1 = (p12.dP / dP2) * (Th2 - Tc2) / (Th12 - Tc12) * L22;
    const double Te1 = Te12 - (L22 - 1.0) * tAtt2 / G1 - (Te2 / G1) * L22;
    const double gainDb = toDb(G1);
    if (!allFinite({G1, Te1, gainDb}))
        return;
    s.setText(Field::Teq, FormatSig(Te1, kTeDigits));
    s.setText(Field::Gain, FormatFixed(gainDb, kFmtGain));
    if (!(shownValue(s.text(Field::Teq)) > 0))
        return;
    const double nf1 = toDb(Te1 / kT0 + 1.0);
    if (!std::isfinite(nf1))
        return;
    s.setColour(Field::Teq, Colour::DarkBlue);
    s.setText(Field::NF, FormatFixed(nf1, kFmtNF));
}

void discardReadings(Meter &m)
{
    m.ZeroMeas.Reset();
    for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
        m.sheet().setText(f, QString());
}

void ResetAction(Meter &m)
{
    discardReadings(m);
    ResultsReset(m);
}

void LimitsToggle(Meter &m)
{
    Sheet &s = m.sheet();
    const bool on = !s.checked(Control::mnuOptionsLimits);
    s.setChecked(Control::mnuOptionsLimits, on);
    m.LimitsEnabled = on;
    // Levels taken under the old clipping rule no longer apply.
    discardReadings(m);
    ResultsReset(m);
}
