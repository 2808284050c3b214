#pragma once
// Editing rules of the main window's validated fields.
#include "app/Sheet.h"
class Meter;
bool FieldValidate(Meter &m, Field f); // false: refused, keep the focus
void UnitsValidate(Meter &m);
