#include "gui/AudioInputWindow.h"

#include "gui/ValueLabel.h"

#include "acquire/Bench.h"
#include "acquire/Monitor.h"
#include "calc/Nmuc.h"
#include "instrument/Commands.h"
#include "instrument/Instrument.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kBarFloorDbfs = -100.0; // the level bar spans -100 .. 0 dBFS
constexpr int kDevicePollMs = 2000;      // how often the device lists are compared with the desktop's
constexpr int kChartMs = 200;            // strip-chart redraws at most five times a second
constexpr int kDescriptionRole = Qt::UserRole + 1; // a list item's device description (the data: its id)

QString dbText(double v, const char *unit)
{
    return QLocale().toString(v, 'f', 1) + QLatin1Char(' ') + QLatin1String(unit);
}

// A chart with one value axis on each side, no legend, small margins.
QChartView *makeChart(const QString &name, const QString &title, QChart **chart, QWidget *parent)
{
    *chart = new QChart;
    (*chart)->setTitle(title);
    (*chart)->legend()->hide();
    (*chart)->setMargins(QMargins(4, 4, 4, 4));
    auto *view = new QChartView(*chart, parent);
    view->setObjectName(name);
    view->setAccessibleName(title);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(260, 180);
    return view;
}

QValueAxis *addAxis(QChart *chart, QLineSeries *series, Qt::Alignment side, const QString &title)
{
    auto *axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTickCount(5);
    chart->addAxis(axis, side);
    series->attachAxis(axis);
    return axis;
}
} // namespace

AudioInputWindow::AudioInputWindow(Instrument &m, QWidget *parent) : QDialog(parent), m_instrument(m)
{
    setObjectName(QStringLiteral("frmAudioInput"));
    setWindowTitle(QStringLiteral("Audio input"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *devices = new QGroupBox(QStringLiteral("Devices"), this);
    auto *form = new QFormLayout(devices);
    m_input = new QComboBox(devices);
    m_input->setObjectName(QStringLiteral("cboInputDevice"));
    m_input->setAccessibleName(QStringLiteral("Input device"));
    m_output = new QComboBox(devices);
    m_output->setObjectName(QStringLiteral("cboOutputDevice"));
    m_output->setAccessibleName(QStringLiteral("Output device"));
    for (QComboBox *c : {m_input, m_output})
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    form->addRow(QStringLiteral("&Input device"), m_input);
    form->addRow(QStringLiteral("&Output device"), m_output);

    auto *levels = new QGroupBox(QStringLiteral("Input level"), this);
    auto *lg = new QGridLayout(levels);
    m_bar = new QProgressBar(levels);
    m_bar->setObjectName(QStringLiteral("barLevel"));
    m_bar->setAccessibleName(QStringLiteral("Input level bar"));
    m_bar->setRange(0, int(-kBarFloorDbfs * 10)); // tenths of a dB above the floor
    m_bar->setTextVisible(false);
    m_level = new ValueLabel(QStringLiteral("lblLevel"), QStringLiteral("Input level"), levels);
    QFont big = m_level->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_level->setFont(big);
    m_peak = new ValueLabel(QStringLiteral("lblPeak"), QStringLiteral("Peak"), levels);
    m_headroom =
        new ValueLabel(QStringLiteral("lblHeadroom"), QStringLiteral("Headroom for the hot reading"), levels);
    m_clip = new ValueLabel(QStringLiteral("lblClipping"), QStringLiteral("Clipping warning"), levels);
    m_clip->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    m_status = new ValueLabel(QStringLiteral("lblMonitorStatus"), QStringLiteral("Monitor status"), levels);
    m_status->setWordWrap(true);
    lg->addWidget(m_bar, 0, 0);
    lg->addWidget(m_level, 0, 1);
    lg->addWidget(m_peak, 1, 0, 1, 2);
    lg->addWidget(m_headroom, 2, 0, 1, 2);
    lg->addWidget(m_clip, 3, 0, 1, 2);
    lg->addWidget(m_status, 4, 0, 1, 2);
    lg->setColumnStretch(0, 1);

    QChart *hc = nullptr, *sc = nullptr;
    QChartView *historyView =
        makeChart(QStringLiteral("chartHistory"), QStringLiteral("Level, last 60 s"), &hc, this);
    m_history = new QLineSeries(hc);
    hc->addSeries(m_history);
    QValueAxis *hx = addAxis(hc, m_history, Qt::AlignBottom, QStringLiteral("s"));
    hx->setRange(-Monitor::kHistorySeconds, 0);
    m_historyY = addAxis(hc, m_history, Qt::AlignLeft, QStringLiteral("dBFS"));
    m_historyY->setRange(kBarFloorDbfs, 0);
    QChartView *spectrumView =
        makeChart(QStringLiteral("chartSpectrum"), QStringLiteral("Spectrum"), &sc, this);
    m_psd = new QLineSeries(sc);
    m_band = new QLineSeries(sc); // the passband, drawn over the spectrum
    QPen bandPen(QColor(0xc0, 0x60, 0x00));
    bandPen.setWidthF(2.5);
    m_band->setPen(bandPen);
    sc->addSeries(m_psd);
    sc->addSeries(m_band);
    m_psdX = addAxis(sc, m_psd, Qt::AlignBottom, QStringLiteral("kHz"));
    m_psdY = addAxis(sc, m_psd, Qt::AlignLeft, QStringLiteral("dBFS/Hz"));
    m_band->attachAxis(m_psdX);
    m_band->attachAxis(m_psdY);
    auto *charts = new QHBoxLayout;
    charts->addWidget(historyView, 1);
    charts->addWidget(spectrumView, 1);

    m_enbw = new ValueLabel(QStringLiteral("lblEnbw"), QStringLiteral("Noise bandwidth"), this);
    m_enbw->setWordWrap(true);
    m_useEnbw = new QPushButton(QStringLiteral("Use as &bandwidth"), this);
    m_useEnbw->setToolTip(
        QStringLiteral("Opens the uncertainty calculator with the noise bandwidth as its Bandwidth"));
    m_useEnbw->setObjectName(QStringLiteral("btnUseEnbw"));
    m_useEnbw->setAccessibleName(QStringLiteral("Use as bandwidth in the uncertainty calculator"));
    m_useEnbw->setEnabled(false);
    auto *enbwRow = new QHBoxLayout;
    enbwRow->addWidget(m_enbw, 1);
    enbwRow->addWidget(m_useEnbw);

    m_startStop = new QPushButton(QStringLiteral("&Stop"), this);
    m_startStop->setObjectName(QStringLiteral("btnMonitor"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAccessibleName(QStringLiteral("Close"));
    for (QPushButton *b : {m_useEnbw, m_startStop, close})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_startStop);
    buttons->addWidget(close);

    auto *top = new QHBoxLayout;
    top->addWidget(devices, 1);
    top->addWidget(levels, 1);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addLayout(charts, 1);
    lay->addLayout(enbwRow);
    lay->addLayout(buttons);

    connect(m_input, &QComboBox::activated, this, [this] { chooseDevice(true); });
    connect(m_output, &QComboBox::activated, this, [this] { chooseDevice(false); });
    connect(m_useEnbw, &QPushButton::clicked, this, &AudioInputWindow::useBandwidth);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_startStop, &QPushButton::clicked, this, [this] {
        if (m_monitor->state() == Monitor::State::Running || m_monitor->state() == Monitor::State::Paused)
            m_monitor->stop();
        else
            m_monitor->start();
        showState();
    });
    makeMonitor();
    // A new route brings a new input: the monitor listens to it from then on.
    connect(&m_instrument, &Instrument::routeChanged, this, [this] {
        fillDevices();
        const bool listening = m_monitor->state() != Monitor::State::Stopped;
        makeMonitor();
        if (listening)
            m_monitor->start();
        showState();
    });
    auto *chartTimer = new QTimer(this);
    connect(chartTimer, &QTimer::timeout, this, [this] {
        if (!m_chartDue)
            return;
        m_chartDue = false;
        QList<QPointF> pts;
        const std::deque<double> &h = m_monitor->history();
        const double step = 1.0 / Monitor::kHistoryPerSecond;
        double lo = 0, hi = kBarFloorDbfs;
        for (std::size_t i = 0; i < h.size(); ++i) {
            pts.append(QPointF(-double(h.size() - 1 - i) * step, h[i]));
            lo = std::min(lo, h[i]);
            hi = std::max(hi, h[i]);
        }
        m_history->replace(pts);
        // Ten-decibel steps around what was seen: drift of a tenth of a dB shows.
        m_historyY->setRange(std::floor(lo / 10.0) * 10.0,
                             std::ceil(hi / 10.0) * 10.0 + (hi >= lo ? 0.0 : 10.0));
    });
    chartTimer->start(kChartMs);
    m_devicePoll = new QTimer(this);
    connect(m_devicePoll, &QTimer::timeout, this, &AudioInputWindow::fillDevices);
    m_devicePoll->start(kDevicePollMs);

    fillDevices();
    showLevels();
    m_monitor->start();
    showState();
}

AudioInputWindow::~AudioInputWindow() = default;

void AudioInputWindow::makeMonitor()
{
    m_monitor = std::make_unique<Monitor>(m_instrument.audio(), m_instrument.session().templateWave());
    m_monitor->setPaused(m_instrument.busy());
    // A reading needs the input to itself: the monitor pauses meanwhile.
    connect(&m_instrument, &Instrument::busyChanged, m_monitor.get(), &Monitor::setPaused);
    connect(m_monitor.get(), &Monitor::updated, this, &AudioInputWindow::showLevels);
    connect(m_monitor.get(), &Monitor::spectrumUpdated, this, &AudioInputWindow::showSpectrum);
    connect(m_monitor.get(), &Monitor::stateChanged, this, &AudioInputWindow::showState);
    connect(m_monitor.get(), &Monitor::failed, this, &AudioInputWindow::showFailure);
}

void AudioInputWindow::fillDevices()
{
    // The sound card's devices; the inputs end with the virtual bench, the
    // other source of readings (choosing it is the instrument's route).
    IAudio *audio = m_instrument.services().audio;
    const bool onBench = m_instrument.route() == DeviceRoute::Bench;
    for (bool input : {true, false}) {
        QComboBox *box = input ? m_input : m_output;
        QList<AudioDevice> list =
            audio ? (input ? audio->inputDevices() : audio->outputDevices()) : QList<AudioDevice>{};
        QString chosen = audio ? (input ? audio->inputDevice() : audio->outputDevice()) : QString();
        if (input) {
            AudioDevice bench = m_instrument.bench().audio().inputDevices().value(0);
            bench.isDefault = false;
            list.append(bench);
            if (onBench)
                chosen = bench.id;
        }
        QStringList ids{QString()};
        for (const AudioDevice &d : list)
            ids << d.id;
        QStringList &shown = input ? m_inputIds : m_outputIds;
        if (ids == shown && box->count() > 0 && box->currentData().toString() == chosen)
            continue; // nothing changed: leave an open list alone
        shown = ids;
        const QSignalBlocker block(box);
        box->clear();
        box->addItem(input ? QStringLiteral("Default input") : QStringLiteral("Default output"), QString());
        for (const AudioDevice &d : list) {
            box->addItem(d.isDefault ? d.description + QStringLiteral(" (default)") : d.description, d.id);
            box->setItemData(box->count() - 1, d.description, kDescriptionRole);
        }
        box->setCurrentIndex(std::max(0, box->findData(chosen)));
    }
}

void AudioInputWindow::chooseDevice(bool input)
{
    QComboBox *box = input ? m_input : m_output;
    const QString id = box->currentData().toString();
    const QString name = box->currentData(kDescriptionRole).toString(); // not the label's "(default)"
    if (m_instrument.busy()) {
        // Refused with the instrument's message: every reading of a sweep
        // comes from one input. The list shows the input in use again.
        input ? m_instrument.chooseInputDevice(id, name) : m_instrument.chooseOutputDevice(id, name);
        m_inputIds.clear();
        m_outputIds.clear();
        fillDevices();
        return;
    }
    const bool bench = input && id == QLatin1String(BenchAudio::kDeviceId);
    if (input && !m_instrument.setRoute(bench ? DeviceRoute::Bench : DeviceRoute::SoundCard)) {
        fillDevices();
        return;
    }
    const bool ok = bench || (input ? m_instrument.chooseInputDevice(id, name)
                                    : m_instrument.chooseOutputDevice(id, name));
    if (!ok)
        m_instrument.message(QStringLiteral("TQX"),
                             QStringLiteral("The audio %1 \"%2\" is no longer available.")
                                 .arg(input ? QStringLiteral("input") : QStringLiteral("output"), name),
                             MsgIcon::Critical);
    fillDevices();
    if (input)
        m_monitor->start(); // listen to the new input
}

void AudioInputWindow::showLevels()
{
    const Monitor &mon = *m_monitor;
    const bool have = !mon.history().empty() || mon.levelMs() > 0;
    m_bar->setValue(int(std::clamp((mon.windowDb() - kBarFloorDbfs) * 10.0, 0.0, -kBarFloorDbfs * 10.0)));
    m_level->setValueText(have ? dbText(mon.levelDb(), "dBFS") : QStringLiteral("-- dBFS"));
    m_peak->setValueText(QStringLiteral("Peak: ") +
                         (have ? dbText(mon.peakDbfs(), "dBFS") : QStringLiteral("--")));
    m_headroom->setValueText(QStringLiteral("Headroom for the hot reading: ") +
                             (have ? dbText(mon.headroomDb(), "dB") : QStringLiteral("--")));
    m_headroom->setToolTip(QStringLiteral("How far the level may rise before the hot reading risks clipping "
                                          "(keep the hot reading below %1 dBFS)")
                               .arg(QLocale().toString(Monitor::kHotCeilingDbfs, 'f', 0)));
    m_clip->setValueText(mon.clipping() ? QStringLiteral("Clipping: a sample exceeded 0.4 of full scale")
                                        : QString());
    m_chartDue = true;
}

void AudioInputWindow::showSpectrum()
{
    const std::vector<double> &psd = m_monitor->spectrum();
    const double bin = m_monitor->binHz();
    QList<QPointF> pts, band;
    pts.reserve(int(psd.size()));
    double top = -200;
    for (std::size_t k = 0; k < psd.size(); ++k) {
        const double db = psd[k] > 0 ? 10.0 * std::log10(psd[k]) : Monitor::kFloorDbfs - 60;
        pts.append(QPointF(k * bin / 1000.0, db)); // kHz
        top = std::max(top, db);
    }
    const physics::Passband &pb = m_monitor->passband();
    if (pb.ok)
        for (int k = pb.lowBin; k <= pb.highBin; ++k)
            band.append(pts[k]);
    m_psd->replace(pts);
    m_band->replace(band);
    m_psdX->setRange(0, m_monitor->rate() / 2000.0);
    const double ceiling = std::ceil(top / 10.0) * 10.0 + 10.0;
    m_psdY->setRange(ceiling - 100.0, ceiling);
    if (pb.ok) {
        const QLocale loc;
        QString text = QStringLiteral("Noise bandwidth (ENBW): %1 Hz, passband %2 to %3 Hz")
                           .arg(loc.toString(pb.enbwHz, 'f', 0), loc.toString(pb.lowBin * bin, 'f', 0),
                                loc.toString(pb.highBin * bin, 'f', 0));
        // Only a line that stands clearly above the noise is one (a tone,
        // hum, a birdie); plain noise has none.
        if (pb.lineBin >= 0)
            text += QStringLiteral("; line at %1 Hz, %2 dB above the noise")
                        .arg(loc.toString(pb.lineHz, 'f', 0), loc.toString(pb.lineDb, 'f', 0));
        m_enbw->setValueText(text);
    } else {
        m_enbw->setValueText(QStringLiteral("Noise bandwidth: no signal"));
    }
    m_useEnbw->setEnabled(pb.ok);
}

void AudioInputWindow::showState()
{
    switch (m_monitor->state()) {
    case Monitor::State::Running:
        m_status->setValueText(QStringLiteral("Monitoring at %1 Hz.").arg(m_monitor->rate()));
        break;
    case Monitor::State::Paused:
        m_status->setValueText(QStringLiteral("Paused while a reading records."));
        break;
    case Monitor::State::Stopped:
        m_status->setValueText(QStringLiteral("Stopped."));
        break;
    case Monitor::State::Failed:
        m_status->setValueText(m_monitor->message());
        break;
    }
    const bool on =
        m_monitor->state() == Monitor::State::Running || m_monitor->state() == Monitor::State::Paused;
    m_startStop->setText(on ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
    m_startStop->setAccessibleName(on ? QStringLiteral("Stop monitoring")
                                      : QStringLiteral("Start monitoring"));
}

void AudioInputWindow::showFailure(const QString &message)
{
    showState();
    m_instrument.message(QStringLiteral("TQX"), message, MsgIcon::Critical);
}

void AudioInputWindow::useBandwidth()
{
    const physics::Passband &pb = m_monitor->passband();
    if (!pb.ok)
        return;
    m_instrument.nmuc().offerBandwidth(pb.enbwHz);
    m_instrument.click(Control::mnuNmuc);
}
