#include "acquire/AudioUtil.h"

#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/Opener.h"
#include "sheet/Session.h"

#include <QFile>
#include <QSaveFile>
#include <QTimer>

namespace {

const QString kCaption = QStringLiteral("TQX");
constexpr qint64 kCopyBlock = 1 << 16; // bytes per read while copying

// Error number reported when there is no audio service to play with.
constexpr int kNoAudio = 100;

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

Playback::Playback(IAudio *audio, IMessages &messages, const QString &wavefile, QObject *parent)
    : Operation(parent), m_audio(audio), m_messages(messages), m_file(wavefile)
{
}

Playback::~Playback()
{
    blockSignals(true); // nobody listens any more
    cancel();
}

void Playback::start()
{
    if (m_started || m_ended)
        return;
    m_started = true;
    Q_EMIT working(true);
    if (!m_audio) {
        QTimer::singleShot(0, this, [this] {
            done(AudioStatus{kNoAudio, QStringLiteral("No audio device is available.")});
        });
        return;
    }
    m_job = m_audio->play(m_file);
    connect(m_job.get(), &AudioJob::finished, this, &Playback::done);
    connect(m_job.get(), &AudioJob::progress, this, &Playback::progress);
}

void Playback::cancel()
{
    if (m_ended)
        return;
    discardJob(m_job);
    end();
    Q_EMIT ended();
}

void Playback::done(const AudioStatus &status)
{
    if (m_ended)
        return;
    discardJob(m_job);
    end();
    if (!status.ok())
        m_messages.show(kCaption,
                        QStringLiteral("Error: playing wave file: ") + status.text + QStringLiteral("(") +
                            QString::number(status.number) + QStringLiteral(")."),
                        MsgIcon::Critical);
    Q_EMIT ended();
}

void Playback::end()
{
    m_ended = true;
    if (m_started)
        Q_EMIT working(false); // before any message
}

std::unique_ptr<Playback> makePlayback(IAudio *audio, IMessages &messages, const QString &wavefile)
{
    return std::make_unique<Playback>(audio, messages, wavefile);
}

void SaveWaveFile(Session &session, IMessages &messages, IFileDialogs *dialogs)
{
    if (!dialogs)
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("All Files (*.*)|*.*|Wave files (*.wav)|*.wav");
    req.filterIndex = 2;
    req.fileName = session.ObsTime; // no extension is added
    const std::optional<QString> target = dialogs->saveFile(req);
    if (!target || target->isEmpty())
        return; // cancelled
    const QString source = session.TempWave + QStringLiteral(".wav");
    if (!copyReplacing(source, *target)) {
        messages.show(kCaption,
                      QStringLiteral("Error copying ") + source + QStringLiteral(" to ") + *target +
                          QStringLiteral("."),
                      MsgIcon::Critical);
        return;
    }
    session.sheet().setEnabled(Control::mnuSaveWave, false); // each reading is saved once
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

bool startMixer(IOpener *opener, Control entry, const QString &workingDir)
{
    if (!opener)
        return true;
    for (const MixerProgram &p : mixerCandidates(entry)) {
        if (opener->programAvailable(p.program)) {
            opener->startProgram(p.program, p.args, workingDir); // outcome not reported
            return true;
        }
    }
    return false; // no mixer program: the Audio input window instead
}

void MixerEntriesInit(Sheet &sheet)
{
    // Every entry has somewhere to go: a mixer program, else the Audio
    // input window.
    for (Control entry : {Control::mnuSCCR, Control::mnuSCCP, Control::mnuMMSYS})
        sheet.setEnabled(entry, true);
}
