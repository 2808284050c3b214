#pragma once
// Test doubles at the platform boundary, and a Meter wired to them.
// Only the platform interfaces are replaced; all rules run for real.

#include "sheet/Meter.h"
#include "platform/Platform.h"

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
    QStringList lines() const { return column(0); }
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
    void flush() override {}
    QHash<QString, QString> values;
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

// Windows: records the working indicator and runs a callback per dialog.
class FakeWindows : public IWindows
{
public:
    void showWorking(bool visible) override { workingLog.append(visible); }
    void setWorkingProgress(double) override {}
    void showDialog(DialogId id) override
    {
        dialogs.append(id);
        if (onDialog)
            onDialog(id);
    }
    QList<bool> workingLog;
    QList<DialogId> dialogs;
    std::function<void(DialogId)> onDialog;
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
    std::unique_ptr<AudioJob> stream(int) override { return std::make_unique<Job>(*this, 0, false); }
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

// Runs the event loop until the meter's operation has ended.
inline bool waitIdle(const Meter &m, int ms = 10000)
{
    return QTest::qWaitFor([&m] { return !m.busy(); }, ms);
}

// All doubles plus a Meter wired to them. Audio, serial and HTTP stay null
// unless a test sets them (platform().audio etc.) through meter.setPlatform.
struct TestBench {
    RecordingMessages messages;
    MemorySettings settings;
    ScriptedFileDialogs fileDialogs;
    MemoryClipboard clipboard;
    FakeOpener opener;
    FakeWindows windows;
    Meter meter{platform()};

    Platform platform()
    {
        Platform p;
        p.messages = &messages;
        p.settings = &settings;
        p.fileDialogs = &fileDialogs;
        p.clipboard = &clipboard;
        p.opener = &opener;
        p.windows = &windows;
        return p;
    }
    // The meter on `audio` and `serial`, its program folder and temporary wave in `dir`, the
    // limits option on.
    Meter &inFolder(const QString &dir, IAudio *audio, ISerialLines *serial = nullptr)
    {
        Platform p = platform();
        p.audio = audio;
        p.serial = serial;
        meter.setPlatform(p);
        meter.AppDir = dir + QLatin1Char('/');
        meter.TempWave = dir + QStringLiteral("/~0000TEST");
        meter.sheet().setChecked(Control::mnuOptionsLimits, true);
        return meter;
    }
    // Form_Load on the current settings (first run when none are stored).
    Meter &loaded()
    {
        meter.Form_Load();
        return meter;
    }
};
