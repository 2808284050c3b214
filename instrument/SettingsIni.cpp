#include "instrument/SettingsIni.h"

#include <algorithm>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The single-character escapes, both ways.
struct Escape {
    char letter;
    char16_t code;
};
constexpr Escape kEscapes[] = {{'a', u'\a'}, {'b', u'\b'}, {'f', u'\f'}, {'n', u'\n'},  {'r', u'\r'},  {'t', u'\t'},
                               {'v', u'\v'}, {'"', u'"'},  {'?', u'?'},  {'\'', u'\''}, {'\\', u'\\'}};

QByteArray trimmedBlanks(const QByteArray &b)
{
    qsizetype from = 0, to = b.size();
    while (from < to && isBlank(b[from]))
        ++from;
    while (to > from && isBlank(b[to - 1]))
        --to;
    return b.mid(from, to - from);
}

IniSection &sectionNamed(IniDocument &doc, const QString &name)
{
    for (IniSection &s : doc)
        if (s.name == name)
            return s;
    doc.append(IniSection{name, {}});
    return doc.last();
}

void setEntry(IniSection &section, const QString &key, const QString &value)
{
    for (IniEntry &e : section.entries)
        if (e.key == key) {
            e.value = value;
            return;
        }
    section.entries.append(IniEntry{key, value});
}

} // namespace

QString IniValueText(const QByteArray &raw)
{
    QString out;
    qsizetype keep = 0; // out[0, keep) holds quoted or escaped text that trailing blanks must not eat
    bool quoted = false;
    qsizetype i = 0;
    const qsizetype n = raw.size();
    while (i < n && isBlank(raw[i]))
        ++i;
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = raw[i++];
            const auto simple = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [e](const Escape &x) { return x.letter == e; });
            if (simple != std::end(kEscapes)) {
                out += QChar(simple->code);
            } else if (e == 'x' || (e >= '0' && e <= '7')) {
                // One UTF-16 code unit from any number of digits; only its
                // low 16 bits count, so a long run cannot overflow.
                const int base = e == 'x' ? 16 : 8;
                unsigned v = e == 'x' ? 0 : unsigned(e - '0');
                bool any = e != 'x';
                for (int d; i < n && (d = hexValue(raw[i])) >= 0 && d < base; ++i) {
                    v = (v * unsigned(base) + unsigned(d)) & 0xFFFFu;
                    any = true;
                }
                if (any)
                    out += QChar(char16_t(v));
            } // any other escaped character is dropped with its backslash
            keep = out.size();
        } else if (c == '"') {
            quoted = !quoted;
            ++i;
            keep = out.size();
        } else if (c == ';' && !quoted) {
            break; // comment to the end of the line
        } else {
            qsizetype j = i;
            while (j < n && raw[j] != '\\' && raw[j] != '"' && (quoted || raw[j] != ';'))
                ++j;
            // Chunks end only at ASCII characters, never inside a UTF-8 sequence.
            out += QString::fromUtf8(raw.constData() + i, j - i);
            i = j;
            if (quoted)
                keep = out.size();
        }
    }
    qsizetype end = out.size();
    while (end > keep && (out[end - 1] == u' ' || out[end - 1] == u'\t'))
        --end;
    out.truncate(end);
    // The two '@' forms that QSettings uses for plain strings: "@@..." for a
    // text starting with '@', "@String(...)" for one holding a NUL. Every
    // other "@Type(...)" stays as it is, text.
    if (out.startsWith(QLatin1String("@@")))
        out.remove(0, 1);
    else if (out.startsWith(QLatin1String("@String(")) && out.endsWith(u')'))
        out = out.mid(8, out.size() - 9);
    return out;
}

IniDocument ParseSettingsIni(const QByteArray &bytes)
{
    IniDocument doc;
    QString section = QStringLiteral("General");
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype eol = pos;
        while (eol < bytes.size() && bytes[eol] != '\n' && bytes[eol] != '\r')
            ++eol;
        const QByteArray line = trimmedBlanks(bytes.mid(pos, eol - pos));
        pos = eol + 1;
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close > 0)
                section = QString::fromUtf8(line.mid(1, close - 1));
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = QString::fromUtf8(trimmedBlanks(line.left(eq)));
        if (!key.isEmpty())
            setEntry(sectionNamed(doc, section), key, IniValueText(line.mid(eq + 1)));
    }
    return doc;
}

QByteArray IniEscapedValue(const QString &value)
{
    const QString s = value.startsWith(u'@') ? QLatin1Char('@') + value : value;
    QByteArray r;
    bool needsQuotes = false;
    bool escapeNextIfHex = false; // after \x.. or \0 a hex digit would join the number
    for (qsizetype k = 0; k < s.size(); ++k) {
        const char16_t ch = s[k].unicode();
        if (ch == u';' || ch == u',' || ch == u'=')
            needsQuotes = true;
        if (escapeNextIfHex && ch < 0x80 && hexValue(char(ch)) >= 0) {
            r += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfHex = false;
        if (ch == u'\0') {
            r += "\\0";
            escapeNextIfHex = true;
            continue;
        }
        const auto simple = std::find_if(std::begin(kEscapes), std::end(kEscapes), [ch](const Escape &x) {
            return x.code == ch && x.letter != '?' && x.letter != '\'';
        });
        if (simple != std::end(kEscapes)) {
            r += '\\';
            r += simple->letter;
        } else if (QChar::isHighSurrogate(ch) && k + 1 < s.size() && s[k + 1].isLowSurrogate()) {
            r += s.mid(k, 2).toUtf8();
            ++k;
        } else if (ch <= 0x1F || QChar::isSurrogate(ch)) {
            // Control characters, and half a surrogate pair (which has no
            // UTF-8 form), as a hexadecimal code unit.
            r += "\\x" + QByteArray::number(ch, 16);
            escapeNextIfHex = true;
        } else {
            r += QString(QChar(ch)).toUtf8();
        }
    }
    if (needsQuotes || r.startsWith(' ') || r.endsWith(' '))
        r = '"' + r + '"';
    return r;
}

QByteArray WriteSettingsIni(const IniDocument &doc)
{
    IniDocument sorted = doc;
    std::sort(sorted.begin(), sorted.end(), [](const IniSection &a, const IniSection &b) { return a.name < b.name; });
    QByteArray out;
    for (IniSection &section : sorted) {
        if (section.entries.isEmpty())
            continue;
        std::sort(section.entries.begin(), section.entries.end(),
                  [](const IniEntry &a, const IniEntry &b) { return a.key < b.key; });
        if (!out.isEmpty())
            out += '\n';
        out += '[' + section.name.toUtf8() + "]\n";
        for (const IniEntry &e : section.entries)
            out += e.key.toUtf8() + '=' + IniEscapedValue(e.value) + '\n';
    }
    return out;
}
