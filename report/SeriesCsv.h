#pragma once
// A measurement series (acquire/SeriesRun.h) as a CSV file, for a
// spreadsheet or a script: one header row, then one row per run, comma
// separated, '.' as the decimal mark whatever the user's locale, LF line
// ends, UTF-8:
//
//   Run,Time (UTC),Elapsed (s),NF(1) (dB),NF(2) (dB),Gain (dB),Teq(1) (K),
//   Teq(2) (K),Cold level (2) (dB),Cold level (12) (dB),Status
//
// Run counts from 1. Time is ISO 8601 in UTC with milliseconds
// ("2026-12-07T12:40:55.123Z"), the middle of the run's readings; Elapsed
// is the seconds since the first run's time. NF(1), Gain and Teq(1) are the
// device under test's, NF(2) and Teq(2) the instrument's alone. The cold
// levels are the source-off readings "1 Noise LO" (instrument alone) and
// "3 Noise LO" (device and instrument), dB above the zero relative to full
// scale. A value the run did not give is an empty field. Status is "ok", or
// "failed: " and the reason, quoted when it holds a comma or a quote.
// Pure text; Qt Core only, any thread.

#include "acquire/SeriesRun.h"

#include <QByteArray>
#include <QList>

QByteArray seriesCsv(const QList<SeriesRun> &runs);
