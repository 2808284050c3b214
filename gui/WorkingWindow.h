#pragma once
// frmWorking: "TQX: working..." with the label "Working, please wait...", a
// progress bar, the time left (acquire/TimeLeft, from the progress reports
// and the time since the window was shown) and a Cancel button, shown while
// a reading or a playback runs. The window host shows and hides it and disables the main window's
// menus and fields meanwhile, so that the main window takes no input but
// its close button still works (it cancels the reading, then closes):
// Cancel, Esc and this window's close button all ask to cancel. GUI thread
// only.
#include "acquire/TimeLeft.h"

#include <QElapsedTimer>
#include <QWidget>
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class WorkingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WorkingWindow(QWidget *parent = nullptr);
    // Fraction 0..1 of the operation; anything else is clamped (a NaN
    // shows as 0). 0 starts the time-left estimate over.
    void setProgress(double fraction);
    int progressPermille() const;
    // The line above the bar ("Reading 2 of 8"); empty: "Working, please wait...".
    void setText(const QString &text);
    QString timeLeftText() const; // "About 3 s left.", or empty while unknown or done

Q_SIGNALS:
    void cancelRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void restart();
    void refreshLeft();

    QLabel *m_label = nullptr;
    QLabel *m_left = nullptr;
    QTimer *m_tick = nullptr; // counts the time left down between progress reports
    QElapsedTimer m_clock;    // since the operation started
    TimeLeft m_estimate;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};
