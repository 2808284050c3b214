#pragma once
// Instrument: the noise figure meter without a window.
//
// It owns the measurement session (the sheet's texts and states, the zero
// and the readings, the ENR table in use, the sweep calibration), the
// models of the settings windows, the device routes (sound card or virtual
// bench; the real serial port or the bench's lines; Hamlib or the bench's
// tuning) and the one running operation. It needs Qt Core only and runs
// under QCoreApplication: the window program, the remote server and the
// batch program are equal front ends that observe its signals and call its
// commands.
//
// Messages and questions are requests: `messageRequested` carries a
// MessageRequest that a front end answers (the window shows a box; with no
// receiver connected the text goes to the log and the default answer
// holds). No message is requested from inside an operation's `ended`:
// the sheet is announced first.
//
// Thread: the thread it was created on (the GUI thread in the window
// program); every command and every signal is on that thread. Services are
// shared with it and live at least as long as it does.

#include "instrument/Services.h"
#include "platform/Messages.h"
#include "platform/Windows.h"
#include "sheet/Operation.h"
#include "sheet/Session.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

struct EnrTable;
class CalNoiseSource;
class Nmuc;
class ComSetup;
class UpdateCheck;
class Bench;
class BenchRig;
struct BudgetSettings;
struct SweepCalibration;

// A message box or a Yes/No question the instrument wants answered.
struct MessageRequest {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
    QString details;       // shown on request below the text; may be empty
    bool question = false; // Yes/No instead of OK
    bool answer = false;   // Yes; a front end that cannot ask leaves No
    bool answered = false; // set by the front end that showed it
};

// Where the readings come from.
enum class DeviceRoute {
    SoundCard, // the chosen audio input, the real serial port, Hamlib
    Bench,     // the virtual bench: its audio, its lines and its tuning
};

class Instrument : public QObject
{
    Q_OBJECT
public:
    explicit Instrument(const Services &services, QObject *parent = nullptr);
    ~Instrument() override;
    Instrument(const Instrument &) = delete;
    Instrument &operator=(const Instrument &) = delete;

    Session &session() { return m_session; }
    const Session &session() const { return m_session; }
    Sheet &sheet() { return m_session.sheet(); }
    const Sheet &sheet() const { return m_session.sheet(); }
    const Services &services() const { return m_services; }
    // The instrument's message channel, for the workflows it starts: each
    // call becomes a `messageRequested`.
    IMessages &messages();
    // Shorthand for messages().show().
    void message(const QString &caption, const QString &text, MsgIcon icon);

    // --- models of the subsystems and dialogs ----------------------------
    // The measurement table: the source's ENR at the device input (the
    // Frequency; a converter's RF).
    EnrTable &enrTable() { return *m_enrTable; }
    // The calibration path's own table (empty until one is loaded:
    // Session::CalEnrFileName, mnuCalEnrUnl enabled).
    EnrTable &calEnrTable() { return *m_calEnrTable; }
    // The table the calibration path reads (the receiver alone, at a
    // converter's IF): its own when loaded, else the measurement table. A
    // table is in use when mnuCalEnrUnl or mnuEnrUnl is enabled.
    const EnrTable &calibrationEnrTable() const;
    CalNoiseSource &calNoiseSource() { return *m_calNoiseSource; }
    Nmuc &nmuc() { return *m_nmuc; }
    ComSetup &comSetup() { return *m_comSetup; }
    UpdateCheck &updateCheck() { return *m_updateCheck; }
    Bench &bench() { return *m_bench; }
    BudgetSettings &budgetSettings() { return *m_budgetSettings; }
    // Receiver levels per frequency from the last calibration sweep.
    SweepCalibration &sweepCalibration() { return *m_sweepCalibration; }

    // --- device routes ----------------------------------------------------
    DeviceRoute route() const { return m_route; }
    // Chooses the readings' source and remembers it. Refused with a message
    // (false) while an operation runs, so that every reading of a sweep
    // comes from one source.
    bool setRoute(DeviceRoute r);
    // The devices of the current route (null when the platform has none).
    IAudio *audio() const;
    ISerialLines *serialLines() const;
    IRig *rig() const;
    // On the bench route, hands the bench the sheet's frequency and
    // attenuators (after every field change; before every reading).
    void syncBench();
    // Whether the bench was already offered to a user without an audio
    // input (once per instrument's life).
    bool benchOffered() const { return m_benchOffered; }
    void setBenchOffered() { m_benchOffered = true; }
    // Chooses the sound card's input (or output) device by id and stores
    // the choice; refused with a message while an operation runs.
    bool chooseInputDevice(const QString &id, const QString &name);
    bool chooseOutputDevice(const QString &id, const QString &name);

    // --- lifecycle -------------------------------------------------------
    void Form_Load();   // restore parameters, repair them, derive ENR
    void Form_Unload(); // write parameters back, delete temporary files
    void startUp();     // after Form_Load: reload the remembered ENR table

    // --- commands --------------------------------------------------------
    // The user typed into a field / chose a Units entry (no rules run but
    // the length of Notes). False: the text is refused with a message and
    // the field keeps its previous text, which the front end shows again.
    bool setFieldText(Field f, const QString &text);
    void setUnitsIndex(int index) { sheet().setUnitsIndex(index); }
    // Leaving a validated field (or Enter in it). False: the entry is
    // refused and the focus must stay in the field.
    bool validate(Field f);
    // Leaving the Units list.
    void unitsValidate();
    // A button or menu entry.
    void click(Control c);
    // A double click on a field.
    void doubleClick(Field f);

    // --- the running operation (a reading, a sweep or a playback) --------
    bool busy() const { return m_operation != nullptr; }
    Operation *operation() const { return m_operation.get(); }
    // Takes over a new operation (started by the caller right after); it is
    // deleted once it has ended, and `sheetChanged` follows then, before
    // any message the operation's end asked for.
    void begin(std::unique_ptr<Operation> op);
    // Cancels the running operation at once (Cancel, Esc, closing the
    // window); nothing happens when none runs.
    void cancel();

    // Shows or hides the working indicator, and its progress (0..1).
    void showWorking(bool visible);
    void setWorkingProgress(double fraction);
    // The working indicator's line of text; empty: its usual one.
    void setWorkingText(const QString &text);
    // Asks the front end to show a window (a window program shows it; a
    // headless front end ignores it).
    void requestDialog(DialogId id);

    // The tooltip of a result field: NF(1) and NF(2) carry their expanded
    // uncertainty and largest contribution; empty for other fields.
    QString toolTip(Field f);

    static QString versionText(); // "major.minor.revision"

    // Lives exactly as long as this Instrument: the context of callbacks
    // that arrive later through the event loop, so that none runs after it.
    QObject *lifetime() { return &m_lifetime; }

Q_SIGNALS:
    // The sheet changed outside a command the front end called (an
    // operation ended, a route changed): mirror it.
    void sheetChanged();
    void busyChanged(bool busy);
    void workingShown(bool visible);
    void progress(double fraction);
    void workingText(const QString &text);
    // Answer by filling in `request` before returning (direct connection).
    void messageRequested(MessageRequest *request);
    void dialogRequested(DialogId id);
    void routeChanged(DeviceRoute route);

private:
    class MessageChannel;
    void deliver(MessageRequest &request);
    void operationEnded(Operation *op);
    bool refuseWhileBusy(const QString &what);

    Services m_services;
    Session m_session;
    DeviceRoute m_route = DeviceRoute::SoundCard;
    bool m_benchOffered = false;
    std::unique_ptr<MessageChannel> m_messages;
    std::unique_ptr<Operation> m_operation;
    std::unique_ptr<EnrTable> m_enrTable;
    std::unique_ptr<EnrTable> m_calEnrTable;
    std::unique_ptr<CalNoiseSource> m_calNoiseSource;
    std::unique_ptr<Nmuc> m_nmuc;
    std::unique_ptr<ComSetup> m_comSetup;
    std::unique_ptr<UpdateCheck> m_updateCheck;
    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<BenchRig> m_benchRig;
    std::unique_ptr<BudgetSettings> m_budgetSettings;
    std::unique_ptr<SweepCalibration> m_sweepCalibration;
    QObject m_lifetime; // last member: destroyed first, dropping pending callbacks
};
