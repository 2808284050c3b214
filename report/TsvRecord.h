#pragma once
// The TSV record: each recording appends one tab-separated line with the
// parameters and results of the measurement to the record file
// (Session::TsvFileName, relative to the current directory), preceded by a
// header line when the file is empty. The file is only ever appended to and
// never read. User-interface thread only.

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
