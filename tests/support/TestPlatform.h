#pragma once
// Test doubles at the platform boundary, and an Instrument wired to them.
// Only the platform interfaces are replaced; all rules run for real. Qt
// Core and QtTest only: the instrument's own tests link no GUI library.

#include "instrument/Instrument.h"
#include "instrument/Services.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

// Records every box shown as its "caption|text" line, with "|Critical", "|Exclamation" or
// "|Information" appended for a box with an icon, and its text.
class RecordingMessages : public IMessages
{
public:
    void show(const QString &caption, const QString &text, MsgIcon icon) override
    {
        static const char *const suffix[] = {"", "|Critical", "|Exclamation", "|Information"};
        shown.append({caption + QLatin1Char('|') + text + QLatin1String(suffix[int(icon)]), text});
    }
    void showDetailed(const QString &caption, const QString &text, MsgIcon icon, const QString &more) override
    {
        show(caption, text, icon);
        details.append(more);
    }
    QStringList lines() const { return column(0); }
    QStringList details; // of the boxes shown with details, in order
    QStringList texts() const { return column(1); }
    QList<QStringList> shown; // {line, text} per box

private:
    QStringList column(int i) const
    {
        QStringList c;
        for (const QStringList &m : shown)
            c << m[i];
        return c;
    }
};

// An in-memory settings store.
class MemorySettings : public ISettingsStore
{
public:
    QString get(const QString &section, const QString &key, const QString &def) override
    {
        auto it = values.constFind(section + QLatin1Char('/') + key);
        return it == values.cend() ? def : *it;
    }
    void save(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + QLatin1Char('/') + key, value);
    }
    void deleteSection(const QString &section) override
    {
        for (auto it = values.begin(); it != values.end();)
            it = it.key().startsWith(section + QLatin1Char('/')) ? values.erase(it) : std::next(it);
    }
    void flush() override { flushed = values; }
    QString loadProblem() const override { return problem; }
    QHash<QString, QString> values;
    QHash<QString, QString> flushed; // the values as the last flush() left them on disk
    QString problem;
};

// File dialogs answering from a queue; nullopt (cancel) when it is empty.
class ScriptedFileDialogs : public IFileDialogs
{
public:
    std::optional<QString> openFile(const FileDialogRequest &req) override { return next(req); }
    std::optional<QString> saveFile(const FileDialogRequest &req) override { return next(req); }
    std::deque<std::optional<QString>> answers;
    QList<FileDialogRequest> requests;

private:
    std::optional<QString> next(const FileDialogRequest &req)
    {
        requests.append(req);
        if (answers.empty())
            return std::nullopt;
        const std::optional<QString> a = answers.front();
        answers.pop_front();
        return a;
    }
};

class MemoryClipboard : public IClipboard
{
public:
    void clear() override { content.reset(); }
    void setText(const QString &text) override { content = text; }
    bool hasText() override { return content.has_value(); }
    QString text() override { return content.value_or(QString()); }
    std::optional<QString> content;
};

class FakeOpener : public IOpener
{
public:
    void open(const QString &target, const QString &workingDir, QObject *context, Done done) override
    {
        opened.append(target);
        lastWorkingDir = workingDir;
        QTimer::singleShot(0, context ? context : qApp, [done, s = status]() { done ? done(s) : void(); });
    }
    bool startProgram(const QString &program, const QStringList &args, const QString &) override
    {
        started.append(QStringList{program} + args);
        return true;
    }
    bool programAvailable(const QString &program) override { return available.contains(program); }
    void showHelp(const QString &helpDir, const QString &topic) override { helpShown.append(helpDir + topic); }
    int status = 33;
    QStringList available;
    QStringList opened;
    QList<QStringList> started;
    QStringList helpShown;
    QString lastWorkingDir;
};

// The front end's side of the instrument's requests: records the working
// indicator and the windows asked for (running a callback per window), and
// answers messages into a RecordingMessages (questions with `answer`).
class FakeWindows : public QObject
{
public:
    void attach(Instrument &m, RecordingMessages &messages)
    {
        connect(&m, &Instrument::workingShown, this, [this](bool v) { workingLog.append(v); });
        connect(&m, &Instrument::dialogRequested, this, [this](DialogId id) {
            dialogs.append(id);
            if (onDialog)
                onDialog(id);
        });
        connect(&m, &Instrument::messageRequested, this, [this, &messages](MessageRequest *r) {
            if (r->question) {
                questions.append(r->text);
                r->answer = answer;
            } else if (!r->details.isEmpty()) {
                messages.showDetailed(r->caption, r->text, r->icon, r->details);
            } else {
                messages.show(r->caption, r->text, r->icon);
            }
            r->answered = true;
        });
    }
    QList<bool> workingLog;
    QList<DialogId> dialogs;
    QStringList questions;
    bool answer = false; // the answer to every question
    std::function<void(DialogId)> onDialog;
};

// Answers every message of `m` into `messages` (questions: No).
inline void recordMessages(Instrument &m, RecordingMessages &messages)
{
    QObject::connect(&m, &Instrument::messageRequested, &m, [&messages](MessageRequest *r) {
        if (!r->question)
            messages.show(r->caption, r->text, r->icon);
        r->answered = true;
    });
}

// Devices a test can swap under a running instrument's fixed services: each
// call goes to `target` (none: no device).
class ForwardingAudio : public IAudio
{
public:
    std::unique_ptr<AudioJob> record(int rate, qint64 samples) override
    {
        return target ? target->record(rate, samples) : nullptr;
    }
    std::unique_ptr<AudioJob> stream(int rate) override { return target ? target->stream(rate) : nullptr; }
    std::unique_ptr<AudioJob> play(const QString &f) override { return target ? target->play(f) : nullptr; }
    void beep(int hz, int ms) override
    {
        if (target)
            target->beep(hz, ms);
    }
    bool hasInput() override { return target && target->hasInput(); }
    QList<AudioDevice> inputDevices() override { return target ? target->inputDevices() : QList<AudioDevice>{}; }
    QList<AudioDevice> outputDevices() override
    {
        return target ? target->outputDevices() : QList<AudioDevice>{};
    }
    bool setInputDevice(const QString &id) override { return target ? target->setInputDevice(id) : id.isEmpty(); }
    bool setOutputDevice(const QString &id) override
    {
        return target ? target->setOutputDevice(id) : id.isEmpty();
    }
    QString inputDevice() const override { return target ? target->inputDevice() : QString(); }
    QString outputDevice() const override { return target ? target->outputDevice() : QString(); }
    IAudio *target = nullptr;
};

class ForwardingSerial : public ISerialLines
{
public:
    int open(int port, bool dtr, bool rts) override { return target ? target->open(port, dtr, rts) : 9999; }
    bool setLines(bool dtr, bool rts) override { return target && target->setLines(dtr, rts); }
    void close() override
    {
        if (target)
            target->close();
    }
    bool isOpen() const override { return target && target->isOpen(); }
    int fault() override { return target ? target->fault() : 0; }
    QString faultDetail() const override { return target ? target->faultDetail() : QString(); }
    void watchFault(std::function<void()> onFault) override
    {
        if (target)
            target->watchFault(std::move(onFault));
    }
    QString deviceName(int port) const override { return target ? target->deviceName(port) : QString(); }
    bool deviceExists(int port) const override { return target && target->deviceExists(port); }
    ISerialLines *target = nullptr;
};

// The sound card: a recording delivers signal(0 .. n-1-shortBy) in one block
// `delayMs` after it starts (never while `hold`), then ends with `status`.
class ScriptedAudio : public IAudio
{
public:
    struct Job : AudioJob {
        Job(ScriptedAudio &a, qint64 n, bool rec) : audio(a)
        {
            ++audio.live;
            timer.setSingleShot(true);
            connect(&timer, &QTimer::timeout, this, [this, n, rec] {
                QVector<qint16> v(rec && audio.status.ok() ? std::max<qint64>(n - audio.shortBy, 0) : 0);
                for (qint64 i = 0; i < v.size(); ++i)
                    v[i] = audio.signal(i);
                deliver(v);
                finish(audio.status);
            });
            if (!audio.hold)
                timer.start(audio.delayMs);
        }
        ~Job() override { cancel(); }
        void halt() override
        {
            timer.stop();
            --audio.live;
        }
        ScriptedAudio &audio;
        QTimer timer;
    };
    std::unique_ptr<AudioJob> record(int rate, qint64 n) override
    {
        requests.append({rate, n});
        return std::make_unique<Job>(*this, n, true);
    }
    std::unique_ptr<AudioJob> stream(int rate) override
    {
        streams.append(rate);
        return std::make_unique<Job>(*this, 0, false);
    }
    std::unique_ptr<AudioJob> play(const QString &) override { return std::make_unique<Job>(*this, 0, false); }
    void beep(int hz, int ms) override { beeps.append({hz, ms}); }
    bool hasInput() override { return true; }

    std::function<qint16(qint64)> signal = [](qint64 i) { return qint16(i % 2 ? -300 : 300); };
    AudioStatus status;
    qint64 shortBy = 0;
    int delayMs = 0;
    bool hold = false;
    int live = 0; // jobs not yet ended
    QList<QPair<int, qint64>> requests;
    QList<int> streams; // the rate of each stream asked for
    QList<QPair<int, int>> beeps;
};

// A whole small file's bytes, or "(unreadable)"; and the reverse.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs the event loop until the instrument's operation has ended and the
// messages its end asked for have been answered.
inline bool waitIdle(const Instrument &m, int ms = 10000)
{
    const bool idle = QTest::qWaitFor([&m] { return !m.busy(); }, ms);
    QCoreApplication::sendPostedEvents();
    return idle;
}

// Devices given to the instrument at construction besides the doubles.
struct TestDevices {
    IHttp *http = nullptr;
    IRig *rig = nullptr;
};

// All doubles plus an Instrument wired to them. Audio and serial forward to
// what inFolder() sets (none before); HTTP and the rig are those given.
struct TestBench {
    explicit TestBench(const TestDevices &devices = {}) : meter(services(devices))
    {
        windows.attach(meter, messages);
    }
    RecordingMessages messages;
    MemorySettings settings;
    ScriptedFileDialogs fileDialogs;
    MemoryClipboard clipboard;
    FakeOpener opener;
    FakeWindows windows;
    ForwardingAudio audio;
    ForwardingSerial serial;
    Instrument meter;

    Services services(const TestDevices &devices)
    {
        Services p;
        p.settings = &settings;
        p.fileDialogs = &fileDialogs;
        p.clipboard = &clipboard;
        p.opener = &opener;
        p.audio = &audio;
        p.serial = &serial;
        p.http = devices.http;
        p.rig = devices.rig;
        return p;
    }
    // The instrument on `audio` and `serial`, its program folder and
    // temporary wave in `dir`, the limits option on.
    Instrument &inFolder(const QString &dir, IAudio *audioDevice, ISerialLines *serialDevice = nullptr)
    {
        audio.target = audioDevice;
        serial.target = serialDevice;
        meter.session().AppDir = dir + QLatin1Char('/');
        meter.session().TempWave = dir + QStringLiteral("/~0000TEST");
        meter.sheet().setChecked(Control::mnuOptionsLimits, true);
        return meter;
    }
    // Form_Load on the current settings (first run when none are stored).
    Instrument &loaded()
    {
        meter.Form_Load();
        return meter;
    }
};
