#include "acquire/BenchResponse.h"

#include "acquire/Bench.h"
#include "sheet/NumText.h"

#include <QStringList>

#include <cmath>

namespace {

bool within(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

// Linear interpolation of member `value` between the points around `mhz`;
// the end values outside; `fallback` for no points.
template <typename Point>
double interpolate(const QVector<Point> &pts, double mhz, double Point::*value, double fallback)
{
    if (pts.isEmpty())
        return fallback;
    if (!(mhz > pts.front().mhz)) // also NaN: the first point
        return pts.front().*value;
    if (mhz >= pts.back().mhz)
        return pts.back().*value;
    int i = 1;
    while (pts[i].mhz < mhz)
        ++i;
    const Point &a = pts[i - 1];
    const Point &b = pts[i];
    const double t = (mhz - a.mhz) / (b.mhz - a.mhz);
    return a.*value + t * (b.*value - a.*value);
}

// The frequencies: above 0, at most maxMhz, strictly rising.
template <typename Point> QString validateFrequencies(const QVector<Point> &pts, const char *what)
{
    if (pts.size() > BenchResponse::maxPoints)
        return QStringLiteral("The %1 has %2 points; at most %3 are allowed.")
            .arg(QLatin1String(what))
            .arg(pts.size())
            .arg(BenchResponse::maxPoints);
    for (int i = 0; i < pts.size(); ++i) {
        const double f = pts[i].mhz;
        if (!(std::isfinite(f) && f > 0 && f <= BenchResponse::maxMhz))
            return QStringLiteral("Point %1 of the %2: the frequency must be above 0 and up to %3 MHz.")
                .arg(i + 1)
                .arg(QLatin1String(what), NumToText(BenchResponse::maxMhz));
        if (i > 0 && !(f > pts[i - 1].mhz))
            return QStringLiteral("Point %1 of the %2: the frequencies must rise from point to point "
                                  "(%3 MHz follows %4 MHz).")
                .arg(i + 1)
                .arg(QLatin1String(what), NumToText(f), NumToText(pts[i - 1].mhz));
    }
    return QString();
}

// Splits "a b c; d e f" into groups of numbers; empty message on success.
QString parseGroups(const QString &text, int perGroup, const char *what, const char *layout,
                    QList<QList<double>> &groups)
{
    groups.clear();
    const QStringList parts = text.split(QLatin1Char(';'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        if (part.isEmpty()) {
            if (parts.size() == 1 || i == parts.size() - 1)
                continue; // blank text, or a trailing ';'
            return QStringLiteral("The %1 has an empty point between two ';'.").arg(QLatin1String(what));
        }
        const QStringList words = part.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool ok = words.size() == perGroup;
        QList<double> values;
        for (const QString &w : words) {
            ok = ok && IsNumber(w);
            values.append(ParseNumber(w));
        }
        if (!ok)
            return QStringLiteral("Point %1 of the %2 (\"%3\") needs %4 numbers: %5.")
                .arg(groups.size() + 1)
                .arg(QLatin1String(what), part,
                     perGroup == 3 ? QStringLiteral("three") : QStringLiteral("two"), QLatin1String(layout));
        groups.append(values);
    }
    return QString();
}

const char *const kDut = "DUT response";
const char *const kEnr = "source's ENR table";

} // namespace

namespace BenchResponse {

double gainDbAt(const QVector<BenchResponsePoint> &pts, double mhz, double fallback)
{
    return interpolate(pts, mhz, &BenchResponsePoint::gainDb, fallback);
}

double nfDbAt(const QVector<BenchResponsePoint> &pts, double mhz, double fallback)
{
    return interpolate(pts, mhz, &BenchResponsePoint::nfDb, fallback);
}

double enrDbAt(const QVector<BenchEnrPoint> &pts, double mhz, double fallback)
{
    return interpolate(pts, mhz, &BenchEnrPoint::enrDb, fallback);
}

QString validate(const QVector<BenchResponsePoint> &pts)
{
    using namespace BenchRange;
    if (QString err = validateFrequencies(pts, kDut); !err.isEmpty())
        return err;
    for (int i = 0; i < pts.size(); ++i) {
        if (!within(pts[i].gainDb, gainMinDb, gainMaxDb))
            return QStringLiteral("Point %1 of the DUT response: the gain must be from %2 to %3 dB.")
                .arg(i + 1)
                .arg(NumToText(gainMinDb), NumToText(gainMaxDb));
        if (!within(pts[i].nfDb, nfMinDb, nfMaxDb))
            return QStringLiteral("Point %1 of the DUT response: the noise figure must be from %2 to %3 dB.")
                .arg(i + 1)
                .arg(NumToText(nfMinDb), NumToText(nfMaxDb));
    }
    return QString();
}

QString validate(const QVector<BenchEnrPoint> &pts)
{
    using namespace BenchRange;
    if (QString err = validateFrequencies(pts, kEnr); !err.isEmpty())
        return err;
    for (int i = 0; i < pts.size(); ++i)
        if (!within(pts[i].enrDb, enrMinDb, enrMaxDb))
            return QStringLiteral("Point %1 of the source's ENR table: the ENR must be from %2 to %3 dB.")
                .arg(i + 1)
                .arg(NumToText(enrMinDb), NumToText(enrMaxDb));
    return QString();
}

QString parse(const QString &text, QVector<BenchResponsePoint> &out)
{
    QList<QList<double>> groups;
    if (QString err = parseGroups(text, 3, kDut, "MHz, gain (dB) and noise figure (dB)", groups);
        !err.isEmpty())
        return err;
    QVector<BenchResponsePoint> pts;
    for (const QList<double> &g : groups)
        pts.append({g[0], g[1], g[2]});
    out = pts;
    return QString();
}

QString parse(const QString &text, QVector<BenchEnrPoint> &out)
{
    QList<QList<double>> groups;
    if (QString err = parseGroups(text, 2, kEnr, "MHz and ENR (dB)", groups); !err.isEmpty())
        return err;
    QVector<BenchEnrPoint> pts;
    for (const QList<double> &g : groups)
        pts.append({g[0], g[1]});
    out = pts;
    return QString();
}

QString toText(const QVector<BenchResponsePoint> &pts)
{
    QStringList parts;
    for (const BenchResponsePoint &p : pts)
        parts.append(
            QStringList{NumToText(p.mhz), NumToText(p.gainDb), NumToText(p.nfDb)}.join(QLatin1Char(' ')));
    return parts.join(QStringLiteral("; "));
}

QString toText(const QVector<BenchEnrPoint> &pts)
{
    QStringList parts;
    for (const BenchEnrPoint &p : pts)
        parts.append(NumToText(p.mhz) + QLatin1Char(' ') + NumToText(p.enrDb));
    return parts.join(QStringLiteral("; "));
}

QVector<BenchResponsePoint> defaultDutResponse()
{
    return {{1, 15.0, 3.0},   {5, 20.0, 1.5},   {200, 20.0, 1.5}, {300, 19.5, 1.7},
            {400, 18.0, 2.2}, {500, 15.0, 3.2}, {600, 11.0, 4.5}};
}

} // namespace BenchResponse
