#include "instrument/SweepCommands.h"

#include "acquire/Bench.h"
#include "acquire/Reading.h"
#include "instrument/Commands.h"
#include "instrument/Instrument.h"
#include "instrument/RigSettings.h"

namespace {
const QString kCaption = QStringLiteral("TQX sweep");
} // namespace

RigConfig currentRigConfig(const Instrument &m)
{
    ISettingsStore *store = m.services().settings;
    return store ? loadRigConfig(*store) : RigConfig();
}

void storeRigConfig(Instrument &m, const RigConfig &config)
{
    if (ISettingsStore *store = m.services().settings) {
        saveRigConfig(*store, config);
        store->flush();
    }
}

Sweep *startSweep(Instrument &m, SweepKind kind, const SweepFrequencies &frequencies, double settleS,
                  bool stopOnFailure)
{
    auto error = [&m](const QString &text) {
        m.message(kCaption, text, MsgIcon::Critical);
        return nullptr;
    };
    if (m.busy())
        return error(QStringLiteral("A reading is running; start the sweep when it has ended."));
    const PlanResult planned =
        makeSweepPlan(m.session(), m.enrTable(), kind, frequencies, settleS, stopOnFailure, &m.calibrationEnrTable());
    if (!planned.error.isEmpty())
        return error(planned.error);
    Sweep::ReadingFactory readings = [&m](const ReadingPlan &plan) { return makeReading(m, plan); };
    RigConfig rig = currentRigConfig(m);
    if (m.route() == DeviceRoute::Bench)
        rig = RigConfig{1, QString(), 0}; // the bench's own tuning: no receiver to set up
    auto owned = std::make_unique<Sweep>(m.rig(), readings, planned.plan, rig, m.sweepCalibration());
    if (const QString problem = owned->check(); !problem.isEmpty())
        return error(problem);
    Sweep *sweep = owned.get();
    QObject::connect(sweep, &Operation::ended, &m, [&m, sweep, kind] {
        if (kind != SweepKind::Calibration)
            return;
        for (const SweepPoint &p : sweep->points())
            if (p.state == SweepPoint::State::Measured) {
                m.sweepCalibration() = sweep->calibration();
                return;
            }
    });
    m.begin(std::move(owned));
    sweep->start();
    return sweep;
}
