// The "Virtual bench" window: a view of the Bench model owned by Instrument.
// It edits the bench's true values and manual switches, shows the true DUT
// results and the levels the readings should give. Whether the readings
// come from the bench is the instrument's route (Options, Read from the
// virtual bench); showing or closing this window changes no route.
// A top-level window beside the main window: three columns where the
// screen has room, else compact - switches, true values and expected levels
// always in view, the bench's settings and the how-to in tabs below them.
// Modeless, one at a time; user-interface thread only.
#include "gui/Dialogs.h"

#include "acquire/Bench.h"
#include "gui/BenchConverterBox.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

const char *const kHowTo =
    "<b>How to measure.</b> In the main window set ENR (or Thot) and Tcold to the bench's "
    "values above; the bench uses the main window's Att and Tatt fields as its attenuators. "
    "Turn <i>Receiver audio connected</i> off and press <b>SCZ</b> (the sound card alone), "
    "then turn it on again.<br>"
    "Serial switching off: choose <i>Instrument alone</i> with the source off and press "
    "<b>1 Noise LO</b>; source on, <b>2 Noise HI</b>; choose <i>DUT + instrument</i>, source off, "
    "<b>3 Noise LO</b>; source on, <b>4 Noise HI</b>.<br>"
    "Serial switching on (Options &gt; Com port setup, any port): leave the switches at source "
    "off and instrument alone and press 1 to 4; the virtual port switches the source (DTR) and "
    "the path (RTS) for readings 2 to 4.<br>"
    "Compare Gain(1), Teq(1) and NF(1) with the true values. The readings come from the bench "
    "while <i>Options &gt; Read from the virtual bench</i> is checked, whether this window is open or not.";

// The bench window that is open now, if any (one at a time).
QPointer<QDialog> s_openBench;

QString dbText(double ms)
{
    // A level that cannot be shown in dB shows as empty, never as inf/NaN.
    return ms > 0 && std::isfinite(ms) ? FormatFixed(10.0 * std::log10(ms), QStringLiteral("0.00"))
                                       : QString();
}

// A true value, empty when it has none (a noise figure below -290 K).
QString fixedText(double v, const char *format)
{
    return std::isfinite(v) ? FormatFixed(v, QLatin1String(format)) : QString();
}

class VirtualBenchDialog : public QDialog
{
public:
    VirtualBenchDialog(Instrument &m, QWidget *parent, bool compact);
    ~VirtualBenchDialog() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *e) override;

private:
    QDoubleSpinBox *addSpin(QGridLayout *grid, const char *name, const QString &label, double min, double max,
                            int decimals, double step);
    QLineEdit *addShow(QGridLayout *grid, const char *name, const QString &label);
    QLineEdit *addPoints(QGridLayout *grid, const char *name, const QString &label, const QString &text);
    void setRowVisible(QWidget *field, bool visible);
    void applySettings();
    void refresh();

    Instrument &m_instrument;
    Bench &m_bench;

    QDoubleSpinBox *m_enr, *m_tcold, *m_dutGain, *m_dutNf, *m_rxNf, *m_rxGain;
    QDoubleSpinBox *m_bandLow, *m_bandHigh, *m_floor, *m_dc, *m_drift;
    QSpinBox *m_seed;
    BenchConverterBox *m_converter;
    // Frequency dependence as text ("MHz gain NF; ..." and "MHz ENR; ...").
    QLineEdit *m_response, *m_sourceEnr;
    QString m_pointsProblem; // why the last typed points were not taken, or empty
    QLineEdit *m_trueMhz;
    QLineEdit *m_thot, *m_trueGain, *m_trueTe, *m_trueNf, *m_rxTe;
    QLineEdit *m_trueRf, *m_trueImage, *m_thotIf; // a converter's only
    QLabel *m_truthKind;
    QLineEdit *m_expected[5];
    QCheckBox *m_source, *m_receiver, *m_switches;
    QRadioButton *m_pathInstrument, *m_pathCombined;
    QLabel *m_attenuators, *m_now, *m_status;
};

VirtualBenchDialog::VirtualBenchDialog(Instrument &m, QWidget *parent, bool compact)
    : QDialog(parent), m_instrument(m), m_bench(m.bench())
{
    setObjectName(QStringLiteral("frmVirtualBench"));
    setWindowTitle(QStringLiteral("Virtual bench"));
    s_openBench = this;
    const BenchSettings s = m_bench.settings();
    using namespace BenchRange;

    // --- true values ------------------------------------------------------
    auto *sourceBox = new QGroupBox(QStringLiteral("Noise source"), this);
    auto *sourceGrid = new QGridLayout(sourceBox);
    m_enr = addSpin(sourceGrid, "benchEnr", QStringLiteral("&ENR (dB)"), enrMinDb, enrMaxDb, 2, 0.1);
    m_thot = addShow(sourceGrid, "benchThot", QStringLiteral("Thot (K)"));
    m_tcold = addSpin(sourceGrid, "benchTcold", QStringLiteral("T&cold (K)"), tcoldMinK, tcoldMaxK, 1, 1);
    m_sourceEnr = addPoints(sourceGrid, "benchSourceEnr", QStringLiteral("ENR &by frequency (MHz dB; ...)"),
                            BenchResponse::toText(s.sourceEnr));
    m_switches = new QCheckBox(QStringLiteral("Source s&witches"), sourceBox);
    m_switches->setObjectName(QStringLiteral("benchSourceSwitches"));
    m_switches->setAccessibleName(QStringLiteral("Source switches (off: it stays cold)"));
    m_switches->setToolTip(
        QStringLiteral("Off: a source that never switches, as with a dead supply or a broken line"));
    m_switches->setChecked(s.sourceSwitches);
    sourceGrid->addWidget(m_switches, sourceGrid->rowCount(), 1);

    auto *dutBox = new QGroupBox(QStringLiteral("Device under test"), this);
    auto *dutGrid = new QGridLayout(dutBox);
    m_dutGain = addSpin(dutGrid, "benchDutGain", QStringLiteral("&Gain (dB)"), gainMinDb, gainMaxDb, 2, 0.5);
    m_dutNf = addSpin(dutGrid, "benchDutNf", QStringLiteral("&NF (dB)"), nfMinDb, nfMaxDb, 2, 0.1);
    m_response = addPoints(dutGrid, "benchDutResponse", QStringLiteral("Res&ponse (MHz gain NF; ...)"),
                           BenchResponse::toText(s.dutResponse));

    m_converter = new BenchConverterBox(s.converter, this);

    auto *rxBox = new QGroupBox(QStringLiteral("Receiver and sound card"), this);
    auto *rxGrid = new QGridLayout(rxBox);
    m_rxNf = addSpin(rxGrid, "benchRxNf", QStringLiteral("Receiver N&F (dB)"), nfMinDb, nfMaxDb, 2, 0.5);
    m_rxGain = addSpin(rxGrid, "benchRxGain", QStringLiteral("Receiver gain (dB &full scale per W)"),
                       rxGainMinDb, rxGainMaxDb, 1, 1);
    m_bandLow =
        addSpin(rxGrid, "benchBandLow", QStringLiteral("Audio band &from (Hz)"), bandMinHz, bandMaxHz, 0, 50);
    m_bandHigh =
        addSpin(rxGrid, "benchBandHigh", QStringLiteral("Audio band &to (Hz)"), bandMinHz, bandMaxHz, 0, 50);
    m_floor = addSpin(rxGrid, "benchFloor", QStringLiteral("Sound card f&loor (dB full scale)"), floorMinDbfs,
                      floorMaxDbfs, 1, 1);
    m_dc = addSpin(rxGrid, "benchDc", QStringLiteral("&DC offset (full scale)"), -dcMax, dcMax, 4, 0.001);
    m_drift = addSpin(rxGrid, "benchGainDrift", QStringLiteral("Gain drift (dB per &minute)"),
                      -driftMaxDbPerMin, driftMaxDbPerMin, 3, 0.01);
    m_seed = new QSpinBox(rxBox);
    m_seed->setObjectName(QStringLiteral("benchSeed"));
    m_seed->setRange(0, std::numeric_limits<int>::max());
    m_seed->setKeyboardTracking(false);
    auto *seedLabel = new QLabel(QStringLiteral("Noise &seed"), rxBox);
    seedLabel->setBuddy(m_seed);
    m_seed->setAccessibleName(QStringLiteral("Noise seed"));
    const int seedRow = rxGrid->rowCount();
    rxGrid->addWidget(seedLabel, seedRow, 0);
    rxGrid->addWidget(m_seed, seedRow, 1);
    auto *restart = new QPushButton(QStringLiteral("&Restart noise"), rxBox);
    restart->setObjectName(QStringLiteral("benchRestart"));
    restart->setAccessibleName(QStringLiteral("Restart the noise from the seed"));
    restart->setAutoDefault(false);
    rxGrid->addWidget(restart, seedRow + 1, 1);

    m_enr->setValue(s.enrDb);
    m_tcold->setValue(s.tcoldK);
    m_dutGain->setValue(s.dutGainDb);
    m_dutNf->setValue(s.dutNfDb);
    m_rxNf->setValue(s.rxNfDb);
    m_rxGain->setValue(s.rxGainDb);
    m_bandLow->setValue(s.bandLowHz);
    m_bandHigh->setValue(s.bandHighHz);
    m_floor->setValue(s.floorDbfs);
    m_dc->setValue(s.dcOffset);
    m_drift->setValue(s.gainDriftDbPerMin);
    m_seed->setValue(int(std::min<quint64>(s.seed, quint64(std::numeric_limits<int>::max()))));

    m_attenuators = new QLabel(this);
    m_attenuators->setObjectName(QStringLiteral("benchAttenuators"));
    m_attenuators->setWordWrap(true);

    // --- switches ---------------------------------------------------------
    auto *switchBox = new QGroupBox(QStringLiteral("Manual switches"), this);
    auto *switchLay = new QVBoxLayout(switchBox);
    m_receiver = new QCheckBox(QStringLiteral("Recei&ver audio connected"), switchBox);
    m_receiver->setObjectName(QStringLiteral("benchReceiverConnected"));
    m_receiver->setAccessibleName(QStringLiteral("Receiver audio connected"));
    m_receiver->setChecked(m_bench.receiverConnected());
    m_source = new QCheckBox(QStringLiteral("Noise source &on"), switchBox);
    m_source->setObjectName(QStringLiteral("benchSource"));
    m_source->setAccessibleName(QStringLiteral("Noise source on"));
    m_source->setChecked(m_bench.manualSource());
    m_pathInstrument = new QRadioButton(QStringLiteral("&Instrument alone"), switchBox);
    m_pathInstrument->setObjectName(QStringLiteral("benchPathInstrument"));
    m_pathInstrument->setAccessibleName(QStringLiteral("Path: instrument alone"));
    m_pathCombined = new QRadioButton(QStringLiteral("D&UT + instrument"), switchBox);
    m_pathCombined->setObjectName(QStringLiteral("benchPathCombined"));
    m_pathCombined->setAccessibleName(QStringLiteral("Path: DUT and instrument"));
    auto *pathGroup = new QButtonGroup(switchBox);
    pathGroup->addButton(m_pathInstrument);
    pathGroup->addButton(m_pathCombined);
    (m_bench.manualCombined() ? m_pathCombined : m_pathInstrument)->setChecked(true);
    for (QWidget *w : {static_cast<QWidget *>(m_receiver), static_cast<QWidget *>(m_source),
                       static_cast<QWidget *>(m_pathInstrument), static_cast<QWidget *>(m_pathCombined)})
        switchLay->addWidget(w);
    m_now = new QLabel(switchBox);
    m_now->setObjectName(QStringLiteral("benchNow"));
    m_now->setWordWrap(true);
    switchLay->addWidget(m_now);

    // --- truth ------------------------------------------------------------
    auto *truthBox = new QGroupBox(QStringLiteral("True values"), this);
    auto *truthGrid = new QGridLayout(truthBox);
    m_trueMhz = addShow(truthGrid, "benchTrueMhz", QStringLiteral("Tuned (MHz)"));
    m_trueGain = addShow(truthGrid, "benchTrueGain", QStringLiteral("DUT gain (dB)"));
    m_trueTe = addShow(truthGrid, "benchTrueTe", QStringLiteral("DUT Te (K)"));
    m_trueNf = addShow(truthGrid, "benchTrueNf", QStringLiteral("DUT NF (dB)"));
    m_rxTe = addShow(truthGrid, "benchRxTe", QStringLiteral("Receiver Te (K)"));
    m_trueRf = addShow(truthGrid, "benchTrueRf", QStringLiteral("RF (MHz)"));
    m_trueImage = addShow(truthGrid, "benchTrueImage", QStringLiteral("Image (MHz)"));
    m_thotIf = addShow(truthGrid, "benchThotIf", QStringLiteral("Thot at the IF (K)"));
    m_truthKind = new QLabel(truthBox);
    m_truthKind->setObjectName(QStringLiteral("benchTruthKind"));
    m_truthKind->setWordWrap(true);
    truthGrid->addWidget(m_truthKind, truthGrid->rowCount(), 0, 1, 2);
    auto *levelsBox = new QGroupBox(QStringLiteral("Expected levels (dB), zero subtracted"), this);
    auto *levelsGrid = new QGridLayout(levelsBox);
    const char *const names[5] = {"Zero (SCZ)", "1 Noise LO", "2 Noise HI", "3 Noise LO", "4 Noise HI"};
    for (int i = 0; i < 5; ++i) {
        m_expected[i] = addShow(levelsGrid, "", QString::fromLatin1(names[i]));
        m_expected[i]->setObjectName(QStringLiteral("benchExpected%1").arg(i));
        // Room for the widest level, "-000.00", in the font in use; the
        // frame and text margins take about one digit more.
        m_expected[i]->setMinimumWidth(
            m_expected[i]->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000")) + 8);
        m_expected[i]->setAccessibleName(i == 0 ? QStringLiteral("Expected zero level (dB full scale)")
                                                : QStringLiteral("Expected level of reading %1 (dB)").arg(i));
    }

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("benchStatus"));
    m_status->setWordWrap(true);
    // The compact bench points to the manual's page instead of the steps.
    auto *howTo =
        new QLabel(compact ? QStringLiteral("How to measure: Help, \"Practising on the virtual bench\".")
                           : QLatin1String(kHowTo),
                   this);
    howTo->setObjectName(QStringLiteral("benchHowTo"));
    howTo->setWordWrap(true);
    howTo->setTextFormat(Qt::RichText);

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("benchClose"));
    close->setAccessibleName(QStringLiteral("Close the virtual bench"));
    close->setAutoDefault(false);
    auto *lay = new QVBoxLayout(this);

    if (compact) {
        // Narrow, in tabs: what a measurement watches - the switches, the
        // true values, the expected levels and whether the bench is in use -
        // on the first; the settings, which change seldom, behind it. Long
        // labels wrap. The window's close box and Esc close it.
        for (QLabel *l : rxBox->findChildren<QLabel *>())
            l->setWordWrap(true);
        auto *tabs = new QTabWidget;
        tabs->setObjectName(QStringLiteral("benchTabs"));
        auto page = [tabs](const QString &name, std::initializer_list<QWidget *> widgets) {
            auto *w = new QWidget;
            auto *v = new QVBoxLayout(w);
            v->setContentsMargins(4, 4, 4, 4);
            v->setSpacing(4);
            for (QWidget *x : widgets)
                v->addWidget(x);
            v->addStretch();
            tabs->addTab(w, name);
        };
        page(QStringLiteral("Readings"), {switchBox, truthBox, levelsBox, m_status});
        page(QStringLiteral("Source, DUT"), {sourceBox, dutBox, m_converter, howTo});
        page(QStringLiteral("Receiver"), {rxBox, m_attenuators});
        // Scrolls only on a screen too small for it (large fonts): the top of
        // the first tab, with the true values, stays in view.
        auto *scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("benchScroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setWidget(tabs);
        QSize want = tabs->sizeHint();
        want.setHeight(std::max(want.height(), tabs->heightForWidth(want.width()))); // the labels wrap
        if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
            const QSize room = screen->availableGeometry().size() - QSize(24, 48); // margins, title bar
            if (want.height() > room.height())
                want = QSize(want.width() + scroll->verticalScrollBar()->sizeHint().width(), room.height());
        }
        scroll->setMinimumSize(want);
        lay->setContentsMargins(4, 4, 4, 4);
        lay->addWidget(scroll);
        close->hide();
    } else {
        // Three columns: what goes in, the receiver and card, switches and truth.
        auto *col1 = new QVBoxLayout;
        col1->addWidget(sourceBox);
        col1->addWidget(dutBox);
        col1->addWidget(levelsBox);
        col1->addStretch();
        auto *col2 = new QVBoxLayout;
        col2->addWidget(rxBox);
        col2->addWidget(m_converter);
        col2->addWidget(m_attenuators);
        col2->addWidget(m_status);
        col2->addStretch();
        auto *col3 = new QVBoxLayout;
        col3->addWidget(switchBox);
        col3->addWidget(truthBox);
        col3->addStretch();
        auto *columns = new QHBoxLayout;
        columns->addLayout(col1);
        columns->addLayout(col2);
        columns->addLayout(col3);
        lay->addLayout(columns);
        lay->addWidget(howTo);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(close);
        lay->addLayout(buttons);
    }

    for (QDoubleSpinBox *b : {m_enr, m_tcold, m_dutGain, m_dutNf, m_rxNf, m_rxGain, m_bandLow, m_bandHigh,
                              m_floor, m_dc, m_drift})
        connect(b, &QDoubleSpinBox::valueChanged, this, &VirtualBenchDialog::applySettings);
    m_converter->setOnChange([this] { applySettings(); });
    connect(m_seed, &QSpinBox::valueChanged, this, &VirtualBenchDialog::applySettings);
    connect(m_switches, &QCheckBox::toggled, this, &VirtualBenchDialog::applySettings);
    for (QLineEdit *e : {m_response, m_sourceEnr})
        connect(e, &QLineEdit::editingFinished, this, &VirtualBenchDialog::applySettings);
    connect(restart, &QPushButton::clicked, this, [this] { m_bench.reseed(); });
    connect(m_receiver, &QCheckBox::toggled, this, [this](bool on) { m_bench.setReceiverConnected(on); });
    connect(m_source, &QCheckBox::toggled, this, [this](bool on) { m_bench.setManualSource(on); });
    connect(m_pathCombined, &QRadioButton::toggled, this, [this](bool on) { m_bench.setManualCombined(on); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    m_bench.setListener([this] { refresh(); });
    connect(&m_instrument, &Instrument::routeChanged, this, &VirtualBenchDialog::refresh);
    // The device mode of Options > Device picks which truth shows.
    connect(&m_instrument, &Instrument::sheetChanged, this, &VirtualBenchDialog::refresh);
    refresh();
}

VirtualBenchDialog::~VirtualBenchDialog()
{
    m_bench.setListener({});
}

QDoubleSpinBox *VirtualBenchDialog::addSpin(QGridLayout *grid, const char *name, const QString &label,
                                            double min, double max, int decimals, double step)
{
    auto *box = new QDoubleSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(decimals);
    box->setRange(min, max); // out-of-range typing is refused by the box itself
    box->setSingleStep(step);
    box->setKeyboardTracking(false); // the bench changes when the entry is complete
    box->setToolTip(QStringLiteral("%1 to %2").arg(NumToText(min), NumToText(max)));
    box->setAccessibleName(QString(label).remove(QLatin1Char('&')));
    auto *l = new QLabel(label, this);
    l->setBuddy(box);
    const int row = grid->rowCount();
    grid->addWidget(l, row, 0);
    grid->addWidget(box, row, 1);
    return box;
}

void VirtualBenchDialog::setRowVisible(QWidget *field, bool visible)
{
    field->setVisible(visible);
    for (QLabel *l : findChildren<QLabel *>())
        if (l->buddy() == field)
            l->setVisible(visible);
}

QLineEdit *VirtualBenchDialog::addShow(QGridLayout *grid, const char *name, const QString &label)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true); // a derived value, not an input
    // Room for the widest value ("-0000.00", "99999.9") however narrow the window.
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000")) + 8);
    e->setAccessibleName(label);
    auto *l = new QLabel(label, this);
    l->setBuddy(e);
    const int row = grid->rowCount();
    grid->addWidget(l, row, 0);
    grid->addWidget(e, row, 1);
    return e;
}

QLineEdit *VirtualBenchDialog::addPoints(QGridLayout *grid, const char *name, const QString &label,
                                         const QString &text)
{
    // Label above, the field across both columns: the lists are long.
    auto *e = new QLineEdit(text, this);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(QString(label).remove(QLatin1Char('&')));
    e->setToolTip(QStringLiteral("Points in rising frequency, separated by ';'. Linear in dB between points, "
                                 "constant outside. Empty: the constant values above."));
    auto *l = new QLabel(label, this);
    l->setBuddy(e);
    const int row = grid->rowCount();
    grid->addWidget(l, row, 0, 1, 2);
    grid->addWidget(e, row + 1, 0, 1, 2);
    return e;
}

void VirtualBenchDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    refresh();
}

bool VirtualBenchDialog::event(QEvent *e)
{
    // The main window's attenuator fields and serial option may have changed
    // while the user was there.
    if (e->type() == QEvent::WindowActivate)
        refresh();
    return QDialog::event(e);
}

void VirtualBenchDialog::applySettings()
{
    BenchSettings s = m_bench.settings();
    s.enrDb = m_enr->value();
    s.tcoldK = m_tcold->value();
    s.dutGainDb = m_dutGain->value();
    s.dutNfDb = m_dutNf->value();
    s.rxNfDb = m_rxNf->value();
    s.rxGainDb = m_rxGain->value();
    s.bandLowHz = m_bandLow->value();
    s.bandHighHz = m_bandHigh->value();
    s.floorDbfs = m_floor->value();
    s.dcOffset = m_dc->value();
    s.gainDriftDbPerMin = m_drift->value();
    s.sourceSwitches = m_switches->isChecked();
    s.seed = quint64(m_seed->value());
    s.converter = m_converter->converter();
    // Typed points are taken only whole and valid; otherwise the bench keeps
    // the previous ones, the text stays for correction and the status says why.
    QVector<BenchResponsePoint> response;
    QVector<BenchEnrPoint> enr;
    QString responseError = BenchResponse::parse(m_response->text(), response);
    if (responseError.isEmpty())
        responseError = BenchResponse::validate(response);
    QString enrError = BenchResponse::parse(m_sourceEnr->text(), enr);
    if (enrError.isEmpty())
        enrError = BenchResponse::validate(enr);
    if (responseError.isEmpty())
        s.dutResponse = response;
    if (enrError.isEmpty())
        s.sourceEnr = enr;
    m_pointsProblem = responseError.isEmpty() ? enrError : responseError;
    m_bench.setSettings(s); // notifies: refresh()
}

void VirtualBenchDialog::refresh()
{
    const BenchTruth t = m_bench.truth();
    const bool converter = m_bench.settings().converter.converter();
    m_trueMhz->setText(NumToText(m_bench.tunedMhz()));
    m_trueMhz->setToolTip(m_bench.isTuned() ? QStringLiteral("Where a sweep last tuned the receiver")
                          : converter       ? QStringLiteral("The IF of the main window's Frequency (the RF)")
                                            : QStringLiteral("The main window's Frequency"));
    for (QLineEdit *e : {m_trueRf, m_trueImage, m_thotIf})
        setRowVisible(e, converter);
    m_truthKind->setVisible(converter);
    const bool planOk = t.planError.isEmpty();
    m_trueRf->setText(NumToText(t.mhz));
    m_trueImage->setText(planOk ? NumToText(t.imageMhz) : QString());
    m_thotIf->setText(planOk ? fixedText(t.thotIfK, "0.0") : QString());
    // The truth a measurement in the main window's device mode recovers: a
    // converter's own single-sideband figures, or the amplifier formula's.
    const bool ssb = !converter || m_instrument.sheet().device.converter();
    m_truthKind->setText(
        ssb ? QStringLiteral("DUT: single-sideband figures, as Options > Device (a converter) "
                             "measures them.")
            : QStringLiteral("DUT: as the amplifier formula reads it (Options > Device: "
                             "Amplifier); the image adds to its gain."));
    // The constants apply only where no points are given.
    m_dutGain->setEnabled(m_bench.settings().dutResponse.isEmpty());
    m_dutNf->setEnabled(m_bench.settings().dutResponse.isEmpty());
    m_enr->setEnabled(m_bench.settings().sourceEnr.isEmpty());
    m_thot->setText(FormatFixed(t.thotK, QStringLiteral("0.0")));
    m_trueGain->setText(fixedText(ssb ? t.dutGainDb : t.readGainDb, "0.00"));
    m_trueTe->setText(fixedText(ssb ? t.dutTeK : t.readTeK, "0.0"));
    m_trueNf->setText(fixedText(ssb ? t.dutNfDb : t.readNfDb, "0.00"));
    m_rxTe->setText(FormatFixed(t.rxTeK, QStringLiteral("0.0")));

    // What the bench will use: the sheet's attenuators, the rate of the last
    // recording.
    const BenchAttenuators a = Bench::attenuatorsFrom(m_instrument.sheet());
    QString problem = m_pointsProblem;
    if (problem.isEmpty())
        problem = Bench::validate(m_bench.settings());
    if (problem.isEmpty())
        problem = Bench::validate(a);
    if (problem.isEmpty())
        problem = m_bench.frequencyError();
    const int rate = m_bench.lastRate();
    if (problem.isEmpty() && m_bench.settings().bandHighHz >= BenchRange::bandMaxOfRate * rate)
        problem = QStringLiteral("The audio band must end below %1 Hz at %2 samples per second.")
                      .arg(NumToText(BenchRange::bandMaxOfRate * rate))
                      .arg(rate);
    m_attenuators->setText(
        QStringLiteral("Attenuators (main window): Att11 %1 dB, Att12 %2 dB, Att21 %3 dB, Att22 %4 dB; "
                       "Tatt1 %5 K, Tatt2 %6 K.")
            .arg(NumToText(a.att11), NumToText(a.att12), NumToText(a.att21), NumToText(a.att22),
                 NumToText(a.tatt1), NumToText(a.tatt2)));

    const BenchState now = m_bench.state();
    QString nowText =
        QStringLiteral("Now: source %1, %2, receiver %3")
            .arg(now.sourceOn ? QStringLiteral("on") : QStringLiteral("off"),
                 now.combined ? QStringLiteral("DUT + instrument") : QStringLiteral("instrument alone"),
                 now.receiverConnected ? QStringLiteral("connected") : QStringLiteral("disconnected"));
    if (m_bench.portOpen())
        nowText += QStringLiteral(" (set by the virtual port)");
    else if (m_instrument.session().ComEnabled > 0)
        nowText += QStringLiteral(". Serial switching is on: readings 2 to 4 switch source and path.");
    m_now->setText(nowText);
    // By hand the switches above say it all; the line tells what the port set.
    m_now->setVisible(m_bench.portOpen() || m_instrument.session().ComEnabled > 0);

    if (problem.isEmpty()) {
        const double zero = m_bench.floorMeanSquare();
        m_expected[0]->setText(dbText(zero));
        const BenchState states[4] = {
            {false, false, true}, {true, false, true}, {false, true, true}, {true, true, true}};
        for (int i = 0; i < 4; ++i)
            m_expected[i + 1]->setText(dbText(m_bench.expectedMeanSquare(states[i], rate, a) - zero));
        m_status->setText(m_instrument.route() == DeviceRoute::Bench
                              ? QStringLiteral("Readings come from this bench.")
                              : QStringLiteral("Readings come from the sound card (Options, Read from the "
                                               "virtual bench: from this bench)."));
        m_status->setStyleSheet(QString());
    } else {
        for (QLineEdit *e : m_expected)
            e->clear();
        m_status->setText(problem);
        m_status->setStyleSheet(QStringLiteral("color: #c00000"));
    }
}

} // namespace

QDialog *createVirtualBenchDialog(Instrument &m, QWidget *parent, bool compact)
{
    if (s_openBench) {
        // One bench at a time: bring the open one forward instead (shown
        // again if Esc hid it).
        s_openBench->show();
        s_openBench->raise();
        s_openBench->activateWindow();
        return nullptr;
    }
    return new VirtualBenchDialog(m, parent, compact);
}
