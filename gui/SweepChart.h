#pragma once
// The sweep's plot: noise figure (left axis, dB) and gain (right axis, dB)
// against frequency (MHz). Measured points appear as they arrive; failed
// points are marked on the frequency axis, never plotted as a number. A
// reference trace from a saved sweep and, on the virtual bench, the bench's
// true curves are drawn dashed and dotted. Moving the mouse over the plot
// reports the nearest measured point (readout()). UI thread.

#include "acquire/Sweep.h"
#include "report/SweepCsv.h"

#include <QtCharts/QChartView>

class QLineSeries;
class QScatterSeries;
class QValueAxis;

class SweepChart : public QChartView
{
    Q_OBJECT
public:
    explicit SweepChart(QWidget *parent = nullptr);

    // The points of the sweep shown (replaces the previous ones).
    void setPoints(SweepKind kind, const QVector<SweepPoint> &points);
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
    void rescale();

    QValueAxis *m_x = nullptr;
    QValueAxis *m_yNf = nullptr;
    QValueAxis *m_yGain = nullptr;
    QLineSeries *m_nf = nullptr, *m_gain = nullptr;
    QScatterSeries *m_failed = nullptr;
    QLineSeries *m_refNf = nullptr, *m_refGain = nullptr;
    QLineSeries *m_trueNf = nullptr, *m_trueGain = nullptr;
    SweepKind m_kind = SweepKind::Calibration;
    QVector<SweepPoint> m_points;
};
