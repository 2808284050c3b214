#include "calc/Results.h"
#include "app/Meter.h"
void ResultsCalc(Meter &) {}
void ResultsReset(Meter &) {}
void ResetAction(Meter &) {}
void LimitsToggle(Meter &) {}
