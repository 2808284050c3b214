#pragma once
// The TSV record: one appended line per set of results.
#include <QString>
class Meter;
QString UrlEncode(const QString &text);
void RecordTsv(Meter &m, bool fromButton); // mnuSaveTsv / btnSaveTsv
