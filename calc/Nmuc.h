#pragma once
// Uncertainty calculator dialog: the state and rules of its three fields and
// the Fast box; the statistics are physics/ChiSquare. User-interface thread.

#include "physics/ChiSquare.h"

#include <QString>

class IMessages;

using physics::nmucUncertainty;
using physics::nmucUsesFast;

enum class NmucField { Bandwidth, Interval, Confidence };

// State and rules of the uncertainty calculator dialog (frmNmuc). The dialog
// is unloaded when closed, so each opening starts from load().
class Nmuc
{
public:
    Nmuc() { load(); }

    // The initial texts: 2000 Hz, 0.1 s, 95 %, Fast clear, no result.
    void load();
    // A bandwidth measured elsewhere (Hz, the input monitor's noise
    // bandwidth): the next load() starts from it, rounded to 1 Hz, instead
    // of 2000 Hz. Once.
    void offerBandwidth(double hz) { m_offered = hz; }

    const QString &text(NmucField f) const { return m_text[idx(f)]; }
    void setText(NmucField f, const QString &t) { m_text[idx(f)] = t; } // typing: no rule
    const QString &uncertainty() const { return m_uncertainty; }
    bool fast() const { return m_fast; }

    // Entering a field: the old result no longer matches what is edited.
    void fieldEnter(NmucField f);
    // Leaving a field (or Enter in it): reformat, run CalcNmuc when empty,
    // refuse out-of-range values with a message through `messages`. False:
    // the focus must stay.
    bool fieldLeave(IMessages &messages, NmucField f);
    // The user clicked the Fast box.
    void clickFast(bool checked);
    // Compute the uncertainty from the three fields and the Fast box.
    void CalcNmuc();

    static QString format(NmucField f);       // "0.000", "0.000", "0."
    static QString refusal(NmucField f);      // the message for a refused value

private:
    static int idx(NmucField f) { return static_cast<int>(f); }
    void setFast(bool on);

    QString m_text[3];
    QString m_uncertainty;
    bool m_fast = false;
    double m_offered = 0;
};
