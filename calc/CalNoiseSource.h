#pragma once
// Noise source calibration against a receiver of known NF or Te.
//
// With the receiver's Y factor measured (Y2dB) and its equivalent noise
// temperature Te known, the two source temperatures seen at the receiver
// input satisfy Th = (Tc + Te)*Y - Te. The temperature being solved for
// (Thot, or Tcold, or Thot with Tcold = 290 K for the ENR) follows from the
// other one; the calibration path's attenuators (each at its physical
// temperature) are applied to the known temperature and removed from the
// result.
//
// This is the state of the dialog frmCalNoiseSource. OK hides the dialog and
// keeps the entry for the next opening; Cancel unloads it, so the next
// opening starts afresh (with the clipboard's number pre-filled).

#include "sheet/Sheet.h"

#include <QString>

class IClipboard;
class IMessages;

class CalNoiseSource
{
public:
    enum class Confirm {
        Hidden,       // fields written; the dialog closes, keeping its state
        RefusedEntry, // CalLevel not a positive number: focus back to it
        Stopped,      // nothing written (message shown, or no target); stays open
    };

    // Before showing the dialog: remember the field to solve for and load
    // the dialog afresh when it is not loaded (with the number on
    // `clipboard`, when there is one; null: none).
    void open(IClipboard *clipboard, Field target);

    bool loaded() const { return m_loaded; }
    Field target() const { return m_target; }

    const QString &calLevel() const { return m_calLevel; }
    // The user changed the entry: a number enables OK for good.
    void setCalLevel(const QString &text);
    bool teq() const { return m_teq; } // optTeq selected (else optNF)
    void chooseNF() { m_teq = false; }
    void chooseTeq() { m_teq = true; }
    bool okEnabled() const { return m_okEnabled; }

    // Caption of LblCalLevel and text of lblUnit for the current choice.
    QString levelCaption() const;
    QString unitText() const;

    // Leaving CalLevel: a number is rewritten "0.00"; a text that is not a
    // positive number is refused with a message through `messages`. False:
    // keep the focus.
    bool leaveCalLevel(IMessages &messages);
    // OKButton: solve for the target field and write it (and what follows
    // from it) into `s`; a result out of range is reported through
    // `messages`.
    Confirm confirm(Sheet &s, IMessages &messages);
    // CancelButton (or the dialog closed otherwise): empty and unload.
    void cancel();

private:
    void load(IClipboard *clipboard);

    bool m_loaded = false;
    Field m_target = Field::ENR;
    QString m_calLevel;
    bool m_teq = false;
    bool m_okEnabled = false;
};
