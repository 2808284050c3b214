#pragma once
// The text report and its outlets: a fixed, line-oriented summary of the
// measurement built from the field texts exactly as the main window shows
// them (saved to a file, copied to the clipboard), printing an image of the
// main window, and copying single result fields. User-interface thread only.

#include "sheet/Sheet.h"

#include <QString>

class IClipboard;
class IFileDialogs;
class IMessages;
class IPrinting;
struct Session;

// Caption of every message box of the report outlets.
inline constexpr char kReportCaption[] = "TQX";

// The details of a failed write, for the message box: the folder, the
// system's reason and what the user can do.
QString failureDetails(const QString &folder, const QString &reason, const QString &remedy);
// The system's text for an errno value ("No space left on device").
QString systemReason(int errnum);

// The Notes text with every line break (LF as the notes box yields it, CR,
// or CR LF) written as CR LF, the line end of every text TQX puts out.
QString NotesText(const Sheet &s);

// The report: 34 fixed lines ("label" TAB "value", or a heading alone),
// then the notes verbatim, every line ended by CR LF. For a converter
// (Sheet::device) five lines follow "NF(1) (dB)" before the blank line:
//   Device mode           "Down-converter" or "Up-converter"
//   LO (MHz)              "9750.000"
//   Sideband              "LSB", "USB" or "DSB"
//   Image rejection (dB)  "20.0", the figure the results used (DSB: 0.0)
//   IF (MHz)              "1250.000" for the Frequency (the RF); empty when
//                         the plan refuses that RF
// An amplifier's report has none of them. Side-effect free; may be called
// before any result exists.
QString TextResults(const Session &m);

// mnuSaveText: file-save dialog, then the report plus one more CR LF as
// UTF-8. The file is replaced atomically, so a failed save leaves an
// existing file as it was. Disables mnuSaveText after success (the sheet
// changes); a failure is reported through `messages`. Nothing happens
// without file dialogs.
void SaveTextFile(Session &m, IMessages &messages, IFileDialogs *fileDialogs);

// mnuCopyTextClip: the report, as TextResults returns it, onto the clipboard
// (none: nothing happens).
void CopyTextClip(const Session &m, IClipboard *clipboard);

// mnuPrint: printer dialog, then one image of the main window per copy; a
// failed copy is reported through `messages`. Nothing happens without
// printing.
void PrintForm(IMessages &messages, IPrinting *printing);

// Double click on Gain, Teq, NF, Teq1, Teq2, NF1, NF2, Y2dB, Y12dB or Notes:
// clears the clipboard and places that field's text on it (the notes with
// CR LF line ends). Nothing happens without a clipboard.
void CopyField(const Sheet &s, IClipboard *clipboard, Field f);
