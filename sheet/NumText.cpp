#include "sheet/NumText.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

bool parse(const QString &text, double *out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // The locale conversion also knows "inf" and "nan"; those are not numbers.
    for (QChar c : t)
        if (c.isLetter() && c != QLatin1Char('e') && c != QLatin1Char('E'))
            return false;
    bool ok = false;
    const double v = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

// Decimal text of |v| rounded to `decimals` places, halves away from zero,
// judged on the exact binary value held.
QByteArray roundedMagnitude(double a, int decimals)
{
    char buf[1600];
    // glibc prints the exact decimal expansion, so a tie is recognisable:
    // exactly decimals+1 fractional digits, the last one a 5.
    std::snprintf(buf, sizeof buf, "%.1100f", a);
    QByteArray exact(buf);
    while (exact.endsWith('0'))
        exact.chop(1);
    const int dot = exact.indexOf('.');
    const int frac = exact.size() - dot - 1;
    if (frac == decimals + 1 && exact.endsWith('5'))
        a = std::nextafter(a, std::numeric_limits<double>::infinity());
    std::snprintf(buf, sizeof buf, "%.*f", decimals, a);
    return QByteArray(buf);
}

int patternDecimals(const QString &pattern)
{
    const int dot = pattern.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return 0;
    int n = 0;
    for (int i = dot + 1; i < pattern.size() && pattern[i] == QLatin1Char('0'); ++i)
        ++n;
    return qMin(n, 20);
}

} // namespace

bool IsNumber(const QString &text)
{
    double v;
    return parse(text, &v);
}

double ParseNumber(const QString &text)
{
    double v = 0;
    return parse(text, &v) ? v : 0.0;
}

QString FormatFixed(double value, const QString &pattern)
{
    if (!std::isfinite(value))
        return QString();
    const int decimals = patternDecimals(pattern);
    QByteArray digits = roundedMagnitude(std::fabs(value), decimals);
    bool zero = true;
    for (char c : digits)
        if (c >= '1' && c <= '9')
            zero = false;
    QString s = QString::fromLatin1(digits);
    if (decimals > 0)
        s.replace(QLatin1Char('.'), QLocale().decimalPoint());
    // The "0." pattern: a whole number followed by the separator (95.).
    if (decimals == 0 && pattern.endsWith(QLatin1Char('.')))
        s += QLocale().decimalPoint();
    if (value < 0 && !zero)
        s.prepend(QLatin1Char('-'));
    return s;
}

QString FormatFixed(const QString &numericText, const QString &pattern)
{
    return FormatFixed(ParseNumber(numericText), pattern);
}

QString NumToText(double value)
{
    if (!std::isfinite(value))
        return QString();
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString s = QString::fromLatin1(buf);
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    s.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return s;
}

std::int32_t IntPart(double value)
{
    const double f = std::floor(value);
    if (!(f >= -2147483648.0))
        return std::numeric_limits<std::int32_t>::min();
    if (f > 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(f);
}

QString FormatSig(double x, int n)
{
    if (n < 1 || n > 21)
        return QStringLiteral("err");
    if (!std::isfinite(x))
        return QString();
    const QString s = x < 0 ? QStringLiteral("-") : QString();
    if (x == 0)
        return QStringLiteral("0");
    // Extended precision: with n up to 21 the digit block exceeds any
    // integer type, and 10^k for tiny or huge x leaves the double range.
    const long double a = std::fabs(static_cast<long double>(x));
    const long double lower = std::pow(10.0L, n - 1), upper = std::pow(10.0L, n);
    int e = static_cast<int>(std::floor(std::log(a) / std::log(10.0L)));
    auto digitsAt = [&](int exp) { return std::floor(a / std::pow(10.0L, exp - n + 1)); };
    long double P = digitsAt(e);
    if (P < lower) { // the logarithm came out one too high
        --e;
        P = digitsAt(e);
    } else if (P >= upper) { // ... or one too low
        ++e;
        P = digitsAt(e);
    }
    const long double scale = std::pow(10.0L, e - n + 1);
    if (std::fabs((P + 1) * scale - a) < std::fabs(P * scale - a))
        P += 1;
    if (e < -n - 2 || e >= n) {
        int se = e;
        if (P >= upper) { // rounding carried into an extra digit: 9.995e5 -> 1.00e+6
            P = lower;
            ++se;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0Lf", P);
        const QString digits = QString::fromLatin1(buf);
        return s + digits.left(1) + QLatin1Char('.') + digits.mid(1)
               + (se >= 0 ? QStringLiteral("e+") : QStringLiteral("e")) + NumToText(se);
    }
    if (n > e + 1)
        return FormatFixed(x, QStringLiteral("0.00000000000000000000").left(n - e + 1));
    return FormatFixed(x, QStringLiteral("0"));
}

int VersionCompare(const QString &a, const QString &b, int maxFields)
{
    // Positions are 1-based as in the dotted-text walk: a missing "." counts
    // as position 1000, and both texts share the field start p.
    int p = 1, f = 1, r = 0;
    auto findDot = [](const QString &s, int from) {
        const int i = from - 1 < s.size() ? s.indexOf(QLatin1Char('.'), from - 1) : -1;
        return i < 0 ? 1000 : i + 1;
    };
    auto field = [](const QString &s, int from, int dotPos) {
        if (from - 1 >= s.size())
            return QString();
        return dotPos == 1000 ? s.mid(from - 1) : s.mid(from - 1, dotPos - from);
    };
    do {
        const int ia = findDot(a, p), ib = findDot(b, p);
        const double fa = ParseNumber(field(a, p, ia)), fb = ParseNumber(field(b, p, ib));
        if (fb > fa)
            r = -1;
        else if (fa > fb)
            r = 1;
        ++f;
        p = qMin(ia, ib) + 1;
    } while (f <= maxFields && r == 0);
    return r;
}
