#include "calc/EnrTable.h"

#include "calc/Results.h"
#include "calc/VendorEnr.h"
#include "physics/Spline.h"
#include "platform/Dialogs.h"
#include "sheet/NumText.h"
#include "sheet/Session.h"

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace {

constexpr double kT0 = 290.0; // reference (cold) temperature, K
constexpr int kMaxRecords = 100;
constexpr int kMinRecords = 3;
constexpr int kSourceChars = 30; // Source gets at most this many characters

const QString kTqxCaption = QStringLiteral("TQX ENR File error:");
const QString kAntennaCaption = QStringLiteral("GKR Antenna File error:");

// The whole file, read with a bound: notFound when it cannot be opened,
// tooLarge when it holds more than kEnrFileMaxBytes (also caught for endless
// devices, which report a size of 0).
struct FileBytes {
    QByteArray data;
    bool notFound = false;
    bool tooLarge = false;
};

FileBytes readBounded(const QString &path)
{
    FileBytes r;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        r.notFound = true;
        return r;
    }
    if (file.size() > kEnrFileMaxBytes) {
        r.tooLarge = true;
        return r;
    }
    r.data = file.read(kEnrFileMaxBytes + 1);
    if (r.data.size() > kEnrFileMaxBytes) {
        r.tooLarge = true;
        r.data.clear();
    }
    file.close();
    return r;
}

// Lines of the file. CR LF, a lone CR and a lone LF each end one line, so
// line numbers in messages match what an editor shows and no CR ever reaches
// a number or the Source text. A UTF-8 byte order mark at the start is
// dropped.
QStringList splitLines(const QByteArray &bytes)
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

void setEnrFieldsLocked(Sheet &s, bool locked)
{
    for (Field f : {Field::ENR, Field::Thot, Field::Tcold}) {
        s.setLocked(f, locked);
        s.setColour(f, locked ? Colour::DarkBlue : Colour::WindowText);
    }
}

} // namespace

namespace {
std::span<const double> values(const QVector<double> &v)
{
    return {v.constData(), static_cast<std::size_t>(v.size())};
}
} // namespace

void fitSpline(EnrTable &t)
{
    const std::vector<double> y2 = physics::naturalSplineSecondDerivatives(values(t.freq), values(t.enr));
    t.y2 = QVector<double>(y2.begin(), y2.end());
}

double csinterpolate(const EnrTable &t, double abscissa)
{
    return physics::splineAt(values(t.freq), values(t.enr), values(t.y2), abscissa);
}

std::optional<double> EnrFileNumber(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    // Only the C locale's own syntax remains: one '.', no grouping.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

EnrFileContents ParseEnrFile(const QByteArray &bytes)
{
    if (isVendorEnrFile(bytes))
        return parseVendorEnrFile(bytes);
    EnrFileContents r;
    EnrTable &table = r.table;
    table.freq.reserve(kMaxRecords);
    table.enr.reserve(kMaxRecords);
    auto say = [&r](const QString &caption, const char *text, MsgIcon icon) {
        r.messages.append({caption, QString::fromLatin1(text), icon});
    };
    double previous = 0; // the first frequency must be > 0
    int status = 0;
    int lineNo = 0;
    for (const QString &line : splitLines(bytes)) {
        ++lineNo;
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("#* "))) {
            r.source = line.mid(3, kSourceChars);
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() < 2) {
            say(kTqxCaption, "Bad data record, aborting.", MsgIcon::None);
            status = 2;
            break;
        }
        if (table.size() >= kMaxRecords) {
            say(kAntennaCaption, "Too many records in Antenna File, discarding excess.", MsgIcon::None);
            status = -1;
            break;
        }
        // A value that is not a number would count as 0 dB or 0 MHz and
        // silently bend the curve: the record is refused, naming its line.
        const std::optional<double> f = EnrFileNumber(parts[0]);
        const std::optional<double> e = EnrFileNumber(parts[1]);
        if (!f || !e) {
            r.messages.append({kTqxCaption,
                               QStringLiteral("Line %1: the %2 is not a number, load aborted.")
                                   .arg(lineNo)
                                   .arg(f ? QStringLiteral("ENR") : QStringLiteral("frequency")),
                               MsgIcon::Critical});
            status = 1;
            break;
        }
        if (!(*f > previous)) {
            say(kAntennaCaption, "Antenna File not sorted, load aborted.", MsgIcon::Critical);
            status = 1;
            break;
        }
        previous = *f;
        table.freq.append(*f);
        table.enr.append(*e); // ENR values are not checked
    }
    if (table.size() < kMinRecords) {
        say(kAntennaCaption, "Not enough records in Antenna File (min=3).", MsgIcon::Critical);
        status = 2;
    }
    r.failed = status > 0;
    return r;
}

int LoadEnrTable(Session &m, EnrTable &table, IMessages &messages)
{
    Sheet &s = m.sheet();
    const FileBytes file = readBounded(m.EnrFileName);
    if (file.notFound) {
        messages.show(kTqxCaption, QStringLiteral("ENR File not found, load aborted."), MsgIcon::Critical);
        m.EnrFileName.clear();
        return 1;
    }
    if (file.tooLarge) {
        messages.show(kTqxCaption, QStringLiteral("ENR File larger than 1 MiB, load aborted."),
                      MsgIcon::Critical);
        m.EnrFileName.clear();
        return 1;
    }

    // The table in use stays untouched until the whole load has succeeded.
    EnrFileContents contents = ParseEnrFile(file.data);
    for (const EnrFileMessage &msg : contents.messages)
        messages.show(msg.caption, msg.text, msg.icon);
    if (contents.failed) {
        m.EnrFileName.clear();
        return 1;
    }
    EnrTable &loaded = contents.table;
    fitSpline(loaded);

    // Apply at the current frequency; the value must lie in (0, 200) dB as
    // shown with two decimals.
    const double e = csinterpolate(loaded, ParseNumber(s.text(Field::Frequency)));
    const QString enrText = FormatFixed(e, QStringLiteral("0.00")); // empty when not finite
    const double v = ParseNumber(enrText);
    if (!(v > 0 && v < 200)) {
        m.EnrFileName.clear();
        messages.show(kTqxCaption, QStringLiteral("ENR data out of range, load aborted."), MsgIcon::Critical);
        return 1;
    }

    table = std::move(loaded);
    if (contents.source)
        s.setText(Field::Source, *contents.source);
    s.setText(Field::ENR, enrText);
    s.setText(Field::Tcold, FormatFixed(kT0, QStringLiteral("0.00")));
    // Thot from the ENR as shown (rounded): Thot = 290 K * (10^(ENR/10) + 1).
    s.setText(Field::Thot, FormatFixed(ThotFromEnr(v), QStringLiteral("0.0")));
    s.setEnabled(Control::mnuEnrUnl, true);
    setEnrFieldsLocked(s, true);
    ResultsCalc(s);
    return 0;
}

void EnrImport(Session &m, EnrTable &table, IMessages &messages, IFileDialogs *fileDialogs)
{
    if (!fileDialogs)
        return;
    FileDialogRequest req;
    req.initialDir = QString(); // the process's current directory
    // Vendor calibration files usually end in .enr; any file is read by content.
    req.filter = QStringLiteral("ENR tables (*.tab;*.enr)|*.tab;*.enr|All Files (*.*)|*.*");
    req.filterIndex = 1;
    req.fileName = QString();
    req.mustExist = true;
    const std::optional<QString> path = fileDialogs->openFile(req);
    if (!path)
        return; // cancelled: nothing changes
    m.EnrFileName = *path;
    LoadEnrTable(m, table, messages);
}

void EnrUnload(Session &m, EnrTable &t)
{
    t.freq.fill(0.0, 2);
    t.enr.fill(0.0, 2);
    t.y2.fill(0.0, 2);
    for (QVector<double> *column : {&t.unc, &t.onMag, &t.onPhase, &t.offMag, &t.offPhase})
        column->clear();
    m.EnrFileName.clear();
    Sheet &s = m.sheet();
    s.setEnabled(Control::mnuEnrUnl, false);
    setEnrFieldsLocked(s, false);
}
