#pragma once
// Y-factor results: the nine result fields computed from the sheet.
class Meter;
void ResultsCalc(Meter &m);  // recompute everything (starts with ResultsReset)
void ResultsReset(Meter &m); // clear results, colours, report outlets
void ResetAction(Meter &m);  // btnReset / double click on Noise00
void LimitsToggle(Meter &m); // mnuOptionsLimits
