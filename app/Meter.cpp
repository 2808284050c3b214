#include "sheet/Meter.h"

#include "acquire/AudioDevices.h"
#include "acquire/AudioUtil.h"
#include "acquire/Bench.h"
#include "acquire/NoiseSwitch.h"
#include "acquire/Sequence.h"
#include "app/FieldRules.h"
#include "calc/CalNoiseSource.h"
#include "calc/EnrTable.h"
#include "calc/Nmuc.h"
#include "calc/Results.h"
#include "app/UncertaintyBudget.h"
#include "help/HelpLinks.h"
#include "help/UpdateCheck.h"
#include "report/TextReport.h"
#include "report/TsvRecord.h"

Meter::Meter(const Platform &platform)
    : m_platform(platform)
    , m_enrTable(std::make_unique<EnrTable>())
    , m_calNoiseSource(std::make_unique<CalNoiseSource>())
    , m_nmuc(std::make_unique<Nmuc>())
    , m_comSetup(std::make_unique<ComSetup>())
    , m_updateCheck(std::make_unique<UpdateCheck>())
    , m_bench(std::make_unique<Bench>())
    , m_budgetSettings(std::make_unique<BudgetSettings>())
{
}

Meter::~Meter()
{
    // Nothing runs on after the meter: devices and lines are released, but
    // no handler touches the half-destroyed meter any more.
    m_changed = nullptr;
    if (m_operation) {
        m_operation->blockSignals(true);
        m_operation->cancel();
    }
}

void Meter::begin(std::unique_ptr<Operation> op)
{
    Operation *raw = op.get();
    m_operation = std::move(op);
    // Connected after the operation's own handlers: the sheet is final then.
    QObject::connect(raw, &Operation::ended, raw, [this, raw] {
        if (m_operation.get() != raw)
            return;
        m_operation.release()->deleteLater(); // it is still emitting
        if (m_changed)
            m_changed();
    });
}

void Meter::cancel()
{
    if (m_operation)
        m_operation->cancel();
}

void Meter::message(const QString &caption, const QString &text, MsgIcon icon) const
{
    if (m_platform.messages)
        m_platform.messages->show(caption, text, icon);
}

QString Meter::versionText()
{
    return QStringLiteral("%1.%2.%3").arg(TQX_VERSION_MAJOR).arg(TQX_VERSION_MINOR).arg(TQX_VERSION_PATCH);
}

void Meter::startUp()
{
    if (!EnrFileName.isEmpty())
        LoadEnrTable(*this);
    AudioDevicesLoad(*this);
}

bool Meter::validate(Field f)
{
    return FieldValidate(*this, f);
}

void Meter::unitsValidate()
{
    UnitsValidate(*this);
}

void Meter::click(Control c)
{
    if (busy())
        return; // a reading or playback is running: no second action starts
    auto show = [this](DialogId id) {
        if (m_platform.windows)
            m_platform.windows->showDialog(id);
    };
    switch (c) {
    case Control::mnuEnrImp: EnrImport(*this); break;
    case Control::mnuEnrUnl: EnrUnload(*this); break;
    case Control::mnuSaveText: SaveTextFile(*this); break;
    case Control::mnuSaveTsv: RecordTsv(*this, false); break;
    case Control::btnSaveTsv: RecordTsv(*this, true); break;
    case Control::mnuSaveWave: SaveWaveFile(*this); break;
    case Control::mnuPrint: PrintForm(*this); break;
    case Control::mnuExit: break; // the GUI closes the window, which runs Form_Unload
    case Control::mnuCopyTextClip: CopyTextClip(*this); break;
    case Control::mnuSCCR:
    case Control::mnuSCCP:
    case Control::mnuMMSYS: MixerEntry(*this, c); break;
    case Control::mnuPlayWave: PlayWave(*this, TempWave + QStringLiteral(".wav")); break;
    case Control::mnuVirtualBench: show(DialogId::VirtualBench); break;
    case Control::mnuSweep: show(DialogId::Sweep); break;
    case Control::mnuOptionsVerbose: break; // changes nothing, not even its check mark
    case Control::mnuOptionsLimits: LimitsToggle(*this); break;
    case Control::mnuNmuc: show(DialogId::Nmuc); break;
    case Control::mnuComSetup: show(DialogId::ComSetup); break;
    case Control::mnuRigControl: show(DialogId::RigControl); break;
    case Control::mnuHelpHelp:
    case Control::mnuHome:
    case Control::mnuFaq:
    case Control::mnuSupport: HelpMenu(*this, c); break;
    case Control::mnuUpdate: show(DialogId::Update); break;
    case Control::mnuAbout: show(DialogId::About); break;
    case Control::btnNoise00:
    case Control::btnNoise11:
    case Control::btnNoise12:
    case Control::btnNoise21:
    case Control::btnNoise22:
        // Without any audio input the virtual bench is offered first.
        if (m_bench->offerIfNoInput(*this))
            MeasureButton(*this, c);
        break;
    case Control::btnReset: ResetAction(*this); break;
    case Control::mnuAudioInput:
    case Control::mnuInputMonitor: show(DialogId::AudioInput); break;
    case Control::mnuEnrView: show(DialogId::EnrView); break;
    case Control::mnuBudget: show(DialogId::Budget); break;
    case Control::Count: break;
    }
}

void Meter::doubleClick(Field f)
{
    if (busy())
        return;
    switch (f) {
    case Field::Noise00: ResetAction(*this); break;
    case Field::ENR:
    case Field::Thot:
    case Field::Tcold: CalSourceDoubleClick(*this, f); break;
    case Field::Gain:
    case Field::Teq:
    case Field::NF:
    case Field::Teq1:
    case Field::Teq2:
    case Field::NF1:
    case Field::NF2:
    case Field::Y2dB:
    case Field::Y12dB:
    case Field::Notes: CopyField(*this, f); break;
    default: break;
    }
}
