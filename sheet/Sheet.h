#pragma once
// The measurement sheet: every parameter, level and result of a noise-figure
// measurement lives here as the text of a named field, exactly as the main
// window shows it. The GUI mirrors this state; all rules read and write it.
// Owned by the session; used on the user-interface thread only.

#include "sheet/DeviceSetup.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

enum class Field : int {
    Title, Interval, Frequency, Tatt1, Tatt2, Source, ENR, Thot, Tcold,
    Noise00, Att11, Att12, Noise11, Noise12, Y2dB, Teq1, NF1,
    Att21, Att22, Noise21, Noise22, Y12dB, Teq2, NF2, Gain, Teq, NF, Notes,
    Count
};

// Buttons and menu entries whose enabled, checked or visible state is part
// of the sheet (object names of the widgets are the enumerator names).
enum class Control : int {
    mnuEnrImp, mnuEnrUnl, mnuSaveText, mnuSaveTsv, mnuSaveWave, mnuPrint, mnuExit,
    mnuCopyTextClip,
    mnuSCCR, mnuSCCP, mnuMMSYS, mnuPlayWave, mnuVirtualBench,
    mnuOptionsVerbose, mnuOptionsLimits, mnuNmuc, mnuComSetup,
    mnuHelpHelp, mnuHome, mnuFaq, mnuSupport, mnuUpdate, mnuAbout,
    btnNoise00, btnNoise11, btnNoise12, btnNoise21, btnNoise22, btnReset, btnSaveTsv,
    mnuAudioInput, mnuInputMonitor,
    mnuEnrView, mnuBudget,
    mnuSweep,
    mnuRigControl,
    mnuOptionsBench, // readings from the virtual bench (checked) or the sound card
    mnuTsvFile,      // choose the TSV record file for this run
    mnuCalEnrImp, mnuCalEnrUnl, // the calibration path's own ENR table
    Count
};

// Text colours as 0x00BBGGRR values; WindowText is the system colour.
namespace Colour {
inline constexpr std::uint32_t WindowText = 0x80000008u;
inline constexpr std::uint32_t DarkRed = 0x0000C0u;  // RGB(192, 0, 0)
inline constexpr std::uint32_t DarkBlue = 0xC00000u; // RGB(0, 0, 192)
} // namespace Colour

// The entries of the Units list, by index.
inline const char *const kUnitNames[3] = {"dB", "Watt", "Volt"};

const char *fieldName(Field f);
std::optional<Field> fieldByName(const QString &name);
const char *controlName(Control c);
std::optional<Control> controlByName(const QString &name);

struct FieldState {
    QString text;
    std::uint32_t colour = Colour::WindowText;
    bool locked = false; // not editable (ENR table loaded, or a result field)
};

struct ControlState {
    bool enabled = true;
    bool checked = false;
    bool visible = true;
};

class Sheet
{
public:
    Sheet();

    const QString &text(Field f) const { return m_fields[idx(f)].text; }
    void setText(Field f, const QString &t) { m_fields[idx(f)].text = t; }
    std::uint32_t colour(Field f) const { return m_fields[idx(f)].colour; }
    void setColour(Field f, std::uint32_t c) { m_fields[idx(f)].colour = c; }
    bool locked(Field f) const { return m_fields[idx(f)].locked; }
    void setLocked(Field f, bool l) { m_fields[idx(f)].locked = l; }

    bool enabled(Control c) const { return m_controls[idx(c)].enabled; }
    void setEnabled(Control c, bool e) { m_controls[idx(c)].enabled = e; }
    bool checked(Control c) const { return m_controls[idx(c)].checked; }
    void setChecked(Control c, bool v) { m_controls[idx(c)].checked = v; }
    bool visible(Control c) const { return m_controls[idx(c)].visible; }
    void setVisible(Control c, bool v) { m_controls[idx(c)].visible = v; }

    // The Units list: index 0..2 and the text of the selected entry.
    int unitsIndex() const { return m_unitsIndex; }
    void setUnitsIndex(int i) { m_unitsIndex = i; }
    QString unitsText() const;

    // Hidden companion values ("tags") of Interval and Units: the remembered
    // interval (as number text) and the remembered units index (as text).
    QString intervalTag;
    QString unitsTag;

    // The device measured: an amplifier, or a converter whose RF is the
    // Frequency field (sheet/DeviceSetup.h). The results read it.
    DeviceSetup device;

    // The noise source as the calibration path sees it when an ENR table
    // gives it: the receiver alone is calibrated at the IF of a converter
    // (at the Frequency of an amplifier), where the source's ENR is not the
    // one at the device input. Set by the field rules from the calibration
    // ENR table in use; the results read it. Typed: no table gives it, the
    // calibration path uses Thot and Tcold as the device path does.
    struct CalibrationEnr {
        enum class State { Typed, Table, Outside };
        State state = State::Typed;
        double mhz = 0;     // where the table is read, MHz
        double enrDb = 0;   // the ENR there as shown (two decimals), dB (Table)
        double tHot = 0;    // K, from that ENR as the Thot field would show it (Table)
        double tCold = 0;   // K, the source's physical temperature when off (Table)
        double lowMhz = 0;  // the table's first and last knot, MHz (Outside:
        double highMhz = 0; // no ENR is extrapolated beyond them)
    };
    CalibrationEnr calibrationEnr;

    QString windowCaption;

private:
    template <typename E> static int idx(E e) { return static_cast<int>(e); }
    std::array<FieldState, static_cast<int>(Field::Count)> m_fields;
    std::array<ControlState, static_cast<int>(Control::Count)> m_controls;
    int m_unitsIndex = 0;
};
