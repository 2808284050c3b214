#pragma once
// SCPI program messages (IEEE 488.2 and SCPI-99) as TQX's remote server reads
// them: one line holds one or more commands separated by ';', each a header
// (a '*' common command, or mnemonics joined by ':') with an optional '?' and
// comma-separated parameters. Headers compare case-insensitively in their
// short form (the capitals of the long form) or their long form; a pattern
// "[SENSe:]FREQuency:STARt" leaves SENSe: optional, and a '#' after a
// mnemonic takes a number ("TQX:ATTenuator#" matches "TQX:ATT12").
//
// A command without a leading ':' after another in the same line continues
// from its predecessor's path (FREQ:STAR 1;STOP 2 sets FREQ:STOP), as SCPI
// says; when that finds no command the header is tried from the root too,
// which is what most scripts expect of "FREQ:STAR 1;FREQ:STOP 2".
//
// Pure; Qt Core only; any thread.

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace scpi {

// Longest line the server keeps (bytes, terminator excluded).
inline constexpr int kMaxLineBytes = 64 * 1024;

// The standard error codes TQX reports.
enum Error : int {
    NoError = 0,
    CommandError = -100,
    UndefinedHeader = -113,
    DataOutOfRange = -222,
    IllegalParameter = -224,
    ExecutionError = -200,
    QueueOverflow = -350,
    QueryInterrupted = -410,
};
// The standard's wording: "Command error", "Undefined header", ...
QString errorText(int code);

struct Command {
    bool common = false;   // "*IDN?" and its kind
    bool query = false;    // the header ended in '?'
    bool absolute = false; // written with a leading ':'
    QStringList mnemonics; // as written, upper case, without '?' (common: {"*IDN"})
    QStringList prefix;    // the path it continues from (see above)
    QStringList params;    // trimmed; a quoted string keeps its quotes
};

struct ParsedLine {
    QVector<Command> commands;
    int error = NoError; // the first syntax error; the commands before it stand
    QString errorDetail;
};

// Splits one line (terminator removed) into its commands.
ParsedLine parseLine(const QString &line);

// A header pattern, compiled once.
class Pattern
{
public:
    explicit Pattern(const QString &text);
    // Whether `c` names this command (tried at its prefix, then at the root);
    // the numbers after '#' mnemonics go to `suffixes` (-1 where none was written).
    bool matches(const Command &c, QVector<int> *suffixes = nullptr) const;

private:
    struct Node {
        QString shortForm, longForm;
        bool optional = false;
        bool numbered = false;
    };
    bool matchFrom(const QStringList &words, int node, int word, QVector<int> *suffixes) const;
    QVector<Node> m_nodes;
};

// A numeric parameter: a decimal number, optionally followed by a unit
// suffix of `unit` with an SI prefix, or MINimum, MAXimum, DEFault.
enum class Unit { None, Hertz, Decibel, Kelvin, Second };
struct Numeric {
    enum class Kind { Value, Min, Max, Default };
    Kind kind = Kind::Value;
    double value = 0; // in the base unit (Hz, dB, K, s)
};
std::optional<Numeric> parseNumeric(const QString &text, Unit unit);
// A boolean: ON, OFF, 1, 0 (any number: non-zero after rounding is on).
std::optional<bool> parseBoolean(const QString &text);
// A quoted string's contents ('' or "" inside stand for one quote); nullopt
// when it is not quoted.
std::optional<QString> parseString(const QString &text);
// A character parameter: whether `text` names `mnemonic` ("SWEep" matches
// SWE and SWEEP).
bool isMnemonic(const QString &text, const QString &mnemonic);

// NR3 as bench analysers answer: "+1.00000000E+000". Not finite: SCPI's
// not-a-number, "+9.91000000E+037".
QString nr3(double value);
inline constexpr double kNotANumber = 9.91e37;

} // namespace scpi
