#include "acquire/Sequence.h"

#include "acquire/NoiseSwitch.h"
#include "acquire/Recording.h"
#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "calc/Results.h"

#include <cmath>

namespace {

const QString kLevelFormat = QStringLiteral("0.000"); // dB, three decimals

// Runs NoiseSwitchOff on every exit once the lines are switched on: after a
// clean reading, a clipped one, one not above the zero, and a failed
// recording or analysis alike, so that the next reading meets a closed port.
class SwitchOffScope
{
public:
    explicit SwitchOffScope(Meter &m) : m_meter(m) {}
    ~SwitchOffScope() { NoiseSwitchOff(m_meter); }
    SwitchOffScope(const SwitchOffScope &) = delete;
    SwitchOffScope &operator=(const SwitchOffScope &) = delete;

private:
    Meter &m_meter;
};

QString waveFile(const Meter &m) { return m.TempWave + QStringLiteral(".wav"); }

// SC&Z: the level with no signal at the receiver, kept in ZeroMeas and
// subtracted (as a power) from every later reading.
void zeroReading(Meter &m)
{
    Sheet &s = m.sheet();
    m.ZeroMeas.Reset();
    for (Field f : {Field::Noise00, Field::Noise11, Field::Noise12, Field::Noise21, Field::Noise22})
        s.setText(f, QString());
    ResultsReset(m);
    s.setUnitsIndex(0); // measured levels are always dB; the remembered unit stays
    s.setColour(Field::Noise00, Colour::DarkBlue);
    if (MeasureLevel(m, waveFile(m), m.ZeroMeas) != 0)
        return; // reported by the recording; all five fields stay empty

    const double rms = m.ZeroMeas.Rms;
    // 20 log10(Rms) = 10 log10(Ms): dB relative to a full-scale square wave.
    // Digital silence (Rms == 0) has no level; it shows a marker instead of
    // "-inf", and the zero power it stands for (Ms == 0) is still a valid Z.
    if (rms > 0 && std::isfinite(rms))
        s.setText(Field::Noise00, FormatFixed(20.0 * std::log10(rms), kLevelFormat));
    else
        s.setText(Field::Noise00, kSilenceText);
    if (m.ZeroMeas.ClipFlag != 0)
        s.setColour(Field::Noise00, Colour::DarkRed);
}

struct NoiseButton {
    Control button;
    Field field;
    bool sourceOn; // DTR
    bool combined; // RTS
    bool usesPort;
};

constexpr NoiseButton kNoiseButtons[] = {
    {Control::btnNoise11, Field::Noise11, false, false, false},
    {Control::btnNoise12, Field::Noise12, true, false, true},
    {Control::btnNoise21, Field::Noise21, false, true, true},
    {Control::btnNoise22, Field::Noise22, true, true, true},
};

void noiseReading(Meter &m, const NoiseButton &b)
{
    Sheet &s = m.sheet();
    if (b.usesPort) {
        const int err = NoiseSwitchOn(m, b.sourceOn, b.combined);
        if (err != 0) {
            // Nothing recorded, no level written, no results computed; the
            // port is already closed again.
            ReportPortError(m, err);
            return;
        }
    }
    SwitchOffScope switchOff(m); // no-op for btnNoise11 (port never opened)

    s.setUnitsIndex(0);
    s.setColour(b.field, Colour::WindowText);
    if (MeasureLevel(m, waveFile(m), m.WorkMeas) != 0)
        return; // the field keeps its previous text

    const double z = m.ZeroMeas.Ms; // zero power (full scale = 1), 0 without a zero
    const double w = m.WorkMeas.Ms;
    // Written so that a NaN reading also lands here rather than in log10.
    if (!(w > z)) {
        s.setText(b.field, kNotAboveZeroText);
        s.setColour(b.field, Colour::DarkRed);
        return; // results stay as they were
    }
    s.setText(b.field, FormatFixed(10.0 * std::log10(w - z), kLevelFormat));
    if (m.WorkMeas.ClipFlag == 0) {
        ResultsCalc(m);
    } else {
        s.setColour(b.field, Colour::DarkRed);
        ResultsReset(m);
    }
}

} // namespace

void MeasureButton(Meter &m, Control button)
{
    if (button == Control::btnNoise00) {
        BusyGuard busy(m); // no second action starts while this one blocks
        zeroReading(m);
        return;
    }
    for (const NoiseButton &b : kNoiseButtons) {
        if (b.button == button) {
            BusyGuard busy(m); // no second action starts while this one blocks
            noiseReading(m, b);
            return;
        }
    }
}
