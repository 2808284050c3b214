#pragma once
// frmWorking: "TQX: working..." with the label "Working, please wait..." and
// a progress bar, shown while a recording or playback blocks the
// user-interface thread. It has no behaviour of its own and cannot be closed
// by the user; the window host shows and hides it. GUI thread only.
#include <QWidget>
class QLabel;
class QProgressBar;
class WorkingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WorkingWindow(QWidget *parent = nullptr);
    // Fraction 0..1 of the blocking operation; anything else is clamped
    // (a NaN shows as 0).
    void setProgress(double fraction);
    int progressPermille() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
};
