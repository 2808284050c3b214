#pragma once
// The five measurement buttons.
#include "app/Sheet.h"
class Meter;
void MeasureButton(Meter &m, Control button); // btnNoise00 .. btnNoise22
