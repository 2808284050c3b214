#include "acquire/AudioUtil.h"

#include "sheet/Meter.h"

#include <QFile>
#include <QSaveFile>
#include <QTimer>

namespace {

const QString kCaption = QStringLiteral("TQX");
constexpr qint64 kCopyBlock = 1 << 16; // bytes per read while copying

// Error number reported when there is no audio service to play with.
constexpr int kNoAudio = 100;

void showWorking(Meter &m, bool visible)
{
    if (IWindows *w = m.platform().windows)
        w->showWorking(visible);
}

// Copies `from` over `to` by way of a temporary file beside the target, so
// that an existing target survives a failed copy untouched.
bool copyReplacing(const QString &from, const QString &to)
{
    QFile src(from);
    if (!src.open(QIODevice::ReadOnly))
        return false;
    QSaveFile dst(to);
    if (!dst.open(QIODevice::WriteOnly))
        return false;
    while (!src.atEnd()) {
        const QByteArray block = src.read(kCopyBlock);
        if (block.isEmpty() || dst.write(block) != block.size()) {
            dst.cancelWriting();
            break;
        }
    }
    if (src.error() != QFileDevice::NoError)
        dst.cancelWriting();
    return dst.commit();
}

} // namespace

namespace {

// Playback of the last reading as the meter's operation: the working window
// shows while it plays; Cancel stops it without a message.
class Playback : public Operation
{
public:
    Playback(Meter &m, const QString &wavefile) : m_meter(m), m_file(wavefile) {}
    void start()
    {
        showWorking(m_meter, true);
        IAudio *audio = m_meter.platform().audio;
        if (!audio) {
            QTimer::singleShot(0, this, [this] {
                done(AudioStatus{kNoAudio, QStringLiteral("No audio device is available.")});
            });
            return;
        }
        m_job = audio->play(m_file);
        connect(m_job.get(), &AudioJob::finished, this, &Playback::done);
        connect(m_job.get(), &AudioJob::progress, this, [this](double f) {
            if (IWindows *w = m_meter.platform().windows)
                w->setWorkingProgress(f);
        });
    }
    void cancel() override
    {
        if (m_ended)
            return;
        discardJob(m_job);
        cancelled();
    }

private:
    void done(const AudioStatus &st)
    {
        if (m_ended)
            return;
        discardJob(m_job);
        end();
        if (!st.ok())
            m_meter.message(kCaption,
                            QStringLiteral("Error: playing wave file: ") + st.text + QStringLiteral("(") +
                                QString::number(st.number) + QStringLiteral(")."),
                            MsgIcon::Critical);
        Q_EMIT ended();
    }
    void cancelled()
    {
        end();
        Q_EMIT ended();
    }
    void end()
    {
        m_ended = true;
        showWorking(m_meter, false); // before any message
    }

    Meter &m_meter;
    QString m_file;
    std::unique_ptr<AudioJob> m_job;
    bool m_ended = false;
};

} // namespace

void PlayWave(Meter &m, const QString &wavefile)
{
    if (m.busy())
        return;
    auto owned = std::make_unique<Playback>(m, wavefile);
    Playback *p = owned.get();
    m.begin(std::move(owned));
    p->start();
}

void SaveWaveFile(Meter &m)
{
    IFileDialogs *dialogs = m.platform().fileDialogs;
    if (!dialogs)
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("All Files (*.*)|*.*|Wave files (*.wav)|*.wav");
    req.filterIndex = 2;
    req.fileName = m.ObsTime; // no extension is added
    const std::optional<QString> target = dialogs->saveFile(req);
    if (!target || target->isEmpty())
        return; // cancelled
    const QString source = m.TempWave + QStringLiteral(".wav");
    if (!copyReplacing(source, *target)) {
        m.message(kCaption,
                  QStringLiteral("Error copying ") + source + QStringLiteral(" to ") + *target +
                      QStringLiteral("."),
                  MsgIcon::Critical);
        return;
    }
    m.sheet().setEnabled(Control::mnuSaveWave, false); // each reading is saved once
}

// The PulseAudio volume control opens on the tab that matches the entry:
// 3 output devices (playback levels), 4 input devices (capture levels and
// port), 5 configuration (card profiles). pavucontrol-qt takes the same
// option and numbering.
QList<MixerProgram> mixerCandidates(Control entry)
{
    QString tab;
    switch (entry) {
    case Control::mnuSCCR:
        tab = QStringLiteral("--tab=4");
        break;
    case Control::mnuSCCP:
        tab = QStringLiteral("--tab=3");
        break;
    case Control::mnuMMSYS:
        tab = QStringLiteral("--tab=5");
        break;
    default:
        return {};
    }
    return {MixerProgram{QStringLiteral("pavucontrol"), {tab}},
            MixerProgram{QStringLiteral("pavucontrol-qt"), {tab}}};
}

void MixerEntry(Meter &m, Control entry)
{
    IOpener *opener = m.platform().opener;
    if (!opener)
        return;
    for (const MixerProgram &p : mixerCandidates(entry)) {
        if (opener->programAvailable(p.program)) {
            opener->startProgram(p.program, p.args, m.AppDir); // outcome not reported
            return;
        }
    }
    // No mixer program: TQX's own Audio input window (device and monitor).
    if (IWindows *w = m.platform().windows)
        w->showDialog(DialogId::AudioInput);
}

void MixerEntriesInit(Meter &m)
{
    // Every entry has somewhere to go: a mixer program, else the Audio
    // input window.
    for (Control entry : {Control::mnuSCCR, Control::mnuSCCP, Control::mnuMMSYS})
        m.sheet().setEnabled(entry, true);
}
