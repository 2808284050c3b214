#pragma once
// Frequency sweeps as commands of the instrument: the plan from the sweep
// window's (or a remote client's) choices, the receiver from the stored
// receiver-control settings, the readings on the current route, and the
// calibration kept in the instrument for the measurement sweeps after it.
// Instrument thread only.

#include "acquire/Sweep.h"
#include "acquire/SweepPlan.h"
#include "platform/Rig.h"

class Instrument;

// The receiver to tune, from the settings store's section "Rig".
RigConfig currentRigConfig(const Instrument &m);
// Stores the receiver-control choice (the dialog's OK).
void storeRigConfig(Instrument &m, const RigConfig &config);

// Starts a sweep as the instrument's operation. Null, after a message with
// the caption "TQX sweep" saying why, when it cannot start (an operation
// runs, the plan is refused, no receiver, no calibration). The sweep is
// owned by the instrument and deleted after its `ended`; a calibration
// sweep with measured points replaces the instrument's calibration then.
Sweep *startSweep(Instrument &m, SweepKind kind, const SweepFrequencies &frequencies, double settleS,
                  bool stopOnFailure);
