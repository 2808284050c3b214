#pragma once
// ENR calibration files in the format the noise source vendors ship
// (Keysight/Agilent ENR files), read into the same EnrTable as TQX's own
// tables, with the extra columns kept for the uncertainty budget.
//
//   lines end in LF or CR LF; blank lines are ignored;
//   '#' or '!' first      comment
//   "[Name Value]"        header: [Filetype ENR], [Version 1.0],
//                         [Serialnumber ABCD1234] (becomes the Source text)
//   data line             Freq [Funit] ENR [Eunit] [Euncert [on_mag on_phase
//                         off_mag off_phase [Runcert]]]
// Fields are separated by white space, with at most one ',' inside or
// instead of it. Funit is Hz (default), kHz, MHz, GHz or THz in any case;
// Eunit is dB; Euncert is in dB; reflection magnitudes are linear (0..1),
// phases in degrees. Numbers: optional sign, digits with at most one '.',
// optional exponent e/E with sign and 1 to 3 digits. Header and data lines
// are under 100 characters; rows run from the lowest to the highest
// frequency (stored in MHz). A column is kept only when every row has it.
//
// Two rows are enough (TQX's own tables need three): between two knots the
// ENR is the straight line in dB. Refusals name the line: a malformed line,
// a file type other than ENR, unsorted rows; beyond 100 rows the rest is
// discarded with a message, as TQX's own tables are. Pure functions, any
// thread.

#include "calc/EnrTable.h"

#include <QByteArray>
#include <QStringList>

// Lines of an ENR file, TQX's own or a vendor's (both parsers split here).
// CR LF, a lone CR and a lone LF each end one line, so line numbers in
// messages match what an editor shows and no CR ever reaches a number or the
// Source text; a UTF-8 byte order mark at the start is dropped.
QStringList enrFileLines(const QByteArray &bytes);

// A vendor file has a header or a '!' comment line; TQX's own tables have
// neither (to them such a line is a bad record).
bool isVendorEnrFile(const QByteArray &bytes);
EnrFileContents parseVendorEnrFile(const QByteArray &bytes);

// A column of the table at frequency mhz: linear between the knots, the end
// value outside them. Empty when the table lacks the column.
std::optional<double> enrColumnAt(const EnrTable &table, const QVector<double> &column, double mhz);
