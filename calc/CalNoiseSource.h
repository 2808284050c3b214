#pragma once
// Noise source calibration against a receiver of known NF or Te.
#include "app/Sheet.h"
class Meter;
class CalNoiseSource
{
public:
    Field target = Field::ENR; // the field that was double-clicked
};
void CalSourceDoubleClick(Meter &m, Field f); // ENR, Thot or Tcold double-clicked
