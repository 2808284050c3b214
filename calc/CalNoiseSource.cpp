#include "calc/CalNoiseSource.h"

#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "sheet/NumText.h"

#include <cmath>

namespace {

constexpr double kT0 = 290.0; // reference temperature, K

// ENR (dB) of a source whose hot temperature is thot (K) against a cold
// temperature of 290 K. Undefined (empty text) for thot <= 290 K, where the
// source adds no excess noise.
QString enrText(double thot)
{
    return FormatFixed(EnrFromThot(thot), QStringLiteral("0.00")); // empty when undefined
}

} // namespace

void CalNoiseSource::open(IClipboard *clipboard, Field target)
{
    m_target = target;
    if (!m_loaded)
        load(clipboard);
}

void CalNoiseSource::load(IClipboard *clipboard)
{
    m_calLevel.clear();
    if (clipboard && clipboard->hasText())
        m_calLevel = NumToText(ParseNumber(clipboard->text())); // not a number: 0
    m_teq = false;
    m_okEnabled = IsNumber(m_calLevel);
    m_loaded = true;
}

void CalNoiseSource::setCalLevel(const QString &text)
{
    m_calLevel = text;
    if (IsNumber(text))
        m_okEnabled = true;
}

QString CalNoiseSource::levelCaption() const
{
    return m_teq ? QStringLiteral("Receiver Noise Temperature") : QStringLiteral("Receiver Noise Figure");
}

QString CalNoiseSource::unitText() const
{
    return m_teq ? QStringLiteral("K") : QStringLiteral("dB");
}

bool CalNoiseSource::leaveCalLevel(IMessages &messages)
{
    if (IsNumber(m_calLevel))
        m_calLevel = FormatFixed(ParseNumber(m_calLevel), QStringLiteral("0.00"));
    if (ParseNumber(m_calLevel) > 0.0)
        return true;
    messages.show(QStringLiteral("Value error:"), levelCaption() + QStringLiteral("must be > 0"),
                  MsgIcon::None);
    return false;
}

void CalNoiseSource::cancel()
{
    m_calLevel.clear();
    m_loaded = false;
}

CalNoiseSource::Confirm CalNoiseSource::confirm(Sheet &s, IMessages &messages)
{
    const double level = ParseNumber(m_calLevel);
    if (!(level > 0.0))
        return Confirm::RefusedEntry;

    const double tatt1 = ParseNumber(s.text(Field::Tatt1)); // K
    const double tatt2 = ParseNumber(s.text(Field::Tatt2)); // K
    const double att11 = ParseNumber(s.text(Field::Att11)); // dB
    const double att12 = ParseNumber(s.text(Field::Att12)); // dB
    const double l11 = std::pow(10.0, att11 / 10.0);
    const double l12 = std::pow(10.0, att12 / 10.0);
    // Source temperature T as seen at the receiver input, and back.
    auto at2 = [&](double t) { return AttenuatorTemp(AttenuatorTemp(t, tatt1, att11), tatt2, att12); };
    auto inv = [&](double t) { return ((t - (l12 - 1.0) * tatt2 / l12) * l12 - (l11 - 1.0) * tatt1 / l11) * l11; };

    // Receiver noise temperature (K): given, or from its noise figure (dB).
    const double te = m_teq ? level : (std::pow(10.0, level / 10.0) - 1.0) * kT0;
    // The Y factor as displayed (already rounded to 0.001 dB).
    const double y = std::pow(10.0, ParseNumber(s.text(Field::Y2dB)) / 10.0);

    // An absurd entry (an NF of thousands of dB) overflows; write nothing.
    auto unusable = [&messages](double t) {
        if (std::isfinite(t))
            return false;
        messages.show(QStringLiteral("TQX"), QStringLiteral("The calibration result is out of range."),
                      MsgIcon::Critical);
        return true;
    };

    switch (m_target) {
    case Field::ENR: {
        const double th = inv((at2(kT0) + te) * y - te);
        if (unusable(th))
            return Confirm::Stopped;
        s.setText(Field::Tcold, QStringLiteral("290"));
        s.setText(Field::Thot, FormatFixed(th, QStringLiteral("0.0")));
        s.setText(Field::ENR, enrText(ParseNumber(s.text(Field::Thot))));
        break;
    }
    case Field::Thot: {
        const double th = inv((at2(ParseNumber(s.text(Field::Tcold))) + te) * y - te);
        if (unusable(th))
            return Confirm::Stopped;
        s.setText(Field::Thot, FormatFixed(th, QStringLiteral("0.0")));
        break;
    }
    case Field::Tcold: {
        const double tc = inv((at2(ParseNumber(s.text(Field::Thot))) + te) / y - te);
        if (unusable(tc))
            return Confirm::Stopped;
        if (tc <= 0.0) {
            messages.show(QStringLiteral("TQX"), QStringLiteral("Inconsistent arguments lead to -ve Tcold."),
                          MsgIcon::Critical);
            return Confirm::Stopped;
        }
        s.setText(Field::Tcold, FormatFixed(tc, QStringLiteral("0.0")));
        break;
    }
    default:
        return Confirm::Stopped;
    }

    // The ENR is defined against a cold temperature of 290 K only; hot and
    // cold loads (ENR locked) have none at all.
    if (m_target != Field::ENR && !s.locked(Field::ENR)) {
        if (ParseNumber(s.text(Field::Tcold)) == kT0)
            s.setText(Field::ENR, enrText(ParseNumber(s.text(Field::Thot))));
        else
            s.setText(Field::ENR, QString());
    }
    return Confirm::Hidden;
}
