#pragma once
// The frequency sweep window (Utility, Frequency sweep): frequencies and
// settling time, Start calibration / Start measurement / Stop, progress and
// time left, the plot and the table of points, CSV export, plot export and
// the reference trace. Non-modal: it stays open beside the main window and
// keeps the last calibration while the program runs (closing only hides
// it). The sweep itself runs as the Instrument's operation, so the main window's
// buttons rest meanwhile. UI thread.

#include "acquire/Sweep.h"

#include <QDialog>
#include <QPointer>

class Instrument;
class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class SweepChart;

class SweepWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SweepWindow(Instrument &instrument, QWidget *parent = nullptr);
    ~SweepWindow() override;

    // Starts a sweep of `kind` from the window's inputs (what the Start
    // buttons do); false when it was refused with a message.
    bool startSweep(SweepKind kind);
    void stopSweep();
    const QVector<SweepPoint> &points() const { return m_points; }
    // What the window shows of a sweep: every point as it starts, then each
    // one as it changes (what the running sweep's signals feed). A
    // converter's sweep shows the RF on the plot and the IF beside it.
    void beginPoints(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device = {});
    void updatePoint(int i, const SweepPoint &point);
    bool running() const { return m_sweep != nullptr; }

protected:
    void closeEvent(QCloseEvent *e) override;
    bool event(QEvent *e) override;
    void reject() override;

private:
    QWidget *buildInputs();
    QWidget *buildResults();
    void updateButtons();
    void onPointChanged(int i);
    void onProgress(int done, int total);
    void refreshStatus(); // which reading, and the time left
    void onPrompt(const QString &text);
    void onEnded();
    void showPoint(int row);
    void updateTruth();
    void exportCsv();
    void savePlot();
    void loadReference();
    void error(const QString &text);

    Instrument &m_instrument;
    QPointer<Sweep> m_sweep; // owned by the Instrument while it runs
    SweepKind m_kind = SweepKind::Calibration;
    DeviceSetup m_device; // of the sweep shown (its plan's)
    QVector<SweepPoint> m_points;

    QButtonGroup *m_source = nullptr;
    QDoubleSpinBox *m_start = nullptr, *m_stop = nullptr, *m_step = nullptr, *m_settle = nullptr;
    QLineEdit *m_list = nullptr;
    QCheckBox *m_stopOnFailure = nullptr;
    QSpinBox *m_averages = nullptr; // a view of the session's Averages
    QPushButton *m_calButton = nullptr, *m_measButton = nullptr, *m_stopButton = nullptr;
    QPushButton *m_exportButton = nullptr, *m_plotButton = nullptr, *m_refButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr, *m_calStatus = nullptr, *m_readout = nullptr;
    QLabel *m_plan = nullptr; // a converter's LO, sideband and image rejection
    SweepChart *m_chart = nullptr;
    QTableWidget *m_table = nullptr;
    QWidget *m_files = nullptr; // the row of file buttons under the plot
    QPointer<QMessageBox> m_prompt;
    QTimer *m_tick = nullptr; // counts the time left down between readings
};
