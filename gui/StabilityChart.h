#pragma once
// The Stability view's plot: three strips stacked on one time axis (minutes
// since the first run): the noise figure drawn, the device's gain, and the
// cold level (the source-off reading of the same path). Each strip has its
// own dB axis, so a drift of a few hundredths of a dB in one is not lost in
// the span of another. A run that gave no noise figure is marked on the
// bottom edge of the noise figure strip, never plotted as a number. Axes
// grow only when a point lies outside them (niceTicks, as the sweep's
// plot). UI thread.

#include <QWidget>

#include <array>
#include <optional>

class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

class StabilityChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kStrips = 3; // noise figure, gain, cold level

    explicit StabilityChart(QWidget *parent = nullptr);

    // Empties the strips and names their axes ("NF(1) (dB)", ...).
    void clear(const std::array<QString, kStrips> &titles);
    // One run at `minutes` since the first; absent values are not drawn.
    void append(double minutes, const std::array<std::optional<double>, kStrips> &values, bool failed);
    int points(int strip) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Strip {
        QChartView *view = nullptr;
        QLineSeries *line = nullptr;
        QValueAxis *x = nullptr, *y = nullptr;
        double lo = 0, hi = -1; // the values drawn (lo > hi: none)
    };
    void fitX();
    void fitY(Strip &s);
    void attach(Strip &s);
    // Lays the plot areas out by hand, one above the other with the same
    // left and right edges, so that a time on one strip is the same time
    // on the others whatever the width of each strip's labels.
    void alignPlots();
    double labelWidth(const Strip &s) const; // widest tick label of the strip's value axis

    std::array<Strip, kStrips> m_strips;
    QScatterSeries *m_failed = nullptr; // on the noise figure strip
    double m_last = 0;                  // latest time (minutes)
    double m_xMax = 0;                  // the time axis' end
};
