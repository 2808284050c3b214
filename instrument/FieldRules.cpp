#include "instrument/FieldRules.h"

#include "instrument/Instrument.h"
#include "sheet/NumText.h"
#include "calc/EnrTable.h"
#include "calc/Results.h"

#include <QDateTime>
#include <cmath>

namespace {

const QString kValueError = QStringLiteral("Value error:");

// The parameter fields with a plain range rule. `valid` sees the value of
// the reformatted text and the sheet (for the Tcold/Thot cross-check).
struct RangeRule {
    Field field;
    const char *format;
    const char *message;
    bool (*valid)(double v, const Sheet &s);
};

bool interval(double v, const Sheet &) { return v >= 0.05 && v <= 100; }
bool positive(double v, const Sheet &) { return v > 0; }
bool coldBelowHot(double v, const Sheet &s) { return v > 0 && v < ParseNumber(s.text(Field::Thot)); }
bool hotAboveCold(double v, const Sheet &s) { return v > 0 && v > ParseNumber(s.text(Field::Tcold)); }
bool enrRange(double v, const Sheet &) { return v > -100 && v <= 100; }
bool frequency(double v, const Sheet &) { return v >= 0.1 && v <= 100000; }
bool attenuation(double v, const Sheet &) { return v >= -200 && v <= 200; } // both bounds accepted

// Messages are shown verbatim; where they word a bound differently from the
// test (attenuators), the test governs.
const RangeRule kRules[] = {
    {Field::Interval, "0.000", "Interval must be >= 0.05 and  <= 100", interval},
    {Field::Tatt1, "0.0", "Tatt1 must be > 0", positive},
    {Field::Tatt2, "0.0", "Tatt2 must be > 0", positive},
    {Field::Tcold, "0.0", "Tcold must be > 0 and < Thot", coldBelowHot},
    {Field::Thot, "0.0", "Thot must be > 0 and > Tcold", hotAboveCold},
    {Field::ENR, "0.00", "ENR must be > -100 and <= 100", enrRange},
    {Field::Frequency, "0.000", "Frequency must be >= 0.1 and <= 100000", frequency},
    {Field::Att11, "0.00", "Att11 must be > -200 and < 200", attenuation},
    {Field::Att12, "0.00", "Att12 must be > -200 and < 200", attenuation},
    {Field::Att21, "0.00", "Att21 must be > -200 and < 200", attenuation},
    {Field::Att22, "0.00", "Att22 must be > -200 and < 200", attenuation},
};

const RangeRule *ruleFor(Field f)
{
    for (const RangeRule &r : kRules)
        if (r.field == f)
            return &r;
    return nullptr;
}

// ENR = 10 log10((Thot - 290 K) / 290 K), always against the 290 K
// reference. Undefined for Thot <= 290 K: ENR then keeps its text.
void enrFromThot(Sheet &s)
{
    const double enr = EnrFromThot(ParseNumber(s.text(Field::Thot)));
    if (std::isfinite(enr))
        s.setText(Field::ENR, FormatFixed(enr, QStringLiteral("0.00")));
}

// Thot = 290 K * 10^(ENR/10) + 290 K from the ENR as shown (an empty field
// counts as 0 dB and gives 580.0 K).
void thotFromEnr(Sheet &s)
{
    const double tHot = ThotFromEnr(ParseNumber(s.text(Field::ENR)));
    if (std::isfinite(tHot))
        s.setText(Field::Thot, FormatFixed(tHot, QStringLiteral("0.0")));
}

// Readings taken with another integration interval no longer apply.
void intervalChange(Instrument &m)
{
    Sheet &s = m.sheet();
    const double v = ParseNumber(s.text(Field::Interval));
    if (v == ParseNumber(s.intervalTag))
        return; // unchanged: no recalculation either
    discardReadings(m.session());
    ResultsCalc(m.sheet());
    s.intervalTag = NumToText(v);
}

bool rangeValidate(Instrument &m, const RangeRule &rule)
{
    Sheet &s = m.sheet();
    const Field f = rule.field;
    const QString fmt = QLatin1String(rule.format);
    if (IsNumber(s.text(f)))
        s.setText(f, FormatFixed(s.text(f), fmt));
    const bool emptyEnr = f == Field::ENR && s.text(f).isEmpty();
    if (!emptyEnr && !(IsNumber(s.text(f)) && rule.valid(ParseNumber(s.text(f)), s))) {
        m.message(kValueError, QLatin1String(rule.message), MsgIcon::None);
        return false;
    }
    switch (f) {
    case Field::Interval: intervalChange(m); return true;
    case Field::Tcold:
    case Field::Thot:
        if (!m.session().HotColdLoads) // loads have no ENR: the field stays empty
            enrFromThot(s);
        break;
    case Field::ENR: thotFromEnr(s); break;
    case Field::Frequency: enrTableLookUp(m); break;
    default: break;
    }
    ResultsCalc(m.sheet());
    return true;
}

// Level fields: LO/HI pairs (Noise11, Noise12) and (Noise21, Noise22).
bool levelValidate(Instrument &m, Field f)
{
    Sheet &s = m.sheet();
    const bool dbMode = s.unitsText() == QLatin1String("dB");
    const bool isHi = f == Field::Noise12 || f == Field::Noise22;
    Field partner = Field::Noise11;
    switch (f) {
    case Field::Noise11: partner = Field::Noise12; break;
    case Field::Noise12: partner = Field::Noise11; break;
    case Field::Noise21: partner = Field::Noise22; break;
    default: partner = Field::Noise21; break;
    }

    bool accepted = true;
    if (IsNumber(s.text(f)))
        s.setText(f, FormatFixed(s.text(f), QStringLiteral("0.000")));
    if (s.text(f).isEmpty()) {
        if (dbMode)
            ResultsCalc(m.sheet());
    } else {
        const double v = ParseNumber(s.text(f));
        const bool inRange = IsNumber(s.text(f)) && (dbMode ? (v >= -200 && v <= 200) : (v > 0 && v <= 10000));
        if (!inRange) {
            m.message(kValueError,
                      dbMode ? QStringLiteral("Noise must be > -200 and < 200 and Noise HI > Noise LO")
                             : QStringLiteral("Noise must be > 0 and < 10000 and Noise HI > Noise LO"),
                      MsgIcon::None);
            accepted = false;
        } else if (IsNumber(s.text(partner))) {
            const double other = ParseNumber(s.text(partner));
            const double hi = isHi ? v : other, lo = isHi ? other : v;
            if (hi <= lo) {
                m.message(kValueError, QStringLiteral("Noise HI must be > Noise LO"), MsgIcon::None);
                accepted = false;
            }
        }
        if (accepted) {
            s.setColour(f, Colour::WindowText);
            ResultsCalc(m.sheet());
        }
    }
    // Any visit to a level field renews the observation time stamp.
    m.session().ObsTime = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    return accepted;
}

} // namespace

void enrTableLookUp(Instrument &m)
{
    Sheet &s = m.sheet();
    if (s.enabled(Control::mnuEnrUnl)) {
        const double e = csinterpolate(m.enrTable(), ParseNumber(s.text(Field::Frequency)));
        const QString enrText = FormatFixed(e, QStringLiteral("0.00")); // empty when not finite
        const double v = ParseNumber(enrText);
        if (v > 0 && v < 200) {
            // As the table's load: Tcold the source's physical temperature when
            // off, Thot the excess noise of the ENR as shown on top of it.
            const double tOff = m.session().SourceOffK;
            s.setText(Field::ENR, enrText);
            s.setText(Field::Tcold, FormatFixed(tOff, QStringLiteral("0.00")));
            s.setText(Field::Thot, FormatFixed(ThotFromEnr(v, tOff), QStringLiteral("0.0")));
        } else {
            EnrUnload(m.session(), m.enrTable());
            m.message(QStringLiteral("TQX ENR File error:"),
                      QStringLiteral("ENR data out of range, file unloaded."), MsgIcon::Critical);
        }
    }
    calibrationEnrLookUp(m);
}

void calibrationEnrLookUp(Instrument &m)
{
    Sheet &s = m.sheet();
    const bool own = s.enabled(Control::mnuCalEnrUnl);
    const bool inUse = !m.session().HotColdLoads && (own || s.enabled(Control::mnuEnrUnl));
    s.calibrationEnr =
        calibrationEnrFrom(s, inUse ? &m.calibrationEnrTable() : nullptr, own, m.session().SourceOffK);
}

bool FieldValidate(Instrument &m, Field f)
{
    // ENR, Thot and Tcold are locked while an ENR table is loaded; their
    // texts come from the table and must not be reformatted or coupled.
    if (m.sheet().locked(f))
        return true;
    switch (f) {
    case Field::Noise11:
    case Field::Noise12:
    case Field::Noise21:
    case Field::Noise22: return levelValidate(m, f);
    default: break;
    }
    if (const RangeRule *rule = ruleFor(f))
        return rangeValidate(m, *rule);
    return true;
}

void UnitsValidate(Instrument &m)
{
    Sheet &s = m.sheet();
    const int index = s.unitsIndex();
    bool ok = false;
    const int remembered = s.unitsTag.toInt(&ok);
    if (ok && remembered == index)
        return;
    s.unitsTag = QString::number(index);
    // Levels in the old units no longer apply.
    discardReadings(m.session());
    ResultsCalc(m.sheet());
}
