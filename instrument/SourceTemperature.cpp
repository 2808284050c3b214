#include "instrument/SourceTemperature.h"

#include "calc/EnrTable.h"
#include "calc/Results.h"
#include "instrument/Commands.h"
#include "instrument/FieldRules.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <cmath>

namespace {

const QString kCaption = QStringLiteral("TQX");

bool refusedWhileBusy(Instrument &m)
{
    if (!m.busy())
        return false;
    m.message(kCaption,
              QStringLiteral("The noise source cannot change while a measurement runs: let it end or "
                             "cancel it first."),
              MsgIcon::Exclamation);
    return true;
}

} // namespace

std::optional<double> sourceOffValue(double kelvin)
{
    if (!(kelvin >= Session::kSourceOffMinK && kelvin <= Session::kSourceOffMaxK))
        return std::nullopt; // NaN too
    return std::round(kelvin * 100) / 100;
}

bool setSourceOffK(Instrument &m, double kelvin)
{
    const std::optional<double> v = sourceOffValue(kelvin);
    if (!v) {
        m.message(QStringLiteral("Value error:"),
                  QStringLiteral("The noise source temperature when off must be >= %1 K and <= %2 K")
                      .arg(NumToText(Session::kSourceOffMinK), NumToText(Session::kSourceOffMaxK)),
                  MsgIcon::None);
        return false;
    }
    if (refusedWhileBusy(m))
        return false;
    m.session().SourceOffK = *v;
    enrTableLookUp(m); // nothing without a table in use
    ResultsCalc(m.sheet());
    return true;
}

void hotColdFields(Session &m, bool on)
{
    Sheet &s = m.sheet();
    if (on) {
        // A table in use is set aside: the name stays for the switched source.
        s.setEnabled(Control::mnuEnrUnl, false);
        s.setEnabled(Control::mnuCalEnrUnl, false);
        for (Field f : {Field::Thot, Field::Tcold}) {
            s.setLocked(f, false);
            s.setColour(f, Colour::WindowText);
        }
        s.setText(Field::ENR, QString());
    } else {
        const double enr = EnrFromThot(ParseNumber(s.text(Field::Thot)));
        if (std::isfinite(enr))
            s.setText(Field::ENR, FormatFixed(enr, QStringLiteral("0.00")));
    }
    s.setLocked(Field::ENR, on);
    s.setColour(Field::ENR, Colour::WindowText);
    s.setEnabled(Control::mnuEnrImp, !on);
    s.setEnabled(Control::mnuCalEnrImp, !on);
}

bool setHotColdLoads(Instrument &m, bool on)
{
    Session &s = m.session();
    if (s.HotColdLoads == on)
        return true;
    if (refusedWhileBusy(m))
        return false;
    s.HotColdLoads = on;
    hotColdFields(s, on);
    if (!on && !s.EnrFileName.isEmpty())
        loadEnrTable(m); // reports its own problems; a failure forgets the name
    if (!on && !s.CalEnrFileName.isEmpty())
        loadCalibrationEnrTable(m);
    calibrationEnrLookUp(m);
    ResultsCalc(m.sheet());
    return true;
}
