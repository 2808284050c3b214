#include "instrument/SettingsIni.h"

#include <QHash>
#include <QStringDecoder>

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

QByteArrayView trimmedBlanks(QByteArrayView b)
{
    qsizetype from = 0, to = b.size();
    while (from < to && isBlank(b[from]))
        ++from;
    while (to > from && isBlank(b[to - 1]))
        --to;
    return b.sliced(from, to - from);
}

// UTF-8 to text. Unlike QString::fromUtf8, a byte-order mark at the start
// is a character like any other: only the file's own first one is skipped.
QString utf8Text(QByteArrayView b)
{
    if (!b.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(b);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(b);
}

// The document being read, with an index of its sections and of each
// section's keys, so that every line costs the same however long the file.
class DocumentBuilder
{
public:
    void set(const QString &section, const QString &key, const QString &value)
    {
        auto sectionAt = m_sections.constFind(section);
        if (sectionAt == m_sections.cend()) {
            sectionAt = m_sections.insert(section, m_doc.size());
            m_doc.append(IniSection{section, {}});
            m_keys.append(QHash<QString, qsizetype>());
        }
        IniSection &s = m_doc[*sectionAt];
        QHash<QString, qsizetype> &keys = m_keys[*sectionAt];
        const auto keyAt = keys.constFind(key);
        if (keyAt != keys.cend()) {
            s.entries[*keyAt].value = value;
            return;
        }
        keys.insert(key, s.entries.size());
        s.entries.append(IniEntry{key, value});
    }
    IniDocument take() { return std::move(m_doc); }

private:
    IniDocument m_doc;
    QHash<QString, qsizetype> m_sections;    // name -> index in m_doc
    QList<QHash<QString, qsizetype>> m_keys; // per section: key -> index in its entries
};

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
            out += utf8Text(QByteArrayView(raw.constData() + i, j - i));
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
    DocumentBuilder doc;
    QString section = QStringLiteral("General");
    // A byte-order mark, as some editors write it, is not part of the first line.
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < bytes.size()) {
        qsizetype eol = pos;
        while (eol < bytes.size() && bytes[eol] != '\n' && bytes[eol] != '\r')
            ++eol;
        const QByteArrayView line = trimmedBlanks(QByteArrayView(bytes).sliced(pos, eol - pos));
        pos = eol + 1;
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close > 0)
                section = utf8Text(line.sliced(1, close - 1));
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = utf8Text(trimmedBlanks(line.first(eq)));
        if (!key.isEmpty())
            doc.set(section, key,
                    IniValueText(QByteArray::fromRawData(line.data() + eq + 1, line.size() - eq - 1)));
    }
    return doc.take();
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
