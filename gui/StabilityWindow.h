#pragma once
// The Stability view (Utility > Stability...): a measurement series
// (instrument/MeasurementSeries.h) every T seconds for a total time or until
// stopped, drawn against time as it runs - the noise figure chosen (NF(1)
// of the device or NF(2) of the instrument alone), the device's gain and
// the cold level of the same path - with the mean, sample standard
// deviation and drift per hour of each strip, and the runs exported as CSV
// (report/SeriesCsv.h). For warm-up and drift checks of a receiver or a
// preamplifier.
//
// Non-modal and kept: closing hides it and a running series goes on (Stop
// stops it), as the sweep window does; the runs stay until the next Start.
// Everything runs from the event loop, so the main window never waits on
// it. GUI thread only.

#include "acquire/SeriesRun.h"

#include <QDialog>
#include <QList>
#include <QPointer>

#include <array>

class Instrument;
class MeasurementSeries;
class StabilityChart;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

class StabilityWindow : public QDialog
{
    Q_OBJECT
public:
    explicit StabilityWindow(Instrument &instrument, QWidget *parent = nullptr);
    ~StabilityWindow() override;

    const QList<SeriesRun> &runs() const { return m_runs; }
    bool running() const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    QWidget *buildControls();
    QWidget *buildStats();
    void start();
    void stop();
    void exportCsv();
    void showHelp();
    void addRun(const SeriesRun &run);
    void redraw();
    void refreshStats();
    void refreshStatus();
    void updateButtons();
    bool drawsNf1() const;
    // The values the strips draw for `run`: NF, gain, cold level.
    std::array<std::optional<double>, 3> drawn(const SeriesRun &run) const;

    Instrument &m_instrument;
    QPointer<MeasurementSeries> m_series;
    QList<SeriesRun> m_runs;
    bool m_exported = true; // the runs shown are in a file (or there are none)
    QString m_state;        // what the series does now
    QDoubleSpinBox *m_period = nullptr;
    QRadioButton *m_untilStopped = nullptr;
    QRadioButton *m_forTime = nullptr;
    QDoubleSpinBox *m_total = nullptr;
    QCheckBox *m_zero = nullptr;
    QComboBox *m_draw = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_export = nullptr;
    StabilityChart *m_chart = nullptr;
    std::array<std::array<QLabel *, 4>, 3> m_stats{}; // per strip: mean, sigma, drift, runs
    std::array<QGroupBox *, 3> m_rowNames{};          // one box of numbers per strip
    QLabel *m_status = nullptr;
    QTimer *m_tick = nullptr; // counts down to the next run
    QDateTime m_next;         // when the next run starts (UTC); invalid while measuring
};

// Utility > Stability...: shows the window of `mainWindow` (made on first use).
void showStabilityWindow(Instrument &instrument, QWidget *mainWindow);
