#pragma once
// Numeric text helpers shared by every part of the program. Numbers live as
// text in the user's locale (QLocale() at the moment of the call): decimal
// separator and, on input, grouping separators are the locale's.
// All functions are pure and never throw.

#include "physics/Conversions.h"

#include <QString>
#include <cstdint>

// The conversions the field rules apply to texts they have parsed.
using physics::AttenuatorTemp;
using physics::EnrFromThot;
using physics::ThotFromEnr;

// True when the locale-aware conversion accepts the text as a finite number
// (leading/trailing blanks, sign, grouping, exponent "E"/"e" allowed).
bool IsNumber(const QString &text);
// The value of a numeric text, 0 for anything else.
double ParseNumber(const QString &text);
// Value rounded to as many decimals as the pattern has zeros after the point
// ("0", "0.0", "0.00", ... up to 20), halves away from zero, no grouping, the
// locale's decimal separator. A negative value that rounds to zero is shown
// without sign. Non-finite values yield the empty text.
QString FormatFixed(double value, const QString &pattern);
QString FormatFixed(const QString &numericText, const QString &pattern);
// Whole values as integers (5, -7), others with up to 15 significant digits.
QString NumToText(double value);
// x with n significant digits: fixed notation for moderate magnitudes,
// scientific ("1.23e+5", always with ".") otherwise; "err" for n outside 1..21.
QString FormatSig(double x, int n);
// Largest whole number not greater than the value, clamped to 32 bits.
std::int32_t IntPart(double value);
// Dotted version comparison over at most maxFields fields: -1, 0 or 1.
int VersionCompare(const QString &a, const QString &b, int maxFields);
