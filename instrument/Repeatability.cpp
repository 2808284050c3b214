#include "instrument/Repeatability.h"

#include "calc/Results.h"
#include "instrument/Instrument.h"
#include "instrument/MeasurementSeries.h"
#include "instrument/UncertaintyBudget.h"
#include "physics/Budget.h"
#include "sheet/NumText.h"

#include <algorithm>
#include <cmath>

namespace {

using physics::BudgetOut;
using physics::BudgetTerm;

constexpr double kConfidence = 95.0;   // % of the observed sigma's interval
constexpr double kSuspiciousRatio = 2; // observed / predicted above this: a cause beyond statistics
const QString kFmt = QStringLiteral("0.00");
constexpr double kShownHalfStep = 0.005; // dB, half the step of kFmt

const Field kLevels[] = {Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22};

std::optional<double> finiteOrNone(double v)
{
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// Root mean square of the values present; none when none is.
std::optional<double> rms(const std::vector<std::optional<double>> &v)
{
    double sum = 0;
    int n = 0;
    for (const std::optional<double> &x : v)
        if (x) {
            sum += *x * *x;
            ++n;
        }
    return n > 0 ? finiteOrNone(std::sqrt(sum / n)) : std::nullopt;
}

} // namespace

NfPair predictRepeatability(Instrument &m, RepeatedReadings which)
{
    const BudgetInputs b = budgetInputs(m);
    if (!b.calibration)
        return {};
    const physics::BudgetResult r = physics::uncertaintyBudget(b.input, 0);
    if (r.status != physics::BudgetStatus::Ok)
        return {};
    std::vector<BudgetTerm> terms;
    if (which != RepeatedReadings::Device)
        terms.insert(terms.end(), {BudgetTerm::Noise11, BudgetTerm::Noise12});
    if (which != RepeatedReadings::Calibration)
        terms.insert(terms.end(), {BudgetTerm::Noise21, BudgetTerm::Noise22});
    auto sigma = [&r, &terms](BudgetOut o) -> std::optional<double> {
        if (!r.out[static_cast<int>(o)].ok)
            return std::nullopt;
        double sumSq = 0;
        for (BudgetTerm t : terms) {
            const double c = r.rows[static_cast<int>(t)].contrib[static_cast<int>(o)];
            sumSq += c * c;
        }
        return finiteOrNone(std::sqrt(sumSq));
    };
    NfPair p;
    p.rx = sigma(BudgetOut::RxNf);
    if (b.input.combined)
        p.dut = sigma(BudgetOut::DutNf);
    return p;
}

NfPair sheetNoiseFigures(const Sheet &s)
{
    // As the results show them: a noise figure only where the field has one.
    const CascadeInputs in = cascadeInputsFrom(s);
    const physics::CascadeResult r = physics::cascade(in.cascade);
    NfPair nf;
    if (in.units && !s.text(Field::NF1).isEmpty() && r.instrument.ok)
        nf.rx = finiteOrNone(r.instrument.nfDb);
    if (in.units && !s.text(Field::NF).isEmpty() && r.device.ok)
        nf.dut = finiteOrNone(r.device.nfDb);
    return nf;
}

RepeatObserved observedScatter(const std::vector<std::optional<double>> &values)
{
    RepeatObserved o;
    double sum = 0;
    for (const std::optional<double> &v : values) {
        if (v) {
            sum += *v;
            ++o.count;
        } else {
            ++o.missing;
        }
    }
    if (o.count < 2)
        return o;
    const double mean = sum / o.count;
    double sumSq = 0;
    for (const std::optional<double> &v : values)
        if (v)
            sumSq += (*v - mean) * (*v - mean);
    o.sd = std::sqrt(sumSq / (o.count - 1));
    if (!std::isfinite(o.sd))
        o.sd = 0, o.count = 0;
    else
        o.range = physics::sigmaInterval(o.sd, o.count - 1, kConfidence);
    return o;
}

bool repeatSuspicious(const RepeatObserved &o, std::optional<double> predicted)
{
    if (o.missing > 0 && o.count > 0)
        return true; // some repeats gave no noise figure: the readings did not behave as noise
    // Below half the last digit shown nothing scatters (a pair that was not
    // repeated leaves its noise figure to rounding).
    return o.count >= 2 && predicted && o.sd >= kShownHalfStep && o.sd > kSuspiciousRatio * *predicted;
}

QString predictedText(std::optional<double> sigmaDb)
{
    if (!sigmaDb)
        return {};
    return QStringLiteral("\u00b1%1 dB predicted (1\u03c3)").arg(FormatFixed(*sigmaDb, kFmt));
}

QString observedText(const RepeatObserved &o)
{
    if (o.missing > 0)
        return QStringLiteral("%1 of %2 repeats gave no NF").arg(o.missing).arg(o.count + o.missing);
    if (o.count < 2)
        return {};
    QString text = QStringLiteral("\u00b1%1 dB observed").arg(FormatFixed(o.sd, kFmt));
    if (o.range.ok)
        text += QStringLiteral(" (95 %: %1 to %2)")
                    .arg(FormatFixed(o.range.low, kFmt), FormatFixed(o.range.high, kFmt));
    return text;
}

QString repeatHint()
{
    return QStringLiteral("The results scatter more than the readings' statistics allow. Look for drift "
                          "(receiver or source still warming up), interference or hum, the receiver's AGC "
                          "left on, or a noise source that does not switch.");
}

RepeatRun::RepeatRun(Instrument &m, QObject *parent) : QObject(parent), m_instrument(m)
{
    connect(&m, &Instrument::busyChanged, this, [this](bool busy) {
        if (!busy)
            operationEnded();
    });
}

bool RepeatRun::start(Mode mode, int count)
{
    clear();
    m_mode = mode;
    m_target = std::clamp(count, kMinRepeats, kMaxRepeats);
    for (int k = 0; k < 4; ++k)
        m_levels[k] = m_instrument.sheet().text(kLevels[k]);
    if (mode == Mode::Series) {
        SeriesPlan plan;
        plan.count = m_target;
        plan.working = true;
        QString error;
        MeasurementSeries *series = MeasurementSeries::start(m_instrument, plan, &error);
        if (!series) {
            m_instrument.message(QStringLiteral("Repeat"), error, MsgIcon::Exclamation);
            return false;
        }
        connect(series, &MeasurementSeries::runDone, this, [this, series](const SeriesRun &run) {
            // A reading that failed ends the series with its own message: no
            // result to count. A run without a noise figure is one.
            if (!run.ok && !series->failure().isEmpty())
                return;
            take({run.nf1Db, run.nf2Db}, predictRepeatability(m_instrument));
        });
        connect(series, &Operation::ended, this, &RepeatRun::stop);
    }
    m_collecting = true;
    Q_EMIT changed();
    return true;
}

void RepeatRun::stop()
{
    if (!m_collecting)
        return;
    m_collecting = false;
    Q_EMIT changed();
}

void RepeatRun::clear()
{
    m_collecting = false;
    m_calRepeated = m_devRepeated = false;
    m_dut.clear();
    m_rx.clear();
    m_predDut.clear();
    m_predRx.clear();
    Q_EMIT changed();
}

RepeatedReadings RepeatRun::readings() const
{
    if (m_mode == Mode::Series || m_calRepeated == m_devRepeated)
        return RepeatedReadings::All;
    return m_calRepeated ? RepeatedReadings::Calibration : RepeatedReadings::Device;
}

NfPair RepeatRun::predicted() const
{
    return {rms(m_predDut), rms(m_predRx)};
}

void RepeatRun::take(const NfPair &nf, const NfPair &prediction)
{
    if (!m_collecting)
        return;
    m_dut.push_back(nf.dut);
    m_rx.push_back(nf.rx);
    m_predDut.push_back(prediction.dut);
    m_predRx.push_back(prediction.rx);
    if (taken() >= m_target)
        m_collecting = false;
    Q_EMIT changed();
}

void RepeatRun::operationEnded()
{
    if (!m_collecting || m_mode != Mode::ByHand)
        return;
    // A pair counts once both of its levels are new.
    const Sheet &s = m_instrument.sheet();
    bool fresh[4];
    for (int k = 0; k < 4; ++k)
        fresh[k] = s.text(kLevels[k]) != m_levels[k] && !s.text(kLevels[k]).isEmpty();
    const bool cal = fresh[0] && fresh[1], dev = fresh[2] && fresh[3];
    if (!cal && !dev)
        return;
    m_calRepeated = m_calRepeated || cal;
    m_devRepeated = m_devRepeated || dev;
    for (int k = 0; k < 4; ++k)
        m_levels[k] = s.text(kLevels[k]);
    take(sheetNoiseFigures(s), predictRepeatability(m_instrument, readings()));
}

QString RepeatRun::status(const RepeatObserved &o) const
{
    if (m_collecting)
        return QStringLiteral("Repeat: %1 of %2").arg(taken()).arg(m_target);
    return observedText(o);
}

QString RepeatRun::statusDut() const
{
    return status(observedDut());
}

QString RepeatRun::statusRx() const
{
    // The pair (12) alone leaves NF(2) as it was.
    if (!m_collecting && readings() == RepeatedReadings::Device)
        return {};
    return status(observedRx());
}
