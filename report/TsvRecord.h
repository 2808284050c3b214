#pragma once
// The TSV record: each recording appends one tab-separated line with the
// parameters and results of the measurement to the record file
// (Session::TsvFileName, relative to the current directory), preceded by a
// header line when the file is empty. The file is only ever appended to and
// never read. User-interface thread only.
//
// Record file format: UTF-8 text, lines ended by CR LF, fields separated by
// one TAB, nothing quoted. The header line (written only into an empty file)
// has 18 names each followed by a TAB:
//   Program Version ObsTime Title Frequency Tatt1 Tatt2 Source Thot Tcold
//   Y2 Teq2 NF2 Y21 Gain Teq NF Notes
// A data line has 18 fields joined by TAB, the notes percent-encoded so that
// they cannot break the line. A converter's record (Sheet::device) has five
// more fields after the notes, so that every earlier column keeps its place
// in a file of any age:
//   DeviceMode      "Down-converter" or "Up-converter"
//   LO              the LO, MHz ("9750.000")
//   Sideband        "LSB", "USB" or "DSB"
//   ImageRejection  dB, the figure the results used ("20.0"; DSB 0.0)
//   IF              MHz for the Frequency (the RF), "1250.000"; empty when
//                   the frequency plan refuses the RF
// A file started by a converter's record names them in its header too (23
// names, each followed by a TAB); in a file started with 18 names they stand
// unnamed after Notes. An amplifier's record never has them: its header and
// line are those of every earlier version.

#include <QString>

class IMessages;
class IFileDialogs;
struct Session;

// Percent-encodes a text so that it fits one TSV field: ASCII letters and
// digits stay, every other character becomes "%" and two upper-case hex
// digits per byte of its UTF-8 form (blank %20, TAB %09, CR LF %0D%0A,
// "é" %C3%A9).
QString UrlEncode(const QString &text);

// mnuSaveTsv (fromButton false) and btnSaveTsv (true). On success both
// outlets are disabled; on failure a message names the file and mnuSaveTsv
// stays enabled (reported through `messages`). The button disables itself
// whatever the outcome.
void RecordTsv(Session &m, IMessages &messages, bool fromButton);

// mnuTsvFile: asks for the record file for the rest of this run (as -t NAME
// does at start); a cancelled dialog changes nothing.
void ChooseTsvFile(Session &m, IFileDialogs *fileDialogs);
