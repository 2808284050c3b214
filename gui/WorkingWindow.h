#pragma once
// frmWorking: "TQX: working..." shown while a recording or playback blocks.
#include <QWidget>
class QLabel;
class QProgressBar;
class WorkingWindow : public QWidget
{
    Q_OBJECT
public:
    explicit WorkingWindow(QWidget *parent = nullptr);
    void setProgress(double fraction); // 0..1
private:
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
};
