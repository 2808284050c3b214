#include "acquire/Reading.h"

#include "acquire/Wave.h"
#include "platform/Audio.h"

#include <QFile>
#include <QTemporaryFile>
#include <QtEndian>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A template header longer than this is not a header we want to copy.
constexpr qint64 kMaxHeaderBytes = 65536;

// POSIX rename: replaces `to` in one step, never by copying, so that a
// reader never meets a half-written file.
bool renameOver(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QString systemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

// One of the reading's files on its way into place.
struct Replacement {
    QTemporaryFile *fresh = nullptr; // the finished new file
    QString target;
    std::unique_ptr<QTemporaryFile> backup; // the previous file moved aside; null when there was none
    bool movedAside = false;
    bool placed = false;
};

// Puts the two finished files in place of the previous reading's, all or
// nothing. The previous files are first moved aside to private names beside
// them (renames within one folder: no copy, each step atomic), then the new
// ones are renamed in. On any failure the new ones are taken out again and
// the previous ones put back; on success the previous ones are deleted.
// Returns empty on success, else the system's reason for the failed step.
QString replaceBoth(QTemporaryFile &wav, const QString &wavTarget, QTemporaryFile &raw,
                    const QString &rawTarget)
{
    std::array<Replacement, 2> files;
    files[0].fresh = &wav;
    files[0].target = wavTarget;
    files[1].fresh = &raw;
    files[1].target = rawTarget;

    QString error;
    for (Replacement &f : files) {
        f.fresh->close();
        if (!QFile::exists(f.target))
            continue;
        // A name of our own beside the target, reserved by creating it; the
        // rename then takes it over, and the object deletes it at the end.
        f.backup = std::make_unique<QTemporaryFile>(f.target + QStringLiteral(".old.XXXXXX"));
        if (!f.backup->open()) {
            error = f.backup->errorString();
            break;
        }
        f.backup->close();
        if (!renameOver(f.target, f.backup->fileName())) {
            error = systemError(errno);
            break;
        }
        f.movedAside = true;
    }
    if (error.isEmpty()) {
        for (Replacement &f : files) {
            if (!renameOver(f.fresh->fileName(), f.target)) {
                error = systemError(errno);
                break;
            }
            f.placed = true;
        }
    }
    if (error.isEmpty()) {
        for (Replacement &f : files)
            f.fresh->setAutoRemove(false); // it has the target's name now
        return error;                      // the backups go with their objects
    }

    // Back to the previous reading's files, in reverse order.
    for (auto f = files.rbegin(); f != files.rend(); ++f) {
        if (f->movedAside) {
            // Over the new file when it was placed: the old one returns in one step.
            if (!renameOver(f->backup->fileName(), f->target))
                f->backup->setAutoRemove(false); // never lose the only copy of the old file
        } else if (f->placed) {
            QFile::remove(f->target); // there was none before
        }
    }
    return error;
}

} // namespace

Reading::Reading(IAudio *audio, const NoiseSourceLines &lines, const ReadingPlan &plan, QObject *parent)
    : Operation(parent), m_audio(audio), m_lines(lines), m_plan(plan)
{
    m_step.setSingleShot(true);
    // A coarse timer may fire 5 % early; the source needs its full 500 ms.
    m_step.setTimerType(Qt::PreciseTimer);
}

Reading::~Reading()
{
    // Quietly: nobody listens any more.
    blockSignals(true);
    cancel();
}

void Reading::enter(Stage s)
{
    m_stage = s;
    Q_EMIT stageChanged(s);
}

void Reading::start()
{
    if (m_stage != Stage::Idle)
        return;
    enter(Stage::Switching);
    // Every outcome reaches the owner from the event loop, also a port that
    // refuses at once.
    if (m_plan.usePort) {
        const int rc = NoiseSwitchOn(m_lines, m_plan.sourceOn, m_plan.combined);
        if (rc != 0) {
            m_result.portError = true;
            m_result.message = QStringLiteral("Error: ") + CommErrorText(rc);
            m_result.outcome = ReadingResult::Outcome::Failed;
            QTimer::singleShot(0, this, [this] { finish(ReadingResult::Outcome::Failed); });
            return;
        }
        m_switched = m_lines.enabled;
        // A port that fails while the source settles or the card records
        // ends the reading at once: the interval may be many minutes, and
        // a reading whose source or path nobody holds any more is worthless.
        if (m_switched)
            NoiseSwitchWatch(m_lines, [this] { portFailed(); });
    }
    enter(Stage::Settling);
    connect(&m_step, &QTimer::timeout, this, &Reading::startRecording);
    m_step.start(m_switched ? kSettleMs : 0);
}

bool Reading::portFailed()
{
    if (!m_switched)
        return false;
    const int rc = NoiseSwitchFault(m_lines);
    if (rc == 0)
        return false;
    m_result.portError = true;
    fail(PortFaultMessage(m_lines, rc));
    return true;
}

void Reading::startRecording()
{
    disconnect(&m_step, nullptr, this, nullptr);
    if (portFailed())
        return;
    enter(Stage::Recording);

    // The template fixes rate and header layout; it is only read.
    QFile tpl(m_plan.templateWave);
    if (!tpl.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Unable to open TQX.wav."));
    const WaveInfo info = ReadWaveHeader(tpl);
    m_headerLen = tpl.pos();
    QByteArray header;
    if (supportedWaveRate(info.Rate) && m_headerLen <= kMaxHeaderBytes && tpl.seek(0))
        header = tpl.read(m_headerLen);
    tpl.close();
    // A rate of 0 is what the header walk reports; a negative rate would give
    // a negative recording length, and a rate no sound card records at would
    // size the buffers after a number nobody checked: all are refused alike.
    if (!supportedWaveRate(info.Rate) || header.size() != m_headerLen)
        return fail(QStringLiteral("Unsupported WAVE file format."));
    const int rate = info.Rate;

    // N samples are kept, S (one second) discarded, and 0.1 S of margin.
    const double keepExact = rate * m_plan.dur;
    const QString badLength = QStringLiteral("The recording length of %1 s is out of range.").arg(m_plan.dur);
    if (!std::isfinite(keepExact) || keepExact < 0 || keepExact > kMaxRecordSamples)
        return recordingFailed(badLength, RecordError::BadLength);
    m_keep = roundHalfEven(keepExact);
    m_skip = roundHalfEven(rate * 1.0);
    m_total = roundHalfEven(1.1 * m_skip + m_keep);
    if (m_total > kMaxRecordSamples)
        return recordingFailed(badLength, RecordError::BadLength);

    if (!m_audio)
        return recordingFailed(QStringLiteral("No audio device is available."), RecordError::NoAudio);

    // The raw recording in the template's layout, its sizes known in
    // advance: RIFF size H - 8 + 2n, data size 2n.
    m_raw = std::make_unique<QTemporaryFile>(m_plan.tempWave + QStringLiteral(".tmp.XXXXXX"));
    qToLittleEndian<quint32>(quint32(m_headerLen - 8 + 2 * m_total), header.data() + 4);
    qToLittleEndian<quint32>(quint32(2 * m_total), header.data() + m_headerLen - 4);
    if (!m_raw->open() || m_raw->write(header) != header.size())
        return recordingFailed(QStringLiteral("Cannot write %1: %2")
                                   .arg(m_plan.tempWave + QStringLiteral(".tmp"), m_raw->errorString()),
                               RecordError::RawFile);

    m_got = 0;
    m_t1 = QDateTime::currentDateTime();
    m_job = m_audio->record(rate, m_total);
    connect(m_job.get(), &AudioJob::samples, this, &Reading::onBlock);
    connect(m_job.get(), &AudioJob::progress, this, &Reading::progress);
    connect(m_job.get(), &AudioJob::finished, this, &Reading::onRecorded);
}

void Reading::onBlock(const QVector<qint16> &block)
{
    // Never more than was asked for; the file holds exactly m_total samples.
    const qint64 n = std::min<qint64>(block.size(), m_total - m_got);
    if (n <= 0)
        return;
    QVector<qint16> le = block.mid(0, n);
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN)
        qToLittleEndian<qint16>(le.constData(), n, le.data());
    const qint64 bytes = 2 * n;
    if (m_raw->write(reinterpret_cast<const char *>(le.constData()), bytes) != bytes) {
        discardJob(m_job);
        return recordingFailed(QStringLiteral("Cannot write %1: %2")
                                   .arg(m_plan.tempWave + QStringLiteral(".tmp"), m_raw->errorString()),
                               RecordError::RawFile);
    }
    m_got += n;
}

void Reading::onRecorded(const AudioStatus &status)
{
    const QDateTime t2 = QDateTime::currentDateTime();
    m_result.stamped = true;
    m_result.obsTime = t2.addMSecs(-m_t1.msecsTo(t2) / 2).toString(QStringLiteral("yyyyMMddHHmmss"));
    if (!status.ok())
        return recordingFailed(status.text, status.number);
    if (m_got != m_total)
        return recordingFailed(
            QStringLiteral("The device delivered %1 of %2 samples.").arg(m_got).arg(m_total),
            RecordError::ShortRecording);
    if (!m_raw->flush())
        return recordingFailed(m_raw->errorString(), RecordError::RawFile);
    if (portFailed())
        return;

    // The reading: the raw file without its first second and its margin.
    m_wav = std::make_unique<QTemporaryFile>(m_plan.tempWave + QStringLiteral(".wav.XXXXXX"));
    QString error;
    if (!m_wav->open() || !m_raw->seek(0) ||
        !buildTrimmedWave(*m_raw, m_headerLen, m_skip, m_keep, *m_wav, &error) || !m_wav->flush())
        return recordingFailed(error.isEmpty()
                                   ? QStringLiteral("Cannot write %1: %2")
                                         .arg(m_plan.tempWave + QStringLiteral(".wav"), m_wav->errorString())
                                   : error,
                               RecordError::OutputFile);
    enter(Stage::Analysing);
    // The analysis runs from the event loop, so that a cancel queued during
    // the recording is seen first.
    connect(&m_step, &QTimer::timeout, this, &Reading::analyse);
    m_step.start(0);
}

void Reading::analyse()
{
    disconnect(&m_step, nullptr, this, nullptr);
    LevelResult level;
    if (m_wav->seek(0)) {
        const WaveInfo info = ReadWaveHeader(*m_wav);
        if (info.Rate > 0 && info.Samples > 0)
            level = analyseLevel(*m_wav, m_wav->pos(), wholeSamples(info), info.Rate, m_plan.limits);
    }
    if (portFailed())
        return;
    // The reading is complete: its two files replace the previous reading's
    // together, or neither does.
    const QString wavTarget = m_plan.tempWave + QStringLiteral(".wav");
    const QString error = replaceBoth(*m_wav, wavTarget, *m_raw, m_plan.tempWave + QStringLiteral(".tmp"));
    m_result.recorded = error.isEmpty();
    if (!m_result.recorded)
        return recordingFailed(QStringLiteral("Cannot replace %1: %2").arg(wavTarget, error),
                               RecordError::OutputFile);
    if (!level.ok)
        return finish(ReadingResult::Outcome::Failed); // silent: an unusable recorded file
    m_result.ms = level.ms;
    m_result.clipped = level.clipped;
    m_result.peak = level.peak;
    if (m_audio)
        m_audio->beep(2000, 100);
    finish(ReadingResult::Outcome::Succeeded);
}

void Reading::fail(const QString &message)
{
    m_result.message = message;
    finish(ReadingResult::Outcome::Failed);
}

void Reading::recordingFailed(const QString &text, int number)
{
    // The time stamp of a failed recording is empty.
    m_result.stamped = true;
    m_result.obsTime.clear();
    fail(QStringLiteral("Error: recording wave file: ") + text + QStringLiteral("(") +
         QString::number(number) + QStringLiteral(")."));
}

void Reading::release()
{
    m_step.stop();
    disconnect(&m_step, nullptr, this, nullptr);
    discardJob(m_job); // stops the device
    m_raw.reset();     // deletes the partial raw file
    m_wav.reset();     // and the partial reading
    if (m_switched)    // source off, instrument path, port closed
        NoiseSwitchOff(m_lines);
    m_switched = false;
}

void Reading::finish(ReadingResult::Outcome outcome)
{
    if (m_stage == Stage::Done)
        return;
    release();
    m_result.outcome = outcome;
    enter(Stage::Done);
    Q_EMIT ended();
}

void Reading::cancel()
{
    if (m_stage == Stage::Done)
        return;
    m_result = ReadingResult();
    finish(ReadingResult::Outcome::Cancelled);
}
