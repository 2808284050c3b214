#include "gui/SweepChart.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// A series owned by the view, on the chart only while it has points (so
// that the legend names only what is drawn).
QLineSeries *line(QObject *owner, const QString &name, const QColor &colour, Qt::PenStyle style)
{
    auto *s = new QLineSeries(owner);
    s->setName(name);
    s->setPen(QPen(colour, style == Qt::SolidLine ? 2 : 1.5, style));
    s->setPointsVisible(style == Qt::SolidLine); // measured points show as dots
    return s;
}

void fill(QXYSeries *s, const QVector<double> &x, const QVector<double> &y)
{
    QList<QPointF> pts;
    for (int i = 0; i < x.size() && i < y.size(); ++i)
        if (std::isfinite(x[i]) && std::isfinite(y[i]))
            pts.append({x[i], y[i]});
    s->replace(pts);
}

// lo..hi on the axis, its ticks at `t`.
void setAxis(QValueAxis *axis, double lo, double hi, const AxisTicks &t)
{
    axis->setRange(lo, hi);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(t.first);
    axis->setTickInterval(t.step);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(t.decimals));
}

// A dB axis: the values with a margin, at least `minSpan` (`lo` to
// `lo` + minSpan when there are none), out to whole ticks.
void fitDb(QValueAxis *axis, double lo, double hi, double minSpan)
{
    if (!(lo <= hi))
        lo = 0, hi = minSpan;
    const double mid = (lo + hi) / 2, half = std::max((hi - lo) * 0.55, minSpan / 2);
    AxisTicks t = niceTicks(mid - half, mid + half, 6);
    lo = std::floor((mid - half) / t.step + 1e-9) * t.step;
    hi = std::ceil((mid + half) / t.step - 1e-9) * t.step;
    t.first = lo;
    setAxis(axis, lo, hi, t);
}

constexpr double kNoNfDb = 10; // the NF axis before a point is measured: 0 to 10 dB

} // namespace

AxisTicks niceTicks(double lo, double hi, int maxTicks)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(hi - lo))
        lo = 0, hi = 1;
    if (hi < lo)
        std::swap(lo, hi);
    if (hi - lo <= 1e-12 * std::max({1.0, std::abs(lo), std::abs(hi)})) {
        const double d = std::max(1.0, std::abs(lo) / 10);
        lo -= d, hi += d;
    }
    maxTicks = std::max(maxTicks, 2);
    // How many multiples of `step` lie in lo..hi (rounding errors aside).
    auto ticks = [lo, hi](double step) {
        return std::floor(hi / step + 1e-9) - std::ceil(lo / step - 1e-9) + 1;
    };
    // From a power of ten too fine for maxTicks up through 1, 2, 5, 10, 20...
    double decade = std::pow(10.0, std::floor(std::log10((hi - lo) / maxTicks)));
    double step = decade;
    for (int i = 0; i < 30 && ticks(step) > maxTicks; ++i) {
        const int m = i % 3;
        step = (m == 0 ? 2 : m == 1 ? 5 : 10) * decade;
        if (m == 2)
            decade *= 10;
    }
    AxisTicks t;
    t.step = step;
    t.first = std::ceil(lo / step - 1e-9) * step + 0.0; // never "-0"
    t.decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 12);
    return t;
}

void SweepChart::Bounds::add(double x, int axis, double y)
{
    x0 = std::min(x0, x), x1 = std::max(x1, x);
    lo[axis] = std::min(lo[axis], y), hi[axis] = std::max(hi[axis], y);
}

SweepChart::SweepChart(QWidget *parent) : QChartView(parent)
{
    setObjectName(QStringLiteral("sweepChart"));
    setAccessibleName(QStringLiteral("Noise figure and gain against frequency"));
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    auto *c = new QChart;
    c->legend()->setAlignment(Qt::AlignBottom);
    c->setMargins(QMargins(4, 4, 4, 4));
    c->setLocalizeNumbers(true); // axis labels as the table's numbers
    setChart(c); // the view owns the chart
    m_nf = line(this, QStringLiteral("NF"), QColor(0, 0, 192), Qt::SolidLine);
    m_gain = line(this, QStringLiteral("Gain"), QColor(0, 128, 0), Qt::SolidLine);
    // A saved sweep: lighter shades of the live colours, dashed, so that the
    // legend tells the two apart.
    m_refNf = line(this, QStringLiteral("Reference NF"), QColor(110, 160, 255), Qt::DashLine);
    m_refGain = line(this, QStringLiteral("Reference gain"), QColor(120, 200, 120), Qt::DashLine);
    m_trueNf = line(this, QStringLiteral("Bench true NF"), QColor(192, 96, 0), Qt::DotLine);
    m_trueGain = line(this, QStringLiteral("Bench true gain"), QColor(128, 64, 128), Qt::DotLine);
    m_failed = new QScatterSeries(this);
    m_failed->setName(QStringLiteral("Failed"));
    m_failed->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_failed->setMarkerSize(9);
    m_failed->setColor(QColor(192, 0, 0));

    m_x = new QValueAxis(c);
    m_x->setTitleText(QStringLiteral("Frequency (MHz)"));
    m_yNf = new QValueAxis(c);
    m_yNf->setTitleText(QStringLiteral("NF (dB)"));
    m_yGain = new QValueAxis(c);
    m_yGain->setTitleText(QStringLiteral("Gain (dB)"));
    c->addAxis(m_x, Qt::AlignBottom);
    c->addAxis(m_yNf, Qt::AlignLeft);
    c->addAxis(m_yGain, Qt::AlignRight);
    rescale();
}

bool SweepChart::onGainAxis(const QXYSeries *s) const
{
    return s == m_gain || s == m_refGain || s == m_trueGain ||
           m_more[1].contains(static_cast<QLineSeries *>(const_cast<QXYSeries *>(s)));
}

QList<QXYSeries *> SweepChart::allSeries() const
{
    QList<QXYSeries *> all = {m_nf, m_gain, m_refNf, m_refGain, m_trueNf, m_trueGain};
    for (const QList<QLineSeries *> &more : m_more)
        for (QLineSeries *s : more)
            all.append(s);
    return all;
}

void SweepChart::append(int axis, double x, double y)
{
    QLineSeries *last = m_more[axis].isEmpty() ? trace(axis) : m_more[axis].last();
    if (last->count() >= kPart) {
        const QPointF join = last->at(last->count() - 1);
        last = line(this, QString(), trace(axis)->pen().color(), Qt::SolidLine);
        last->append(join);
        m_more[axis].append(last);
    }
    last->append(x, y);
    attach(last);
}

void SweepChart::setTrace(int axis, const QList<QPointF> &points)
{
    for (QLineSeries *s : std::as_const(m_more[axis])) {
        if (chart()->series().contains(s))
            chart()->removeSeries(s);
        delete s;
    }
    m_more[axis].clear();
    QLineSeries *s = trace(axis);
    QList<QPointF> part;
    for (const QPointF &p : points) {
        if (part.size() >= kPart) {
            s->replace(part);
            s = line(this, QString(), trace(axis)->pen().color(), Qt::SolidLine);
            m_more[axis].append(s);
            part = {part.last()};
        }
        part.append(p);
    }
    s->replace(part);
}

void SweepChart::setPoints(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device)
{
    m_kind = kind;
    m_points = points;
    m_converter = device.converter();
    m_x->setTitleText(m_converter ? QStringLiteral("RF (MHz)") : QStringLiteral("Frequency (MHz)"));
    m_failed->clear();
    m_nf->setName(kind == SweepKind::Calibration ? QStringLiteral("Receiver NF") : QStringLiteral("NF"));
    QList<QPointF> nf, gain;
    for (const SweepPoint &p : points) {
        if (p.state != SweepPoint::State::Measured)
            continue;
        const double x = p.axisMhz(), y = kind == SweepKind::Calibration ? p.path.nfDb : p.device.nfDb;
        if (std::isfinite(x) && std::isfinite(y))
            nf.append({x, y});
        if (kind == SweepKind::Measurement && std::isfinite(x) && std::isfinite(p.device.gainDb))
            gain.append({x, p.device.gainDb});
    }
    setTrace(0, nf);
    setTrace(1, gain);
    rescale();
}

void SweepChart::updatePoint(int i, const SweepPoint &p)
{
    if (i < 0 || i >= m_points.size())
        return;
    const SweepPoint::State was = m_points[i].state;
    m_points[i] = p;
    if (p.state == was)
        return; // tuned, not yet read: nothing to draw
    if (p.state == SweepPoint::State::Failed) {
        m_failed->append(p.mhz, m_yNf->min());
        attach(m_failed);
        return;
    }
    if (p.state != SweepPoint::State::Measured)
        return;
    const double x = p.axisMhz(), nf = m_kind == SweepKind::Calibration ? p.path.nfDb : p.device.nfDb;
    if (!std::isfinite(x))
        return;
    if (std::isfinite(nf)) {
        append(0, x, nf);
        grow(x, 0, nf);
    }
    if (m_kind == SweepKind::Measurement && std::isfinite(p.device.gainDb)) {
        append(1, x, p.device.gainDb);
        grow(x, 1, p.device.gainDb);
    }
}

void SweepChart::setReference(const SweepTrace &trace)
{
    fill(m_refNf, trace.mhz, trace.nfDb);
    fill(m_refGain, trace.mhz, trace.gainDb);
    rescale();
}

void SweepChart::setTruth(const QVector<double> &mhz, const QVector<double> &nfDb, const QVector<double> &gainDb)
{
    fill(m_trueNf, mhz, nfDb);
    fill(m_trueGain, mhz, gainDb);
    rescale();
}

void SweepChart::attach(QXYSeries *s)
{
    // Only series with points are on the chart: the legend then lists what
    // is drawn (hiding legend markers instead leaves Qt's legend garbled).
    QChart *c = chart();
    const bool want = s->count() > 0, has = c->series().contains(s);
    if (want && !has) {
        c->addSeries(s);
        s->attachAxis(m_x);
        s->attachAxis(onGainAxis(s) ? m_yGain : m_yNf);
        if (s->name().isEmpty()) // a continued trace: named by its first part
            for (QLegendMarker *marker : c->legend()->markers(s))
                marker->setVisible(false);
    } else if (!want && has) {
        c->removeSeries(s);
        s->setParent(this);
    }
}

void SweepChart::grow(double x, int axis, double y)
{
    // The first value of an axis replaces its empty range; later ones
    // rescale only from outside it.
    const bool first = !(m_bounds.lo[axis] <= m_bounds.hi[axis]);
    m_bounds.add(x, axis, y);
    const QValueAxis *ya = axis ? m_yGain : m_yNf;
    if (first || x < m_x->min() || x > m_x->max() || y < ya->min() || y > ya->max())
        rescale();
}

void SweepChart::rescale()
{
    m_bounds = Bounds();
    const QList<QXYSeries *> all = allSeries();
    for (QXYSeries *s : all)
        for (const QPointF &p : s->points())
            m_bounds.add(p.x(), onGainAxis(s) ? 1 : 0, p.y());
    for (const SweepPoint &p : m_points)
        m_bounds.x0 = std::min(m_bounds.x0, p.axisMhz()), m_bounds.x1 = std::max(m_bounds.x1, p.axisMhz());
    // Nothing planned or drawn: no axes, rather than a made-up range.
    const bool any = m_bounds.x0 <= m_bounds.x1;
    if (any) {
        const double x0 = m_bounds.x0, x1 = m_bounds.x1, span = x1 - x0;
        const double lo = x0 - 0.02 * span - (span == 0), hi = x1 + 0.02 * span + (span == 0);
        setAxis(m_x, lo, hi, niceTicks(lo, hi, 6));
        fitDb(m_yNf, m_bounds.lo[0], m_bounds.hi[0], m_bounds.lo[0] <= m_bounds.hi[0] ? 2 : kNoNfDb);
        fitDb(m_yGain, m_bounds.lo[1], m_bounds.hi[1], 5);
    }
    m_x->setVisible(any);
    m_yNf->setVisible(any);
    m_yGain->setVisible(any && m_bounds.lo[1] <= m_bounds.hi[1]);
    placeFailed();
    for (QXYSeries *s : all)
        attach(s);
    attach(m_failed);
}

void SweepChart::placeFailed()
{
    // Failed points sit on the bottom edge of the NF axis: where, not what.
    QList<QPointF> failed;
    for (const SweepPoint &p : m_points)
        if (p.state == SweepPoint::State::Failed)
            failed.append({p.mhz, m_yNf->min()});
    m_failed->replace(failed);
}

void SweepChart::mouseMoveEvent(QMouseEvent *e)
{
    QChartView::mouseMoveEvent(e);
    const QRectF plot = chart()->plotArea();
    if (!plot.contains(e->position()) || plot.width() <= 0)
        return Q_EMIT readout(QString());
    // The frequency under the mouse, from the axis (MHz).
    const QPointF v(m_x->min() + (e->position().x() - plot.left()) / plot.width() * (m_x->max() - m_x->min()), 0);
    // The nearest point of the sweep by frequency; its values, or why it failed.
    const SweepPoint *best = nullptr;
    for (const SweepPoint &p : m_points)
        if (p.state != SweepPoint::State::Pending &&
            (!best || std::abs(p.axisMhz() - v.x()) < std::abs(best->axisMhz() - v.x())))
            best = &p;
    const QLocale locale;
    QString text = (m_converter ? QStringLiteral("RF %1 MHz") : QStringLiteral("%1 MHz"))
                       .arg(locale.toString(v.x(), 'f', 3));
    if (best && m_converter) {
        // The IF the receiver reported for a measured point, else the planned one.
        const bool tuned = best->state == SweepPoint::State::Measured && best->tunedMhz > 0;
        text += QStringLiteral("   nearest point RF %1 MHz, IF %2 MHz: ")
                    .arg(locale.toString(best->axisMhz(), 'f', 3),
                         locale.toString(tuned ? best->tunedMhz : best->ifMhz, 'f', 3));
    } else if (best) {
        text += QStringLiteral("   nearest point %1 MHz: ").arg(locale.toString(best->axisMhz(), 'f', 3));
    }
    if (best) {
        if (best->state == SweepPoint::State::Failed)
            text += QStringLiteral("failed (%1)").arg(best->failure);
        else if (m_kind == SweepKind::Calibration)
            text += QStringLiteral("receiver NF %1 dB").arg(QLocale().toString(best->path.nfDb, 'f', 2));
        else
            text += QStringLiteral("NF %1 dB, gain %2 dB")
                        .arg(QLocale().toString(best->device.nfDb, 'f', 2), QLocale().toString(best->device.gainDb, 'f', 1));
    }
    Q_EMIT readout(text);
}

void SweepChart::leaveEvent(QEvent *e)
{
    QChartView::leaveEvent(e);
    Q_EMIT readout(QString());
}

bool SweepChart::save(const QString &path, QString *error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size());
        svg.setViewBox(rect());
        svg.setTitle(QStringLiteral("TQX frequency sweep"));
        QPainter painter;
        if (!painter.begin(&svg)) {
            *error = QStringLiteral("Cannot write %1.").arg(path);
            return false;
        }
        render(&painter);
        painter.end();
        if (!QFileInfo(path).isFile()) {
            *error = QStringLiteral("Cannot write %1.").arg(path);
            return false;
        }
        return true;
    }
    if (!grab().save(path, "PNG")) {
        *error = QStringLiteral("Cannot write %1.").arg(path);
        return false;
    }
    return true;
}
