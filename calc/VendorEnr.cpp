#include "calc/VendorEnr.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace {

constexpr int kMaxRecords = 100;
// Two knots suffice: the vendors' own example has two rows, and the natural
// spline through two knots is the straight line between them (in dB).
constexpr int kMinRecords = 2;
constexpr int kMaxLineChars = 99; // header and data lines are under 100 characters
constexpr int kSourceChars = 30;  // Source gets at most this many characters

const QString kTqxCaption = QStringLiteral("TQX ENR File error:");
const QString kAntennaCaption = QStringLiteral("GKR Antenna File error:");

bool isComment(const QString &line)
{
    return line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char('!'));
}

// The fields of a data line, or empty when a separator holds more than one
// comma or a comma leads or trails.
QStringList fields(const QString &line)
{
    QStringList out;
    QString current;
    int commas = 0;
    bool inSeparator = true; // before the first field a comma is an error too
    for (QChar ch : line) {
        if (ch.isSpace() || ch == QLatin1Char(',')) {
            if (!current.isEmpty()) {
                out << current;
                current.clear();
            }
            if (ch == QLatin1Char(',') && (++commas > 1 || out.isEmpty()))
                return {};
            inSeparator = true;
            continue;
        }
        if (inSeparator)
            commas = 0;
        inSeparator = false;
        current += ch;
    }
    if (!current.isEmpty())
        out << current;
    else if (commas > 0)
        return {};
    return out;
}

std::optional<double> number(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d{1,3})?$"));
    if (!re.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok); // QString::toDouble reads the C locale's syntax
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Factor from the frequency unit to MHz; empty for anything else.
std::optional<double> toMhz(const QString &unit)
{
    static const struct {
        const char *name;
        double factor;
    } units[] = {{"hz", 1e-6}, {"khz", 1e-3}, {"mhz", 1.0}, {"ghz", 1e3}, {"thz", 1e6}};
    const QString u = unit.toLower();
    for (const auto &e : units)
        if (u == QLatin1String(e.name))
            return e.factor;
    return std::nullopt;
}

// One data record, or empty when the line is not one.
struct Record {
    double mhz = 0, enr = 0;
    QVector<double> extra; // 0, 1, 5 or 6 values: uncertainty, reflection on/off, its uncertainty
};
std::optional<Record> record(const QString &line)
{
    const QStringList f = fields(line);
    int i = 0;
    auto next = [&]() -> std::optional<double> { return i < f.size() ? number(f[i++]) : std::nullopt; };
    Record r;
    const std::optional<double> freq = next();
    if (!freq || !(*freq > 0))
        return std::nullopt;
    double factor = 1e-6; // Hz
    if (i < f.size() && !number(f[i])) {
        const std::optional<double> unit = toMhz(f[i++]);
        if (!unit)
            return std::nullopt;
        factor = *unit;
    }
    const std::optional<double> enr = next();
    if (!enr)
        return std::nullopt;
    if (i < f.size() && f[i].compare(QLatin1String("dB"), Qt::CaseInsensitive) == 0)
        ++i;
    while (i < f.size()) {
        const std::optional<double> v = next();
        if (!v)
            return std::nullopt;
        r.extra << *v;
    }
    const int n = static_cast<int>(r.extra.size());
    if (n != 0 && n != 1 && n != 5 && n != 6)
        return std::nullopt;
    if (n >= 1 && r.extra[0] < 0)
        return std::nullopt; // an uncertainty is never negative
    if (n >= 5 && !(r.extra[1] >= 0 && r.extra[1] < 1 && r.extra[3] >= 0 && r.extra[3] < 1))
        return std::nullopt; // a passive source reflects less than it receives
    r.mhz = *freq * factor;
    r.enr = *enr;
    if (!std::isfinite(r.mhz) || !(r.mhz > 0))
        return std::nullopt;
    return r;
}

} // namespace

QStringList enrFileLines(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the final line end
    return lines;
}

bool isVendorEnrFile(const QByteArray &bytes)
{
    for (const QString &line : enrFileLines(bytes))
        if (line.startsWith(QLatin1Char('[')) || line.startsWith(QLatin1Char('!')))
            return true;
    return false;
}

EnrFileContents parseVendorEnrFile(const QByteArray &bytes)
{
    EnrFileContents r;
    EnrTable &t = r.table;
    auto refuse = [&r](const QString &caption, int lineNo, const QString &what) {
        r.messages.append({caption, QStringLiteral("Line %1: %2").arg(lineNo).arg(what), MsgIcon::Critical});
        r.failed = true;
    };
    static const QRegularExpression header(
        QStringLiteral("^\\[\\s*([A-Za-z][A-Za-z0-9_]*)(?:\\s+(.*?))?\\s*\\]\\s*$"));
    QList<QVector<double>> extras;
    int lineNo = 0;
    for (const QString &line : enrFileLines(bytes)) {
        ++lineNo;
        if (line.trimmed().isEmpty() || isComment(line))
            continue;
        if (line.size() > kMaxLineChars) {
            refuse(kTqxCaption, lineNo,
                   QStringLiteral("the line is longer than 99 characters, load aborted."));
            return r;
        }
        if (line.startsWith(QLatin1Char('['))) {
            const QRegularExpressionMatch m = header.match(line);
            if (!m.hasMatch()) {
                refuse(kTqxCaption, lineNo, QStringLiteral("not a valid header, load aborted."));
                return r;
            }
            const QString name = m.captured(1).toLower(), value = m.captured(2).trimmed();
            if (name == QLatin1String("filetype") &&
                value.compare(QLatin1String("ENR"), Qt::CaseInsensitive) != 0) {
                refuse(kTqxCaption, lineNo, QStringLiteral("not an ENR file, load aborted."));
                return r;
            }
            if (name == QLatin1String("serialnumber") && !value.isEmpty())
                r.source = value.left(kSourceChars);
            continue;
        }
        const std::optional<Record> rec = record(line);
        if (!rec) {
            refuse(kTqxCaption, lineNo, QStringLiteral("not a valid ENR data record, load aborted."));
            return r;
        }
        if (t.size() >= kMaxRecords) {
            r.messages.append(
                {kAntennaCaption,
                 QStringLiteral("Line %1: Too many records in Antenna File, discarding excess.").arg(lineNo),
                 MsgIcon::None});
            break;
        }
        if (!t.freq.isEmpty() && !(rec->mhz > t.freq.last())) {
            refuse(kAntennaCaption, lineNo, QStringLiteral("Antenna File not sorted, load aborted."));
            return r;
        }
        t.freq << rec->mhz;
        t.enr << rec->enr;
        extras << rec->extra;
    }
    if (t.size() < kMinRecords) {
        r.messages.append({kAntennaCaption,
                           QStringLiteral("Not enough records in Antenna File (min=%1).").arg(kMinRecords),
                           MsgIcon::Critical});
        r.failed = true;
        return r;
    }
    // Keep a column only when every row carries it.
    int common = 6;
    for (const QVector<double> &e : extras)
        common = std::min(common, static_cast<int>(e.size()));
    for (const QVector<double> &e : extras) {
        if (common >= 1)
            t.unc << e[0];
        if (common >= 5) {
            t.onMag << e[1];
            t.onPhase << e[2];
            t.offMag << e[3];
            t.offPhase << e[4];
        }
    }
    return r;
}

std::optional<double> enrColumnAt(const EnrTable &t, const QVector<double> &column, double mhz)
{
    const qsizetype n = t.freq.size();
    if (n == 0 || column.size() != n || !std::isfinite(mhz))
        return std::nullopt;
    if (mhz <= t.freq.first())
        return column.first();
    if (mhz >= t.freq.last())
        return column.last();
    qsizetype k = 1;
    while (t.freq[k] < mhz)
        ++k;
    const double w = (mhz - t.freq[k - 1]) / (t.freq[k] - t.freq[k - 1]);
    return column[k - 1] + w * (column[k] - column[k - 1]);
}
