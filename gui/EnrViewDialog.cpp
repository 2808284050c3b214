// The ENR view: the loaded table's points, the spline through them, the
// uncertainty band where the file gives one, and the current frequency
// marked (Qt Charts). A modal window that only reads the Instrument.
#include "gui/Dialogs.h"

#include "calc/EnrTable.h"
#include "calc/VendorEnr.h"
#include "instrument/Instrument.h"
#include "sheet/NumText.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCurvePoints = 400; // samples of the spline across the table
constexpr double kLogSpan = 20;   // frequency ratio from which the axis is logarithmic

QChartView *chartOf(const EnrTable &t, double mhz, bool loaded, QWidget *parent)
{
    auto *chart = new QChart;
    chart->setTitle(loaded ? QStringLiteral("ENR of the loaded table")
                           : QStringLiteral("No ENR table is loaded"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(QStringLiteral("ENR curve"));
    if (!loaded || t.size() < 2)
        return view;
    const double f0 = t.freq.first(), f1 = t.freq.last();
    const bool logAxis = f1 / f0 >= kLogSpan;
    auto *curve = new QLineSeries;
    curve->setName(QStringLiteral("Spline"));
    auto *upper = new QLineSeries, *lower = new QLineSeries;
    double lo = *std::min_element(t.enr.begin(), t.enr.end()),
           hi = *std::max_element(t.enr.begin(), t.enr.end());
    for (int i = 0; i <= kCurvePoints; ++i) {
        const double w = double(i) / kCurvePoints;
        const double f = logAxis ? f0 * std::pow(f1 / f0, w) : f0 + (f1 - f0) * w;
        const double e = csinterpolate(t, f);
        if (!std::isfinite(e))
            continue;
        curve->append(f, e);
        lo = std::min(lo, e);
        hi = std::max(hi, e);
        if (const std::optional<double> u = enrColumnAt(t, t.unc, f)) {
            upper->append(f, e + *u);
            lower->append(f, e - *u);
            lo = std::min(lo, e - *u);
            hi = std::max(hi, e + *u);
        }
    }
    auto *points = new QScatterSeries;
    points->setName(QStringLiteral("Table points"));
    points->setMarkerSize(7);
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
    QList<QAbstractSeries *> series;
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
    series << curve << points;
    if (std::isfinite(mhz) && mhz >= f0 && mhz <= f1) {
        auto *marker = new QLineSeries;
        marker->setName(QStringLiteral("Current frequency"));
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
    return view;
}

} // namespace

QDialog *createEnrViewDialog(Instrument &m, QWidget *parent)
{
    auto *dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("frmEnrView"));
    dlg->setWindowTitle(QStringLiteral("ENR view"));
    const bool loaded = m.sheet().enabled(Control::mnuEnrUnl);
    const double mhz = ParseNumber(m.sheet().text(Field::Frequency));
    auto *layout = new QVBoxLayout(dlg);
    QChartView *view = chartOf(m.enrTable(), mhz, loaded, dlg);
    view->setMinimumSize(640, 420);
    layout->addWidget(view, 1);
    if (!loaded)
        layout->addWidget(new QLabel(QStringLiteral("Import a table with File > Import ENR file."), dlg));
    auto *buttons = new QDialogButtonBox(dlg);
    QPushButton *close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setAccessibleName(QStringLiteral("Close"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    layout->addWidget(buttons);
    return dlg;
}
