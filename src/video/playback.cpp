#include "video/playback.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "video/readout.h"

namespace hulvex {
namespace {
constexpr double kMaxIntervalMs = 86'400'000.0;
constexpr std::int64_t kMaxLagMs = 1000;
}  // namespace

std::int64_t FrameIntervalMs(double t, double lastFrameTime, float videoMult) {
  const double ms = std::nearbyint(static_cast<double>(videoMult) * 1000.0 * (t - lastFrameTime));
  if (!std::isfinite(ms) || ms > kMaxIntervalMs) return static_cast<std::int64_t>(kMaxIntervalMs);
  if (ms < -kMaxIntervalMs) return static_cast<std::int64_t>(-kMaxIntervalMs);
  return static_cast<std::int64_t>(ms);
}

NextFrame ChooseNextFrame(std::span<const double> stepTimes, std::int32_t lastStep, std::int32_t videoPos,
                          double lastFrameTime, float videoMult) {
  NextFrame next;
  std::int32_t pos = videoPos;
  for (;;) {
    ++pos;
    if (pos >= lastStep) {
      next.ended = true;
      next.step = lastStep;
      return next;
    }
    const std::int64_t delta = FrameIntervalMs(stepTimes[static_cast<std::size_t>(pos)], lastFrameTime, videoMult);
    if (delta >= kMinFrameMs) {
      next.step = pos;
      next.intervalMs = delta;
      return next;
    }
  }
}

float CameraTrackOffset(float track, float distance) {
  return static_cast<float>(static_cast<double>(track) - distance);
}

float CameraShift(float distance, float track, float offset, float length) {
  return static_cast<float>((static_cast<double>(distance) - track + offset) / length);
}

void FramePacer::Start(std::int64_t nowMs, std::int64_t firstIntervalMs) { deadline_ = nowMs + firstIntervalMs; }

std::int64_t FramePacer::Next(std::int64_t nowMs, std::int64_t intervalMs) {
  if (nowMs - deadline_ > kMaxLagMs) deadline_ = nowMs;
  deadline_ += intervalMs;
  const std::int64_t timeout = deadline_ - nowMs;
  return timeout > 0 ? timeout : 0;
}

std::string ShortestVideoMult(float videoMult) {
  std::array<char, 32> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), videoMult);
  return std::string(text.data(), result.ptr);
}

std::string FormatVideoMult(float videoMult) {
  const std::string shortest = ShortestVideoMult(videoMult);
  return std::string(shortest.size() < 10 ? 10 - shortest.size() : 0, ' ') + shortest;
}

std::optional<float> ParseVideoMult(const std::string& text) {
  static const std::regex kNumber(R"( *[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?)");
  if (!std::regex_match(text, kNumber)) return std::nullopt;
  const float value = std::strtof(text.c_str(), nullptr);  // read as single precision directly
  if (!std::isfinite(value) || !(value > 0.0f)) return std::nullopt;
  return value;
}

}  // namespace hulvex
