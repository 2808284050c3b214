#pragma once
// Meter: the one facade between the GUI and the logic.
//
// It owns the measurement sheet (field texts, colours, locks, control
// states), the two readings, the process-wide values and the models of the
// dialogs. The GUI forwards user events to the methods below and then
// mirrors the sheet; it holds no rules of its own. Everything runs on the
// user-interface thread. A reading or a playback runs asynchronously as the
// one current Operation; when it ends, the change handler tells the GUI to
// mirror the sheet again.

#include "sheet/Measurement.h"
#include "sheet/Operation.h"
#include "sheet/Sheet.h"
#include "platform/Platform.h"

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
struct BudgetSettings;

class Meter
{
public:
    explicit Meter(const Platform &platform);
    ~Meter();
    Meter(const Meter &) = delete;
    Meter &operator=(const Meter &) = delete;

    Sheet &sheet() { return m_sheet; }
    const Sheet &sheet() const { return m_sheet; }
    const Platform &platform() const { return m_platform; }
    void setPlatform(const Platform &p) { m_platform = p; }

    // Message box through the platform (no-op without a messages service).
    void message(const QString &caption, const QString &text, MsgIcon icon) const;

    // --- process-wide values and main-window strings ---------------------
    Measurement ZeroMeas; // the sound-card zero reading
    Measurement WorkMeas; // the latest noise reading
    QString AppDir;       // data folder (template, help, licence), trailing '/'
    QString BaseUrl;      // product web site, ends in '/'
    QString TsvFileName = QStringLiteral("TQXData.tab");
    QString TempWave;     // base path of the two temporary wave files
    QString ObsTime;      // "yyyyMMddHHmmss" of the last reading, or empty
    QString EnrFileName;  // ENR table in use, empty when none
    QString OsVersion;
    bool LimitsEnabled = true;
    int ComEnabled = 0;
    int ComPort = 1;

    // --- models of the subsystems and dialogs ----------------------------
    EnrTable &enrTable() { return *m_enrTable; }
    CalNoiseSource &calNoiseSource() { return *m_calNoiseSource; }
    Nmuc &nmuc() { return *m_nmuc; }
    ComSetup &comSetup() { return *m_comSetup; }
    UpdateCheck &updateCheck() { return *m_updateCheck; }
    Bench &bench() { return *m_bench; }
    BudgetSettings &budgetSettings() { return *m_budgetSettings; }

    // --- lifecycle -------------------------------------------------------
    void Form_Load();   // restore parameters, repair them, derive ENR
    void Form_Unload(); // write parameters back, delete temporary files
    void startUp();     // after Form_Load: reload the remembered ENR table

    // --- events forwarded by the GUI -------------------------------------
    // The user typed into a field / chose a Units entry (no rules run).
    void setFieldText(Field f, const QString &text) { m_sheet.setText(f, text); }
    void setUnitsIndex(int index) { m_sheet.setUnitsIndex(index); }
    // Leaving a validated field (or Enter in it). False: the entry is
    // refused and the focus must stay in the field.
    bool validate(Field f);
    // Leaving the Units list.
    void unitsValidate();
    // A button or menu entry.
    void click(Control c);
    // A double click on a field.
    void doubleClick(Field f);

    // --- the running operation (a reading or a playback) -------------------
    // True while one runs; click() then ignores everything.
    bool busy() const { return m_operation != nullptr; }
    Operation *operation() const { return m_operation.get(); }
    // Takes over a new operation (started by the caller right after); it is
    // deleted once it has ended, and the change handler runs then.
    void begin(std::unique_ptr<Operation> op);
    // Cancels the running operation at once (Cancel, Esc, closing the
    // window); nothing happens when none runs.
    void cancel();
    // Called after an operation has changed the sheet outside any event the
    // GUI forwarded (the GUI mirrors the sheet then).
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    static QString versionText(); // "major.minor.revision"

    // Lives exactly as long as this Meter: the context of callbacks that
    // arrive later through the event loop (opener status), so that none runs
    // after the Meter is gone.
    QObject *lifetime() { return &m_lifetime; }

private:
    Platform m_platform;
    Sheet m_sheet;
    std::unique_ptr<Operation> m_operation;
    std::function<void()> m_changed;
    std::unique_ptr<EnrTable> m_enrTable;
    std::unique_ptr<CalNoiseSource> m_calNoiseSource;
    std::unique_ptr<Nmuc> m_nmuc;
    std::unique_ptr<ComSetup> m_comSetup;
    std::unique_ptr<UpdateCheck> m_updateCheck;
    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<BudgetSettings> m_budgetSettings;
    QObject m_lifetime; // last member: destroyed first, dropping pending callbacks
};
