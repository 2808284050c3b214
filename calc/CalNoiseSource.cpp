#include "calc/CalNoiseSource.h"
#include "app/Meter.h"
void CalSourceDoubleClick(Meter &, Field) {}
