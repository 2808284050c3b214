#pragma once
// The settings file: an INI text in the dialect that QSettings writes, read
// and written here as plain text. TQX stores only strings, so no stored value
// is ever turned into anything else: a value that QSettings would decode as a
// serialised object ("@Variant(...)", "@ByteArray(...)") is just its text.
// Pure functions over bytes, Qt Core only.
//
// Format (UTF-8, LF line ends; a leading byte-order mark is skipped):
//   [section]            a section; keys before the first one belong to
//                        "General"
//   key=value            surrounding blanks are not part of key or value
//   ; comment            from ';' outside quotes to the end of the line
// A value may be quoted in parts ("a, b"); quotes keep blanks and ';'.
// Escapes: \a \b \f \n \r \t \v \" \' \? \\, \x + hex digits and \ + octal
// digits for one UTF-16 code unit. A value starting with '@' is stored with
// one more '@' in front; "@String(text)" (QSettings' form for a text with a
// NUL in it) reads as the text. Commas are ordinary characters.

#include <QByteArray>
#include <QList>
#include <QString>

struct IniEntry {
    QString key;
    QString value;
};
struct IniSection {
    QString name;
    QList<IniEntry> entries; // each key once, in file order
};
// Sections in file order, each name once (repeated sections are merged,
// a repeated key keeps its last value).
using IniDocument = QList<IniSection>;

IniDocument ParseSettingsIni(const QByteArray &bytes);
// One stored value (the text after '=') as plain text.
QString IniValueText(const QByteArray &raw);
// The file for a document: sections and keys sorted by name, a blank line
// between sections, values escaped and quoted as QSettings writes them.
QByteArray WriteSettingsIni(const IniDocument &doc);
// One value as written after "key=".
QByteArray IniEscapedValue(const QString &value);
