// The ENR view: the measurement or the calibration table (a selector with
// the files' names), the table's points, the curve through them by the
// chosen interpolation with the other two faint behind it, the uncertainty
// band where the file gives one, and the current frequency marked (Qt
// Charts). The choice of interpolation here is the instrument's command; the
// rest only reads the Instrument.
#include "gui/Dialogs.h"

#include "calc/EnrTable.h"
#include "calc/Results.h"
#include "calc/VendorEnr.h"
#include "instrument/Commands.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

using physics::Interpolation;

constexpr int kCurvePoints = 400; // samples of each curve across the table
constexpr double kLogSpan = 20;   // frequency ratio from which the axis is logarithmic
// The curves not chosen may widen the ENR axis by at most this fraction of
// what the chosen curve, the points and the band need: a spline swinging
// 12 dB must not flatten the curve in use.
constexpr double kFaintReach = 0.5;

const Interpolation kMethods[] = {Interpolation::NaturalSpline, Interpolation::Linear,
                                  Interpolation::MonotoneCubic};

QColor colourOf(Interpolation method, bool chosen)
{
    QColor c = method == Interpolation::NaturalSpline ? QColor(31, 119, 180)
               : method == Interpolation::Linear      ? QColor(214, 110, 20)
                                                      : QColor(44, 150, 44);
    if (!chosen)
        c.setAlpha(90);
    return c;
}

// Short enough for the legend's one line, beside the points and the marker.
QString legendName(Interpolation method)
{
    switch (method) {
    case Interpolation::Linear:
        return QStringLiteral("Linear");
    case Interpolation::MonotoneCubic:
        return QStringLiteral("Monotone cubic");
    case Interpolation::NaturalSpline:
        break;
    }
    return QStringLiteral("Spline");
}

QChart *chartOf(const EnrTable &t, double mhz, bool loaded, const QString &markerName)
{
    auto *chart = new QChart;
    chart->setTitle(loaded ? QStringLiteral("ENR of the loaded table")
                           : QStringLiteral("No ENR table is loaded"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    if (!loaded || t.size() < 2)
        return chart;
    const double f0 = t.freq.first(), f1 = t.freq.last();
    const bool logAxis = f1 / f0 >= kLogSpan;
    auto *upper = new QLineSeries, *lower = new QLineSeries;
    double lo = *std::min_element(t.enr.begin(), t.enr.end()),
           hi = *std::max_element(t.enr.begin(), t.enr.end());
    double faintLo = lo, faintHi = hi;
    QList<QAbstractSeries *> series, faint;
    QLineSeries *chosenCurve = nullptr;
    for (Interpolation method : kMethods) {
        const bool chosen = method == t.method;
        auto *curve = new QLineSeries;
        curve->setName(legendName(method) + (chosen ? QStringLiteral(" (in use)") : QString()));
        QPen pen(colourOf(method, chosen));
        pen.setWidthF(chosen ? 2.5 : 1.5);
        curve->setPen(pen);
        for (int i = 0; i <= kCurvePoints; ++i) {
            const double w = double(i) / kCurvePoints;
            const double f = logAxis ? f0 * std::pow(f1 / f0, w) : f0 + (f1 - f0) * w;
            const double e = enrAt(t, method, f);
            if (!std::isfinite(e))
                continue;
            curve->append(f, e);
            if (chosen) {
                lo = std::min(lo, e);
                hi = std::max(hi, e);
                if (const std::optional<double> u = enrColumnAt(t, t.unc, f)) {
                    upper->append(f, e + *u);
                    lower->append(f, e - *u);
                    lo = std::min(lo, e - *u);
                    hi = std::max(hi, e + *u);
                }
            } else {
                faintLo = std::min(faintLo, e);
                faintHi = std::max(faintHi, e);
            }
        }
        if (chosen)
            chosenCurve = curve;
        else
            faint << curve;
    }
    const double reach = kFaintReach * std::max(0.1, hi - lo);
    lo = std::min(lo, std::max(faintLo, lo - reach));
    hi = std::max(hi, std::min(faintHi, hi + reach));
    auto *points = new QScatterSeries;
    points->setName(QStringLiteral("Table points"));
    points->setMarkerSize(7);
    points->setColor(Qt::black);
    for (int i = 0; i < t.size(); ++i)
        points->append(t.freq[i], t.enr[i]);
    const double pad = std::max(0.1, (hi - lo) * 0.1);
    lo -= pad;
    hi += pad;
    QAbstractAxis *x = nullptr;
    if (logAxis) {
        auto *ax = new QLogValueAxis;
        ax->setLabelFormat(QStringLiteral("%g"));
        ax->setMinorTickCount(-1);
        ax->setRange(f0, f1);
        x = ax;
    } else {
        auto *ax = new QValueAxis;
        ax->setRange(f0, f1);
        x = ax;
    }
    x->setTitleText(QStringLiteral("Frequency (MHz)"));
    auto *y = new QValueAxis;
    y->setRange(lo, hi);
    y->applyNiceNumbers();
    lo = y->min();
    hi = y->max();
    y->setTitleText(QStringLiteral("ENR (dB)"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    if (upper->count() > 1) {
        auto *band = new QAreaSeries(upper, lower);
        band->setName(QStringLiteral("Uncertainty (95 %)"));
        band->setColor(QColor(120, 160, 230, 90));
        band->setBorderColor(QColor(120, 160, 230));
        series << band;
    } else {
        delete upper;
        delete lower;
    }
    series << faint << chosenCurve << points;
    if (std::isfinite(mhz) && mhz >= f0 && mhz <= f1) {
        auto *marker = new QLineSeries;
        marker->setName(markerName);
        chart->setTitle(QStringLiteral("ENR of the loaded table: %1 dB at %2 MHz")
                            .arg(FormatFixed(csinterpolate(t, mhz), QStringLiteral("0.00")), NumToText(mhz)));
        marker->append(mhz, lo);
        marker->append(mhz, hi);
        QPen pen(Qt::red);
        pen.setWidth(2);
        marker->setPen(pen);
        series << marker;
    } else {
        chart->setTitle(QStringLiteral("ENR of the loaded table (current frequency outside it)"));
    }
    for (QAbstractSeries *s : series) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    return chart;
}

// What the natural spline does between the points, in a sentence; empty
// when it stays within kEnrOvershootDb of their range.
QString overshootText(const EnrTable &t)
{
    const std::vector<physics::Excursion> over = splineOvershoots(t);
    if (over.empty())
        return {};
    const auto worst = std::max_element(over.begin(), over.end(),
                                        [](const auto &a, const auto &b) { return a.size < b.size; });
    return QStringLiteral(
               "The natural spline leaves the range of its neighbouring points over %1 interval(s), "
               "by up to %2 dB between %3 and %4 MHz.")
        .arg(over.size())
        .arg(FormatFixed(worst->size, QStringLiteral("0.00")), NumToText(worst->fromX),
             NumToText(worst->toX));
}

} // namespace

QDialog *createEnrViewDialog(Instrument &m, QWidget *parent)
{
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmEnrView"));
    dlg->setWindowTitle(QStringLiteral("ENR view"));
    const Sheet &s = m.sheet();
    const bool loaded = s.enabled(Control::mnuEnrUnl);
    const bool calLoaded = s.enabled(Control::mnuCalEnrUnl);
    auto *layout = new QVBoxLayout(dlg);
    // Which table: the measurement table (the device input, the Frequency)
    // or the calibration path's own (the receiver alone, a converter's IF),
    // each with its file's name.
    auto *which = new QComboBox(dlg);
    which->setObjectName(QStringLiteral("enrWhich"));
    which->setAccessibleName(QStringLiteral("ENR table shown"));
    auto fileName = [](const QString &path) { return QFileInfo(path).fileName(); };
    which->addItem(loaded ? QStringLiteral("Measurement table: %1").arg(fileName(m.session().EnrFileName))
                          : QStringLiteral("Measurement table: none"));
    if (calLoaded)
        which->addItem(QStringLiteral("Calibration table: %1").arg(fileName(m.session().CalEnrFileName)));
    else if (loaded)
        which->addItem(QStringLiteral("Calibration table: the measurement table"));
    which->setCurrentIndex(!loaded && calLoaded ? 1 : 0);
    which->setVisible(loaded || calLoaded);
    auto calibration = [which, calLoaded] { return calLoaded && which->currentIndex() == 1; };
    auto shown = [&m, calibration]() -> const EnrTable & {
        return calibration() ? m.calEnrTable() : m.enrTable();
    };
    auto *view = new QChartView(dlg);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(QStringLiteral("ENR curve"));
    view->setMinimumSize(640, 420);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("&Interpolation between the points:"), dlg);
    auto *choice = new QComboBox(dlg);
    choice->setObjectName(QStringLiteral("enrInterpolation"));
    choice->setAccessibleName(QStringLiteral("Interpolation between the points"));
    for (Interpolation method : kMethods)
        choice->addItem(interpolationName(method), static_cast<int>(method));
    label->setBuddy(choice);
    row->addWidget(label);
    row->addWidget(choice);
    row->addStretch(1);
    auto *warning = new QLabel(dlg);
    warning->setObjectName(QStringLiteral("enrOvershoot"));
    warning->setWordWrap(true);
    // The chart, the method and the spline's warning of the table shown; the
    // marker at the frequency where that table is read.
    auto redraw = [&m, view, choice, warning, calibration, shown, loaded] {
        const bool cal = calibration();
        const bool has = cal || loaded;
        QChart *old = view->chart();
        // The calibration table is read where the receiver alone is calibrated (a converter's IF).
        view->setChart(
            cal ? chartOf(shown(), calibrationMhz(m.sheet()), has, QStringLiteral("Calibration frequency"))
                : chartOf(shown(), ParseNumber(m.sheet().text(Field::Frequency)), has,
                          QStringLiteral("Current frequency")));
        delete old;
        const QSignalBlocker quiet(choice);
        choice->setCurrentIndex(choice->findData(static_cast<int>(shown().method)));
        choice->setEnabled(has);
        warning->setText(has ? overshootText(shown()) : QString());
        warning->setVisible(!warning->text().isEmpty());
    };
    redraw();
    layout->addWidget(which);
    layout->addWidget(view, 1);
    if (!loaded && !calLoaded) {
        layout->addWidget(new QLabel(QStringLiteral("Import a table with File > Import ENR file."), dlg));
        label->hide();
        choice->hide();
    }
    layout->addLayout(row);
    layout->addWidget(warning);
    QObject::connect(which, &QComboBox::currentIndexChanged, dlg, [redraw](int) { redraw(); });
    QObject::connect(choice, &QComboBox::currentIndexChanged, dlg, [&m, choice, calibration, redraw](int) {
        chooseEnrInterpolation(m, static_cast<Interpolation>(choice->currentData().toInt()), calibration());
        redraw();
    });
    auto *buttons = new QDialogButtonBox(dlg);
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setAccessibleName(QStringLiteral("Close"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    layout->addWidget(buttons);
    return dlg;
}
