#pragma once
// Noise source and path switching through the modem-control lines of a
// serial port: DTR on = noise source powered (hot), RTS on = the device
// under test is in the path (combined measurement). No data is ever sent;
// the port is open only for the settling wait plus one recording.
//
// Everything here runs on the user-interface thread.

#include <QString>
#include <QStringList>

#include <functional>

class IMessages;
class ISerialLines;
struct Session;

// The serial lines that switch the noise source and the path, and whether
// the session switches through them at all. `serial` is not owned and
// outlives every reading given these lines; null when the program has no
// serial back end.
struct NoiseSourceLines {
    ISerialLines *serial = nullptr;
    int port = 0;         // the port number, 1..99
    bool enabled = false; // the noise source is switched through the port
};

// Text of a port error number (the numbers ISerialLines::open returns);
// "Other error..." for any number outside the table.
QString CommErrorText(int number);

// Time the noise source needs after DTR rises (or falls) and the path relay
// after RTS changes, before the recording may start (ms). The reading waits
// it on a timer after NoiseSwitchOn.
inline constexpr int kSettleMs = 500;

// Before a reading: unless switching is disabled (!lines.enabled), opens
// port lines.port at 4800,n,8,1 with DTR = sourceOn and RTS = combined and
// returns at once (the caller waits kSettleMs). Returns 0, or the port
// error number; on an error the port is left closed with both lines down.
int NoiseSwitchOn(const NoiseSourceLines &lines, bool sourceOn, bool combined);
// While the lines are switched: 0, or the error number of a port that
// failed since NoiseSwitchOn (vanished, refused a line change).
int NoiseSwitchFault(const NoiseSourceLines &lines);
// While the lines are switched: `onFault` is called from the event loop as
// soon as the port fails on its own (a vanished or hung-up device), so that
// a reading ends at once rather than when its recording is over.
// NoiseSwitchOff drops the watch.
void NoiseSwitchWatch(const NoiseSourceLines &lines, std::function<void()> onFault);
// The message of a port that failed while switched: "Error: " +
// CommErrorText(number), then a line naming the port number, its device
// and the system's words for the failure, as far as they are known.
QString PortFaultMessage(const NoiseSourceLines &lines, int number);
// After a reading, on every exit path: both lines off, port closed. Does
// nothing when the port is not open (switching disabled, or a failed open).
void NoiseSwitchOff(const NoiseSourceLines &lines);
// The port error message: "Error: " + CommErrorText(number), critical icon,
// caption "TQX".
void ReportPortError(IMessages &messages, int number);

// Model of the dialog frmComSetup ("Com setup"). The dialog widget is rebuilt
// from this model at every showing; the model keeps the controls' states
// from one showing to the next, because the dialog is loaded once per run
// and OK and Cancel only hide it. Owned by the instrument.
class ComSetup
{
public:
    // Fixed item lists of the combo boxes.
    static QStringList portItems();   // "1" .. "99"
    static QStringList speedItems();  // baud rates (shown only; the port runs at 4800)
    static QStringList parityItems(); // "N", "Y"
    static QStringList dbitsItems();  // "7", "8"
    static QStringList sbitsItems();  // "0", "1", "2"

    // First showing in a run: the check box and the port text from the
    // session's ComEnabled and ComPort. Later showings leave the controls as
    // they were.
    void load(const Session &session);
    bool loaded() const { return m_loaded; }

    // OK. Copies the check box to the session's ComEnabled and the port text
    // to its ComPort and returns true (the dialog hides). A port text that is
    // not a whole number from 1 to 99 is refused with a "Value error:"
    // message through `messages`; returns false, nothing changes, and the
    // dialog stays open.
    bool ok(Session &session, IMessages &messages);

    // Validation of the accuracy box `acc` (metres): the leading number of
    // the text (0 when there is none); a negative one becomes 0 and keeps the
    // focus in the box; the text is then rewritten as a whole number.
    struct AccCheck {
        QString text;
        bool keepFocus = false;
    };
    static AccCheck validateAcc(const QString &text);

    // True when `text` is a port number the dialog accepts (1..99); the
    // number in `port` then.
    static bool parsePort(const QString &text, int *port);

    // Control states as the user left them.
    bool enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }
    const QString &portText() const { return m_portText; }
    void setPortText(const QString &t) { m_portText = t; }
    int speedIndex() const { return m_speedIndex; }
    void setSpeedIndex(int i) { m_speedIndex = i; }
    int parityIndex() const { return m_parityIndex; }
    void setParityIndex(int i) { m_parityIndex = i; }
    int dbitsIndex() const { return m_dbitsIndex; }
    void setDbitsIndex(int i) { m_dbitsIndex = i; }
    int sbitsIndex() const { return m_sbitsIndex; }
    void setSbitsIndex(int i) { m_sbitsIndex = i; }
    const QString &accText() const { return m_accText; }
    void setAccText(const QString &t) { m_accText = t; }

private:
    bool m_loaded = false;
    bool m_enabled = false;
    QString m_portText = QStringLiteral("1");
    // The shown line settings start at what the port really uses: 4800,N,8,1.
    int m_speedIndex = 2;
    int m_parityIndex = 0;
    int m_dbitsIndex = 1;
    int m_sbitsIndex = 1;
    QString m_accText = QStringLiteral("0");
};
