#pragma once
// The noise source's physical temperature when off, and hot and cold loads.
//
// A diode noise source's ENR states its excess noise against the 290 K
// reference: switched on it presents Thot = 290 K * 10^(ENR/10) + Toff,
// switched off its own thermal noise Tcold = Toff, where Toff is the
// source's physical temperature (the room's, usually). A loaded ENR table
// applies the session's SourceOffK that way, in spot measurements, sweeps
// and the uncertainty budget; 290 K leaves everything as it always was.
//
// Hot and cold loads (two terminations, one heated or in liquid nitrogen)
// have no ENR: Thot and Tcold are typed, the ENR table stays remembered but
// unused, ENR is empty and locked, and every reading is taken by hand.
// Instrument thread only.

#include <optional>

class Instrument;
class Sheet;
struct Session;

// The temperature as stored and shown: rounded to 0.01 K, the resolution of
// the Tcold field a table fills in; nothing outside
// Session::kSourceOffMinK..kSourceOffMaxK (or not finite).
std::optional<double> sourceOffValue(double kelvin);
// Sets Session::SourceOffK; a loaded table is read again at the current
// frequency and the results recalculated. Refused with a message (false)
// out of range or while an operation runs.
bool setSourceOffK(Instrument &m, double kelvin);

// The sheet's states for hot and cold loads on or off: ENR emptied (on) or
// derived from Thot again (off), locked while on, the ENR table import
// unavailable while on. Form_Load applies the remembered choice with it.
void hotColdFields(Session &s, bool on);
// Switches hot and cold loads on or off: on sets a loaded table aside (its
// name stays, the three fields become editable, ENR empty and locked); off
// loads the remembered table again. Refused with a message (false) while an
// operation runs.
bool setHotColdLoads(Instrument &m, bool on);
