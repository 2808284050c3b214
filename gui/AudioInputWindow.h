#pragma once
// frmAudioInput: the Audio input window. The input and output devices, and
// the live input monitor (acquire/Monitor): level bar and number, peak,
// clipping warning, headroom for the hot reading, a 60 s strip chart and the
// spectrum with the receiver's passband and its noise bandwidth, which can be
// handed to the uncertainty calculator. Modeless, beside the main window;
// deleted when closed. User-interface thread.

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class Instrument;
class Monitor;
class QChart;
class QComboBox;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QTimer;
class QValueAxis;
class ValueLabel;

class AudioInputWindow : public QDialog
{
    Q_OBJECT
public:
    AudioInputWindow(Instrument &m, QWidget *parent);
    ~AudioInputWindow() override;

    Monitor &monitor() { return *m_monitor; }

private:
    void makeMonitor();
    void fillDevices();
    void chooseDevice(bool input);
    void showLevels();
    void showSpectrum();
    void showState();
    void showFailure(const QString &message);
    void useBandwidth();

    Instrument &m_instrument;
    std::unique_ptr<Monitor> m_monitor;
    QComboBox *m_input = nullptr;
    QComboBox *m_output = nullptr;
    QStringList m_inputIds, m_outputIds; // what the lists show, to notice a change
    QProgressBar *m_bar = nullptr;
    ValueLabel *m_level = nullptr; // the readings: screen readers hear their values
    ValueLabel *m_peak = nullptr;
    ValueLabel *m_clip = nullptr;
    ValueLabel *m_headroom = nullptr;
    ValueLabel *m_status = nullptr;
    ValueLabel *m_enbw = nullptr;
    QPushButton *m_useEnbw = nullptr;
    QPushButton *m_startStop = nullptr;
    QLineSeries *m_history = nullptr;
    QValueAxis *m_historyY = nullptr;
    QLineSeries *m_psd = nullptr;
    QLineSeries *m_band = nullptr;
    QValueAxis *m_psdX = nullptr;
    QValueAxis *m_psdY = nullptr;
    QTimer *m_devicePoll = nullptr;
    bool m_chartDue = false; // a strip-chart redraw is due (at most 5 a second)
};
