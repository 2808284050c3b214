#include "gui/StabilityWindow.h"

#include "gui/StabilityChart.h"
#include "help/HelpLinks.h"
#include "instrument/Instrument.h"
#include "instrument/MeasurementSeries.h"
#include "physics/Series.h"
#include "platform/Dialogs.h"
#include "platform/Opener.h"
#include "report/SeriesCsv.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <vector>

namespace {

const QString kCaption = QStringLiteral("TQX");
const char *const kStatNames[4] = {"mean", "sigma", "drift", "runs"};

QString dbText(double v, int decimals = 3)
{
    return QLocale().toString(v, 'f', decimals);
}

} // namespace

StabilityWindow::StabilityWindow(Instrument &instrument, QWidget *parent)
    : QDialog(parent), m_instrument(instrument)
{
    setObjectName(QStringLiteral("frmStability"));
    setWindowTitle(QStringLiteral("Stability"));
    setAccessibleName(QStringLiteral("Stability"));
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->addWidget(buildControls());
    // The numbers of each strip beside it, so that the strips get the height.
    auto *middle = new QHBoxLayout;
    m_chart = new StabilityChart(this);
    m_chart->setMinimumSize(360, 300);
    middle->addWidget(m_chart, 1);
    middle->addWidget(buildStats());
    lay->addLayout(middle, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("stabilityStatus"));
    m_status->setAccessibleName(QStringLiteral("Series status"));
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lay->addWidget(m_status);
    m_tick = new QTimer(this);
    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, this, &StabilityWindow::refreshStatus);
    connect(&m_instrument, &Instrument::busyChanged, this, &StabilityWindow::updateButtons);
    connect(&m_instrument, &Instrument::routeChanged, this, &StabilityWindow::updateButtons);
    m_state = QStringLiteral("Ready.");
    redraw();
    refreshStatus();
    updateButtons();
    // Room for the strips, within the screen (minus a frame's worth).
    QSize want(900, 680);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableGeometry().size() - QSize(16, 40));
    resize(want.expandedTo(minimumSizeHint()));
}

StabilityWindow::~StabilityWindow()
{
    stop();
}

QWidget *StabilityWindow::buildControls()
{
    // Two rows, no frame: the strips below get the height.
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("stabilitySeries"));
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto label = [box](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, box);
        l->setBuddy(buddy);
        return l;
    };

    m_period = new QDoubleSpinBox(box);
    m_period->setObjectName(QStringLiteral("stabilityPeriod"));
    m_period->setAccessibleName(QStringLiteral("Period in seconds"));
    m_period->setRange(0, 86400);
    m_period->setDecimals(0);
    m_period->setValue(60);
    m_period->setSuffix(QStringLiteral(" s"));
    m_period->setToolTip(
        QStringLiteral("From the start of one run to the start of the next; 0: one run right after "
                       "the other. A run takes about four readings' time."));
    grid->addWidget(label(QStringLiteral("&Period:"), m_period), 0, 0);

    m_untilStopped = new QRadioButton(QStringLiteral("&Until stopped"), box);
    m_untilStopped->setObjectName(QStringLiteral("stabilityUntilStopped"));
    m_untilStopped->setAccessibleName(QStringLiteral("Run until stopped"));
    m_forTime = new QRadioButton(QStringLiteral("&For"), box);
    m_forTime->setObjectName(QStringLiteral("stabilityForTime"));
    m_forTime->setAccessibleName(QStringLiteral("Run for a total time"));
    auto *group = new QButtonGroup(box);
    group->addButton(m_untilStopped);
    group->addButton(m_forTime);
    m_forTime->setChecked(true);
    m_total = new QDoubleSpinBox(box);
    m_total->setObjectName(QStringLiteral("stabilityTotal"));
    m_total->setAccessibleName(QStringLiteral("Total time in minutes"));
    m_total->setRange(0.1, 31 * 24 * 60);
    m_total->setDecimals(1);
    m_total->setValue(30);
    m_total->setSuffix(QStringLiteral(" min"));
    m_total->setToolTip(QStringLiteral("No run starts later than this after the first."));
    auto *total = new QHBoxLayout; // the period, then how long
    total->addWidget(m_period);
    total->addSpacing(16);
    total->addWidget(m_untilStopped);
    total->addSpacing(8);
    total->addWidget(m_forTime);
    total->addWidget(m_total);
    total->addSpacing(16);
    grid->addLayout(total, 0, 1, 1, 2);
    connect(m_forTime, &QRadioButton::toggled, m_total, &QWidget::setEnabled);

    m_draw = new QComboBox(box);
    m_draw->setObjectName(QStringLiteral("stabilityDraw"));
    m_draw->setAccessibleName(QStringLiteral("Noise figure drawn"));
    m_draw->addItem(QStringLiteral("NF(1): the device under test"));
    m_draw->addItem(QStringLiteral("NF(2): the instrument alone"));
    grid->addWidget(label(QStringLiteral("&Draw:"), m_draw), 1, 0);
    grid->addWidget(m_draw, 1, 1);
    connect(m_draw, &QComboBox::currentIndexChanged, this, &StabilityWindow::redraw);

    m_zero = new QCheckBox(QStringLiteral("Take the &zero (SCZ) first"), box);
    m_zero->setObjectName(QStringLiteral("stabilityZero"));
    m_zero->setAccessibleName(QStringLiteral("Take the zero first"));
    total->addWidget(m_zero);
    total->addStretch(1);

    auto *buttons = new QHBoxLayout;
    auto button = [&](const QString &text, const char *name, const QString &accessible) {
        auto *b = new QPushButton(text, box);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(accessible);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    m_start = button(QStringLiteral("&Start"), "btnStabilityStart", QStringLiteral("Start series"));
    m_stop = button(QStringLiteral("S&top"), "btnStabilityStop", QStringLiteral("Stop series"));
    m_export = button(QStringLiteral("E&xport CSV..."), "btnStabilityCsv", QStringLiteral("Export CSV"));
    buttons->addStretch(1);
    QPushButton *help = button(QStringLiteral("&Help"), "btnStabilityHelp", QStringLiteral("Help"));
    QPushButton *close = button(QStringLiteral("&Close"), "btnStabilityClose", QStringLiteral("Close"));
    grid->addLayout(buttons, 1, 2);
    grid->setColumnStretch(2, 1);
    connect(m_start, &QPushButton::clicked, this, &StabilityWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &StabilityWindow::stop);
    connect(m_export, &QPushButton::clicked, this, &StabilityWindow::exportCsv);
    connect(help, &QPushButton::clicked, this, &StabilityWindow::showHelp);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    return box;
}

QWidget *StabilityWindow::buildStats()
{
    auto *w = new QWidget(this);
    w->setObjectName(QStringLiteral("stabilityStats"));
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    const QString heads[4] = {QStringLiteral("Mean:"), QStringLiteral("Sigma:"), QStringLiteral("Drift:"),
                              QStringLiteral("Runs:")};
    for (int r = 0; r < 3; ++r) {
        m_rowNames[r] = new QGroupBox(w);
        auto *form = new QFormLayout(m_rowNames[r]);
        form->setContentsMargins(6, 2, 6, 2);
        form->setVerticalSpacing(1);
        for (int c = 0; c < 4; ++c) {
            auto *l = new QLabel(w);
            l->setObjectName(QStringLiteral("stability_%1_%2").arg(r + 1).arg(QLatin1String(kStatNames[c])));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            // Room for "-0.000 dB/h" whatever the value, so that the plot beside keeps its width.
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("+00.000 dB/h")));
            form->addRow(heads[c], l);
            m_stats[r][c] = l;
        }
        v->addWidget(m_rowNames[r], 1);
    }
    return w;
}

bool StabilityWindow::running() const
{
    return !m_series.isNull();
}

bool StabilityWindow::drawsNf1() const
{
    return m_draw->currentIndex() == 0;
}

std::array<std::optional<double>, 3> StabilityWindow::drawn(const SeriesRun &run) const
{
    if (drawsNf1())
        return {run.nf1Db, run.gainDb, run.cold12Db};
    return {run.nf2Db, run.gainDb, run.cold2Db};
}

void StabilityWindow::redraw()
{
    const bool nf1 = drawsNf1();
    const std::array<QString, 3> names = {
        nf1 ? QStringLiteral("NF(1)") : QStringLiteral("NF(2)"), QStringLiteral("Gain"),
        nf1 ? QStringLiteral("Cold level (12)") : QStringLiteral("Cold level (2)")};
    // The axis titles short enough for a strip's height; the boxes beside name them in full.
    m_chart->clear(
        {names[0] + QStringLiteral(" (dB)"), QStringLiteral("Gain (dB)"), QStringLiteral("Cold (dB)")});
    for (int r = 0; r < 3; ++r) {
        m_rowNames[r]->setTitle(names[r]);
        for (int c = 0; c < 4; ++c)
            m_stats[r][c]->setAccessibleName(names[r] + QLatin1Char(' ') + QLatin1String(kStatNames[c]));
    }
    const QDateTime first = m_runs.isEmpty() ? QDateTime() : m_runs.first().time;
    for (const SeriesRun &run : std::as_const(m_runs))
        m_chart->append(first.msecsTo(run.time) / 60000.0, drawn(run), !run.ok);
    refreshStats();
}

void StabilityWindow::refreshStats()
{
    const QDateTime first = m_runs.isEmpty() ? QDateTime() : m_runs.first().time;
    for (int r = 0; r < 3; ++r) {
        std::vector<double> t, v;
        for (const SeriesRun &run : std::as_const(m_runs)) {
            const std::optional<double> value = drawn(run)[r];
            if (value) {
                t.push_back(first.msecsTo(run.time) / 1000.0);
                v.push_back(*value);
            }
        }
        const physics::SeriesStats s = physics::seriesStats(t, v);
        const QString none = QStringLiteral("-");
        m_stats[r][0]->setText(s.count ? dbText(s.mean) + QStringLiteral(" dB") : none);
        m_stats[r][1]->setText(s.hasSigma ? dbText(s.sigma) + QStringLiteral(" dB") : none);
        m_stats[r][2]->setText(s.hasSlope ? (s.slopePerHour >= 0 ? QStringLiteral("+") : QString()) +
                                                dbText(s.slopePerHour) + QStringLiteral(" dB/h")
                                          : none);
        m_stats[r][3]->setText(QLocale().toString(qulonglong(s.count)));
    }
}

void StabilityWindow::updateButtons()
{
    const bool run = running();
    m_start->setEnabled(!run && !m_instrument.busy());
    m_stop->setEnabled(run);
    m_export->setEnabled(!m_runs.isEmpty());
    const bool bench = m_instrument.route() == DeviceRoute::Bench;
    for (QWidget *w : {static_cast<QWidget *>(m_period), static_cast<QWidget *>(m_untilStopped),
                       static_cast<QWidget *>(m_forTime)})
        w->setEnabled(!run);
    m_total->setEnabled(!run && m_forTime->isChecked());
    // A zero needs the receiver's audio disconnected: the bench does that
    // itself; at a real set-up press SC&Z in the main window beforehand.
    m_zero->setEnabled(!run && bench);
    if (!bench)
        m_zero->setChecked(false);
    m_zero->setToolTip(bench ? QStringLiteral("The bench disconnects its receiver for the zero reading.")
                             : QStringLiteral("At a real set-up take the zero with SCZ in the main window, "
                                              "with the receiver's audio disconnected, before the series."));
}

void StabilityWindow::start()
{
    if (running())
        return;
    if (!m_exported && !m_runs.isEmpty() &&
        !m_instrument.messages().ask(kCaption,
                                     QStringLiteral("The %1 runs shown have not been exported. Start a new "
                                                    "series and clear them?")
                                         .arg(m_runs.size())))
        return;
    SeriesPlan plan;
    plan.periodS = m_period->value();
    plan.totalS = m_forTime->isChecked() ? m_total->value() * 60 : 0;
    plan.takeZero = m_zero->isEnabled() && m_zero->isChecked();
    QString error;
    MeasurementSeries *series = MeasurementSeries::start(m_instrument, plan, &error);
    if (!series) {
        m_instrument.message(kCaption, error, MsgIcon::Exclamation);
        return;
    }
    m_series = series;
    m_runs.clear();
    m_exported = true;
    m_next = QDateTime();
    redraw();
    connect(series, &MeasurementSeries::runDone, this, &StabilityWindow::addRun);
    connect(series, &MeasurementSeries::readingStarted, this, [this](int run, int step) {
        static const char *const names[] = {"Noise LO(2)", "Noise HI(2)", "Noise LO(12)", "Noise HI(12)"};
        m_next = QDateTime();
        m_state = run < 0
                      ? QStringLiteral("Taking the zero (SCZ)...")
                      : QStringLiteral("Run %1: reading %2...").arg(run + 1).arg(QLatin1String(names[step]));
        refreshStatus();
    });
    connect(series, &MeasurementSeries::waiting, this, [this](const QDateTime &next) {
        m_next = next;
        refreshStatus();
    });
    connect(series, &Operation::ended, this, [this, series] {
        const int n = series->runsDone();
        m_next = QDateTime();
        if (!series->failure().isEmpty())
            m_state = QStringLiteral("Ended after %1 runs: %2").arg(n).arg(series->failure());
        else if (series->cancelled())
            m_state = QStringLiteral("Stopped after %1 runs.").arg(n);
        else
            m_state = QStringLiteral("Finished: %1 runs.").arg(n);
        m_series = nullptr;
        m_tick->stop();
        refreshStatus();
        updateButtons();
    });
    m_tick->start();
    updateButtons();
}

void StabilityWindow::stop()
{
    if (m_series)
        m_instrument.cancel(); // the series is the instrument's operation
}

void StabilityWindow::addRun(const SeriesRun &run)
{
    if (m_runs.size() >= MeasurementSeries::kMaxRuns)
        return;
    m_runs.append(run);
    m_exported = false;
    const QDateTime first = m_runs.first().time;
    m_chart->append(first.msecsTo(run.time) / 60000.0, drawn(run), !run.ok);
    refreshStats();
    if (!run.ok)
        m_state = QStringLiteral("Run %1 gave no noise figure: %2").arg(run.index + 1).arg(run.failure);
    updateButtons();
}

void StabilityWindow::refreshStatus()
{
    QString text = m_state;
    if (m_next.isValid()) {
        const qint64 s = std::max<qint64>(0, (QDateTime::currentDateTimeUtc().msecsTo(m_next) + 999) / 1000);
        text = QStringLiteral("%1 runs done; the next starts in %2 s (at %3).")
                   .arg(m_runs.size())
                   .arg(s)
                   .arg(QLocale().toString(m_next.toLocalTime().time(), QLocale::ShortFormat));
    }
    m_status->setText(text);
}

void StabilityWindow::exportCsv()
{
    IFileDialogs *dialogs = m_instrument.services().fileDialogs;
    if (!dialogs || m_runs.isEmpty())
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV files (*.csv)|*.csv");
    req.fileName = QStringLiteral("stability.csv");
    const std::optional<QString> path = dialogs->saveFile(req);
    if (!path)
        return;
    QSaveFile out(*path);
    const QByteArray bytes = seriesCsv(m_runs);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        m_instrument.message(kCaption, QStringLiteral("Cannot write %1: %2").arg(*path, out.errorString()),
                             MsgIcon::Critical);
        return;
    }
    m_exported = true;
}

void StabilityWindow::showHelp()
{
    if (IOpener *opener = m_instrument.services().opener)
        opener->showHelp(helpDir(m_instrument.session().AppDir), QStringLiteral("Stability.htm"));
}

void StabilityWindow::closeEvent(QCloseEvent *e)
{
    // Closing hides; a running series goes on (Stop stops it).
    e->ignore();
    hide();
}

void showStabilityWindow(Instrument &instrument, QWidget *mainWindow)
{
    auto *w = mainWindow->findChild<StabilityWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!w)
        w = new StabilityWindow(instrument, mainWindow);
    w->show();
    w->raise();
    w->activateWindow();
}
