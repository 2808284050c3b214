#pragma once
// The expanded (95 %) uncertainty of one measured sweep point: the sheet's
// budget (its uncertainties, reflections and detector bandwidth) applied to
// the point's own source temperatures, losses, levels and reading time, and
// the calibration levels at its frequency. Instrument thread.

#include "acquire/Sweep.h"
#include "physics/Budget.h"

class Instrument;

// NaN when the point has no usable budget (not measured, no calibration).
double pointUncertainty(Instrument &m, const SweepPlan &plan, const SweepPoint &point,
                        physics::BudgetOut out);
