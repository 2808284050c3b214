#pragma once
// Editing rules of the main window's validated fields: range checks with
// their messages, display formats, and the follow-ups of an accepted entry
// (ENR/Thot coupling, ENR table look-up on a new frequency, discarding the
// readings on an interval or units change, the level-pair order rule).
// User-interface thread only.

#include "sheet/Sheet.h"

class Instrument;

// Notes hold at most this many characters (UTF-16 code units), typed or
// stored: the settings file then stays far below the size its store reads.
constexpr qsizetype kMaxNotesChars = 65536;

// Validate the field the user leaves (or presses Enter in). Returns false
// when the entry is refused, after the "Value error:" message; the focus
// must then stay in the field. Fields without rules return true unchanged,
// and so do fields locked by a loaded ENR table (they cannot be typed into).
bool FieldValidate(Instrument &m, Field f);
// A loaded ENR table read again at the current Frequency (after a new
// frequency or a new interpolation): ENR, Tcold and Thot; a value outside
// (0, 200) dB unloads the table with a message. Nothing without a table.
// Then calibrationEnrLookUp.
void enrTableLookUp(Instrument &m);
// The calibration path's source (Sheet::calibrationEnr) from the
// calibration table in use at the calibration frequency (a converter's IF):
// after a new frequency, device, table, interpolation or source
// temperature. Typed with hot and cold loads or without a table.
void calibrationEnrLookUp(Instrument &m);
// Leaving the Units list: a new selection discards the zero and all levels.
void UnitsValidate(Instrument &m);
