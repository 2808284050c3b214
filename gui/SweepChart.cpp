#include "gui/SweepChart.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgGenerator>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

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

// Axis limits with a margin, widened to at least `minSpan`.
void fit(QValueAxis *axis, double lo, double hi, double minSpan)
{
    if (!(lo <= hi))
        lo = 0, hi = minSpan;
    const double mid = (lo + hi) / 2, half = std::max((hi - lo) * 0.55, minSpan / 2);
    axis->setRange(mid - half, mid + half);
    axis->applyNiceNumbers();
}

} // namespace

SweepChart::SweepChart(QWidget *parent) : QChartView(parent)
{
    setObjectName(QStringLiteral("sweepChart"));
    setAccessibleName(QStringLiteral("Noise figure and gain against frequency"));
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    auto *c = new QChart;
    c->legend()->setAlignment(Qt::AlignBottom);
    c->setMargins(QMargins(4, 4, 4, 4));
    setChart(c); // the view owns the chart
    m_nf = line(this, QStringLiteral("NF"), QColor(0, 0, 192), Qt::SolidLine);
    m_gain = line(this, QStringLiteral("Gain"), QColor(0, 128, 0), Qt::SolidLine);
    m_refNf = line(this, QStringLiteral("Reference NF"), QColor(0, 0, 192), Qt::DashLine);
    m_refGain = line(this, QStringLiteral("Reference gain"), QColor(0, 128, 0), Qt::DashLine);
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

void SweepChart::setPoints(SweepKind kind, const QVector<SweepPoint> &points)
{
    m_kind = kind;
    m_points = points;
    QVector<double> x, nf, gx, gain;
    for (const SweepPoint &p : points) {
        if (p.state != SweepPoint::State::Measured)
            continue;
        x << p.axisMhz();
        nf << (kind == SweepKind::Calibration ? p.path.nfDb : p.device.nfDb);
        if (kind == SweepKind::Measurement)
            gx << p.axisMhz(), gain << p.device.gainDb;
    }
    fill(m_nf, x, nf);
    fill(m_gain, gx, gain);
    m_nf->setName(kind == SweepKind::Calibration ? QStringLiteral("Receiver NF") : QStringLiteral("NF"));
    rescale();
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

void SweepChart::rescale()
{
    const QList<QXYSeries *> all = {m_nf, m_gain, m_refNf, m_refGain, m_trueNf, m_trueGain, m_failed};
    auto onGainAxis = [this](QXYSeries *s) { return s == m_gain || s == m_refGain || s == m_trueGain; };
    double x0 = INFINITY, x1 = -INFINITY;
    double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
    for (QXYSeries *s : all) {
        if (s == m_failed)
            continue;
        const int k = onGainAxis(s) ? 1 : 0;
        for (const QPointF &p : s->points()) {
            x0 = std::min(x0, p.x()), x1 = std::max(x1, p.x());
            lo[k] = std::min(lo[k], p.y()), hi[k] = std::max(hi[k], p.y());
        }
    }
    for (const SweepPoint &p : m_points)
        x0 = std::min(x0, p.axisMhz()), x1 = std::max(x1, p.axisMhz());
    if (!(x0 <= x1))
        x0 = 0, x1 = 1;
    const double span = x1 - x0;
    m_x->setRange(x0 - 0.02 * span - (span == 0), x1 + 0.02 * span + (span == 0));
    fit(m_yNf, lo[0], hi[0], 2);
    fit(m_yGain, lo[1], hi[1], 5);
    m_yGain->setVisible(hi[1] >= lo[1]);
    // Failed points sit on the bottom edge of the NF axis: where, not what.
    QList<QPointF> failed;
    for (const SweepPoint &p : m_points)
        if (p.state == SweepPoint::State::Failed)
            failed.append({p.mhz, m_yNf->min()});
    m_failed->replace(failed);
    // Only series with points are on the chart: the legend then lists what
    // is drawn (hiding legend markers instead leaves Qt's legend garbled).
    QChart *c = chart();
    for (QXYSeries *s : all) {
        const bool want = s->count() > 0, has = c->series().contains(s);
        if (want && !has) {
            c->addSeries(s);
            s->attachAxis(m_x);
            s->attachAxis(onGainAxis(s) ? m_yGain : m_yNf);
        } else if (!want && has) {
            c->removeSeries(s);
            s->setParent(this);
        }
    }
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
    QString text = QStringLiteral("%1 MHz").arg(QLocale().toString(v.x(), 'f', 3));
    if (best) {
        text += QStringLiteral("   nearest point %1 MHz: ").arg(QLocale().toString(best->axisMhz(), 'f', 3));
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
