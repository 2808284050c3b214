#include "acquire/TimeLeft.h"

#include <algorithm>
#include <cmath>

void TimeLeft::start(double guessS)
{
    *this = TimeLeft();
    if (guessS > 0 && std::isfinite(guessS)) {
        // The guess as evidence: a tenth of the run done in a tenth of it.
        m_spentS = guessS * kGuessWeight;
        m_gained = kGuessWeight;
        m_origin = true;
    }
}

void TimeLeft::update(double elapsedS, double fraction)
{
    if (!std::isfinite(elapsedS) || !std::isfinite(fraction))
        return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (!m_origin) {
        if (fraction > 0) { // the first sign of progress: from here on the rate holds
            m_lastS = elapsedS;
            m_fraction = fraction;
            m_origin = true;
        }
        return;
    }
    if (elapsedS < m_lastS || fraction < m_fraction)
        return;
    const double gained = fraction - m_fraction;
    const double fade = std::pow(kMemory, gained);
    m_spentS = m_spentS * fade + (elapsedS - m_lastS);
    m_gained = m_gained * fade + gained;
    m_lastS = elapsedS;
    m_fraction = fraction;
}

double TimeLeft::secondsLeft(double elapsedS) const
{
    if (m_fraction >= 1)
        return 0;
    if (!(m_gained > 0))
        return -1;
    const double sinceReport = std::isfinite(elapsedS) ? std::max(0.0, elapsedS - m_lastS) : 0.0;
    const double left = m_spentS / m_gained * (1 - m_fraction) - sinceReport;
    return std::isfinite(left) ? std::max(left, kMinimumS) : -1;
}

QString durationText(double seconds)
{
    if (!(seconds > 0) || !std::isfinite(seconds))
        return QString(); // nothing left, or not known
    // Whole seconds, at least one; a year is beyond any sweep.
    const long long total = std::max(1LL, std::llround(std::min(seconds, 366.0 * 86400)));
    if (total >= 3600)
        return QStringLiteral("%1 h %2 min").arg(total / 3600).arg(total % 3600 / 60);
    if (total >= 60)
        return QStringLiteral("%1 min %2 s").arg(total / 60).arg(total % 60);
    return QStringLiteral("%1 s").arg(total);
}
