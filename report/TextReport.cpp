#include "report/TextReport.h"
#include "app/Meter.h"
QString TextResults(const Meter &) { return QString(); }
void SaveTextFile(Meter &) {}
void CopyTextClip(Meter &) {}
void PrintForm(Meter &) {}
void CopyField(Meter &, Field) {}
