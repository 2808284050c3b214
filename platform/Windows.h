#pragma once
// Windows that the core asks the GUI to show: the working indicator and the
// modal dialogs. Each dialog is a view of a core model owned by Instrument.

enum class DialogId { CalNoiseSource, Nmuc, ComSetup, Update, About, VirtualBench,
    AudioInput, // modeless: device choice and the input monitor
    EnrView, Budget,
    Sweep,      // modeless and kept: the frequency sweep
    RigControl,
};

class IWindows
{
public:
    virtual ~IWindows() = default;
    // frmWorking: shown while a reading or playback runs; the main window
    // takes no input meanwhile. Its Cancel (and Esc) calls Instrument::cancel.
    // Returns at once.
    virtual void showWorking(bool visible) = 0;
    // Progress of the running operation, 0..1 (optional to honour).
    virtual void setWorkingProgress(double fraction) = 0;
    // Shows a dialog modally; returns when it is closed.
    virtual void showDialog(DialogId id) = 0;
};
