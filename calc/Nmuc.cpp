#include "calc/Nmuc.h"

#include "platform/Messages.h"
#include "sheet/NumText.h"

#include <cmath>

void Nmuc::load()
{
    m_text[idx(NmucField::Bandwidth)] = QStringLiteral("2000");
    if (m_offered >= 1 && std::isfinite(m_offered))
        m_text[idx(NmucField::Bandwidth)] = NumToText(std::round(m_offered));
    m_offered = 0;
    // Written in the user's locale, like every number typed in (0,1 in German).
    m_text[idx(NmucField::Interval)] = NumToText(0.1);
    m_text[idx(NmucField::Confidence)] = QStringLiteral("95");
    m_uncertainty.clear();
    m_fast = false;
}

QString Nmuc::format(NmucField f)
{
    return f == NmucField::Confidence ? QStringLiteral("0.") : QStringLiteral("0.000");
}

QString Nmuc::refusal(NmucField f)
{
    switch (f) {
    case NmucField::Bandwidth: return QStringLiteral("Bandwidth must be > 0");
    case NmucField::Interval: return QStringLiteral("Interval must be > 0 and < 1000");
    case NmucField::Confidence: return QStringLiteral("Confidence must be > 0 and < 100");
    }
    return QString();
}

void Nmuc::fieldEnter(NmucField)
{
    m_uncertainty.clear();
}

bool Nmuc::fieldLeave(IMessages &messages, NmucField f)
{
    QString &t = m_text[idx(f)];
    if (IsNumber(t))
        t = FormatFixed(ParseNumber(t), format(f));
    if (t.isEmpty()) {
        CalcNmuc();
        return true;
    }
    const double v = ParseNumber(t);
    bool ok = v > 0.0;
    if (f == NmucField::Interval)
        ok = ok && v <= 1000.0; // 1000 s itself is accepted
    else if (f == NmucField::Confidence)
        ok = ok && v < 100.0;
    if (!ok)
        messages.show(QStringLiteral("Value error:"), refusal(f), MsgIcon::None);
    return ok;
}

void Nmuc::setFast(bool on)
{
    if (on != m_fast)
        clickFast(on);
}

void Nmuc::clickFast(bool checked)
{
    m_fast = checked;
    m_uncertainty.clear();
}

void Nmuc::CalcNmuc()
{
    const double T = ParseNumber(text(NmucField::Interval));
    const double B = ParseNumber(text(NmucField::Bandwidth));
    const double C = ParseNumber(text(NmucField::Confidence));
    const bool fastMode = nmucUsesFast(2.0 * B * T, m_fast);
    setFast(fastMode);
    m_uncertainty = FormatFixed(nmucUncertainty(B, T, C, fastMode), QStringLiteral("0.00"));
}
