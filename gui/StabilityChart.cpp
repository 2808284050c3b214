#include "gui/StabilityChart.h"

#include "gui/SweepChart.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// The sweep's colours: noise figure blue, gain green; the level grey-brown.
const QColor kColours[StabilityChart::kStrips] = {QColor(0, 0, 192), QColor(0, 128, 0), QColor(128, 80, 0)};
const char *const kNames[StabilityChart::kStrips] = {"Noise figure against time", "Gain against time",
                                                     "Cold level against time"};

void setAxis(QValueAxis *axis, double lo, double hi, int maxTicks)
{
    const AxisTicks t = niceTicks(lo, hi, maxTicks);
    axis->setRange(lo, hi);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(t.first);
    axis->setTickInterval(t.step);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(t.decimals));
}

} // namespace

StabilityChart::StabilityChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("stabilityChart"));
    setAccessibleName(QStringLiteral("Noise figure, gain and cold level against time"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(3); // the window's background between the strips
    for (int i = 0; i < kStrips; ++i) {
        Strip &s = m_strips[i];
        auto *c = new QChart;
        c->legend()->hide();
        c->setMargins(QMargins(0, 0, 0, 0));
        c->layout()->setContentsMargins(0, 0, 0, 0);
        c->setBackgroundRoundness(0);
        c->setLocalizeNumbers(true);
        s.view = new QChartView(c, this);
        s.view->setObjectName(QStringLiteral("stabilityStrip%1").arg(i + 1));
        s.view->setAccessibleName(QString::fromLatin1(kNames[i]));
        s.view->setRenderHint(QPainter::Antialiasing);
        s.view->setMinimumHeight(90);
        s.view->installEventFilter(this); // a new size lays out the plot areas anew
        s.line = new QLineSeries(this);
        s.line->setPen(QPen(kColours[i], 2));
        s.line->setPointsVisible(true);
        s.x = new QValueAxis(c);
        // Only the bottom strip labels the shared time axis.
        if (i == kStrips - 1)
            s.x->setTitleText(QStringLiteral("Time since the first run (min)"));
        else
            s.x->setLabelsVisible(false);
        s.y = new QValueAxis(c);
        // The widget's own font: the charts' bold default does not fit a strip's height.
        s.y->setTitleFont(font());
        s.x->setTitleFont(font());
        c->addAxis(s.x, Qt::AlignBottom);
        c->addAxis(s.y, Qt::AlignLeft);
        lay->addWidget(s.view, i == kStrips - 1 ? 5 : 4); // the bottom one carries the time axis
    }
    m_failed = new QScatterSeries(this);
    m_failed->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_failed->setMarkerSize(8);
    m_failed->setColor(QColor(192, 0, 0));
    clear({QStringLiteral("NF (dB)"), QStringLiteral("Gain (dB)"), QStringLiteral("Cold level (dB)")});
}

int StabilityChart::points(int strip) const
{
    return strip >= 0 && strip < kStrips ? int(m_strips[strip].line->count()) : 0;
}

void StabilityChart::clear(const std::array<QString, kStrips> &titles)
{
    m_last = 0;
    m_xMax = 0;
    for (int i = 0; i < kStrips; ++i) {
        Strip &s = m_strips[i];
        s.line->clear();
        s.lo = 0, s.hi = -1;
        s.y->setTitleText(titles[i]);
        attach(s);
        fitY(s);
    }
    m_failed->clear();
    QChart *nf = m_strips[0].view->chart();
    if (nf->series().contains(m_failed)) {
        nf->removeSeries(m_failed);
        m_failed->setParent(this);
    }
    fitX();
}

void StabilityChart::append(double minutes, const std::array<std::optional<double>, kStrips> &values,
                            bool failed)
{
    if (!std::isfinite(minutes))
        return;
    m_last = std::max(m_last, minutes);
    if (m_last > m_xMax)
        fitX();
    for (int i = 0; i < kStrips; ++i) {
        Strip &s = m_strips[i];
        if (!values[i] || !std::isfinite(*values[i]))
            continue;
        const double v = *values[i];
        s.line->append(minutes, v);
        attach(s);
        const bool first = s.lo > s.hi;
        s.lo = first ? v : std::min(s.lo, v);
        s.hi = first ? v : std::max(s.hi, v);
        if (first || v < s.y->min() || v > s.y->max())
            fitY(s);
    }
    if (failed) {
        QChart *nf = m_strips[0].view->chart();
        m_failed->append(minutes, m_strips[0].y->min());
        if (!nf->series().contains(m_failed)) {
            nf->addSeries(m_failed);
            m_failed->attachAxis(m_strips[0].x);
            m_failed->attachAxis(m_strips[0].y);
        }
    }
}

void StabilityChart::attach(Strip &s)
{
    // A series is on its chart only while it has points, as in the sweep's plot.
    QChart *c = s.view->chart();
    const bool want = s.line->count() > 0, has = c->series().contains(s.line);
    if (want && !has) {
        c->addSeries(s.line);
        s.line->attachAxis(s.x);
        s.line->attachAxis(s.y);
    } else if (!want && has) {
        c->removeSeries(s.line);
        s.line->setParent(this);
    }
}

void StabilityChart::fitX()
{
    // Whole ticks past the latest run, with room for the next few, so that
    // the axis changes seldom: at least 5 minutes, then half as much again.
    const double want = std::max(5.0, m_last * 1.5);
    const AxisTicks t = niceTicks(0, want, 6);
    m_xMax = std::ceil(want / t.step - 1e-9) * t.step;
    for (Strip &s : m_strips)
        setAxis(s.x, 0, m_xMax, 6);
    alignPlots();
}

bool StabilityChart::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &StabilityChart::alignPlots); // once the view has resized its chart
    return QWidget::eventFilter(watched, event);
}

double StabilityChart::labelWidth(const Strip &s) const
{
    const QFontMetricsF fm(s.y->labelsFont());
    const AxisTicks t = niceTicks(s.y->min(), s.y->max(), 4);
    double widest = 0;
    for (int i = 0; i < 100; ++i) {
        const double v = t.first + i * t.step;
        if (v > s.y->max() + 1e-9 * t.step)
            break;
        widest = std::max(widest, fm.horizontalAdvance(QLocale().toString(v, 'f', t.decimals)));
    }
    return widest;
}

void StabilityChart::alignPlots()
{
    // Left: the vertical axis title, its labels and the ticks' room; the
    // bottom strip alone keeps room below for the time labels and title.
    double left = 0;
    for (const Strip &s : m_strips)
        left = std::max(left, labelWidth(s) + QFontMetricsF(s.y->titleFont()).height());
    left += 24;
    const double right = 16, top = 10;
    for (int i = 0; i < kStrips; ++i) {
        const Strip &s = m_strips[i];
        QChart *c = s.view->chart();
        const QSizeF size = c->size();
        const double bottom = i == kStrips - 1 ? QFontMetricsF(s.x->labelsFont()).height() +
                                                     QFontMetricsF(s.x->titleFont()).height() + 20
                                               : 10;
        if (size.width() > left + right + 10 && size.height() > top + bottom + 10)
            c->setPlotArea(QRectF(left, top, size.width() - left - right, size.height() - top - bottom));
    }
}

void StabilityChart::fitY(Strip &s)
{
    // The values with a margin, at least 0.2 dB: the scatter of a good
    // measurement is a few hundredths.
    double lo = s.lo, hi = s.hi;
    if (lo > hi)
        lo = 0, hi = 1;
    const double mid = (lo + hi) / 2, half = std::max((hi - lo) * 0.6, 0.1);
    const AxisTicks t = niceTicks(mid - half, mid + half, 4);
    setAxis(s.y, std::floor((mid - half) / t.step + 1e-9) * t.step,
            std::ceil((mid + half) / t.step - 1e-9) * t.step, 4);
    alignPlots();
    if (&s == &m_strips[0]) { // failed runs stay on the bottom edge
        QList<QPointF> pts = m_failed->points();
        for (QPointF &p : pts)
            p.setY(s.y->min());
        m_failed->replace(pts);
    }
}
