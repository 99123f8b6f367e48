// Byte layout of the time-history file (".TTS"): 64-byte records, a header record, then the steps.
// All multi-byte fields are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hulvex::time_history_layout {

constexpr std::size_t kRecordSize = 64;

// Header (record 0).
constexpr std::size_t kMagic = 0;        // int16
constexpr std::size_t kLastChannel = 2;  // int16
constexpr std::size_t kStartTime = 4;    // real64
constexpr std::size_t kEndTime = 12;     // real64
constexpr std::size_t kHeaderText = 20;  // length byte + 31 characters
constexpr std::size_t kHeaderTextCapacity = 31;
constexpr std::size_t kLastStep = 52;    // int32

constexpr std::int16_t kExpectedMagic = 32000;

// First record of a step.
constexpr std::size_t kStepIndex = 0;    // int32
constexpr std::size_t kStepTime = 4;     // real64
constexpr std::size_t kFirstValues = 12; // 12 x real32: channels 0 ... 11
constexpr int kFirstRecordChannels = 12;

// Each further record of a step: 16 x real32 at offset 0.
constexpr int kValuesPerRecord = 16;
constexpr std::size_t kValueWidth = 4;

// Byte offset of channel c (0 ... LastChannel) within the bytes of a step: channels 0 ... 11 in
// the first record, each further record 16 more.
constexpr std::size_t ChannelOffset(int c) {
  if (c < kFirstRecordChannels) return kFirstValues + kValueWidth * static_cast<std::size_t>(c);
  const int k = c - kFirstRecordChannels;
  return kRecordSize * static_cast<std::size_t>(1 + k / kValuesPerRecord) +
         kValueWidth * static_cast<std::size_t>(k % kValuesPerRecord);
}

// Every buffer of step values holds this many channels, so LastChannel is at most 109.
constexpr int kMaxChannels = 110;

// Records per step at the largest LastChannel.
constexpr int kMaxRecordsPerStep = (kMaxChannels - 1 + 4) / 16 + 1;

// Records per step for a valid LastChannel (0 ... 109): (LastChannel + 4) div 16 + 1.
constexpr int RecordsPerStepFor(int lastChannel) { return (lastChannel + 4) / 16 + 1; }

// Record number of the first record of step s.
constexpr std::int64_t FirstRecordOfStep(std::int64_t s, int recordsPerStep) { return s * recordsPerStep + 1; }

}  // namespace hulvex::time_history_layout
