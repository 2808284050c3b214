#include "physics/Level.h"

#include <algorithm>
#include <cmath>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TQX_LEVEL_AVX2 1
#endif

// The tracker, per sample: d = x - dc (before the tracker moves on), then
// dc += k d, which is dc' = a dc + k x with a = 1 - k. That chain through dc
// would cost a multiply and an add of latency per sample, so the samples go
// in groups of L = 16: with c_0 = 0 and c_(j+1) = a c_j + k x_j (independent
// of dc), dc_j = a^j dc + c_j and d_j = (x_j - c_j) - a^j dc. The c chains of
// eight consecutive groups run side by side (the SIMD lanes); only the dc
// hand-over between groups, dc <- a^L dc + c_L, stays serial. Each lane
// keeps two partial sums of d^2 (even and odd places in the group) and its
// largest |d|; the clipping level is compared once at the end. Every kernel
// performs the same operations in the same order per lane (products and
// sums, no fused multiply-add), so they agree to the last bit.
//
// Everything runs in sample counts: the full scale 2^15 is a power of two,
// so the scaling is exact and done once at the end.

namespace physics {

namespace {

using State = LevelAnalysis::State;
constexpr int L = LevelAnalysis::kGroup;
constexpr int G = LevelAnalysis::kLanes;
// Full scale of a signed 16-bit sample.
constexpr double kFullScale = 32768.0;
// Corner of the DC tracker in Hz.
constexpr double kDcCornerHz = 20.0;

// Whole groups (lane 0) and then single samples: the end of a block.
void tail(State &s, const std::int16_t *p, std::size_t count)
{
    std::size_t i = 0;
    for (; i + L <= count; i += L) {
        double x[L], c[L + 1];
        c[0] = 0.0;
        for (int j = 0; j < L; ++j) {
            x[j] = p[i + j];
            c[j + 1] = s.a * c[j] + s.k * x[j];
        }
        for (int j = 0; j < L; ++j) {
            const double d = (x[j] - c[j]) - s.aPow[j] * s.dc;
            s.peak[0] = std::max(s.peak[0], std::fabs(d));
            s.acc[j & 1][0] += d * d;
        }
        s.dc = s.aPow[L] * s.dc + c[L];
    }
    for (; i < count; ++i) {
        const double d = p[i] - s.dc;
        s.peak[0] = std::max(s.peak[0], std::fabs(d));
        s.dc += s.k * d;
        s.acc[0][0] += d * d;
    }
}

void kernelPortable(State &s, const std::int16_t *p, std::size_t count)
{
    std::size_t i = 0;
    for (; i + G * L <= count; i += G * L) {
        double x[G][L], c[G][L + 1];
        for (int g = 0; g < G; ++g)
            for (int j = 0; j < L; ++j)
                x[g][j] = p[i + g * L + j];
        for (int g = 0; g < G; ++g)
            c[g][0] = 0.0;
        for (int j = 0; j < L; ++j)
            for (int g = 0; g < G; ++g)
                c[g][j + 1] = s.a * c[g][j] + s.k * x[g][j];
        for (int g = 0; g < G; ++g) {
            for (int j = 0; j < L; ++j) {
                const double d = (x[g][j] - c[g][j]) - s.aPow[j] * s.dc;
                s.peak[g] = std::max(s.peak[g], std::fabs(d));
                s.acc[j & 1][g] += d * d;
            }
            s.dc = s.aPow[L] * s.dc + c[g][L];
        }
    }
    tail(s, p + i, count - i);
}

#ifdef TQX_LEVEL_AVX2
// Four samples from p as doubles.
__attribute__((target("avx2"))) inline __m256d load4(const std::int16_t *p)
{
    return _mm256_cvtepi32_pd(_mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p))));
}

// Lanes = groups: lane h of vector t holds sample 4q + t of group h.
__attribute__((target("avx2"))) inline void transpose4(__m256d r[4])
{
    const __m256d t0 = _mm256_unpacklo_pd(r[0], r[1]), t1 = _mm256_unpackhi_pd(r[0], r[1]);
    const __m256d t2 = _mm256_unpacklo_pd(r[2], r[3]), t3 = _mm256_unpackhi_pd(r[2], r[3]);
    r[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    r[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    r[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    r[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// Two blocks of eight groups per step: four independent c chains hide the
// latency of the multiply and add, the rest is throughput.
__attribute__((target("avx2"))) void kernelAvx2(State &s, const std::int16_t *p, std::size_t count)
{
    constexpr int kBlocks = 2;           // blocks of G groups per step
    constexpr int kChains = 2 * kBlocks; // vectors of four groups
    const __m256d va = _mm256_set1_pd(s.a), vk = _mm256_set1_pd(s.k);
    const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    __m256d acc[2][2], peak[2];
    for (int h = 0; h < 2; ++h) {
        acc[0][h] = _mm256_loadu_pd(s.acc[0] + 4 * h);
        acc[1][h] = _mm256_loadu_pd(s.acc[1] + 4 * h);
        peak[h] = _mm256_loadu_pd(s.peak + 4 * h);
    }
    double dc = s.dc;
    std::size_t i = 0;
    for (; i + kBlocks * G * L <= count; i += kBlocks * G * L) {
        __m256d e[L][kChains]; // x_j - c_j; chain v holds groups 4v .. 4v+3
        alignas(32) double cEnd[kBlocks * G];
        __m256d c[kChains];
        for (int v = 0; v < kChains; ++v)
            c[v] = _mm256_setzero_pd();
        for (int q = 0; q < L / 4; ++q) {
            __m256d x[kChains][4];
            for (int v = 0; v < kChains; ++v) {
                for (int g = 0; g < 4; ++g)
                    x[v][g] = load4(p + i + (4 * v + g) * L + 4 * q);
                transpose4(x[v]);
            }
            for (int t = 0; t < 4; ++t) {
                for (int v = 0; v < kChains; ++v) {
                    e[4 * q + t][v] = _mm256_sub_pd(x[v][t], c[v]);
                    c[v] = _mm256_add_pd(_mm256_mul_pd(va, c[v]), _mm256_mul_pd(vk, x[v][t]));
                }
            }
        }
        for (int v = 0; v < kChains; ++v)
            _mm256_store_pd(cEnd + 4 * v, c[v]);
        // Block by block, as the portable kernel adds them: the same order
        // of the partial sums in every lane.
        for (int b = 0; b < kBlocks; ++b) {
            alignas(32) double dcs[G];
            for (int g = 0; g < G; ++g) {
                dcs[g] = dc;
                dc = s.aPow[L] * dc + cEnd[b * G + g];
            }
            const __m256d dcv[2] = {_mm256_load_pd(dcs), _mm256_load_pd(dcs + 4)};
            for (int j = 0; j < L; ++j) {
                const __m256d aj = _mm256_set1_pd(s.aPow[j]);
                for (int h = 0; h < 2; ++h) {
                    const __m256d d = _mm256_sub_pd(e[j][2 * b + h], _mm256_mul_pd(aj, dcv[h]));
                    peak[h] = _mm256_max_pd(peak[h], _mm256_and_pd(d, absMask));
                    acc[j & 1][h] = _mm256_add_pd(acc[j & 1][h], _mm256_mul_pd(d, d));
                }
            }
        }
    }
    for (int h = 0; h < 2; ++h) {
        _mm256_storeu_pd(s.acc[0] + 4 * h, acc[0][h]);
        _mm256_storeu_pd(s.acc[1] + 4 * h, acc[1][h]);
        _mm256_storeu_pd(s.peak + 4 * h, peak[h]);
    }
    s.dc = dc;
    // A last block of eight groups and the end go the portable way.
    kernelPortable(s, p + i, count - i);
}
#endif

} // namespace

double dcTrackerCoefficient(int rate)
{
    const double pi = 4.0 * std::atan(1.0);
    return 1.0 - std::exp(-2.0 * pi * kDcCornerHz / rate);
}

std::int64_t initialDcWindow(int rate)
{
    return static_cast<std::int64_t>(std::nearbyint(0.01 * rate)); // FE_TONEAREST: ties to even
}

bool levelKernelAvailable(LevelKernel kernel)
{
    if (kernel != LevelKernel::Avx2)
        return true;
#ifdef TQX_LEVEL_AVX2
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

LevelAnalysis::LevelAnalysis(int rate, std::int64_t total, LevelKernel kernel)
    : m_rate(rate), m_total(std::max<std::int64_t>(0, total))
{
    m_kernel = kernelPortable;
#ifdef TQX_LEVEL_AVX2
    if (kernel != LevelKernel::Portable && levelKernelAvailable(LevelKernel::Avx2))
        m_kernel = kernelAvx2;
#else
    (void)kernel;
#endif
    if (rate <= 0)
        return;
    // Initial DC estimate over M + 1 samples, divided by 0.01 R (not M + 1).
    // A reading shorter than that window averages what it has.
    m_window = std::min(initialDcWindow(rate) + 1, m_total);
    m_s.k = dcTrackerCoefficient(rate);
    m_s.a = 1.0 - m_s.k;
    m_s.aPow[0] = 1.0;
    for (int j = 0; j < L; ++j)
        m_s.aPow[j + 1] = m_s.aPow[j] * m_s.a;
}

void LevelAnalysis::addDcSamples(const std::int16_t *x, std::size_t n)
{
    for (std::size_t i = 0; i < n && m_dcCount < m_window; ++i, ++m_dcCount)
        m_dcSum += x[i] / kFullScale;
}

void LevelAnalysis::addSamples(const std::int16_t *x, std::size_t n)
{
    if (m_rate <= 0)
        return;
    if (!m_passStarted) {
        m_passStarted = true;
        const double divisor = m_window == initialDcWindow(m_rate) + 1 ? 0.01 * m_rate : double(m_window);
        m_s.dc = m_dcSum / divisor * kFullScale;
    }
    n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), m_total - m_done));
    m_kernel(m_s, x, n);
    m_done += static_cast<std::int64_t>(n);
}

LevelResult LevelAnalysis::result(bool limits) const
{
    LevelResult r;
    if (m_rate <= 0 || m_total <= 0 || m_done < m_total || m_dcCount < m_window)
        return r;
    double power = 0, peak = 0;
    for (int h = 0; h < 2; ++h)
        for (int g = 0; g < G; ++g)
            power += m_s.acc[h][g];
    for (int g = 0; g < G; ++g)
        peak = std::max(peak, m_s.peak[g]);
    r.ok = true;
    r.ms = power / (kFullScale * kFullScale) / double(m_total);
    r.clipped = limits && peak > kClipLevel * kFullScale;
    r.peak = peak / kFullScale;
    r.analysed = m_total;
    return r;
}

LevelResult analyseSamples(const std::int16_t *x, std::int64_t n, int rate, bool limits, LevelKernel kernel)
{
    LevelAnalysis a(rate, n, kernel);
    a.addDcSamples(x, static_cast<std::size_t>(a.dcWindow()));
    constexpr std::int64_t kBlock = 32768;
    for (std::int64_t i = 0; i < n; i += kBlock)
        a.addSamples(x + i, static_cast<std::size_t>(std::min(kBlock, n - i)));
    return a.result(limits);
}

} // namespace physics
