#include "remote/ScpiParser.h"

#include <QRegularExpression>

#include <cmath>

namespace scpi {

QString errorText(int code)
{
    switch (code) {
    case NoError:
        return QStringLiteral("No error");
    case CommandError:
        return QStringLiteral("Command error");
    case UndefinedHeader:
        return QStringLiteral("Undefined header");
    case DataOutOfRange:
        return QStringLiteral("Data out of range");
    case IllegalParameter:
        return QStringLiteral("Illegal parameter value");
    case ExecutionError:
        return QStringLiteral("Execution error");
    case QueueOverflow:
        return QStringLiteral("Queue overflow");
    case QueryInterrupted:
        return QStringLiteral("Query INTERRUPTED");
    }
    return QStringLiteral("Error");
}

namespace {

// Splits at `sep` outside quotes ('...' or "..."; a doubled quote stays inside).
QStringList splitOutsideQuotes(const QString &text, QChar sep, bool *unterminated)
{
    QStringList parts;
    QString current;
    QChar quote;
    for (const QChar ch : text) {
        if (!quote.isNull()) {
            if (ch == quote)
                quote = QChar();
        } else if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
            quote = ch;
        } else if (ch == sep) {
            parts.append(current);
            current.clear();
            continue;
        }
        current.append(ch);
    }
    parts.append(current);
    *unterminated = !quote.isNull();
    return parts;
}

bool validMnemonic(const QString &m)
{
    if (m.isEmpty() || m.size() > 32 || !m.at(0).isLetter())
        return false;
    for (const QChar ch : m)
        if (!(ch.isLetterOrNumber() && ch.unicode() < 128) && ch != QLatin1Char('_'))
            return false;
    return true;
}

} // namespace

ParsedLine parseLine(const QString &line)
{
    ParsedLine out;
    bool unterminated = false;
    const QStringList parts = splitOutsideQuotes(line, QLatin1Char(';'), &unterminated);
    if (unterminated) {
        out.error = CommandError;
        out.errorDetail = QStringLiteral("unterminated string");
        return out;
    }
    QStringList path; // the previous command's mnemonics but its last
    for (const QString &raw : parts) {
        const QString part = raw.trimmed();
        if (part.isEmpty())
            continue; // ";;" and a trailing ';' are harmless
        Command c;
        const qsizetype space = part.indexOf(QRegularExpression(QStringLiteral("\\s")));
        QString header = space < 0 ? part : part.left(space);
        const QString rest = space < 0 ? QString() : part.mid(space).trimmed();
        if (header.endsWith(QLatin1Char('?'))) {
            c.query = true;
            header.chop(1);
        }
        if (header.startsWith(QLatin1Char('*'))) {
            c.common = true;
            if (!validMnemonic(header.mid(1))) {
                out.error = CommandError;
                out.errorDetail = QStringLiteral("bad header");
                return out;
            }
            c.mnemonics = {header.toUpper()};
        } else {
            c.absolute = header.startsWith(QLatin1Char(':'));
            if (c.absolute)
                header.remove(0, 1);
            const QStringList words = header.split(QLatin1Char(':'));
            for (const QString &w : words) {
                if (!validMnemonic(w)) {
                    out.error = CommandError;
                    out.errorDetail = QStringLiteral("bad header");
                    return out;
                }
                c.mnemonics.append(w.toUpper());
            }
            if (!c.absolute)
                c.prefix = path;
            path = c.prefix + c.mnemonics;
            path.removeLast();
        }
        if (!rest.isEmpty()) {
            for (const QString &p : splitOutsideQuotes(rest, QLatin1Char(','), &unterminated)) {
                const QString t = p.trimmed();
                if (t.isEmpty()) {
                    out.error = CommandError;
                    out.errorDetail = QStringLiteral("empty parameter");
                    return out;
                }
                c.params.append(t);
            }
        }
        out.commands.append(c);
    }
    return out;
}

Pattern::Pattern(const QString &text)
{
    // "ERRor[:NEXT]" is written with the colon inside the brackets.
    for (QString word : QString(text)
                            .replace(QStringLiteral("[:"), QStringLiteral(":["))
                            .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        Node n;
        if (word.startsWith(QLatin1Char('['))) {
            n.optional = true;
            word.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
        }
        if (word.endsWith(QLatin1Char('#'))) {
            n.numbered = true;
            word.chop(1);
        }
        for (const QChar ch : word)
            if (ch.isUpper() || ch.isDigit() || ch == QLatin1Char('*'))
                n.shortForm.append(ch);
        n.longForm = word.toUpper();
        m_nodes.append(n);
    }
}

bool Pattern::matches(const Command &c, QVector<int> *suffixes) const
{
    if (!c.prefix.isEmpty() && matchFrom(c.prefix + c.mnemonics, 0, 0, suffixes))
        return true;
    return matchFrom(c.mnemonics, 0, 0, suffixes);
}

bool Pattern::matchFrom(const QStringList &words, int node, int word, QVector<int> *suffixes) const
{
    if (node == m_nodes.size())
        return word == words.size();
    const Node &n = m_nodes[node];
    if (n.optional && matchFrom(words, node + 1, word, suffixes))
        return true;
    if (word == words.size())
        return false;
    QString w = words[word];
    int number = -1;
    if (n.numbered) {
        qsizetype digits = w.size();
        while (digits > 0 && w.at(digits - 1).isDigit())
            --digits;
        if (digits < w.size()) {
            bool ok = false;
            number = w.mid(digits).left(6).toInt(&ok);
            w.truncate(digits);
        }
    }
    if (w != n.shortForm && w != n.longForm)
        return false;
    const qsizetype mark = suffixes ? suffixes->size() : 0;
    if (suffixes && n.numbered)
        suffixes->append(number);
    if (matchFrom(words, node + 1, word + 1, suffixes))
        return true;
    if (suffixes)
        suffixes->resize(mark);
    return false;
}

std::optional<Numeric> parseNumeric(const QString &text, Unit unit)
{
    const QString t = text.trimmed().toUpper();
    if (isMnemonic(t, QStringLiteral("MINimum")))
        return Numeric{Numeric::Kind::Min, 0};
    if (isMnemonic(t, QStringLiteral("MAXimum")))
        return Numeric{Numeric::Kind::Max, 0};
    if (isMnemonic(t, QStringLiteral("DEFault")))
        return Numeric{Numeric::Kind::Default, 0};
    static const QRegularExpression number(
        QStringLiteral("^([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:E[+-]?\\d{1,3})?)\\s*([A-Z]*)$"));
    const QRegularExpressionMatch m = number.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    double v = m.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    const QString suffix = m.captured(2);
    if (!suffix.isEmpty()) {
        // SI prefixes as SCPI spells them: MA is mega, M milli, except in MHZ.
        struct Prefixed {
            const char *text;
            double factor;
        };
        static const Prefixed hertz[] = {{"HZ", 1}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"MAHZ", 1e6}, {"GHZ", 1e9}};
        static const Prefixed decibel[] = {{"DB", 1}};
        static const Prefixed kelvin[] = {{"K", 1}};
        static const Prefixed second[] = {{"S", 1}, {"MS", 1e-3}, {"US", 1e-6}};
        const Prefixed *table = nullptr;
        int n = 0;
        switch (unit) {
        case Unit::None:
            return std::nullopt;
        case Unit::Hertz:
            table = hertz, n = 5;
            break;
        case Unit::Decibel:
            table = decibel, n = 1;
            break;
        case Unit::Kelvin:
            table = kelvin, n = 1;
            break;
        case Unit::Second:
            table = second, n = 3;
            break;
        }
        bool found = false;
        for (int i = 0; i < n && !found; ++i)
            if (suffix == QLatin1String(table[i].text)) {
                v *= table[i].factor;
                found = true;
            }
        if (!found)
            return std::nullopt;
    }
    return Numeric{Numeric::Kind::Value, v};
}

std::optional<bool> parseBoolean(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("ON"))
        return true;
    if (t == QLatin1String("OFF"))
        return false;
    const std::optional<Numeric> n = parseNumeric(t, Unit::None);
    if (!n || n->kind != Numeric::Kind::Value)
        return std::nullopt;
    return std::lround(n->value) != 0;
}

std::optional<QString> parseString(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() < 2)
        return std::nullopt;
    const QChar q = t.front();
    if ((q != QLatin1Char('"') && q != QLatin1Char('\'')) || t.back() != q)
        return std::nullopt;
    QString inner = t.mid(1, t.size() - 2);
    inner.replace(QString(2, q), QString(q));
    return inner;
}

bool isMnemonic(const QString &text, const QString &mnemonic)
{
    const QString t = text.trimmed().toUpper();
    QString shortForm;
    for (const QChar ch : mnemonic)
        if (ch.isUpper() || ch.isDigit())
            shortForm.append(ch);
    return t == shortForm || t == mnemonic.toUpper();
}

QString nr3(double value)
{
    if (!std::isfinite(value))
        value = kNotANumber;
    int exponent = 0;
    double mantissa = 0;
    if (value != 0) {
        exponent = int(std::floor(std::log10(std::fabs(value))));
        mantissa = value / std::pow(10.0, exponent);
        // 9.999999999 rounds up to 10.00000000: carry into the exponent.
        if (std::fabs(mantissa) >= 9.999999995) {
            mantissa /= 10;
            ++exponent;
        }
    }
    return QStringLiteral("%1%2E%3%4")
        .arg(mantissa < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(std::fabs(mantissa), 0, 'f', 8)
        .arg(exponent < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(std::abs(exponent), 3, 10, QLatin1Char('0'));
}

} // namespace scpi
