#include "physics/Welch.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace physics {

namespace {
constexpr double kFullScale = 32768.0;
constexpr int kMedianHalf = 7; // median over 15 bins
// A line: a bin 6 dB above the smoothed PSD around it. It is dropped with
// the Hann window's leakage on either side (10 bins: the sidelobes are 70 dB
// down there) before the PSD is smoothed again.
constexpr double kLineRatio = 4.0;
constexpr int kLeakBins = 10;
// The plateau takes the smoothed bins below the highest by as much as the
// highest of that many bins may stray above their mean (sqrt(2 ln N), at
// least three, standard deviations of the estimate's scatter), but at least
// 0.2 dB and at most 2 dB: narrow enough for the rounded top of a narrow
// filter, wide enough that a short average over a wide band is not biased
// upward by its highest outliers.
constexpr double kMinSpan = 1.047, kMaxSpan = 1.585;
// Scatter of a median of 15 bins relative to that of one bin (neighbouring
// Hann-windowed bins are correlated, which makes it larger than 1.25 /
// sqrt(15)).
constexpr double kMedianScatter = 0.5;
constexpr double kEdgeDepth = 100.0; // 20 dB
constexpr double kLineFloor = 1e-15; // 150 dB: the deepest noise a line is measured against

// The segment length used: even, within 16 .. kMaxSegment (clamped first,
// so that rounding up cannot overflow).
int evenSegment(int segment)
{
    const int n = std::clamp(segment, 16, WelchSpectrum::kMaxSegment);
    return n + n % 2;
}

// The bin of `psd` that stands highest above the line-free smoothed PSD `s`
// (the noise beneath it), into pb's line fields when it stands more than
// kLineShownDb above. Its frequency comes from a parabola through the
// logarithms of it and its neighbours: a Hann window's main lobe is close to
// a Gaussian there, which puts the estimate within a few hundredths of a bin.
void findLine(const std::vector<double> &psd, const std::vector<double> &s, double binHz, Passband &pb)
{
    const int n = int(psd.size());
    const double highest = *std::max_element(psd.begin(), psd.end());
    if (!(highest > 0) || !std::isfinite(highest))
        return;
    // The noise is never taken below 150 dB under the highest bin: a tone on
    // digital silence has a finite height.
    const double floor = highest * kLineFloor;
    int best = -1;
    double bestRatio = 0;
    for (int k = 0; k < n; ++k) {
        const double ratio = psd[k] / std::max(s[k], floor);
        if (ratio > bestRatio) {
            bestRatio = ratio;
            best = k;
        }
    }
    const double db = 10.0 * std::log10(bestRatio);
    if (best < 0 || !(db > kLineShownDb))
        return;
    double delta = 0;
    if (best > 0 && best < n - 1 && psd[best - 1] > 0 && psd[best + 1] > 0) {
        const double a = std::log(psd[best - 1]), b = std::log(psd[best]), c = std::log(psd[best + 1]);
        const double curve = a - 2 * b + c;
        if (curve < 0)
            delta = std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
    }
    pb.lineBin = best;
    pb.lineHz = (best + delta) * binHz;
    pb.lineDb = db;
}
} // namespace

WelchSpectrum::WelchSpectrum(int segment, double rate, int keep)
    : m_segment(evenSegment(segment)), m_rate(rate > 0 && std::isfinite(rate) ? rate : 1.0),
      m_keep(std::clamp(keep, 0, kMaxKeep))
{
    m_in = static_cast<double *>(fftw_malloc(sizeof(double) * m_segment));
    m_out = fftw_malloc(sizeof(fftw_complex) * (m_segment / 2 + 1));
    // FFTW_ESTIMATE: no trial runs, the plan is made at once; the input
    // buffer is not touched while planning.
    m_plan = fftw_plan_dft_r2c_1d(m_segment, m_in, static_cast<fftw_complex *>(m_out), FFTW_ESTIMATE);
    // Periodic Hann window: successive half-overlapping windows add to a
    // constant, so every sample weighs the same in the average.
    const double pi = 4.0 * std::atan(1.0);
    m_window.resize(m_segment);
    double sumSq = 0;
    for (int i = 0; i < m_segment; ++i) {
        m_window[i] = 0.5 * (1.0 - std::cos(2.0 * pi * i / m_segment));
        sumSq += m_window[i] * m_window[i];
    }
    m_scale = 1.0 / (m_rate * sumSq * kFullScale * kFullScale);
    m_fill.reserve(m_segment);
    reset();
}

WelchSpectrum::~WelchSpectrum()
{
    fftw_destroy_plan(static_cast<fftw_plan>(m_plan));
    fftw_free(m_out);
    fftw_free(m_in);
}

void WelchSpectrum::reset()
{
    m_fill.clear();
    m_ring.clear();
    m_next = 0;
    m_sum.assign(m_segment / 2 + 1, 0.0);
    m_count = 0;
}

int WelchSpectrum::averaged() const
{
    return m_keep > 0 ? int(m_ring.size()) : int(std::min<long long>(m_count, 1 << 30));
}

void WelchSpectrum::add(const std::int16_t *x, std::size_t n)
{
    const std::size_t hop = m_segment / 2;
    for (std::size_t i = 0; i < n;) {
        const std::size_t take = std::min(n - i, std::size_t(m_segment) - m_fill.size());
        m_fill.insert(m_fill.end(), x + i, x + i + take);
        i += take;
        if (m_fill.size() == std::size_t(m_segment)) {
            transform();
            m_fill.erase(m_fill.begin(), m_fill.begin() + hop); // half overlap
        }
    }
}

void WelchSpectrum::transform()
{
    double mean = 0;
    for (double v : m_fill)
        mean += v;
    mean /= m_segment;
    for (int i = 0; i < m_segment; ++i)
        m_in[i] = (m_fill[i] - mean) * m_window[i];
    fftw_execute(static_cast<fftw_plan>(m_plan));
    const auto *out = static_cast<const fftw_complex *>(m_out);
    const int bins = m_segment / 2 + 1;
    std::vector<double> p(bins);
    for (int k = 0; k < bins; ++k) {
        // One-sided: the negative frequencies fold onto the positive ones,
        // except at 0 Hz and rate/2, which have no mirror.
        const double fold = (k == 0 || k == bins - 1) ? 1.0 : 2.0;
        p[k] = fold * m_scale * (out[k][0] * out[k][0] + out[k][1] * out[k][1]);
    }
    if (m_keep == 0) {
        for (int k = 0; k < bins; ++k)
            m_sum[k] += p[k];
        ++m_count;
    } else if (int(m_ring.size()) < m_keep) {
        m_ring.push_back(std::move(p));
    } else {
        m_ring[m_next] = std::move(p);
        m_next = (m_next + 1) % m_ring.size();
    }
}

std::vector<double> WelchSpectrum::psd() const
{
    if (m_keep == 0) {
        if (m_count == 0)
            return {};
        std::vector<double> r(m_sum);
        for (double &v : r)
            v /= double(m_count);
        return r;
    }
    if (m_ring.empty())
        return {};
    std::vector<double> r(m_segment / 2 + 1, 0.0);
    for (const std::vector<double> &p : m_ring)
        for (std::size_t k = 0; k < r.size(); ++k)
            r[k] += p[k];
    for (double &v : r)
        v /= double(m_ring.size());
    return r;
}

std::vector<double> medianSmooth(const std::vector<double> &x, int half)
{
    const int n = int(x.size());
    std::vector<double> r(n), w;
    for (int i = 0; i < n; ++i) {
        const int a = std::max(0, i - half), b = std::min(n - 1, i + half);
        w.assign(x.begin() + a, x.begin() + b + 1);
        std::nth_element(w.begin(), w.begin() + w.size() / 2, w.end());
        r[i] = w[w.size() / 2];
    }
    return r;
}

Passband findPassband(const std::vector<double> &psd, double binHz, int averaged)
{
    Passband pb;
    if (psd.empty() || !(binHz > 0))
        return pb;
    const int n = int(psd.size());
    pb.peakBin = int(std::max_element(psd.begin(), psd.end()) - psd.begin());
    std::vector<double> s = medianSmooth(psd, kMedianHalf);
    std::vector<char> line(n, 0);
    for (int k = 0; k < n; ++k)
        if (psd[k] > kLineRatio * s[k])
            std::fill(line.begin() + std::max(0, k - kLeakBins),
                      line.begin() + std::min(n, k + kLeakBins + 1), 1);
    // Non-line bins below each bin, so that a window's count costs nothing:
    // a spectrum of lines everywhere (a pure tone, a clipped input) would
    // otherwise rescan ever wider windows for every bin, n^2 log n steps.
    std::vector<int> below(n + 1, 0);
    for (int k = 0; k < n; ++k)
        below[k + 1] = below[k] + !line[k];
    std::vector<double> w;
    double whole = NAN; // the median over the whole spectrum, once needed
    for (int i = 0; i < n && kMedianHalf < 2 * n; ++i) {
        // Within a line the window widens until it holds enough bins beside it.
        int r = kMedianHalf;
        auto count = [&](int h) { return below[std::min(n - 1, i + h) + 1] - below[std::max(0, i - h)]; };
        while (count(r) <= kMedianHalf && 2 * r < 2 * n)
            r *= 2;
        if (count(r) == 0)
            continue; // lines everywhere: the first smoothing stands
        const bool all = i - r <= 0 && i + r >= n - 1;
        if (all && !std::isnan(whole)) {
            s[i] = whole;
            continue;
        }
        w.clear();
        for (int k = std::max(0, i - r); k <= std::min(n - 1, i + r); ++k)
            if (!line[k])
                w.push_back(psd[k]);
        std::nth_element(w.begin(), w.begin() + w.size() / 2, w.end());
        s[i] = w[w.size() / 2];
        if (all)
            whole = s[i];
    }
    if (averaged >= kLineMinSegments)
        findLine(psd, s, binHz, pb);
    const int top = int(std::max_element(s.begin(), s.end()) - s.begin());
    if (!(s[top] > 0) || !std::isfinite(s[top]))
        return pb;
    // Scatter of single bins about the smoothed PSD in the band (median
    // absolute deviation, which lines do not disturb), scaled to a standard
    // deviation.
    std::vector<double> dev;
    for (int k = 0; k < n; ++k)
        if (s[k] * 10 >= s[top] && !line[k])
            dev.push_back(std::fabs(psd[k] / s[k] - 1.0));
    if (dev.empty())
        return pb; // the band holds nothing but lines (a pure tone): no noise plateau to measure
    std::nth_element(dev.begin(), dev.begin() + dev.size() / 2, dev.end());
    const double scatter = 1.4826 * dev[dev.size() / 2] * kMedianScatter;
    const double strays = std::max(3.0, std::sqrt(2.0 * std::log(double(dev.size()))));
    const double span = std::clamp(1.0 + strays * scatter, kMinSpan, kMaxSpan);
    double sum = 0;
    int count = 0;
    for (double v : s) {
        if (v * span >= s[top]) {
            sum += v;
            ++count;
        }
    }
    pb.plateau = sum / count;
    const double edge = pb.plateau / kEdgeDepth;
    pb.lowBin = pb.highBin = top;
    while (pb.lowBin > 0 && s[pb.lowBin - 1] >= edge)
        --pb.lowBin;
    while (pb.highBin < n - 1 && s[pb.highBin + 1] >= edge)
        ++pb.highBin;
    double area = 0;
    for (int k = pb.lowBin; k <= pb.highBin; ++k)
        area += s[k];
    pb.enbwHz = area * binHz / pb.plateau;
    pb.ok = true;
    return pb;
}

} // namespace physics
