#include "acquire/Monitor.h"

#include "acquire/Wave.h"
#include "physics/Level.h"
#include "platform/Audio.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kDefaultRate = 48000;
// Spectrum: segments of about a tenth of a second (a power of two, 4096 at
// 44.1 and 48 kHz: bins of 11.7 Hz at 48 kHz), the sliding average of the
// latest 32 half-overlapping ones (1.4 s at 48 kHz), recomputed every
// fifth level window.
constexpr int kKeepSegments = 32;
constexpr int kSpectrumEvery = Monitor::kWindowsPerSecond / 4;

double toDb(double ms)
{
    return ms > 0 && std::isfinite(ms) ? std::max(Monitor::kFloorDbfs, 10.0 * std::log10(ms))
                                       : Monitor::kFloorDbfs;
}

int segmentFor(int rate)
{
    int n = 256;
    while (n * 2 <= rate / 8)
        n *= 2;
    return n;
}
} // namespace

Monitor::Monitor(IAudio *audio, const QString &templateWave, QObject *parent)
    : QObject(parent), m_audio(audio), m_templateWave(templateWave)
{
    m_spectrumRate = m_rate;
    m_spectrum = std::make_unique<physics::WelchSpectrum>(segmentFor(m_rate), m_rate, kKeepSegments);
}

Monitor::~Monitor()
{
    stop();
}

void Monitor::start()
{
    discardJob(m_job);
    m_message.clear();
    // The template fixes the rate of every reading; the monitor listens at it.
    // A template a reading would refuse is refused here too, before anything
    // is sized after its rate.
    m_rate = kDefaultRate;
    QFile tpl(m_templateWave);
    if (tpl.open(QIODevice::ReadOnly)) {
        const WaveInfo info = ReadWaveHeader(tpl);
        if (!supportedWaveRate(info.Rate))
            return refuse(QStringLiteral("The input monitor has stopped: Unsupported WAVE file format "
                                         "(%1: %2 Hz; 16-bit mono PCM at %3 to %4 Hz is required).")
                              .arg(QFileInfo(m_templateWave).fileName())
                              .arg(info.Rate)
                              .arg(kMinWaveRate)
                              .arg(kMaxWaveRate));
        m_rate = info.Rate;
    }
    if (m_spectrumRate != m_rate) {
        m_spectrumRate = m_rate;
        m_spectrum = std::make_unique<physics::WelchSpectrum>(segmentFor(m_rate), m_rate, kKeepSegments);
    }
    restartAnalysis();
    m_history.clear();
    m_historyAcc = 0;
    m_historyN = 0;
    if (!m_audio)
        return refuse(QStringLiteral("No audio device is available."));
    m_job = m_audio->stream(m_rate);
    connect(m_job.get(), &AudioJob::samples, this, &Monitor::onBlock);
    connect(m_job.get(), &AudioJob::finished, this, &Monitor::onFinished);
    setState(m_busy ? State::Paused : State::Running);
}

void Monitor::refuse(const QString &message)
{
    m_message = message;
    setState(State::Failed);
    QTimer::singleShot(0, this, [this, msg = m_message] { Q_EMIT failed(msg); });
}

void Monitor::stop()
{
    discardJob(m_job);
    if (m_state != State::Failed)
        setState(State::Stopped);
}

void Monitor::setState(State s)
{
    if (s == m_state)
        return;
    m_state = s;
    Q_EMIT stateChanged(s);
}

void Monitor::restartAnalysis()
{
    m_pending.clear();
    m_windowMs.clear();
    m_windowPeak.clear();
    m_windowClip.clear();
    m_windowsSinceSpectrum = 0;
    if (m_spectrum)
        m_spectrum->reset();
}

void Monitor::setPaused(bool busy)
{
    m_busy = busy;
    if (m_state == State::Running && busy) {
        setState(State::Paused);
    } else if (m_state == State::Paused && !busy) {
        restartAnalysis(); // the signal before and after the reading do not join
        setState(State::Running);
    }
}

void Monitor::onFinished(const AudioStatus &status)
{
    discardJob(m_job);
    m_message = QStringLiteral("The input monitor has stopped: %1 (%2)").arg(status.text).arg(status.number);
    setState(State::Failed);
    Q_EMIT failed(m_message);
}

void Monitor::onBlock(const QVector<qint16> &block)
{
    if (m_state != State::Running || m_busy)
        return; // a reading owns the card: its samples are not ours to show
    process(block.constData(), block.size());
}

void Monitor::process(const qint16 *x, qsizetype n)
{
    const std::size_t window = std::size_t(std::max(1, m_rate / kWindowsPerSecond));
    const int perHistory = kWindowsPerSecond / kHistoryPerSecond;
    for (qsizetype i = 0; i < n;) {
        const std::size_t take = std::min<std::size_t>(std::size_t(n - i), window - m_pending.size());
        m_pending.insert(m_pending.end(), x + i, x + i + take);
        i += qsizetype(take);
        if (m_pending.size() < window)
            break;
        // The same analysis as a reading of this window alone.
        const physics::LevelResult r =
            physics::analyseSamples(m_pending.data(), qint64(window), m_rate, true);
        m_spectrum->add(m_pending.data(), window);
        m_pending.clear();
        m_windowMs.push_back(r.ms);
        m_windowPeak.push_back(r.peak);
        m_windowClip.push_back(r.clipped);
        if (int(m_windowMs.size()) > kWindowsPerSecond) {
            m_windowMs.pop_front();
            m_windowPeak.pop_front();
            m_windowClip.pop_front();
        }
        double sum = 0;
        for (double v : m_windowMs)
            sum += v;
        m_levelMs = sum / double(m_windowMs.size());
        m_windowDb = toDb(r.ms);
        m_levelDb = toDb(m_levelMs);
        const double peak = *std::max_element(m_windowPeak.begin(), m_windowPeak.end());
        m_peakDbfs = peak > 0 ? std::max(kFloorDbfs, 20.0 * std::log10(peak)) : kFloorDbfs;
        m_clipping = std::find(m_windowClip.begin(), m_windowClip.end(), true) != m_windowClip.end();
        m_historyAcc += r.ms;
        if (++m_historyN == perHistory) {
            m_history.push_back(toDb(m_historyAcc / perHistory));
            if (m_history.size() > std::size_t(kHistorySeconds * kHistoryPerSecond))
                m_history.pop_front();
            m_historyAcc = 0;
            m_historyN = 0;
        }
        Q_EMIT updated();
        if (++m_windowsSinceSpectrum >= kSpectrumEvery) {
            m_windowsSinceSpectrum = 0;
            m_psd = m_spectrum->psd();
            // Lines are judged once enough segments are averaged (from the
            // second spectrum after a start): the first, of 4 segments, would
            // now and then show one in white noise.
            m_passband = physics::findPassband(m_psd, m_spectrum->binHz(), m_spectrum->averaged());
            if (!m_psd.empty())
                Q_EMIT spectrumUpdated();
        }
    }
}
