#pragma once
// Level analysis of a sound-card reading: a 20 Hz one-pole DC tracker, the
// mean square of the DC-removed samples and the clipping check. Streams
// blocks of host-order signed 16-bit samples (full scale 32768); holds no
// buffer of the whole reading. One object per reading, any one thread.
//
// Arithmetic: the tracker runs in groups of 16 samples whose inner chains do
// not depend on the DC estimate (see Level.cpp), so explicit SIMD (AVX2,
// chosen at run time) and the portable loop compute bit-identical results;
// the sum of squares is kept in 16 partial sums added at the end, an order
// that differs from a sample-by-sample running sum by rounding only
// (relative 1e-12 and far below).

#include <cstddef>
#include <cstdint>

namespace physics {

struct LevelResult {
    bool ok = false;           // false: no sample could be analysed
    double ms = 0;             // mean square of the DC-removed samples (full scale = 1)
    bool clipped = false;      // a DC-removed sample exceeded 0.4 of full scale
    std::int64_t analysed = 0; // samples that went into ms
    double peak = 0;           // largest |DC-removed sample| (full scale = 1)
};

// DC-removed magnitude, relative to full scale, above which a reading clips.
inline constexpr double kClipLevel = 0.4;

// One-pole low-pass with a 20 Hz corner that tracks the sound card's DC
// offset: k = 1 - exp(-2 pi 20 / rate), rate in Hz.
double dcTrackerCoefficient(int rate);
// Samples summed for the initial DC estimate minus one: 0.01 * rate rounded
// half-to-even (441 at 44100 Hz, 220 at 22050 Hz).
std::int64_t initialDcWindow(int rate);

enum class LevelKernel { Auto, Portable, Avx2 };
// Whether this machine runs the kernel (Auto and Portable always).
bool levelKernelAvailable(LevelKernel kernel);

class LevelAnalysis
{
public:
    // A reading of `total` samples at `rate` Hz; `kernel` Auto takes the
    // fastest one this machine runs.
    LevelAnalysis(int rate, std::int64_t total, LevelKernel kernel = LevelKernel::Auto);

    // First pass: the initial DC estimate over the first dcWindow() samples
    // (0.01 rate + 1, or the whole reading when shorter), fed in order.
    std::int64_t dcWindow() const { return m_window; }
    void addDcSamples(const std::int16_t *x, std::size_t n);
    // Second pass: all `total` samples from the first, in order, in blocks.
    // Blocks of a multiple of 128 samples keep the grouping of one call.
    void addSamples(const std::int16_t *x, std::size_t n);
    // limits: whether a clipped sample counts (the measurement limits option).
    LevelResult result(bool limits) const;

    static constexpr int kGroup = 16; // samples per tracker group
    static constexpr int kLanes = 8;  // groups run side by side

    // State shared by the kernels; sample counts (full scale = 32768).
    struct State {
        double a = 0, k = 0;       // tracker: dc' = a dc + k x, a = 1 - k
        double aPow[kGroup + 1]{}; // a^j
        double dc = 0;             // DC estimate before the next sample
        double acc[2][kLanes]{};   // squares by parity of the place in the group, by lane
        double peak[kLanes]{};     // largest |d| by lane
    };

private:
    State m_s;
    int m_rate = 0;
    std::int64_t m_total = 0, m_window = 0, m_done = 0;
    double m_dcSum = 0;
    std::int64_t m_dcCount = 0;
    bool m_passStarted = false;
    void (*m_kernel)(State &, const std::int16_t *, std::size_t) = nullptr;
};

// The whole analysis of `n` samples in memory.
LevelResult analyseSamples(const std::int16_t *x, std::int64_t n, int rate, bool limits,
                           LevelKernel kernel = LevelKernel::Auto);

} // namespace physics
