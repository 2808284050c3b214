#include "acquire/Sequence.h"
#include "app/Meter.h"
void MeasureButton(Meter &, Control) {}
