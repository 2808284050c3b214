#pragma once
// Audio utilities around the last reading (TempWave + ".wav"): playing it
// back, saving a copy, and the shortcuts to the desktop's mixer. UI thread.
#include "sheet/Operation.h"
#include "sheet/Sheet.h"

#include <QString>
#include <QStringList>

#include <memory>

class AudioJob;
class IAudio;
class IFileDialogs;
class IMessages;
class IOpener;
struct AudioStatus;
struct Session;

// Playback of a wave file as the instrument's operation. Cancel stops it
// without a message; a device failure is reported through the messages
// given at construction, after `working(false)` and before `ended`. The
// audio device and the messages are not owned and outlive the playback.
class Playback : public Operation
{
    Q_OBJECT
public:
    // `audio` plays the file (null: the playback fails with a message).
    Playback(IAudio *audio, IMessages &messages, const QString &wavefile, QObject *parent = nullptr);
    ~Playback() override; // stops a running playback, quietly

    // Starts playing; `ended` follows, never from inside start().
    void start();
    void cancel() override;

Q_SIGNALS:
    // The working indicator: shown from start() (emitted inside it), hidden
    // once the playback is over, before any message and before `ended`.
    void working(bool visible);
    // 0..1 of the playback.
    void progress(double fraction);

private:
    void done(const AudioStatus &status);
    void end();

    IAudio *m_audio;
    IMessages &m_messages;
    QString m_file;
    std::unique_ptr<AudioJob> m_job;
    bool m_started = false;
    bool m_ended = false;
};

// A playback of `wavefile`, not yet started: the owner connects its signals,
// takes it over as the running operation, then calls start().
std::unique_ptr<Playback> makePlayback(IAudio *audio, IMessages &messages, const QString &wavefile);

// mnuSaveWave: asks for a file name (proposed: the reading's time stamp)
// and copies the last reading there; a failed copy is reported through
// `messages`. A saved reading disables mnuSaveWave in the session's sheet
// (each reading is saved once). Nothing happens without file dialogs.
void SaveWaveFile(Session &session, IMessages &messages, IFileDialogs *dialogs);

// A mixer entry (mnuSCCR, mnuSCCP, mnuMMSYS): starts the desktop's mixer
// program on the page that matches `entry`, in `workingDir` (the data
// folder); its outcome is not reported. False when no mixer program is
// installed: TQX's own Audio input window (device and monitor) is to be
// shown instead. True also without an opener: there is nothing to do then.
bool startMixer(IOpener *opener, Control entry, const QString &workingDir);
void MixerEntriesInit(Sheet &sheet); // at load: every entry enabled

// The desktop program behind a mixer entry: candidates in order of
// preference, each with its arguments.
struct MixerProgram {
    QString program;
    QStringList args;
};
QList<MixerProgram> mixerCandidates(Control entry);
