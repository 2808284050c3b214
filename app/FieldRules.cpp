#include "app/FieldRules.h"
#include "app/Meter.h"
bool FieldValidate(Meter &, Field) { return true; }
void UnitsValidate(Meter &) {}
