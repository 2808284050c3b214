#include "gui/SweepWindow.h"

#include "acquire/Bench.h"
#include "acquire/TimeLeft.h"
#include "gui/SweepChart.h"
#include "instrument/Instrument.h"
#include "instrument/RigSettings.h"
#include "instrument/SweepCommands.h"
#include "report/DeviceText.h"
#include "report/SweepCsv.h"
#include "sheet/Session.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kCaption = QStringLiteral("TQX sweep");
const QStringList kColumns = {QStringLiteral("Frequency (MHz)"), QStringLiteral("Tuned (MHz)"), QStringLiteral("ENR (dB)"),
                              QStringLiteral("Y (dB)"),          QStringLiteral("Te (K)"),      QStringLiteral("NF (dB)"),
                              QStringLiteral("Gain (dB)"),       QStringLiteral("Receiver Te (K)"), QStringLiteral("Status")};
// A converter's table: the RF, the planned IF and the IF the receiver reported.
QStringList columnsFor(const DeviceSetup &device)
{
    if (!device.converter())
        return kColumns;
    QStringList c = kColumns;
    c[0] = QStringLiteral("RF (MHz)");
    c[1] = QStringLiteral("Tuned IF (MHz)");
    c.insert(1, QStringLiteral("IF (MHz)"));
    return c;
}

// In the user's locale, without digit grouping (a table of numbers).
QString number(double v, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return std::isfinite(v) ? locale.toString(v, 'f', decimals) : QString();
}

QDoubleSpinBox *spin(QWidget *parent, const QString &name, double lo, double hi, int decimals, double value,
                     const QString &suffix)
{
    auto *s = new QDoubleSpinBox(parent);
    s->setObjectName(name);
    s->setRange(lo, hi);
    s->setDecimals(decimals);
    s->setValue(value);
    s->setSuffix(suffix);
    return s;
}

} // namespace

SweepWindow::SweepWindow(Instrument &instrument, QWidget *parent) : QDialog(parent), m_instrument(instrument)
{
    setObjectName(QStringLiteral("frmSweep"));
    setWindowTitle(QStringLiteral("Frequency sweep"));
    setAccessibleName(QStringLiteral("Frequency sweep"));
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("sweepSplitter"));
    split->addWidget(buildInputs());
    split->addWidget(buildResults());
    split->setStretchFactor(1, 1);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(6, 6, 6, 6);
    lay->addWidget(split);
    updateButtons();
    m_tick = new QTimer(this);
    m_tick->setInterval(1000);
    connect(m_tick, &QTimer::timeout, this, &SweepWindow::refreshStatus);
    // Room for the plot, within the screen (minus a frame's worth).
    QSize want(1000, 640);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableGeometry().size() - QSize(16, 40));
    resize(want);
}

SweepWindow::~SweepWindow()
{
    stopSweep();
}

QWidget *SweepWindow::buildInputs()
{
    auto *w = new QWidget(this);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);

    auto *freq = new QGroupBox(QStringLiteral("Frequencies"), w);
    auto *f = new QFormLayout(freq);
    m_source = new QButtonGroup(this);
    const struct {
        const char *name, *caption;
        SweepFrequencies::Source id;
    } sources[] = {{"optRange", "&Range (start, stop, step)", SweepFrequencies::Source::Range},
                   {"optList", "T&yped list", SweepFrequencies::Source::List},
                   {"optEnrTable", "The &ENR table's frequencies", SweepFrequencies::Source::EnrTable}};
    for (const auto &s : sources) {
        auto *r = new QRadioButton(QString::fromLatin1(s.caption), freq);
        r->setObjectName(QString::fromLatin1(s.name));
        r->setAccessibleName(QString::fromLatin1(s.caption).remove(QLatin1Char('&')));
        m_source->addButton(r, int(s.id));
        f->addRow(r);
    }
    m_source->button(0)->setChecked(true);
    m_start = spin(freq, QStringLiteral("sweepStart"), kSweepMinMhz, kSweepMaxMhz, 3, 100, QStringLiteral(" MHz"));
    m_stop = spin(freq, QStringLiteral("sweepStop"), kSweepMinMhz, kSweepMaxMhz, 3, 500, QStringLiteral(" MHz"));
    m_step = spin(freq, QStringLiteral("sweepStep"), 0, kSweepMaxMhz, 3, 50, QStringLiteral(" MHz"));
    m_list = new QLineEdit(freq);
    m_list->setObjectName(QStringLiteral("sweepList"));
    m_list->setPlaceholderText(QStringLiteral("e.g. 144 145.5 432"));
    const struct {
        QWidget *field;
        const char *label, *name;
    } rows[] = {{m_start, "S&tart", "Start frequency"},
                {m_stop, "St&op", "Stop frequency"},
                {m_step, "Ste&p", "Frequency step"},
                {m_list, "&List (MHz)", "Frequency list"}};
    for (const auto &r : rows) {
        r.field->setAccessibleName(QString::fromLatin1(r.name));
        auto *l = new QLabel(QString::fromLatin1(r.label), freq);
        l->setBuddy(r.field);
        f->addRow(l, r.field);
    }
    v->addWidget(freq);

    auto *run = new QGroupBox(QStringLiteral("Sweep"), w);
    auto *rf = new QFormLayout(run);
    m_settle = spin(run, QStringLiteral("sweepSettle"), 0, 60, 2, 0.5, QStringLiteral(" s"));
    m_settle->setAccessibleName(QStringLiteral("Settling time after tuning"));
    auto *sl = new QLabel(QStringLiteral("Settlin&g time"), run);
    sl->setBuddy(m_settle);
    rf->addRow(sl, m_settle);
    // The session's readings per average, shared with Options -> Averaging:
    // every level of every point is their mean power.
    m_averages = new QSpinBox(run);
    m_averages->setObjectName(QStringLiteral("sweepAverages"));
    m_averages->setAccessibleName(QStringLiteral("Readings per average"));
    m_averages->setRange(1, Session::kMaxAverages);
    m_averages->setValue(std::clamp(m_instrument.session().Averages, 1, Session::kMaxAverages));
    auto *al = new QLabel(QStringLiteral("Readings per &average"), run);
    al->setBuddy(m_averages);
    rf->addRow(al, m_averages);
    connect(m_averages, &QSpinBox::valueChanged, this,
            [this](int n) { m_instrument.session().Averages = n; });
    m_stopOnFailure = new QCheckBox(QStringLiteral("Stop at a &failed point"), run);
    m_stopOnFailure->setObjectName(QStringLiteral("sweepStopOnFailure"));
    m_stopOnFailure->setAccessibleName(QStringLiteral("Stop at a failed point"));
    rf->addRow(m_stopOnFailure);
    auto button = [this](const QString &caption, const QString &name, const QString &accessible) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAccessibleName(accessible);
        return b;
    };
    m_calButton = button(QStringLiteral("Start &calibration"), QStringLiteral("btnSweepCal"),
                         QStringLiteral("Start calibration sweep"));
    m_measButton = button(QStringLiteral("Start &measurement"), QStringLiteral("btnSweepMeas"),
                          QStringLiteral("Start measurement sweep"));
    m_stopButton = button(QStringLiteral("&Stop"), QStringLiteral("btnSweepStop"), QStringLiteral("Stop sweep"));
    rf->addRow(m_calButton);
    rf->addRow(m_measButton);
    rf->addRow(m_stopButton);
    connect(m_calButton, &QPushButton::clicked, this, [this] { startSweep(SweepKind::Calibration); });
    connect(m_measButton, &QPushButton::clicked, this, [this] { startSweep(SweepKind::Measurement); });
    connect(m_stopButton, &QPushButton::clicked, this, &SweepWindow::stopSweep);
    m_progress = new QProgressBar(run);
    m_progress->setObjectName(QStringLiteral("sweepProgress"));
    m_progress->setAccessibleName(QStringLiteral("Sweep progress"));
    m_progress->setValue(0);
    rf->addRow(m_progress);
    m_status = new QLabel(QStringLiteral("Ready."), run);
    m_status->setObjectName(QStringLiteral("sweepStatus"));
    m_status->setWordWrap(true);
    m_calStatus = new QLabel(QStringLiteral("No calibration yet."), run);
    m_calStatus->setObjectName(QStringLiteral("sweepCalStatus"));
    m_calStatus->setWordWrap(true);
    // Two lines each, so that a longer status never clips.
    for (QLabel *l : {m_status, m_calStatus}) {
        l->setMinimumHeight(2 * l->fontMetrics().lineSpacing() + 2);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        rf->addRow(l);
    }
    v->addWidget(run);

    auto *files = new QWidget(this);
    files->setObjectName(QStringLiteral("sweepFiles"));
    auto *ff = new QHBoxLayout(files);
    ff->setContentsMargins(0, 0, 0, 0);
    m_exportButton = button(QStringLiteral("E&xport CSV..."), QStringLiteral("btnSweepCsv"), QStringLiteral("Export CSV"));
    m_plotButton = button(QStringLiteral("Sa&ve plot..."), QStringLiteral("btnSweepPlot"), QStringLiteral("Save plot"));
    m_refButton = button(QStringLiteral("Load refere&nce..."), QStringLiteral("btnSweepRef"),
                         QStringLiteral("Load reference sweep"));
    for (QPushButton *b : {m_exportButton, m_plotButton, m_refButton})
        ff->addWidget(b);
    ff->addStretch(1);
    connect(m_exportButton, &QPushButton::clicked, this, &SweepWindow::exportCsv);
    connect(m_plotButton, &QPushButton::clicked, this, &SweepWindow::savePlot);
    connect(m_refButton, &QPushButton::clicked, this, &SweepWindow::loadReference);
    m_files = files;
    v->addStretch(1);
    // The inputs scroll when large fonts make them taller than the screen.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("sweepInputs"));
    scroll->setWidget(w);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(w->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width());
    return scroll;
}

QWidget *SweepWindow::buildResults()
{
    auto *split = new QSplitter(Qt::Vertical, this);
    auto *top = new QWidget(split);
    auto *tv = new QVBoxLayout(top);
    tv->setContentsMargins(0, 0, 0, 0);
    m_chart = new SweepChart(top);
    m_chart->setMinimumSize(360, 220);
    m_readout = new QLabel(top);
    m_readout->setObjectName(QStringLiteral("sweepReadout"));
    m_readout->setAccessibleName(QStringLiteral("Plot readout"));
    connect(m_chart, &SweepChart::readout, m_readout, &QLabel::setText);
    m_plan = new QLabel(top);
    m_plan->setObjectName(QStringLiteral("sweepPlan"));
    m_plan->setAccessibleName(QStringLiteral("Frequency plan"));
    m_plan->setWordWrap(true);
    m_plan->hide(); // an amplifier's sweep has no plan to show
    tv->addWidget(m_plan);
    tv->addWidget(m_chart, 1);
    tv->addWidget(m_readout);
    tv->addWidget(m_files);
    m_table = new QTableWidget(0, int(kColumns.size()), split);
    m_table->setObjectName(QStringLiteral("sweepTable"));
    m_table->setAccessibleName(QStringLiteral("Sweep points"));
    m_table->setHorizontalHeaderLabels(kColumns);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents(); // the captions; numbers are narrower
    split->addWidget(top);
    split->addWidget(m_table);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    return split;
}

void SweepWindow::updateButtons()
{
    const bool run = running();
    m_calButton->setEnabled(!run);
    m_measButton->setEnabled(!run && !m_instrument.sweepCalibration().mhz.isEmpty());
    m_stopButton->setEnabled(run);
    m_exportButton->setEnabled(!run && !m_points.isEmpty());
    m_plotButton->setEnabled(!run);
    m_refButton->setEnabled(!run);
}

void SweepWindow::error(const QString &text)
{
    m_instrument.message(kCaption, text, MsgIcon::Critical);
}

bool SweepWindow::startSweep(SweepKind kind)
{
    if (running())
        return false;
    SweepFrequencies f;
    f.source = SweepFrequencies::Source(m_source->checkedId());
    f.startMhz = m_start->value();
    f.stopMhz = m_stop->value();
    f.stepMhz = m_step->value();
    f.list = m_list->text();
    Sweep *sweep = ::startSweep(m_instrument, kind, f, m_settle->value(), m_stopOnFailure->isChecked());
    if (!sweep)
        return false;
    m_sweep = sweep;
    beginPoints(kind, m_sweep->points(), m_sweep->plan().device);
    connect(m_sweep, &Sweep::pointChanged, this, &SweepWindow::onPointChanged);
    connect(m_sweep, &Sweep::progress, this, &SweepWindow::onProgress);
    connect(m_sweep, &Sweep::sourcePrompt, this, &SweepWindow::onPrompt);
    connect(m_sweep, &Operation::ended, this, &SweepWindow::onEnded);
    m_progress->setValue(0);
    refreshStatus();
    m_tick->start();
    updateButtons();
    return true;
}

void SweepWindow::beginPoints(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device)
{
    m_kind = kind;
    m_points = points;
    if (m_device.converter() != device.converter()) {
        const QStringList columns = columnsFor(device);
        m_table->setColumnCount(int(columns.size()));
        m_table->setHorizontalHeaderLabels(columns);
        m_table->resizeColumnsToContents();
    }
    m_device = device;
    // A converter's frequency plan: the RF on the plot, the IF in the table.
    m_plan->setVisible(device.converter());
    m_plan->setText(device.converter()
                        ? QStringLiteral("%1: LO %2 MHz, %3, image rejection %4 dB")
                              .arg(deviceModeName(device.mode), number(device.loMhz, 3),
                                   sidebandKey(device.sideband),
                                   number(physics::imageRejectionFor(device.mode, device.sideband,
                                                                     device.imageRejectionDb),
                                          1))
                        : QString());
    m_table->setRowCount(int(m_points.size()));
    for (int i = 0; i < m_points.size(); ++i)
        showPoint(i);
    if (device.converter())
        m_table->resizeColumnsToContents(); // the RF and IF are wider than their captions
    m_chart->setPoints(kind, m_points, device);
    updateTruth();
}

void SweepWindow::updatePoint(int i, const SweepPoint &point)
{
    if (i < 0 || i >= m_points.size())
        return;
    m_points[i] = point;
    showPoint(i);
    m_chart->updatePoint(i, point); // appended: no redraw of the others
}

void SweepWindow::stopSweep()
{
    if (m_prompt)
        m_prompt->deleteLater();
    if (m_sweep)
        m_sweep->cancel();
}

void SweepWindow::onPointChanged(int i)
{
    if (!m_sweep || i < 0 || i >= m_points.size())
        return;
    updatePoint(i, m_sweep->points()[i]);
}

void SweepWindow::showPoint(int row)
{
    const SweepPoint &p = m_points[row];
    const bool ok = p.state == SweepPoint::State::Measured;
    const bool cal = m_kind == SweepKind::Calibration;
    const QString status = ok ? QStringLiteral("ok")
                              : p.state == SweepPoint::State::Failed ? QStringLiteral("failed: ") + p.failure
                                                                     : QString();
    QStringList cells = {number(p.mhz, 3),
                         p.tunedMhz > 0 ? number(p.tunedMhz, 6) : QString(),
                         number(p.source.enrDb, 2),
                         ok ? number(p.path.yDb, 3) : QString(),
                         ok ? number(cal ? p.path.te : p.device.te, 1) : QString(),
                         ok ? number(cal ? p.path.nfDb : p.device.nfDb, 2) : QString(),
                         ok && !cal ? number(p.device.gainDb, 2) : QString(),
                         ok ? number(p.rxTeK, 1) : QString(),
                         status};
    if (m_device.converter())
        cells.insert(1, number(p.ifMhz, 3));
    for (int c = 0; c < int(cells.size()); ++c) {
        auto *item = new QTableWidgetItem(cells[c]);
        if (p.state == SweepPoint::State::Failed)
            item->setForeground(QColor(192, 0, 0));
        m_table->setItem(row, c, item);
    }
}

void SweepWindow::onProgress(int done, int total)
{
    if (!m_sweep)
        return;
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(done);
    refreshStatus();
}

void SweepWindow::refreshStatus()
{
    if (!m_sweep)
        return;
    if (m_sweep->stage() == Sweep::Stage::Opening)
        return m_status->setText(QStringLiteral("Opening the receiver..."));
    if (m_sweep->stage() == Sweep::Stage::AwaitingSource)
        return; // the prompt's line stays
    const int total = m_sweep->readingsTotal();
    const QString reading =
        QStringLiteral("Reading %1 of %2").arg(std::min(m_sweep->readingsDone() + 1, total)).arg(total);
    const QString left = durationText(m_sweep->secondsLeft());
    m_status->setText(left.isEmpty() ? reading + QLatin1Char('.')
                                     : QStringLiteral("%1, about %2 left.").arg(reading, left));
}

void SweepWindow::onPrompt(const QString &text)
{
    // Non-modal: the plot and table stay live, and Stop still works.
    m_status->setText(QStringLiteral("Waiting for the noise source to be switched on."));
    auto *box = new QMessageBox(QMessageBox::Information, kCaption, text, QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("sweepPrompt"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *go = box->addButton(QStringLiteral("&Continue"), QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("&Stop"), QMessageBox::RejectRole);
    connect(box, &QMessageBox::buttonClicked, this, [this, go](QAbstractButton *b) {
        if (!m_sweep)
            return;
        if (b == go)
            m_sweep->resume();
        else
            m_sweep->cancel();
    });
    m_prompt = box;
    box->show();
}

void SweepWindow::onEnded()
{
    if (!m_sweep)
        return;
    if (m_prompt)
        m_prompt->deleteLater();
    m_points = m_sweep->points();
    const Sweep::Outcome outcome = m_sweep->outcome();
    const QString message = m_sweep->message();
    int measured = 0;
    for (const SweepPoint &p : m_points)
        measured += p.state == SweepPoint::State::Measured;
    if (m_kind == SweepKind::Calibration && measured > 0) {
        const SweepCalibration cal = m_sweep->calibration(); // the instrument keeps it
        // Kept where the receiver was: a converter's IF.
        m_calStatus->setText((m_device.converter()
                                  ? QStringLiteral("Calibration: %1 points from IF %2 to %3 MHz.")
                                  : QStringLiteral("Calibration: %1 points from %2 to %3 MHz."))
                                 .arg(cal.mhz.size())
                                 .arg(number(cal.mhz.first(), 3), number(cal.mhz.last(), 3)));
    }
    m_sweep = nullptr; // the Instrument deletes it
    m_tick->stop();
    const QString how = outcome == Sweep::Outcome::Finished ? QStringLiteral("Sweep finished")
                        : outcome == Sweep::Outcome::Stopped ? QStringLiteral("Sweep stopped")
                                                             : QStringLiteral("Sweep failed");
    m_status->setText(QStringLiteral("%1: %2 of %3 points measured.").arg(how).arg(measured).arg(m_points.size()));
    m_progress->setValue(outcome == Sweep::Outcome::Finished ? m_progress->maximum() : m_progress->value());
    m_chart->setPoints(m_kind, m_points, m_device);
    m_table->resizeColumnsToContents();
    updateButtons();
    if (!message.isEmpty())
        error(message);
}

void SweepWindow::updateTruth()
{
    // On the virtual bench: its true curves across the sweep, finely enough
    // to show the shape between the points.
    const Bench &bench = m_instrument.bench();
    QVector<double> x, nf, gain;
    if (m_instrument.route() == DeviceRoute::Bench && !m_points.isEmpty()) {
        const double lo = m_points.first().mhz, hi = m_points.last().mhz;
        const int n = lo < hi ? 200 : 1;
        for (int i = 0; i < n; ++i) {
            const double f = n > 1 ? lo + (hi - lo) * i / (n - 1) : lo;
            const BenchTruth t = bench.truthAt(f);
            x << f;
            nf << (m_kind == SweepKind::Calibration ? t.rxNfDb : t.dutNfDb);
            gain << t.dutGainDb;
        }
        if (m_kind == SweepKind::Calibration)
            gain.clear();
    }
    m_chart->setTruth(x, nf, gain);
}

void SweepWindow::exportCsv()
{
    IFileDialogs *dialogs = m_instrument.services().fileDialogs;
    if (!dialogs || m_points.isEmpty())
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV files (*.csv)|*.csv");
    req.fileName = m_kind == SweepKind::Calibration ? QStringLiteral("calibration.csv") : QStringLiteral("sweep.csv");
    const std::optional<QString> path = dialogs->saveFile(req);
    if (!path)
        return;
    QSaveFile out(*path);
    const QByteArray bytes = sweepCsv(m_kind, m_points, m_device);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        error(QStringLiteral("Cannot write %1: %2").arg(*path, out.errorString()));
}

void SweepWindow::savePlot()
{
    IFileDialogs *dialogs = m_instrument.services().fileDialogs;
    if (!dialogs)
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("PNG image (*.png)|*.png|SVG drawing (*.svg)|*.svg");
    req.fileName = QStringLiteral("sweep.png");
    const std::optional<QString> path = dialogs->saveFile(req);
    if (!path)
        return;
    QString why;
    if (!m_chart->save(*path, &why))
        error(why);
}

void SweepWindow::loadReference()
{
    IFileDialogs *dialogs = m_instrument.services().fileDialogs;
    if (!dialogs)
        return;
    FileDialogRequest req;
    req.filter = QStringLiteral("CSV files (*.csv)|*.csv");
    req.mustExist = true;
    const std::optional<QString> path = dialogs->openFile(req);
    if (!path)
        return;
    const SweepTrace trace = readSweepCsv(*path);
    if (!trace.error.isEmpty())
        return error(trace.error);
    m_chart->setReference(trace);
}

void SweepWindow::reject()
{
    hide(); // Esc: the window and its calibration stay for the next showing
}

bool SweepWindow::event(QEvent *e)
{
    // The count may have changed in the Averaging window meanwhile.
    if (e->type() == QEvent::WindowActivate && m_averages)
        m_averages->setValue(std::clamp(m_instrument.session().Averages, 1, Session::kMaxAverages));
    return QDialog::event(e);
}

void SweepWindow::closeEvent(QCloseEvent *e)
{
    // Closing hides; a running sweep goes on (Stop stops it).
    e->ignore();
    hide();
}
