#pragma once
// The sweep's plot: noise figure (left axis, dB) and gain (right axis, dB)
// against frequency (MHz): a converter's RF at the device input, its axis
// then titled "RF (MHz)", while the readout names the IF the receiver was
// on too. Measured points appear as they arrive; failed points are marked
// on the frequency axis, never plotted as a number. A reference trace from
// a saved sweep is drawn dashed in lighter colours of its own, and on the
// virtual bench the bench's true curves dotted. Moving the mouse over the
// plot reports the nearest measured point (readout()).
//
// A point that arrives is appended to its series; the axes change only when
// it lies outside them, so a point costs the same at the ten-thousandth as
// at the first. The frequency axis spans the planned frequencies from the
// start; with nothing to show there are no axes. Ticks fall at round values
// (niceTicks). UI thread.

#include "acquire/Sweep.h"
#include "report/SweepCsv.h"

#include <QtCharts/QChartView>

#include <cmath>

class QLineSeries;
class QScatterSeries;
class QXYSeries;
class QValueAxis;

// Ticks at round values for an axis from `lo` to `hi`: steps of 1, 2 or 5
// times a power of ten, the finest that puts at most `maxTicks` ticks
// within lo..hi; `first` is the lowest tick, `decimals` what the labels
// need. A span of zero is taken as lo +- 1 (or +- a tenth of lo, if
// larger); a bound that is not finite as 0..1.
struct AxisTicks {
    double first = 0, step = 1;
    int decimals = 0;
};
AxisTicks niceTicks(double lo, double hi, int maxTicks);

class SweepChart : public QChartView
{
    Q_OBJECT
public:
    explicit SweepChart(QWidget *parent = nullptr);

    // The points of the sweep shown (replaces the previous ones) and the
    // device the sweep was of; the frequency axis spans them all, measured
    // or not.
    void setPoints(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device = {});
    // Point `i` of those has changed: measured or failed now.
    void updatePoint(int i, const SweepPoint &point);
    void setReference(const SweepTrace &trace); // an empty trace removes it
    // The bench's true NF and gain at `mhz` (empty: none shown).
    void setTruth(const QVector<double> &mhz, const QVector<double> &nfDb, const QVector<double> &gainDb);
    // PNG or SVG by the file name's extension; false with `error` set.
    bool save(const QString &path, QString *error);

Q_SIGNALS:
    // The text under the plot for the mouse position ("" when off the plot).
    void readout(const QString &text);

protected:
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *e) override;

private:
    // What the series hold: frequencies and the two dB axes' values.
    struct Bounds {
        double x0 = INFINITY, x1 = -INFINITY;
        double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
        void add(double x, int axis, double y);
    };
    QLineSeries *trace(int axis) const { return axis ? m_gain : m_nf; }
    void append(int axis, double x, double y);
    void setTrace(int axis, const QList<QPointF> &points);
    QList<QXYSeries *> allSeries() const;
    void grow(double x, int axis, double y); // rescales when outside the axes
    void rescale();                          // every series and axis anew
    void placeFailed();
    void attach(QXYSeries *s);
    bool onGainAxis(const QXYSeries *s) const;

    QValueAxis *m_x = nullptr;
    QValueAxis *m_yNf = nullptr;
    QValueAxis *m_yGain = nullptr;
    // The measured NF and gain, each in consecutive series of at most
    // kPart points, every one after the first starting at the last point of
    // the one before so that the line stays joined: a new point changes,
    // and redraws, one short series, never the whole trace. The first names
    // the trace in the legend; m_more holds the others (0: NF, 1: gain).
    static constexpr int kPart = 200;
    QLineSeries *m_nf = nullptr, *m_gain = nullptr;
    QList<QLineSeries *> m_more[2];
    QScatterSeries *m_failed = nullptr;
    QLineSeries *m_refNf = nullptr, *m_refGain = nullptr;
    QLineSeries *m_trueNf = nullptr, *m_trueGain = nullptr;
    SweepKind m_kind = SweepKind::Calibration;
    bool m_converter = false; // x is the RF, the readout adds the IF
    QVector<SweepPoint> m_points;
    Bounds m_bounds;
};
