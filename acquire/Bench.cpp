#include "acquire/Bench.h"

#include "calc/Results.h"
#include "sheet/DeviceSetup.h"
#include "sheet/NumText.h"
#include "sheet/Sheet.h"

#include <algorithm>
#include <array>
#include <complex>
#include <numbers>

namespace {

// One second-order section, transposed direct form II, a0 normalised to 1.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;

    double step(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
    // |H|^2 at normalised angular frequency w (rad per sample).
    double power(double w) const
    {
        const std::complex<double> z1inv = std::polar(1.0, -w);
        const std::complex<double> z2inv = z1inv * z1inv;
        const std::complex<double> h = (b0 + b1 * z1inv + b2 * z2inv) / (1.0 + a1 * z1inv + a2 * z2inv);
        return std::norm(h);
    }
};

// Q of the two sections of a fourth-order Butterworth response.
constexpr double kButterworthQ[2] = {0.5411961001461970, 1.3065629648763766};

// Bilinear-transform sections (cut-off exact at f0, -3 dB), unity gain in
// the pass band.
Biquad section(bool highPass, double f0, double q, double rate)
{
    const double w0 = 2.0 * std::numbers::pi * f0 / rate;
    const double c = std::cos(w0);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    Biquad s;
    if (highPass) {
        s.b0 = (1.0 + c) / 2.0 / a0;
        s.b1 = -(1.0 + c) / a0;
    } else {
        s.b0 = (1.0 - c) / 2.0 / a0;
        s.b1 = (1.0 - c) / a0;
    }
    s.b2 = s.b0;
    s.a1 = -2.0 * c / a0;
    s.a2 = (1.0 - alpha) / a0;
    return s;
}

// The receiver's audio band-pass: fourth-order Butterworth high-pass at the
// lower edge, fourth-order Butterworth low-pass at the upper edge.
using BandPass = std::array<Biquad, 4>;

BandPass bandPass(double lowHz, double highHz, double rate)
{
    return {section(true, lowHz, kButterworthQ[0], rate), section(true, lowHz, kButterworthQ[1], rate),
            section(false, highHz, kButterworthQ[0], rate), section(false, highHz, kButterworthQ[1], rate)};
}

struct Bandwidths {
    double noise = 0;       // integral of |H|^2 (Hz)
    double statistical = 0; // (integral |H|^2)^2 / integral |H|^4 (Hz)
};

// Both integrals by the midpoint rule over 0 .. rate/2. The response is
// smooth, so 2^15 points put the error far below the statistics of a reading.
Bandwidths computeBandwidths(double lowHz, double highHz, double rate)
{
    const BandPass bp = bandPass(lowHz, highHz, rate);
    constexpr int kPoints = 1 << 15;
    const double df = rate / 2.0 / kPoints;
    double s2 = 0;
    double s4 = 0;
    for (int i = 0; i < kPoints; ++i) {
        const double f = (i + 0.5) * df;
        const double w = 2.0 * std::numbers::pi * f / rate;
        double p = 1;
        for (const Biquad &b : bp)
            p *= b.power(w);
        s2 += p;
        s4 += p * p;
    }
    Bandwidths r;
    r.noise = s2 * df;
    r.statistical = s4 > 0 ? (s2 * df) * (s2 * df) / (s4 * df) : 0;
    return r;
}

// Noise temperature (K) behind an attenuator of loss `lossDb` (dB) at
// physical temperature `tPhysK` (K) when `tK` is presented to it.
double throughAttenuator(double tK, double tPhysK, double lossDb)
{
    const double l = std::pow(10.0, lossDb / 10.0);
    return tK / l + tPhysK * (l - 1.0) / l;
}

double fromDb(double db)
{
    return std::pow(10.0, db / 10.0);
}
double teFromNf(double nfDb)
{
    return Bench::kT0 * (fromDb(nfDb) - 1.0);
}

// Quantisation noise of rounding to 16 bits: one step is 1/32768 of full
// scale, its noise (step^2)/12 (mean square, full scale = 1).
constexpr double kLsb = 1.0 / 32768.0;
constexpr double kQuantisationMs = kLsb * kLsb / 12.0;

QString rangeText(const char *what, double lo, double hi, const char *unit)
{
    return QStringLiteral("%1 must be from %2 to %3%4.")
        .arg(QLatin1String(what), NumToText(lo), NumToText(hi), QLatin1String(unit));
}

bool within(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

QString validateConverter(const BenchConverter &c)
{
    if (!c.converter())
        return QString();
    if (!validLoMhz(c.loMhz))
        return QStringLiteral("The bench's LO must be above 0 and up to %1 MHz.")
            .arg(NumToText(DeviceSetup::kMaxLoMhz));
    if (c.sideband == physics::Sideband::Dsb)
        return QStringLiteral("The bench's converter takes LSB or USB as its wanted sideband; a "
                              "double-sideband device is one with an image rejection of 0 dB.");
    if (!validImageRejectionDb(c.imageRejectionDb))
        return rangeText("The bench's image rejection", 0, DeviceSetup::kMaxImageRejectionDb, " dB");
    return QString();
}

// "down-converter (LO 9750 MHz, USB)" for the messages.
QString converterText(const BenchConverter &c)
{
    return QStringLiteral("%1 (LO %2 MHz, %3)")
        .arg(c.mode == physics::DeviceMode::DownConverter ? QStringLiteral("down-converter")
                                                          : QStringLiteral("up-converter"),
             NumToText(c.loMhz),
             c.sideband == physics::Sideband::Lsb ? QStringLiteral("LSB") : QStringLiteral("USB"));
}

} // namespace

Bench::Bench()
{
    reseed();
}

Bench::~Bench() = default;

void Bench::setSettings(const BenchSettings &s)
{
    const bool newSeed = s.seed != m_settings.seed;
    m_settings = s;
    if (newSeed)
        reseed();
    notify();
}

void Bench::reseed()
{
    m_rng.seed(m_settings.seed);
    m_normal.reset();
    m_clockS = 0;
}

QString Bench::validate(const BenchSettings &s)
{
    using namespace BenchRange;
    if (!within(s.enrDb, enrMinDb, enrMaxDb))
        return rangeText("The source ENR", enrMinDb, enrMaxDb, " dB");
    if (!within(s.tcoldK, tcoldMinK, tcoldMaxK))
        return rangeText("Tcold", tcoldMinK, tcoldMaxK, " K");
    if (!within(s.dutGainDb, gainMinDb, gainMaxDb))
        return rangeText("The DUT gain", gainMinDb, gainMaxDb, " dB");
    if (!within(s.dutNfDb, nfMinDb, nfMaxDb))
        return rangeText("The DUT noise figure", nfMinDb, nfMaxDb, " dB");
    if (!within(s.rxNfDb, nfMinDb, nfMaxDb))
        return rangeText("The receiver noise figure", nfMinDb, nfMaxDb, " dB");
    if (!within(s.rxGainDb, rxGainMinDb, rxGainMaxDb))
        return rangeText("The receiver gain", rxGainMinDb, rxGainMaxDb, " dB");
    if (!within(s.gainDriftDbPerMin, -driftMaxDbPerMin, driftMaxDbPerMin))
        return rangeText("The receiver gain drift", -driftMaxDbPerMin, driftMaxDbPerMin, " dB per minute");
    if (!within(s.bandLowHz, bandMinHz, bandMaxHz))
        return rangeText("The audio band's lower edge", bandMinHz, bandMaxHz, " Hz");
    if (!within(s.bandHighHz, bandMinHz, bandMaxHz))
        return rangeText("The audio band's upper edge", bandMinHz, bandMaxHz, " Hz");
    if (!(s.bandHighHz > s.bandLowHz))
        return QStringLiteral("The audio band's upper edge (%1 Hz) must lie above its lower edge (%2 Hz).")
            .arg(NumToText(s.bandHighHz), NumToText(s.bandLowHz));
    if (!within(s.floorDbfs, floorMinDbfs, floorMaxDbfs))
        return rangeText("The sound card floor", floorMinDbfs, floorMaxDbfs, " dB full scale");
    if (!within(s.dcOffset, -dcMax, dcMax))
        return rangeText("The DC offset", -dcMax, dcMax, " of full scale");
    if (QString err = validateConverter(s.converter); !err.isEmpty())
        return err;
    if (QString err = BenchResponse::validate(s.dutResponse); !err.isEmpty())
        return err;
    return BenchResponse::validate(s.sourceEnr);
}

QString Bench::validate(const BenchAttenuators &a)
{
    using namespace BenchRange;
    const std::pair<const char *, double> losses[] = {
        {"Att11", a.att11}, {"Att12", a.att12}, {"Att21", a.att21}, {"Att22", a.att22}};
    for (const auto &[name, v] : losses)
        if (!within(v, 0, attMaxDb))
            return QStringLiteral("%1 is %2 dB; the virtual bench has attenuators of 0 to %3 dB only.")
                .arg(QLatin1String(name), NumToText(v), NumToText(attMaxDb));
    const std::pair<const char *, double> temps[] = {{"Tatt1", a.tatt1}, {"Tatt2", a.tatt2}};
    for (const auto &[name, v] : temps)
        if (!(std::isfinite(v) && v > 0 && v <= tattMaxK))
            return QStringLiteral("%1 is %2 K; the virtual bench needs above 0 and up to %3 K.")
                .arg(QLatin1String(name), NumToText(v), NumToText(tattMaxK));
    return QString();
}

BenchAttenuators Bench::attenuatorsFrom(const Sheet &sheet)
{
    BenchAttenuators a;
    a.att11 = ParseNumber(sheet.text(Field::Att11));
    a.att12 = ParseNumber(sheet.text(Field::Att12));
    a.att21 = ParseNumber(sheet.text(Field::Att21));
    a.att22 = ParseNumber(sheet.text(Field::Att22));
    a.tatt1 = ParseNumber(sheet.text(Field::Tatt1));
    a.tatt2 = ParseNumber(sheet.text(Field::Tatt2));
    return a;
}

BenchTruth Bench::truthAt(double mhz) const
{
    const BenchSettings &s = m_settings;
    BenchTruth t;
    t.mhz = mhz;
    t.enrDb = BenchResponse::enrDbAt(s.sourceEnr, mhz, s.enrDb);
    t.thotK = ThotFromEnr(t.enrDb, s.tcoldK);
    t.tcoldK = s.tcoldK;
    t.dutGainDb = BenchResponse::gainDbAt(s.dutResponse, mhz, s.dutGainDb);
    t.dutNfDb = BenchResponse::nfDbAt(s.dutResponse, mhz, s.dutNfDb);
    t.dutTeK = teFromNf(t.dutNfDb);
    t.rxNfDb = m_settings.rxNfDb;
    t.rxTeK = teFromNf(m_settings.rxNfDb);
    t.ifMhz = mhz;
    t.enrIfDb = t.enrDb, t.thotIfK = t.thotK;
    t.ownTeK = t.dutTeK;
    t.readGainDb = t.dutGainDb, t.readTeK = t.dutTeK, t.readNfDb = t.dutNfDb;
    const BenchConverter &c = s.converter;
    if (!c.converter())
        return t;

    t.loMhz = c.loMhz;
    const physics::FrequencyPlan plan = physics::frequencyPlan(c.mode, c.loMhz, c.sideband, mhz);
    t.planError = validateConverter(c);
    if (t.planError.isEmpty() && !plan.ok())
        t.planError = converterErrorText(plan.error);
    if (!t.planError.isEmpty())
        return t;
    t.ifMhz = plan.ifMhz;
    t.imageMhz = plan.imageMhz.value_or(0);
    t.enrIfDb = BenchResponse::enrDbAt(s.sourceEnr, t.ifMhz, s.enrDb);
    t.thotIfK = ThotFromEnr(t.enrIfDb, s.tcoldK);
    t.enrImageDb = BenchResponse::enrDbAt(s.sourceEnr, t.imageMhz, s.enrDb);
    // The image terminated at T0 counts as the device's noise (IEEE SSB).
    const double rho = fromDb(-c.imageRejectionDb);
    t.dutTeK = t.ownTeK + rho * kT0;
    t.dutNfDb = 10.0 * std::log10(1.0 + t.dutTeK / kT0);
    // The amplifier formula: the excess (Thot - Tcold = 290 K 10^(ENR/10))
    // at the image over that at the RF is r; Att21 scales both alike. The
    // cold side is the source's Tcold behind Att21, the same at both.
    const double r = fromDb(t.enrImageDb - t.enrDb);
    const double tc = Bench::validate(m_atts).isEmpty()
                          ? throughAttenuator(s.tcoldK, m_atts.tatt1, m_atts.att21)
                          : s.tcoldK;
    const double factor = 1.0 + rho * r;
    t.readGainDb = t.dutGainDb + 10.0 * std::log10(factor);
    t.readTeK = (t.ownTeK + tc * (1.0 + rho)) / factor - tc;
    t.readNfDb = t.readTeK > -kT0 ? 10.0 * std::log10(1.0 + t.readTeK / kT0)
                                  : std::numeric_limits<double>::quiet_NaN();
    return t;
}

void Bench::tuneTo(double mhz)
{
    if (!(std::isfinite(mhz) && mhz > 0))
        return;
    m_tuned = true;
    m_tunedMhz = mhz;
    notify();
}

void Bench::clearTuning()
{
    m_tuned = false;
    notify();
}

void Bench::setSheetMhz(double mhz)
{
    const bool same = mhz == m_sheetMhz || (std::isnan(mhz) && std::isnan(m_sheetMhz));
    m_sheetMhz = mhz;
    if (!same && !m_tuned)
        notify(); // the truth moved with the field
}

double Bench::sheetMhzFrom(const Sheet &sheet)
{
    return ParseNumber(sheet.text(Field::Frequency));
}

double Bench::sheetRfMhz() const
{
    if (std::isfinite(m_sheetMhz) && m_sheetMhz > 0)
        return m_sheetMhz;
    return kDefaultMhz;
}

double Bench::tunedMhz() const
{
    if (m_tuned)
        return m_tunedMhz;
    const double rf = sheetRfMhz();
    const BenchConverter &c = m_settings.converter;
    if (!c.converter())
        return rf;
    const physics::FrequencyPlan plan = physics::frequencyPlan(c.mode, c.loMhz, c.sideband, rf);
    return plan.ok() ? plan.ifMhz : rf;
}

std::optional<double> Bench::rfOfTunedIf() const
{
    // The inverse of the plan for the wanted sideband; the plan then checks
    // that the RF is one the converter takes.
    const BenchConverter &c = m_settings.converter;
    const double f = m_tunedMhz;
    double rf = 0;
    if (c.mode == physics::DeviceMode::DownConverter)
        rf = c.sideband == physics::Sideband::Lsb ? c.loMhz - f : c.loMhz + f;
    else
        rf = c.sideband == physics::Sideband::Usb ? f - c.loMhz : c.loMhz - f;
    if (c.sideband == physics::Sideband::Dsb || !physics::frequencyPlan(c.mode, c.loMhz, c.sideband, rf).ok())
        return std::nullopt;
    return rf;
}

double Bench::rfMhz() const
{
    if (!m_tuned)
        return sheetRfMhz();
    if (!m_settings.converter.converter())
        return m_tunedMhz;
    return rfOfTunedIf().value_or(m_tunedMhz);
}

QString Bench::frequencyError() const
{
    const BenchConverter &c = m_settings.converter;
    if (!c.converter())
        return QString();
    if (QString err = validateConverter(c); !err.isEmpty())
        return err;
    if (m_tuned)
        return rfOfTunedIf() ? QString()
                             : QStringLiteral("The bench's %1 has no RF for the receiver's %2 MHz.")
                                   .arg(converterText(c), NumToText(m_tunedMhz));
    const physics::FrequencyPlan plan = physics::frequencyPlan(c.mode, c.loMhz, c.sideband, sheetRfMhz());
    if (plan.ok())
        return QString();
    return QStringLiteral("The bench's %1 cannot take the RF of %2 MHz: %3.")
        .arg(converterText(c), NumToText(sheetRfMhz()), converterErrorText(plan.error));
}

void Bench::setManualSource(bool on)
{
    m_manualSource = on;
    notify();
}

void Bench::setManualCombined(bool on)
{
    m_manualCombined = on;
    notify();
}

void Bench::setReceiverConnected(bool on)
{
    m_receiverConnected = on;
    notify();
}

void Bench::setPortLines(bool open, bool dtr, bool rts)
{
    m_portOpen = open;
    m_portDtr = open && dtr;
    m_portRts = open && rts;
    notify();
}

BenchState Bench::state() const
{
    BenchState s;
    s.sourceOn = m_portOpen ? m_portDtr : m_manualSource;
    s.combined = m_portOpen ? m_portRts : m_manualCombined;
    s.receiverConnected = m_receiverConnected;
    return s;
}

double Bench::receiverInputTempK(const BenchState &st, const BenchAttenuators &a) const
{
    const BenchTruth t = truth();
    const bool hot = st.sourceOn && m_settings.sourceSwitches;
    const double ts = hot ? t.thotK : t.tcoldK;
    if (!st.combined) // the source at the IF (for an amplifier the RF)
        return throughAttenuator(throughAttenuator(hot ? t.thotIfK : t.tcoldK, a.tatt1, a.att11), a.tatt2,
                                 a.att12);
    const double atDut = throughAttenuator(ts, a.tatt1, a.att21);
    const BenchConverter &c = m_settings.converter;
    double dutOut = 0;
    if (!c.converter()) {
        dutOut = fromDb(t.dutGainDb) * (atDut + t.dutTeK);
    } else {
        // Gs (Ta + T_own) + Gi Ta_i: the source at the image through Att21
        // too, received with Gi = Gs / IR.
        const double gs = fromDb(t.dutGainDb);
        const double atImage =
            throughAttenuator(hot ? ThotFromEnr(t.enrImageDb, t.tcoldK) : t.tcoldK, a.tatt1, a.att21);
        dutOut = gs * (atDut + t.ownTeK) + gs * fromDb(-c.imageRejectionDb) * atImage;
    }
    return throughAttenuator(dutOut, a.tatt2, a.att22);
}

std::pair<double, double> Bench::bandwidths(int rate) const
{
    BandwidthCache &c = m_bwCache;
    if (c.rate != rate || c.lowHz != m_settings.bandLowHz || c.highHz != m_settings.bandHighHz) {
        const Bandwidths b = computeBandwidths(m_settings.bandLowHz, m_settings.bandHighHz, rate);
        c = {rate, m_settings.bandLowHz, m_settings.bandHighHz, b.noise, b.statistical};
    }
    return {c.noiseHz, c.statisticalHz};
}

double Bench::noiseBandwidthHz(int rate) const
{
    return bandwidths(rate).first;
}

double Bench::statisticalBandwidthHz(int rate) const
{
    return bandwidths(rate).second;
}

double Bench::floorMeanSquare() const
{
    return fromDb(m_settings.floorDbfs) + kQuantisationMs;
}

double Bench::expectedMeanSquare(const BenchState &st, int rate, const BenchAttenuators &a) const
{
    double ms = floorMeanSquare();
    if (st.receiverConnected) {
        const double tTotal = receiverInputTempK(st, a) + truth().rxTeK;
        ms += kBoltzmann * tTotal * fromDb(currentRxGainDb()) * noiseBandwidthHz(rate);
    }
    return ms;
}

QString Bench::generate(const BenchState &st, int rate, qint64 samples, QVector<qint16> &out)
{
    out.clear();
    QString err = validate(m_settings);
    if (err.isEmpty())
        err = validate(m_atts);
    if (err.isEmpty())
        err = frequencyError();
    if (!err.isEmpty())
        return err;
    if (rate <= 0 || samples < 0)
        return QStringLiteral("Cannot record %1 samples at %2 Hz.").arg(samples).arg(rate);
    if (m_settings.bandHighHz >= BenchRange::bandMaxOfRate * rate)
        return QStringLiteral(
                   "The audio band's upper edge (%1 Hz) must lie below %2 Hz at %3 samples per second.")
            .arg(NumToText(m_settings.bandHighHz), NumToText(BenchRange::bandMaxOfRate * rate))
            .arg(rate);

    // White noise of one-sided density N0 (full scale^2 per Hz) at `rate`
    // has variance N0 rate / 2; the band-pass then leaves N0 ENBW.
    double sigmaWhite = 0;
    if (st.receiverConnected) {
        const double tTotal = receiverInputTempK(st) + truth().rxTeK;
        const double n0 = kBoltzmann * tTotal * fromDb(currentRxGainDb());
        sigmaWhite = std::sqrt(n0 * rate / 2.0);
        if (!std::isfinite(sigmaWhite) || sigmaWhite < 0)
            return QStringLiteral("The simulated noise power is out of range (%1 K at the receiver).")
                .arg(NumToText(tTotal));
    }
    const double sigmaFloor = std::sqrt(fromDb(m_settings.floorDbfs));

    BandPass bp = bandPass(m_settings.bandLowHz, m_settings.bandHighHz, rate);
    auto filtered = [&bp](double x) {
        for (Biquad &b : bp)
            x = b.step(x);
        return x;
    };
    if (sigmaWhite > 0) {
        // Let the filter settle so that the first sample is already
        // stationary noise: 50 ms, or about 20 time constants of the
        // high-pass's sharper section (2 Q / (2 pi f) each).
        const double settleS = std::max(0.05, 8.4 / m_settings.bandLowHz);
        const qint64 settle = qint64(std::ceil(settleS * rate));
        for (qint64 i = 0; i < settle; ++i)
            filtered(sigmaWhite * m_normal(m_rng));
    }

    out.resize(samples);
    const double dc = m_settings.dcOffset;
    // The drift as a per-sample amplitude ratio: the receiver's output grows
    // exponentially in amplitude, linearly in dB, sample by sample. The
    // filter settling above stays at the block's starting gain.
    const double driftStep = std::pow(10.0, m_settings.gainDriftDbPerMin / (60.0 * 20.0 * rate));
    double drift = 1.0;
    for (qint64 i = 0; i < samples; ++i) {
        double x = dc + sigmaFloor * m_normal(m_rng);
        if (sigmaWhite > 0)
            x += drift * filtered(sigmaWhite * m_normal(m_rng));
        drift *= driftStep;
        // Clip at full scale; the clamp to +-2 first keeps the rounding
        // defined for any level.
        const long v = std::lround(std::clamp(x, -2.0, 2.0) * 32768.0);
        out[i] = qint16(std::clamp<long>(v, -32768, 32767));
    }
    m_lastRate = rate;
    m_clockS += double(samples) / rate;
    notify();
    return QString();
}

void Bench::notify() const
{
    if (m_listener)
        m_listener();
}
