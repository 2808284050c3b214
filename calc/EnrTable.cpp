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
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxRecords = 100;
constexpr int kMinRecords = 3;
constexpr int kSourceChars = 30; // Source gets at most this many characters

const QString kTqxCaption = QStringLiteral("TQX ENR File error:");
const QString kAntennaCaption = QStringLiteral("GKR Antenna File error:");
const QString kOvershootCaption = QStringLiteral("TQX ENR File warning:");
constexpr int kOvershootsNamed = 3; // intervals named one by one; the rest are counted

// A frequency (MHz) to four significant digits, in the user's locale.
QString mhzText(double mhz)
{
    if (!(mhz > 0) || !std::isfinite(mhz))
        return NumToText(mhz);
    const double step = std::pow(10.0, std::floor(std::log10(mhz)) - 3);
    return NumToText(std::round(mhz / step) * step);
}

// Where the spline leaves its data, the largest first, and the choice.
QString overshootQuestion(std::vector<physics::Excursion> over)
{
    std::sort(over.begin(), over.end(), [](const auto &a, const auto &b) { return a.size > b.size; });
    QStringList where;
    for (std::size_t i = 0; i < over.size() && i < kOvershootsNamed; ++i) {
        const physics::Excursion &e = over[i];
        where << QStringLiteral("between %1 and %2 MHz by %3 dB (%4 dB at %5 MHz)")
                     .arg(mhzText(e.fromX), mhzText(e.toX), FormatFixed(e.size, QStringLiteral("0.00")),
                          FormatFixed(e.curveY, QStringLiteral("0.00")), mhzText(e.atX));
    }
    if (over.size() > kOvershootsNamed)
        where << QStringLiteral("and over %1 more intervals").arg(over.size() - kOvershootsNamed);
    return QStringLiteral("The natural spline through this ENR table leaves the range of its neighbouring "
                          "points %1. An ENR error goes one for one into the noise figure.\n\n"
                          "Use the monotone cubic instead? It is smooth and never leaves the range of its "
                          "neighbouring points. No keeps the natural spline; File > ENR view shows the three "
                          "curves and changes the choice.")
        .arg(where.join(QStringLiteral("; ")));
}

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

const struct {
    physics::Interpolation method;
    const char *key;
    const char *name;
} kMethods[] = {
    {physics::Interpolation::NaturalSpline, "spline", "natural cubic spline"},
    {physics::Interpolation::Linear, "linear", "linear in dB"},
    {physics::Interpolation::MonotoneCubic, "monotone", "monotone cubic (PCHIP)"},
};
} // namespace

void fitSpline(EnrTable &t)
{
    const std::vector<double> y2 = physics::naturalSplineSecondDerivatives(values(t.freq), values(t.enr));
    t.y2 = QVector<double>(y2.begin(), y2.end());
    const std::vector<double> d = physics::monotoneSlopes(values(t.freq), values(t.enr));
    t.slopes = QVector<double>(d.begin(), d.end());
}

double enrAt(const EnrTable &t, physics::Interpolation method, double mhz)
{
    switch (method) {
    case physics::Interpolation::Linear:
        return physics::linearAt(values(t.freq), values(t.enr), mhz);
    case physics::Interpolation::MonotoneCubic:
        return physics::hermiteAt(values(t.freq), values(t.enr), values(t.slopes), mhz);
    case physics::Interpolation::NaturalSpline:
        break;
    }
    return physics::splineAt(values(t.freq), values(t.enr), values(t.y2), mhz);
}

double csinterpolate(const EnrTable &t, double abscissa)
{
    return enrAt(t, t.method, abscissa);
}

double enrInterpolationHalfWidth(const EnrTable &t, double mhz)
{
    return std::fabs(csinterpolate(t, mhz) - enrAt(t, physics::Interpolation::Linear, mhz)) / 2;
}

std::vector<physics::Excursion> splineOvershoots(const EnrTable &t)
{
    return physics::rangeExcursions(
        values(t.freq), values(t.enr),
        [&t](double mhz) { return enrAt(t, physics::Interpolation::NaturalSpline, mhz); }, kEnrOvershootDb);
}

QString interpolationKey(physics::Interpolation method)
{
    for (const auto &m : kMethods)
        if (m.method == method)
            return QLatin1String(m.key);
    return {};
}

std::optional<physics::Interpolation> interpolationFromKey(const QString &key)
{
    for (const auto &m : kMethods)
        if (key == QLatin1String(m.key))
            return m.method;
    return std::nullopt;
}

QString interpolationName(physics::Interpolation method)
{
    for (const auto &m : kMethods)
        if (m.method == method)
            return QLatin1String(m.name);
    return {};
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
    for (const QString &line : enrFileLines(bytes)) {
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

namespace {

// A table read and accepted, before the table in use changes.
struct ReadTable {
    EnrTable table;
    std::optional<QString> source; // the file's "#* " description
    QString enrText;               // the ENR at the frequency checked ("0.00"), or empty
};

// The ENR text of `t` at mhz when it lies in (0, 200) dB as shown with two
// decimals; none otherwise.
std::optional<QString> enrTextAt(const EnrTable &t, double mhz)
{
    const QString text = FormatFixed(csinterpolate(t, mhz), QStringLiteral("0.00")); // empty when not finite
    const double v = ParseNumber(text);
    return v > 0 && v < 200 ? std::optional<QString>(text) : std::nullopt;
}

bool withinKnots(const EnrTable &t, double mhz)
{
    return t.size() >= 2 && mhz >= t.freq.first() && mhz <= t.freq.last();
}

// Both tables' load: read `fileName` with a bound, parse it, fit the curves,
// take the method remembered in `interpolation` (a new table: the natural
// spline, and the monotone cubic offered where the spline swings beyond its
// data), and check the ENR at mhz, where the table is read first (outside
// the knots only when `extrapolates`; otherwise nothing is checked there).
// Every problem goes to `messages`; a refusal empties both names.
std::optional<ReadTable> readEnrTable(const Session &m, QString &fileName, QString &interpolation,
                                      IMessages &messages, double mhz, bool extrapolates)
{
    if (m.HotColdLoads) { // the name stays: the table returns with the switched source
        messages.show(kTqxCaption,
                      QStringLiteral("Hot and cold loads are in use (Options); no ENR table is loaded."),
                      MsgIcon::Exclamation);
        return std::nullopt;
    }
    auto refuse = [&]() -> std::optional<ReadTable> {
        fileName.clear();
        interpolation.clear();
        return std::nullopt;
    };
    const FileBytes file = readBounded(fileName);
    if (file.notFound) {
        messages.show(kTqxCaption, QStringLiteral("ENR File not found, load aborted."), MsgIcon::Critical);
        return refuse();
    }
    if (file.tooLarge) {
        messages.show(kTqxCaption, QStringLiteral("ENR File larger than 1 MiB, load aborted."),
                      MsgIcon::Critical);
        return refuse();
    }

    EnrFileContents contents = ParseEnrFile(file.data);
    for (const EnrFileMessage &msg : contents.messages)
        messages.show(msg.caption, msg.text, msg.icon);
    if (contents.failed)
        return refuse();
    ReadTable r{std::move(contents.table), contents.source, QString()};
    EnrTable &loaded = r.table;
    fitSpline(loaded);
    const std::optional<physics::Interpolation> remembered = interpolationFromKey(interpolation);
    loaded.method = remembered.value_or(physics::Interpolation::NaturalSpline);

    const bool checked = extrapolates || withinKnots(loaded, mhz);
    auto textAt = [&] { return checked ? enrTextAt(loaded, mhz) : std::optional<QString>(QString()); };
    std::optional<QString> enrText = textAt();
    // A new table whose spline swings beyond its data: say where and by how
    // much, and offer the curve that cannot.
    if (enrText && !remembered) {
        const std::vector<physics::Excursion> over = splineOvershoots(loaded);
        if (!over.empty() && messages.ask(kOvershootCaption, overshootQuestion(over))) {
            loaded.method = physics::Interpolation::MonotoneCubic;
            enrText = textAt();
        }
    }
    if (!enrText) {
        messages.show(kTqxCaption, QStringLiteral("ENR data out of range, load aborted."), MsgIcon::Critical);
        return refuse();
    }
    interpolation = interpolationKey(loaded.method);
    r.enrText = *enrText;
    return r;
}

} // namespace

int LoadEnrTable(Session &m, EnrTable &table, IMessages &messages)
{
    Sheet &s = m.sheet();
    // Applied at the current frequency; the table in use stays untouched
    // until the whole load has succeeded.
    std::optional<ReadTable> read = readEnrTable(m, m.EnrFileName, m.EnrInterpolation, messages,
                                                 ParseNumber(s.text(Field::Frequency)), true);
    if (!read)
        return 1;
    const double v = ParseNumber(read->enrText);
    table = std::move(read->table);
    if (read->source)
        s.setText(Field::Source, *read->source);
    s.setText(Field::ENR, read->enrText);
    s.setText(Field::Tcold, FormatFixed(m.SourceOffK, QStringLiteral("0.00")));
    // Thot from the ENR as shown (rounded): the excess noise, 290 K *
    // 10^(ENR/10), on top of the source's physical temperature when off.
    s.setText(Field::Thot, FormatFixed(ThotFromEnr(v, m.SourceOffK), QStringLiteral("0.0")));
    s.setEnabled(Control::mnuEnrUnl, true);
    setEnrFieldsLocked(s, true);
    ResultsCalc(s);
    return 0;
}

int LoadCalibrationEnrTable(Session &m, EnrTable &table, IMessages &messages, double mhz)
{
    std::optional<ReadTable> read =
        readEnrTable(m, m.CalEnrFileName, m.CalEnrInterpolation, messages, mhz, false);
    if (!read)
        return 1;
    table = std::move(read->table);
    m.sheet().setEnabled(Control::mnuCalEnrUnl, true);
    return 0;
}

namespace {

// A file chosen for a table; none when cancelled or without dialogs.
std::optional<QString> chooseEnrFile(IFileDialogs *fileDialogs)
{
    if (!fileDialogs)
        return std::nullopt;
    FileDialogRequest req;
    req.initialDir = QString(); // the process's current directory
    // Vendor calibration files usually end in .enr; any file is read by content.
    req.filter = QStringLiteral("ENR tables (*.tab;*.enr)|*.tab;*.enr|All Files (*.*)|*.*");
    req.filterIndex = 1;
    req.fileName = QString();
    req.mustExist = true;
    return fileDialogs->openFile(req);
}

void clearTable(EnrTable &t)
{
    t.freq.fill(0.0, 2);
    t.enr.fill(0.0, 2);
    t.y2.fill(0.0, 2);
    t.slopes.fill(0.0, 2);
    t.method = physics::Interpolation::NaturalSpline;
    for (QVector<double> *column : {&t.unc, &t.onMag, &t.onPhase, &t.offMag, &t.offPhase})
        column->clear();
}

} // namespace

void EnrImport(Session &m, EnrTable &table, IMessages &messages, IFileDialogs *fileDialogs)
{
    const std::optional<QString> path = chooseEnrFile(fileDialogs);
    if (!path)
        return; // cancelled: nothing changes
    m.EnrFileName = *path;
    m.EnrInterpolation.clear(); // a new table: its own choice
    LoadEnrTable(m, table, messages);
}

void EnrUnload(Session &m, EnrTable &t)
{
    clearTable(t);
    m.EnrFileName.clear();
    m.EnrInterpolation.clear();
    Sheet &s = m.sheet();
    s.setEnabled(Control::mnuEnrUnl, false);
    setEnrFieldsLocked(s, false);
}

void CalEnrImport(Session &m, EnrTable &table, IMessages &messages, IFileDialogs *fileDialogs, double mhz)
{
    const std::optional<QString> path = chooseEnrFile(fileDialogs);
    if (!path)
        return;
    // A refused file leaves the table in use (and its name) as it was.
    QString previousName = m.CalEnrFileName, previousMethod = m.CalEnrInterpolation;
    m.CalEnrFileName = *path;
    m.CalEnrInterpolation.clear();
    if (LoadCalibrationEnrTable(m, table, messages, mhz) != 0 && m.sheet().enabled(Control::mnuCalEnrUnl)) {
        m.CalEnrFileName = previousName;
        m.CalEnrInterpolation = previousMethod;
    }
}

void CalEnrUnload(Session &m, EnrTable &t)
{
    clearTable(t);
    m.CalEnrFileName.clear();
    m.CalEnrInterpolation.clear();
    m.sheet().setEnabled(Control::mnuCalEnrUnl, false);
}
