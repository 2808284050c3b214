#pragma once
// The text report and its outlets.
#include "app/Sheet.h"
#include <QString>
class Meter;
QString TextResults(const Meter &m);
void SaveTextFile(Meter &m);        // mnuSaveText
void CopyTextClip(Meter &m);        // mnuCopyTextClip
void PrintForm(Meter &m);           // mnuPrint
void CopyField(Meter &m, Field f);  // double click on a result field or Notes
