#include "calc/EnrTable.h"

#include "sheet/Meter.h"
#include "sheet/NumText.h"
#include "calc/Results.h"

#include <QFile>
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

// Lines of the file. CR, LF and CR LF all end a line; the empty lines that
// a CR LF pair leaves behind are ignored like any other empty line, so no
// CR ever reaches a number or the Source text. A UTF-8 byte order mark at
// the start is dropped.
QStringList splitLines(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

void setEnrFieldsLocked(Sheet &s, bool locked)
{
    for (Field f : {Field::ENR, Field::Thot, Field::Tcold}) {
        s.setLocked(f, locked);
        s.setColour(f, locked ? Colour::DarkBlue : Colour::WindowText);
    }
}

} // namespace

void fitSpline(EnrTable &t)
{
    // Natural cubic spline: y2 = 0 at both ends; forward elimination of the
    // tridiagonal system in y2/u, then back substitution.
    const int count = t.size();
    t.y2.fill(0.0, count);
    if (count < 3)
        return;
    const int n = count - 1;
    const QVector<double> &x = t.freq, &y = t.enr;
    QVector<double> u(n, 0.0);
    QVector<double> &y2 = t.y2;
    for (int i = 1; i <= n - 1; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    y2[n] = 0.0;
    for (int k = n - 1; k >= 0; --k)
        y2[k] = y2[k] * y2[k + 1] + u[k];
}

double csinterpolate(const EnrTable &t, double abscissa)
{
    const int count = t.size();
    if (count < 2 || t.enr.size() < count || t.y2.size() < count)
        return std::nan("");
    const QVector<double> &x = t.freq, &y = t.enr, &y2 = t.y2;
    int klo = 0, khi = count - 1;
    while (khi - klo > 1) {
        // Midpoint rounded to the nearest integer, halves to the even one.
        const int sum = khi + klo;
        int k = sum / 2;
        if (sum % 2 != 0 && k % 2 != 0)
            ++k;
        if (x[k] > abscissa)
            khi = k;
        else
            klo = k;
    }
    const double h = x[khi] - x[klo];
    // A is held in single precision, B in double: the interpolated values
    // then match the table program's own to the last digit shown.
    const float aSingle = static_cast<float>((x[khi] - abscissa) / h);
    const double a = aSingle;
    const double b = (abscissa - x[klo]) / h;
    return a * y[klo] + b * y[khi] + ((a * a * a - a) * y2[klo] + (b * b * b - b) * y2[khi]) * (h * h) / 6.0;
}

int LoadEnrTable(Meter &m)
{
    Sheet &s = m.sheet();
    const FileBytes file = readBounded(m.EnrFileName);
    if (file.notFound) {
        m.message(kTqxCaption, QStringLiteral("ENR File not found, load aborted."), MsgIcon::Critical);
        m.EnrFileName.clear();
        return 1;
    }
    if (file.tooLarge) {
        m.message(kTqxCaption, QStringLiteral("ENR File larger than 1 MiB, load aborted."), MsgIcon::Critical);
        m.EnrFileName.clear();
        return 1;
    }

    // The table in use stays untouched until the whole load has succeeded.
    EnrTable table;
    table.freq.reserve(kMaxRecords);
    table.enr.reserve(kMaxRecords);
    QString source;
    bool haveSource = false;
    double previous = 0; // the first frequency must be > 0
    int status = 0;
    for (const QString &line : splitLines(file.data)) {
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("#* "))) {
            source = line.mid(3, kSourceChars);
            haveSource = true;
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() < 2) {
            m.message(kTqxCaption, QStringLiteral("Bad data record, aborting."), MsgIcon::None);
            status = 2;
            break;
        }
        if (table.size() >= kMaxRecords) {
            m.message(kAntennaCaption, QStringLiteral("Too many records in Antenna File, discarding excess."),
                      MsgIcon::None);
            status = -1;
            break;
        }
        // A frequency that is not a number cannot be placed in order: such
        // a file is refused as unsorted.
        const double f = ParseNumber(parts[0]);
        if (!IsNumber(parts[0]) || !(f > previous)) {
            m.message(kAntennaCaption, QStringLiteral("Antenna File not sorted, load aborted."), MsgIcon::Critical);
            status = 1;
            break;
        }
        previous = f;
        table.freq.append(f);
        table.enr.append(ParseNumber(parts[1])); // ENR values are not checked
    }
    if (table.size() < kMinRecords) {
        m.message(kAntennaCaption, QStringLiteral("Not enough records in Antenna File (min=3)."), MsgIcon::Critical);
        status = 2;
    }
    if (status > 0) {
        m.EnrFileName.clear();
        return 1;
    }

    fitSpline(table);

    // Apply at the current frequency; the value must lie in (0, 200) dB as
    // shown with two decimals.
    const double e = csinterpolate(table, ParseNumber(s.text(Field::Frequency)));
    const QString enrText = FormatFixed(e, QStringLiteral("0.00")); // empty when not finite
    const double v = ParseNumber(enrText);
    if (!(v > 0 && v < 200)) {
        m.EnrFileName.clear();
        m.message(kTqxCaption, QStringLiteral("ENR data out of range, load aborted."), MsgIcon::Critical);
        return 1;
    }

    m.enrTable() = std::move(table);
    if (haveSource)
        s.setText(Field::Source, source);
    s.setText(Field::ENR, enrText);
    s.setText(Field::Tcold, FormatFixed(kT0, QStringLiteral("0.00")));
    // Thot from the ENR as shown (rounded): Thot = 290 K * (10^(ENR/10) + 1).
    s.setText(Field::Thot, FormatFixed(ThotFromEnr(v), QStringLiteral("0.0")));
    s.setEnabled(Control::mnuEnrUnl, true);
    setEnrFieldsLocked(s, true);
    ResultsCalc(m);
    return 0;
}

void EnrImport(Meter &m)
{
    IFileDialogs *dialogs = m.platform().fileDialogs;
    if (!dialogs)
        return;
    FileDialogRequest req;
    req.initialDir = QString(); // the process's current directory
    req.filter = QStringLiteral("Text files (*.tab)|*.tab");
    req.filterIndex = 1;
    req.fileName = QString();
    req.mustExist = true;
    const std::optional<QString> path = dialogs->openFile(req);
    if (!path)
        return; // cancelled: nothing changes
    m.EnrFileName = *path;
    LoadEnrTable(m);
}

void EnrUnload(Meter &m)
{
    EnrTable &t = m.enrTable();
    t.freq.fill(0.0, 2);
    t.enr.fill(0.0, 2);
    t.y2.fill(0.0, 2);
    m.EnrFileName.clear();
    Sheet &s = m.sheet();
    s.setEnabled(Control::mnuEnrUnl, false);
    setEnrFieldsLocked(s, false);
}
