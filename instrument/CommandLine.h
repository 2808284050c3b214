#pragma once
// Command line of the program: the first few arguments, and a getopt-style
// option parser over "dht:".

#include <QString>
#include <QStringList>

// The process's arguments as the option parser sees them: argv[1] to
// argv[argc - 1], each exactly as the system passed it (the shell has done
// any quoting), at most maxArgs of them. Element 0 of the result holds the
// count n as text, elements 1..n the arguments. Bytes are read as UTF-8.
QStringList SplitCommandLine(int argc, const char *const *argv, int maxArgs = 10);

struct OptionParser {
    int OptInd = 1;
    int OptPos = 2;
    bool OptErr = true;
    QString OptArg;
    QString errorText; // "Error: ..." of the last refused option, empty when none
};

// The next option letter, "?" after an error, or "-1" when no options remain.
QString NextOption(OptionParser &p, const QStringList &args, const QString &optionString);

// What start-up does with a command line.
struct StartupDecision {
    enum Kind { Run, ShowUsage, Error } kind = Run;
    QString errorText;   // for Error: the box text ("Error: ...")
    QString tsvFileName; // the value of the last -t, empty when none
};
StartupDecision decideStartup(const QStringList &cmdArgs);

// The usage box: caption "TQX - Help", four lines each ended by CR.
QString usageText();
