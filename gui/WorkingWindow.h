#pragma once
// frmWorking: "TQX: working..." with the label "Working, please wait...", a
// progress bar and a Cancel button, shown while a reading or a playback
// runs. The window host shows and hides it and disables the main window's
// menus and fields meanwhile, so that the main window takes no input but
// its close button still works (it cancels the reading, then closes):
// Cancel, Esc and this window's close button all ask to cancel. GUI thread
// only.
#include <QWidget>
class QLabel;
class QProgressBar;
class QPushButton;
class WorkingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WorkingWindow(QWidget *parent = nullptr);
    // Fraction 0..1 of the operation; anything else is clamped (a NaN
    // shows as 0).
    void setProgress(double fraction);
    int progressPermille() const;

Q_SIGNALS:
    void cancelRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};
