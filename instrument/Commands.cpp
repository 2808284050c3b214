// What each button, menu entry and double click of the instrument does: the
// dispatch, and the glue that hands the workflows their narrow inputs.

#include "instrument/Commands.h"

#include "acquire/AudioUtil.h"
#include "acquire/Bench.h"
#include "acquire/Reading.h"
#include "calc/CalNoiseSource.h"
#include "calc/EnrTable.h"
#include "calc/Results.h"
#include "help/HelpLinks.h"
#include "instrument/FieldRules.h"
#include "instrument/Sequence.h"
#include "report/TextReport.h"
#include "report/TsvRecord.h"
#include "sheet/NumText.h"

namespace {

const QString kCaption = QStringLiteral("TQX");

// Before a measurement button: when the machine has no audio input and the
// readings come from the sound card, offers the virtual bench (once per
// run). Returns whether the reading goes ahead: a No lets it fail with the
// device's message; a Yes makes the bench the route and shows its window,
// which explains the readings (the zero is taken with the receiver
// disconnected): the user starts them from there.
bool offerBenchIfNoInput(Instrument &m)
{
    if (m.route() == DeviceRoute::Bench || m.benchOffered())
        return true;
    IAudio *audio = m.services().audio;
    if (audio && audio->hasInput())
        return true;
    m.setBenchOffered();
    const bool yes = m.messages().ask(
        kCaption, QStringLiteral("This computer has no audio input, so TQX cannot take readings.\n\n"
                                 "Open the virtual bench instead? It simulates a noise source, a device "
                                 "under test, a receiver and a sound card, and the measurement buttons "
                                 "then read from it."));
    if (!yes)
        return true;
    m.setRoute(DeviceRoute::Bench);
    m.requestDialog(DialogId::VirtualBench);
    return false;
}

void playWave(Instrument &m)
{
    auto op = makePlayback(m.audio(), m.messages(), m.session().TempWave + QStringLiteral(".wav"));
    Playback *raw = op.get();
    QObject::connect(raw, &Playback::working, &m, &Instrument::showWorking);
    QObject::connect(raw, &Playback::progress, &m, &Instrument::setWorkingProgress);
    m.begin(std::move(op));
    raw->start();
}

void mixer(Instrument &m, Control entry)
{
    if (!startMixer(m.services().opener, entry, m.session().AppDir))
        m.requestDialog(DialogId::AudioInput);
}

void calSourceDoubleClick(Instrument &m, Field f)
{
    Session &s = m.session();
    if (s.sheet().enabled(Control::mnuEnrUnl))
        return; // an ENR table fixes ENR, Thot and Tcold
    if (f == Field::ENR && s.HotColdLoads)
        return; // loads have no ENR to solve for
    if (ParseNumber(s.sheet().text(Field::Y2dB)) > 0.0) {
        m.calNoiseSource().open(m.services().clipboard, f);
        m.requestDialog(DialogId::CalNoiseSource);
    }
    ResultsCalc(s.sheet());
}

void toggleBench(Instrument &m)
{
    // The check mark follows the route (storeRoute); a refused change leaves both.
    m.setRoute(m.route() == DeviceRoute::Bench ? DeviceRoute::SoundCard : DeviceRoute::Bench);
}

} // namespace

int loadEnrTable(Instrument &m)
{
    const int status = LoadEnrTable(m.session(), m.enrTable(), m.messages());
    calibrationEnrLookUp(m); // the measurement table may serve the calibration too
    ResultsCalc(m.sheet());
    return status;
}

int loadCalibrationEnrTable(Instrument &m)
{
    const int status =
        LoadCalibrationEnrTable(m.session(), m.calEnrTable(), m.messages(), calibrationMhz(m.sheet()));
    calibrationEnrLookUp(m);
    ResultsCalc(m.sheet());
    return status;
}

void chooseEnrInterpolation(Instrument &m, physics::Interpolation method, bool calibration)
{
    if (calibration) {
        if (!m.sheet().enabled(Control::mnuCalEnrUnl))
            return;
        m.calEnrTable().method = method;
        m.session().CalEnrInterpolation = interpolationKey(method);
        calibrationEnrLookUp(m);
        ResultsCalc(m.sheet());
        return;
    }
    if (!m.sheet().enabled(Control::mnuEnrUnl))
        return;
    m.enrTable().method = method;
    m.session().EnrInterpolation = interpolationKey(method);
    enrTableLookUp(m);
    ResultsCalc(m.sheet());
}

void runCommand(Instrument &m, Control c)
{
    Session &s = m.session();
    const Services &sv = m.services();
    IMessages &msg = m.messages();
    switch (c) {
    case Control::mnuEnrImp: EnrImport(s, m.enrTable(), msg, sv.fileDialogs); break;
    case Control::mnuEnrUnl: EnrUnload(s, m.enrTable()); break;
    case Control::mnuSaveText: SaveTextFile(s, msg, sv.fileDialogs); break;
    case Control::mnuSaveTsv: RecordTsv(s, msg, false); break;
    case Control::btnSaveTsv: RecordTsv(s, msg, true); break;
    case Control::mnuTsvFile: ChooseTsvFile(s, sv.fileDialogs); break;
    case Control::mnuCalEnrImp:
        CalEnrImport(s, m.calEnrTable(), msg, sv.fileDialogs, calibrationMhz(s.sheet()));
        break;
    case Control::mnuCalEnrUnl:
        CalEnrUnload(s, m.calEnrTable());
        break;
    case Control::mnuSaveWave: SaveWaveFile(s, msg, sv.fileDialogs); break;
    case Control::mnuPrint: PrintForm(msg, sv.printing); break;
    case Control::mnuExit: break; // the front end closes, which runs Form_Unload
    case Control::mnuCopyTextClip: CopyTextClip(s, sv.clipboard); break;
    case Control::mnuSCCR:
    case Control::mnuSCCP:
    case Control::mnuMMSYS: mixer(m, c); break;
    case Control::mnuPlayWave: playWave(m); break;
    case Control::mnuVirtualBench: m.requestDialog(DialogId::VirtualBench); break;
    case Control::mnuOptionsBench: toggleBench(m); break;
    case Control::mnuSweep: m.requestDialog(DialogId::Sweep); break;
    case Control::mnuOptionsVerbose: break; // changes nothing, not even its check mark
    case Control::mnuOptionsLimits: LimitsToggle(s); break;
    case Control::mnuNmuc: m.requestDialog(DialogId::Nmuc); break;
    case Control::mnuComSetup: m.requestDialog(DialogId::ComSetup); break;
    case Control::mnuRigControl: m.requestDialog(DialogId::RigControl); break;
    case Control::mnuHelpHelp:
    case Control::mnuHome:
    case Control::mnuFaq:
    case Control::mnuSupport: HelpMenu(s, sv.opener, msg, m.lifetime(), c); break;
    case Control::mnuUpdate: m.requestDialog(DialogId::Update); break;
    case Control::mnuAbout: m.requestDialog(DialogId::About); break;
    case Control::btnNoise00:
    case Control::btnNoise11:
    case Control::btnNoise12:
    case Control::btnNoise21:
    case Control::btnNoise22:
        if (offerBenchIfNoInput(m))
            MeasureButton(m, c);
        break;
    case Control::btnReset: ResetAction(s); break;
    case Control::mnuAudioInput:
    case Control::mnuInputMonitor: m.requestDialog(DialogId::AudioInput); break;
    case Control::mnuEnrView: m.requestDialog(DialogId::EnrView); break;
    case Control::mnuBudget: m.requestDialog(DialogId::Budget); break;
    case Control::Count: break;
    }
    // A table in or out changes the calibration path's source.
    if (c == Control::mnuEnrImp || c == Control::mnuEnrUnl || c == Control::mnuCalEnrImp ||
        c == Control::mnuCalEnrUnl) {
        calibrationEnrLookUp(m);
        ResultsCalc(s.sheet());
    }
}

void runDoubleClick(Instrument &m, Field f)
{
    Session &s = m.session();
    switch (f) {
    case Field::Noise00: ResetAction(s); break;
    case Field::ENR:
    case Field::Thot:
    case Field::Tcold: calSourceDoubleClick(m, f); break;
    case Field::Gain:
    case Field::Teq:
    case Field::NF:
    case Field::Teq1:
    case Field::Teq2:
    case Field::NF1:
    case Field::NF2:
    case Field::Y2dB:
    case Field::Y12dB:
    case Field::Notes: CopyField(s.sheet(), m.services().clipboard, f); break;
    default: break;
    }
}
