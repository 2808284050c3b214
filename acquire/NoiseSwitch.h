#pragma once
// Noise source and path switching through DTR and RTS of a serial port.
#include <QString>
class Meter;
QString CommErrorText(int number);
int NoiseSwitchOn(Meter &m, bool sourceOn, bool combined); // 0 ok, else error number
void NoiseSwitchOff(Meter &m);
class ComSetup
{
public:
};
