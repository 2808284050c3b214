#pragma once
// Power spectral density of the sound-card input by Welch's method, and the
// receiver's passband with its equivalent noise bandwidth read off it.
//
// Units: samples are signed 16-bit (full scale 32768); the PSD is one-sided,
// in full scale squared per hertz, scaled so that its integral over
// 0 .. rate/2 is the mean square of the (mean-removed) signal, the quantity
// a reading measures (a full-scale sine integrates to 0.5). 10 log10 of a
// bin is dBFS/Hz on the same scale as the level fields' dB.
//
// The FFT is FFTW's real-to-complex transform. Creating an FFTW plan is not
// thread-safe: construct WelchSpectrum objects on one thread (the
// user-interface thread); each object then runs its own plan.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace physics {

class WelchSpectrum
{
public:
    // Longest segment (samples) and most periodograms kept: the buffers
    // stay within a few hundred MiB whatever a caller passes (a segment of
    // 65536 samples is 0.17 s even at 384 kHz, bins of 5.9 Hz).
    static constexpr int kMaxSegment = 1 << 16;
    static constexpr int kMaxKeep = 1024;

    // Segments of `segment` samples (even, 16 .. kMaxSegment) at `rate` Hz
    // (a rate that is not a positive number counts as 1 Hz), each with its
    // mean removed and a Hann window applied, overlapping by half.
    // `keep` > 0: the estimate is the mean of the latest `keep` (at most
    // kMaxKeep) periodograms (a sliding average for a live display); 0: of
    // all since the last reset().
    WelchSpectrum(int segment, double rate, int keep = 0);
    ~WelchSpectrum();
    WelchSpectrum(const WelchSpectrum &) = delete;
    WelchSpectrum &operator=(const WelchSpectrum &) = delete;

    // The next samples of the signal, in order.
    void add(const std::int16_t *x, std::size_t n);
    // Forgets everything (after a gap in the signal).
    void reset();

    int segment() const { return m_segment; }
    double binHz() const { return m_rate / m_segment; } // bin k is at k binHz()
    int averaged() const;                               // periodograms in the estimate
    // segment/2 + 1 bins from 0 Hz to rate/2, FS^2/Hz; empty before the
    // first whole segment.
    std::vector<double> psd() const;

private:
    void transform();

    int m_segment;
    double m_rate;
    int m_keep;
    double *m_in = nullptr; // FFTW buffers (fftw_malloc)
    void *m_out = nullptr;
    void *m_plan = nullptr;
    std::vector<double> m_window;
    double m_scale = 0;                      // periodogram scale: 1 / (rate sum w^2 32768^2)
    std::vector<double> m_fill;              // samples of the segment being filled
    std::vector<std::vector<double>> m_ring; // latest periodograms (keep > 0)
    std::size_t m_next = 0;                  // ring slot to overwrite next
    std::vector<double> m_sum;               // running sum (keep == 0)
    long long m_count = 0;
};

// The passband of a receiver's noise spectrum, read off a PSD.
struct Passband {
    bool ok = false; // false: empty or all-zero spectrum
    int peakBin = 0; // highest bin of the raw PSD (a tone, a birdie or the noise)
    int lowBin = 0;  // first and last bin of the passband
    int highBin = 0;
    double plateau = 0; // passband PSD level, FS^2/Hz
    double enbwHz = 0;  // equivalent noise bandwidth (Hz)
    // The line that stands highest above the noise beside it (a tone, hum,
    // a birdie), reported only when it stands more than kLineShownDb above
    // it; lineBin -1: none does.
    int lineBin = -1;
    double lineHz = 0; // its frequency, interpolated between bins (Hz)
    double lineDb = 0; // how far its bin stands above the noise there (dB)
};

// A line must stand this far (dB) above the median of the bins around it to
// count as one. In white noise the highest of the 2049 bins of a 4096-point
// segment stands above that median by chance: about 4.5 dB (7.4 dB in the
// worst of 20000 trials) when 8 or more half-overlapping segments are
// averaged, but with 4 segments it passes 10 dB about once in 2000 spectra,
// and a single periodogram passes it more often than not. Judge lines only
// on an average of kLineMinSegments or more.
inline constexpr int kLineMinSegments = 8;
inline constexpr double kLineShownDb = 10.0;

// Median of each bin and its `half` neighbours on either side (fewer at the
// ends). Removes lines a few bins wide (hum, birdies, a tone) and keeps the
// steps of a passband edge.
std::vector<double> medianSmooth(const std::vector<double> &x, int half);

// The passband of the noise in `psd` (bins `binHz` apart) and its
// equivalent noise bandwidth, ENBW = (integral of the PSD over the passband)
// / (the passband's peak PSD), in Hz: the width of the ideal rectangular
// filter that passes the same noise power. Lines are removed first (bins
// 6 dB above the median of their 15 neighbours, with the window's leakage
// around them, then a median over the rest), so hum and birdies neither set
// the peak nor add to the integral. The peak PSD is the plateau: the mean of the smoothed bins
// near the highest one (within what the estimate's own scatter explains,
// 0.2 to 2 dB), so that the scatter does not bias it upward. The passband is the run of bins around the
// highest smoothed bin that stays within 20 dB of the plateau; a fourth-order band-pass keeps well under 1 %
// of its noise power beyond that. The line is the bin with the highest ratio of the raw PSD to that
// line-free smoothed PSD, when the ratio exceeds kLineShownDb and `averaged` (the periodograms in the
// estimate) is at least kLineMinSegments.
Passband findPassband(const std::vector<double> &psd, double binHz, int averaged = kLineMinSegments);

} // namespace physics
