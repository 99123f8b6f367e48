// Spectra of sampled series: equal sampling intervals, Welch's averaged periodograms (power and
// cross spectral densities, SciPy's `welch`/`csd` with a periodic Hann window, half-overlapping
// segments, each segment's mean removed, one-sided density scaling), their moments and periods,
// and transfer functions from one series to others. Transforms by FFTW (FftFilter).
#pragma once

#include <complex>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/series.h"

namespace hulvex::analysis {

inline constexpr std::size_t kLeastSpectrumSamples = 64;   // fewer give no spectrum
inline constexpr std::size_t kLeastSegmentSamples = 16;    // the shortest segment asked for
inline constexpr std::size_t kLongestDefaultSegment = 16384;

// Equally spaced samples t_first + i * Interval, i = 0 ... Count - 1.
struct SampleGrid {
  double First = 0;
  double Interval = 0;  // (t_last - t_first) / (Count - 1)
  std::size_t Count = 0;
  bool Resampled = false;  // some step interval differs from Interval by more than 1e-6 of it
};

// The grid of `time` (at least 2 non-decreasing finite times): Resampled when any interval differs
// from the mean interval by more than 1e-6 relative. Interval is 0 when the times do not advance.
SampleGrid GridOf(std::span<const double> time);

// `values` (one per time) on `grid`: copied when the grid is not Resampled, else linearly
// interpolated at each grid time (a run of equal times takes its last value). out.size() ==
// grid.Count; `time` non-decreasing.
void SampleOnGrid(std::span<const double> time, std::span<const double> values, const SampleGrid& grid,
                  std::span<double> out);

// The segment length of `samples` samples: `asked` (a power of two, at least 16) or, when 0, the
// largest power of two not above samples / 8, at least 64 and at most 16384; never more than the
// largest power of two not above `samples`. Missing, with the reason, below 64 samples.
Maybe<std::size_t> SegmentLength(std::size_t samples, std::size_t asked);

// Whether n is a power of two of at least 16 (what SegmentLength accepts as `asked`).
bool IsSegmentLength(std::size_t n);

// Welch densities of several series (at least one) of equal length n sampled at `sampleRate` Hz, segments of
// `segment` samples (a power of two, at least 16, at most n) starting at 0, segment/2, ... while
// they fit whole. Bin k (0 ... segment/2) is at k * sampleRate / segment Hz.
struct WelchSpectra {
  double SampleRate = 0;
  std::size_t SegmentSamples = 0;
  std::size_t Segments = 0;
  std::vector<double> Frequencies;
  std::vector<std::vector<double>> Power;                // per series, unit^2/Hz
  std::vector<std::vector<std::complex<double>>> Cross;  // per series: the reference's conjugate times it; empty without one
};

// The layout alone (SampleRate, SegmentSamples, Segments, Frequencies) of `samples` samples
// (>= segment), without densities.
WelchSpectra WelchLayout(std::size_t samples, double sampleRate, std::size_t segment);

// `reference`: the index of the series whose cross spectra with every series are wanted (its own
// is its power), or none.
WelchSpectra ComputeWelch(std::span<const std::span<const double>> series, double sampleRate, std::size_t segment,
                          std::optional<std::size_t> reference = std::nullopt);

// The moments and periods of a one-sided density `power` at `frequencies` (equal bins of width
// `binWidth`, starting at 0 Hz): m_j = sum f_k^j P_k binWidth.
struct SpectralFigures {
  double M0 = 0, M1 = 0, M2 = 0, M4 = 0;
  double SignificantDoubleAmplitude = 0;  // 4 sqrt(m0)
  Maybe<double> Tz;         // sqrt(m0 / m2), s
  Maybe<double> Tp;         // 1 / the frequency of the largest density above 0 Hz, s
  Maybe<double> Bandwidth;  // sqrt(max(0, 1 - m2^2 / (m0 m4)))
};
SpectralFigures FiguresOf(std::span<const double> frequencies, std::span<const double> power, double binWidth);

// A transfer function from the reference r to a series x, at every bin: values only where
// S_rr >= 1 % of its largest value (and above 0); elsewhere none.
struct TransferFunction {
  std::vector<std::optional<double>> Gain;       // |S_rx| / S_rr
  std::vector<std::optional<double>> PhaseDeg;   // the angle of S_rx, degrees in (-180, 180]
  std::vector<std::optional<double>> Coherence;  // |S_rx|^2 / (S_rr S_xx); none where S_xx is 0
};
TransferFunction TransferOf(std::span<const double> referencePower, std::span<const double> power,
                            std::span<const std::complex<double>> cross);

}  // namespace hulvex::analysis
