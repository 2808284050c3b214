#pragma once
// Command line of the program: splitting the command-line text into at most
// a few arguments, and a getopt-style option parser over "dht:".

#include <QString>
#include <QStringList>

// Splits a command-line text (the part after the program name) into at most
// maxArgs arguments. Element 0 of the result holds the count n as text,
// elements 1..n the arguments.
QStringList SplitCommandLine(const QString &commandLine, int maxArgs = 10);

// Joins argv-style arguments into one command-line text that
// SplitCommandLine splits back: arguments containing blanks or tabs, and
// empty ones, are put in double quotes.
QString JoinCommandLine(const QStringList &args);

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
