#include "acquire/NoiseSwitch.h"
#include "app/Meter.h"
QString CommErrorText(int) { return QString(); }
int NoiseSwitchOn(Meter &, bool, bool) { return 0; }
void NoiseSwitchOff(Meter &) {}
