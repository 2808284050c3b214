#pragma once
// The uncertainty budget of the measurement on the sheet: builds the inputs
// of physics/Budget from the field texts, the loaded ENR table and the
// values the user typed in the budget window, and words its outcome.
// User-interface thread (it reads the Instrument).

#include "physics/Budget.h"
#include "physics/YFactor.h"
#include "sheet/Sheet.h"

#include <QString>

class Instrument;

// What the user types in the budget window; the defaults are stated there.
// Uncertainties are expanded ones (95 %, k = 2), as certificates and data
// sheets give them; the budget halves them into standard uncertainties.
struct BudgetSettings {
    double enrU95Db = 0.2;  // ENR, when the table has no uncertainty column (dB)
    double tcoldU95K = 2.0; // Tcold (K)
    double attU95Db = 0.05; // each attenuator's loss (dB)
    double tattU95K = 5.0;  // each attenuator's physical temperature (K)
    double bandwidthHz = 0; // detector bandwidth; 0: see bandwidthSource
    // Reflection magnitudes (0..1); the source's come from the table at the
    // current frequency when it has them and useFileReflection is set.
    double gSourceOn = 0, gSourceOff = 0, gDutIn = 0, gDutOut = 0, gReceiver = 0;
    bool useFileEnrU = true;
    bool useFileReflection = true;
};

// The inputs as the budget sees them, and where the defaults came from.
struct BudgetInputs {
    physics::BudgetInput input;
    double enrU95Db = 0;        // the ENR uncertainty used (expanded, dB)
    bool enrUFromFile = false;  // ... taken from the table
    double enrInterpHalfDb = 0; // half width of the interpolation's rectangle at the frequency (dB)
    bool reflectionFromFile = false;
    double bandwidthHz = 0;  // used for the readings' scatter
    QString bandwidthSource; // "typed", "the virtual bench's", "the uncertainty calculator's"
    double intervalS = 0;
    int averages = 1; // readings averaged per level (Session::Averages): T = intervalS * averages
    bool calibration = false; // Noise11 and Noise12 hold numbers
};

BudgetInputs budgetInputs(Instrument &m);
// The set-up part of the budget's inputs (source temperatures, losses and
// their temperatures) from the model's own inputs.
void setBudgetSetup(physics::BudgetInput &in, const physics::CascadeInput &c);
// The budget of the sheet (draws = 0: without Monte Carlo).
physics::BudgetResult sheetBudget(Instrument &m, int draws = physics::kBudgetDraws);

// Why there are no numbers, in a sentence; empty for Ok.
QString budgetStatusText(physics::BudgetStatus s);
// The input's name in the table, and the unit of its uncertainty.
QString budgetTermName(physics::BudgetTerm t);
QString budgetTermUnit(physics::BudgetTerm t);
// Tooltip of the NF(1) field (Field::NF, the device) or NF(2) field
// (Field::NF1, the instrument): the expanded uncertainty and the largest
// contribution; empty when the field is empty.
QString nfToolTip(Instrument &m, Field f);
