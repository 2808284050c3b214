#include "report/SweepCsv.h"

#include "physics/Conversions.h"
#include "report/DeviceText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace {

const QStringList kHeader = {
    QStringLiteral("Sweep"),       QStringLiteral("Frequency (MHz)"), QStringLiteral("Tuned (MHz)"),
    QStringLiteral("ENR (dB)"),    QStringLiteral("Y (dB)"),          QStringLiteral("Te (K)"),
    QStringLiteral("NF (dB)"),     QStringLiteral("Gain (dB)"),       QStringLiteral("Receiver Te (K)"),
    QStringLiteral("Receiver NF (dB)"), QStringLiteral("Receiver slope (dB)"), QStringLiteral("Status")};
// A converter sweep's columns, after all of the above.
const QStringList kConverterHeader = {QStringLiteral("IF (MHz)"), QStringLiteral("LO (MHz)"),
                                      QStringLiteral("Device mode"), QStringLiteral("Sideband"),
                                      QStringLiteral("Image rejection (dB)")};

// C-locale number with `decimals` places; empty when not finite.
QString num(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
}

QString quoted(QString s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// One CSV row split into fields ("" inside quotes is one quote).
// One row of the file: its fields, unquoted, and the line it starts on.
struct Record {
    QStringList fields;
    int line = 1;
};

// The rows of a CSV text: fields separated by ',', rows by a line break
// outside quotes; a quoted field may hold commas, line breaks and "" for a
// quote. Blank rows are dropped.
QList<Record> splitRecords(const QString &text)
{
    QList<Record> out;
    Record rec;
    QString cur;
    bool inQuotes = false, blank = true;
    int line = 1;
    auto endRecord = [&] {
        rec.fields << cur;
        if (!blank)
            out << rec;
        rec = Record{};
        rec.line = line;
        cur.clear();
        blank = true;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n'))
            ++line;
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                cur += c, ++i;
            else if (c == QLatin1Char('"'))
                inQuotes = false;
            else
                cur += c;
        } else if (c == QLatin1Char('"')) {
            inQuotes = true, blank = false;
        } else if (c == QLatin1Char(',')) {
            rec.fields << cur, cur.clear(), blank = false;
        } else if (c == QLatin1Char('\n')) {
            endRecord();
        } else {
            cur += c;
            blank = blank && c.isSpace();
        }
    }
    endRecord();
    return out;
}

} // namespace

QByteArray sweepCsv(SweepKind kind, const QVector<SweepPoint> &points, const DeviceSetup &device)
{
    const bool cal = kind == SweepKind::Calibration, converter = device.converter();
    QString out =
        (converter ? kHeader + kConverterHeader : kHeader).join(QLatin1Char(',')) + QLatin1Char('\n');
    // The same for every row: a row read alone still names its frequency plan.
    const QString plan = converter ? QStringList{num(device.loMhz, 6), deviceModeName(device.mode),
                                                 sidebandKey(device.sideband), imageRejectionText(device)}
                                         .join(QLatin1Char(','))
                                   : QString();
    for (const SweepPoint &p : points) {
        const bool ok = p.state == SweepPoint::State::Measured;
        QStringList row;
        row << (cal ? QStringLiteral("calibration") : QStringLiteral("measurement")) << num(p.mhz, 6)
            << (p.tunedMhz > 0 ? num(p.tunedMhz, 6) : QString()) << num(p.source.enrDb, 2);
        if (ok) {
            const double te = cal ? p.path.te : p.device.te;
            const double nf = cal ? p.path.nfDb : p.device.nfDb;
            row << num(p.path.yDb, 3) << num(te, 1) << num(nf, 3) << (cal ? QString() : num(p.device.gainDb, 3))
                << num(p.rxTeK, 1) << num(physics::noiseFigureDb(p.rxTeK), 3) << num(p.rxSlopeDb, 3)
                << QStringLiteral("ok");
        } else {
            row << QString() << QString() << QString() << QString() << QString() << QString() << QString()
                << quoted(p.state == SweepPoint::State::Failed ? QStringLiteral("failed: ") + p.failure
                                                               : QStringLiteral("not measured"));
        }
        if (converter)
            row << num(p.ifMhz, 6) << plan;
        out += row.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

SweepTrace parseSweepCsv(const QByteArray &bytes)
{
    SweepTrace t;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QList<Record> rows = splitRecords(text);
    QStringList header;
    for (const QString &name : rows.value(0).fields)
        header << name.trimmed();
    const int cFreq = header.indexOf(kHeader[1]), cNf = header.indexOf(kHeader[6]), cGain = header.indexOf(kHeader[7]);
    const int cKind = header.indexOf(kHeader[0]);
    if (cFreq < 0 || cNf < 0) {
        t.error = QStringLiteral("This is not a saved sweep: its first line lacks the columns \"%1\" and \"%2\".")
                      .arg(kHeader[1], kHeader[6]);
        return t;
    }
    bool anyGain = false;
    for (qsizetype n = 1; n < rows.size(); ++n) {
        if (t.mhz.size() >= kSweepMaxPoints) {
            t.error = QStringLiteral("The file holds more than %1 points.").arg(kSweepMaxPoints);
            return t;
        }
        const QStringList &f = rows[n].fields;
        if (f.value(cNf).trimmed().isEmpty())
            continue; // a failed or unmeasured point
        auto number = [&](int col, double &out) {
            bool ok = false;
            out = f.value(col).trimmed().toDouble(&ok); // C locale: '.' only
            if (!ok || !std::isfinite(out))
                t.error = QStringLiteral("Line %1: \"%2\" is not a number.").arg(rows[n].line).arg(f.value(col).left(40));
            return ok;
        };
        double mhz = 0, nf = 0, gain = NAN;
        if (!number(cFreq, mhz) || !number(cNf, nf))
            return t;
        if (cGain >= 0 && !f.value(cGain).trimmed().isEmpty()) {
            if (!number(cGain, gain))
                return t;
            anyGain = true;
        }
        if (cKind >= 0 && f.value(cKind).trimmed() == QLatin1String("calibration"))
            t.kind = SweepKind::Calibration;
        t.mhz << mhz;
        t.nfDb << nf;
        t.gainDb << gain;
    }
    if (t.mhz.isEmpty())
        t.error = QStringLiteral("The file holds no measured point.");
    if (!anyGain)
        t.gainDb.clear();
    return t;
}

SweepTrace readSweepCsv(const QString &path)
{
    SweepTrace t;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        t.error = QStringLiteral("Cannot open %1: %2").arg(path, f.errorString());
        return t;
    }
    if (f.size() > kSweepCsvMaxBytes) {
        t.error = QStringLiteral("%1 is larger than %2 MiB; it is not a saved sweep.")
                      .arg(QFileInfo(path).fileName())
                      .arg(kSweepCsvMaxBytes / (1024 * 1024));
        return t;
    }
    const QByteArray bytes = f.read(kSweepCsvMaxBytes + 1);
    if (bytes.size() > kSweepCsvMaxBytes) {
        t.error = QStringLiteral("%1 is larger than %2 MiB; it is not a saved sweep.")
                      .arg(QFileInfo(path).fileName())
                      .arg(kSweepCsvMaxBytes / (1024 * 1024));
        return t;
    }
    return parseSweepCsv(bytes);
}
