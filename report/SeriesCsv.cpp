#include "report/SeriesCsv.h"

#include <QStringList>

#include <cmath>

namespace {

// C-locale number with `decimals` places; empty when absent or not finite.
QString num(const std::optional<double> &v, int decimals)
{
    return v && std::isfinite(*v) ? QString::number(*v, 'f', decimals) : QString();
}

QString quoted(QString s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    return QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

QByteArray seriesCsv(const QList<SeriesRun> &runs)
{
    QString out =
        QStringLiteral("Run,Time (UTC),Elapsed (s),NF(1) (dB),NF(2) (dB),Gain (dB),Teq(1) (K),Teq(2) (K),"
                       "Cold level (2) (dB),Cold level (12) (dB),Status\n");
    const QDateTime first = runs.isEmpty() ? QDateTime() : runs.first().time;
    for (const SeriesRun &r : runs) {
        const QDateTime t = r.time.toUTC();
        const std::optional<double> elapsed =
            t.isValid() && first.isValid() ? std::optional<double>(first.msecsTo(t) / 1000.0) : std::nullopt;
        const QStringList row = {
            QString::number(r.index + 1),
            t.isValid() ? t.toString(Qt::ISODateWithMs) : QString(),
            num(elapsed, 3),
            num(r.nf1Db, 3),
            num(r.nf2Db, 3),
            num(r.gainDb, 3),
            num(r.te1K, 1),
            num(r.te2K, 1),
            num(r.cold2Db, 3),
            num(r.cold12Db, 3),
            quoted(r.ok ? QStringLiteral("ok") : QStringLiteral("failed: ") + r.failure)};
        out += row.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out.toUtf8();
}
