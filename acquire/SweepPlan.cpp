#include "acquire/SweepPlan.h"

#include "calc/EnrTable.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Frequencies in messages: as many decimals as they need, '.' as the mark.
QString mhzText(double mhz)
{
    return QString::number(mhz, 'g', 10) + QStringLiteral(" MHz");
}

QString outOfRange(double mhz)
{
    return QStringLiteral("%1 lies outside the receiver range of %2 to %3.")
        .arg(mhzText(mhz), mhzText(kSweepMinMhz), mhzText(kSweepMaxMhz));
}

QString tooMany(qint64 n)
{
    return QStringLiteral("A sweep has at most %1 points; this one would have %2.").arg(kSweepMaxPoints).arg(n);
}

bool inRange(double mhz)
{
    return mhz >= kSweepMinMhz && mhz <= kSweepMaxMhz;
}

} // namespace

FrequencyList rangeFrequencies(double startMhz, double stopMhz, double stepMhz)
{
    FrequencyList r;
    if (!std::isfinite(startMhz) || !std::isfinite(stopMhz) || !std::isfinite(stepMhz))
        r.error = QStringLiteral("Start, stop and step must be numbers.");
    else if (startMhz > stopMhz)
        r.error = QStringLiteral("The start frequency (%1) lies above the stop frequency (%2).")
                      .arg(mhzText(startMhz), mhzText(stopMhz));
    else if (!(stepMhz > 0))
        r.error = QStringLiteral("The step must be greater than 0 MHz.");
    else if (!inRange(startMhz))
        r.error = outOfRange(startMhz);
    else if (!inRange(stopMhz))
        r.error = outOfRange(stopMhz);
    if (!r.error.isEmpty())
        return r;
    // Counted before anything is allocated: a tiny step must not exhaust memory.
    const double steps = std::floor((stopMhz - startMhz) / stepMhz + 1e-6);
    if (steps + 1 > kSweepMaxPoints) {
        r.error = tooMany(steps + 1 > 1e15 ? qint64(1e15) : qint64(steps) + 1);
        return r;
    }
    const int n = int(steps) + 1;
    r.mhz.reserve(n);
    for (int i = 0; i < n; ++i)
        r.mhz.append(std::min(startMhz + i * stepMhz, stopMhz)); // i * step, not a running sum: no drift
    return r;
}

FrequencyList listedFrequencies(const QString &text)
{
    FrequencyList r;
    static const QRegularExpression separators(QStringLiteral("[\\s;]+"));
    const QStringList items = text.split(separators, Qt::SkipEmptyParts);
    if (items.isEmpty()) {
        r.error = QStringLiteral("The frequency list is empty.");
        return r;
    }
    if (items.size() > kSweepMaxPoints) {
        r.error = tooMany(items.size());
        return r;
    }
    for (const QString &item : items) {
        const std::optional<double> v = EnrFileNumber(item);
        if (!v)
            r.error = QStringLiteral("\"%1\" in the frequency list is not a number.").arg(item.left(40));
        else if (!inRange(*v))
            r.error = outOfRange(*v);
        else if (!r.mhz.isEmpty() && !(*v > r.mhz.last()))
            r.error = QStringLiteral("The frequency list must rise: %1 follows %2.")
                          .arg(mhzText(*v), mhzText(r.mhz.last()));
        if (!r.error.isEmpty()) {
            r.mhz.clear();
            return r;
        }
        r.mhz.append(*v);
    }
    return r;
}

SourcePlan sourceTemps(const QVector<double> &mhz, const EnrTable *table, const SourceTemps &fixed)
{
    SourcePlan r;
    r.temps.reserve(mhz.size());
    for (double f : mhz) {
        if (!table) {
            r.temps.append(fixed);
            continue;
        }
        // Between the knots only: the spline's end cubics are no calibration.
        if (table->size() < 2 || f < table->freq.first() || f > table->freq.last()) {
            r.error = QStringLiteral("%1 lies outside the ENR table (%2 to %3); the sweep does not extrapolate it.")
                          .arg(mhzText(f), mhzText(table->size() ? table->freq.first() : 0),
                               mhzText(table->size() ? table->freq.last() : 0));
            r.temps.clear();
            return r;
        }
        // The main window's rounding: ENR to 0.01 dB, Thot to 0.1 K.
        const double enr = std::round(csinterpolate(*table, f) * 100) / 100;
        if (!(enr > 0 && enr < 200)) {
            r.error = QStringLiteral("ENR data out of range at %1.").arg(mhzText(f));
            r.temps.clear();
            return r;
        }
        // Tcold the source's physical temperature when off; the excess
        // noise the ENR states lies on top of it.
        r.temps.append({enr, std::round(physics::ThotFromEnr(enr, fixed.tCold) * 10) / 10, fixed.tCold});
    }
    return r;
}

FrequencyList planFrequencies(const Sheet &sheet, const EnrTable &table, const SweepFrequencies &f)
{
    switch (f.source) {
    case SweepFrequencies::Source::Range: return rangeFrequencies(f.startMhz, f.stopMhz, f.stepMhz);
    case SweepFrequencies::Source::List: return listedFrequencies(f.list);
    case SweepFrequencies::Source::EnrTable:
        break;
    }
    FrequencyList r;
    if (!sheet.enabled(Control::mnuEnrUnl) || table.size() < 2)
        r.error = QStringLiteral("No ENR table is loaded (File, Import ENR file).");
    else
        r.mhz = table.freq;
    return r;
}

PlanResult makeSweepPlan(const Session &session, const EnrTable &table, SweepKind kind,
                         const SweepFrequencies &f, double settleS, bool stopOnFailure,
                         const EnrTable *calTable)
{
    PlanResult r;
    // A refused plan is empty: nothing of it may run.
    auto refuse = [](const QString &why) { return PlanResult{SweepPlan(), why}; };
    const FrequencyList list = planFrequencies(session.sheet(), table, f);
    if (!list.error.isEmpty())
        return refuse(list.error);
    const Sheet &s = session.sheet();
    auto value = [&s](Field fld) { return ParseNumber(s.text(fld)); };
    SweepPlan &p = r.plan;
    p.kind = kind;
    p.mhz = list.mhz;
    p.intervalS = value(Field::Interval);
    if (!(p.intervalS >= 0.05 && p.intervalS <= 100))
        return refuse(QStringLiteral("Interval must be >= 0.05 and  <= 100"));
    if (!(settleS >= 0 && settleS <= 60))
        return refuse(QStringLiteral("The settling time must lie between 0 and 60 s."));
    p.settleS = settleS;
    p.params.tAtt1 = value(Field::Tatt1);
    p.params.tAtt2 = value(Field::Tatt2);
    p.params.att11 = value(Field::Att11);
    p.params.att12 = value(Field::Att12);
    p.params.att21 = value(Field::Att21);
    p.params.att22 = value(Field::Att22);
    p.params.units = physics::LevelUnits::Db; // measured levels are always dB
    // The zero of the main window (SC&Z), as the spot readings subtract it;
    // without one nothing is subtracted.
    const double zero = session.ZeroMeas.Ms;
    p.zeroMs = std::isfinite(zero) && zero > 0 ? zero : 0;
    p.averages = std::clamp(session.Averages, 1, Session::kMaxAverages);
    p.serialSwitching = session.ComEnabled > 0 && !session.HotColdLoads; // loads are changed by hand
    p.limits = s.checked(Control::mnuOptionsLimits);
    p.stopOnFailure = stopOnFailure;

    // The device: an amplifier is tuned to each frequency itself, a
    // converter to the IF its plan gives for it.
    p.device = s.device;
    for (double rf : p.mhz) {
        const physics::FrequencyPlan fp =
            physics::frequencyPlan(p.device.mode, p.device.loMhz, p.device.sideband, rf);
        if (!fp.ok())
            return refuse(QStringLiteral("%1 cannot be measured with the LO at %2. %3.")
                              .arg(mhzText(rf), mhzText(p.device.loMhz), converterErrorText(fp.error)));
        p.ifMhz.append(fp.ifMhz);
    }

    // The receiver alone is calibrated at the IF (a converter's) or at the
    // frequency itself, with the calibration table's ENR there when one of
    // its own is loaded; otherwise the measurement table serves both.
    const bool calibrating = kind == SweepKind::Calibration;
    const bool atIf = calibrating && p.device.converter();
    const bool ownCal = calibrating && calTable && calTable != &table && calTable->size() >= 2;
    const bool useTable = ownCal || (s.enabled(Control::mnuEnrUnl) && table.size() >= 2);
    const EnrTable &sourceTable = ownCal ? *calTable : table;
    // The ENR shown for fixed temperatures is the one Thot stands for (the
    // main window keeps its ENR field in step with Thot the same way).
    SourceTemps fixed{physics::EnrFromThot(value(Field::Thot)), value(Field::Thot), value(Field::Tcold)};
    if (useTable)
        fixed.tCold = session.SourceOffK;
    else if (session.HotColdLoads)
        fixed.enrDb = std::nan(""); // loads have no ENR
    if (!useTable && !(fixed.tCold > 0 && fixed.tHot > fixed.tCold))
        return refuse(QStringLiteral("Thot must be > 0 and > Tcold"));
    const SourcePlan src = sourceTemps(calibrating ? p.ifMhz : p.mhz, useTable ? &sourceTable : nullptr, fixed);
    if (!src.error.isEmpty())
        return refuse(atIf
                          ? QStringLiteral(
                                "The calibration at the IF: %1 The calibration ENR table must cover the IFs.")
                                .arg(src.error)
                          : src.error);
    p.source = src.temps;
    if (useTable)
        p.enr = std::make_shared<const EnrTable>(sourceTable);
    return r;
}

double rfPerIf(const DeviceSetup &device, double rfMhz)
{
    using physics::DeviceMode;
    using physics::Sideband;
    switch (device.mode) {
    case DeviceMode::Amplifier:
        return 1;
    case DeviceMode::DownConverter:
        // USB: RF = LO + IF; LSB: RF = LO - IF; DSB: whichever side the RF is on.
        if (device.sideband == Sideband::Dsb)
            return rfMhz >= device.loMhz ? 1 : -1;
        return device.sideband == Sideband::Lsb ? -1 : 1;
    case DeviceMode::UpConverter:
        // USB: IF = LO + RF; LSB: IF = LO - RF.
        return device.sideband == Sideband::Lsb ? -1 : 1;
    }
    return 1;
}

QString frequencyListText(const QVector<double> &mhz)
{
    QStringList texts;
    texts.reserve(mhz.size());
    for (double v : mhz)
        texts.append(QString::number(v, 'f', 6));
    return texts.join(QLatin1Char(' '));
}

QString evenlySpacedList(double startMhz, double stopMhz, int points)
{
    QVector<double> mhz;
    for (int i = 0; i < points; ++i)
        mhz.append(points == 1 ? startMhz : startMhz + (stopMhz - startMhz) * i / (points - 1));
    return frequencyListText(mhz);
}
