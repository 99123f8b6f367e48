// Playback pacing: which step the next tick shows and when, independent of any window or timer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hulvex {

// Frames are shown for at least this long; closer steps are skipped.
constexpr std::int64_t kMinFrameMs = 40;
// The first tick comes this long after Go.
constexpr std::int64_t kFirstTickMs = 300;

// Interval in ms between a frame at lastFrameTime and step time t at the multiplier: the
// rounded (halves to even) multiplier x 1000 x (t - lastFrameTime). Non-finite results and
// results beyond a day are held at one day (86 400 000 ms).
std::int64_t FrameIntervalMs(double t, double lastFrameTime, float videoMult);

struct NextFrame {
  bool ended = false;         // the last step is reached: stop, make it current; nothing is composed
  std::int32_t step = 0;      // the step to compose (or the last step when ended)
  std::int64_t intervalMs = 0;  // how long the frame shown now stays before the next tick
};

// The step after videoPos whose time is at least 40 ms (at the multiplier) after lastFrameTime,
// or `ended` at lastStep. stepTimes has at least lastStep + 1 entries.
NextFrame ChooseNextFrame(std::span<const double> stepTimes, std::int32_t lastStep, std::int32_t videoPos,
                          double lastFrameTime, float videoMult);

// The camera of the playback. The offset is taken at the step the playback starts from: the
// camera track there minus the boat's distance there (channel 6, ft).
float CameraTrackOffset(float track, float distance);
// The picture's shift to the left, in boat lengths, of a step the playback shows after its first:
// (distance - track + offset) / length, with the step's distance and camera track, the offset of
// CameraTrackOffset and the boat length (ft). The picture then follows the track and shows the
// surges about it.
float CameraShift(float distance, float track, float offset, float length);

// Keeps each tick on its deadline: every deadline is the previous deadline plus the requested
// interval, so the time a tick takes does not accumulate as drift. Times in ms of a monotonic clock.
class FramePacer {
public:
  // The first deadline: now + firstIntervalMs.
  void Start(std::int64_t nowMs, std::int64_t firstIntervalMs);
  // Moves the deadline on by intervalMs from the previous deadline and returns the timer's next
  // timeout from now (0 when already late). When the ticks have fallen more than one second
  // behind (a stalled machine), the schedule restarts from now instead of rushing to catch up.
  std::int64_t Next(std::int64_t nowMs, std::int64_t intervalMs);
  std::int64_t deadline() const { return deadline_; }

private:
  std::int64_t deadline_ = 0;
};

// The shortest decimal text that reads back as exactly `videoMult` ("0.004", "2", "1e-05").
std::string ShortestVideoMult(float videoMult);

// The multiplier as the dialog shows it: ShortestVideoMult right-aligned in 10 characters (wider
// when it needs more), so that accepting the dialog unchanged keeps the value.
std::string FormatVideoMult(float videoMult);

// The multiplier typed by the user: leading blanks, an optional sign, digits with an optional
// decimal point and digits, an optional exponent, nothing after. Nothing when the text is not
// such a number or the number is not greater than 0 (or not finite in single precision).
std::optional<float> ParseVideoMult(const std::string& text);

}  // namespace hulvex
