// Byte layout of the run parameter record (".HVX"): offsets of every field, in one place for the
// reader and the writers. All multi-byte fields are little-endian.
#pragma once

#include <cstddef>

namespace hulvex::run_parameters_layout {

constexpr std::size_t kRecordSize = 328;

constexpr std::size_t kFmtVer = 0;          // uint8
constexpr std::size_t kDOFMode = 1;         // uint8
constexpr std::size_t kBoatFile = 2;        // str85: length byte + 85 characters
constexpr std::size_t kBoatFileCapacity = 85;
constexpr std::size_t kWindV = 88;          // real32
constexpr std::size_t kWvHHS = 92;          // real32
constexpr std::size_t kWvSteep = 96;        // real32
constexpr std::size_t kHeadSea = 104;       // bool8
constexpr std::size_t kTankT = 105;         // bool8
constexpr std::size_t kWaves = 106;         // int16
constexpr std::size_t kStokesN = 108;       // int16
constexpr std::size_t kTmax = 110;          // real32
constexpr std::size_t kRWvN = 118;          // int16
constexpr std::size_t kDetailSp = 120;      // int16
constexpr std::size_t kDetailStrt = 122;    // real32
constexpr std::size_t kDetailStop = 126;    // real32
constexpr std::size_t kHyAeroCD = 138;      // real32
constexpr std::size_t kHyAeroCL = 142;      // real32
constexpr std::size_t kHyDens = 146;        // real32
constexpr std::size_t kCBAR = 154;          // real32
constexpr std::size_t kDTdeg06 = 158;       // real32
constexpr std::size_t kHyNu = 162;          // real32
constexpr std::size_t kRWvTdelay = 170;     // real32
constexpr std::size_t kICZG = 174;          // real32
constexpr std::size_t kICZG1 = 178;         // real32
constexpr std::size_t kICT = 182;           // real32
constexpr std::size_t kICT1 = 186;          // real32
constexpr std::size_t kICV = 190;           // real32
constexpr std::size_t kThrustCount = 234;   // int32
constexpr std::size_t kThrustTbl = 238;     // 7 slots of {Value real32, Time real32}
constexpr std::size_t kThrustSlots = 7;
constexpr std::size_t kBLTbl = 294;         // 4 slots of {Angle real32, Speed real32}
constexpr std::size_t kBLSlots = 4;
constexpr std::size_t kSlotSize = 8;
constexpr std::size_t kSlotValueWidth = 4;  // real32
constexpr std::size_t kStationCount = 326;  // int16

// Offset of value j (0 or 1) of slot k of the slot table at `table`.
constexpr std::size_t SlotValueOffset(std::size_t table, std::size_t k, std::size_t j) {
  return table + kSlotSize * k + kSlotValueWidth * j;
}

// Old layout: the boat-file string at file offset 0, two padding bytes at 86 and 87, then bytes
// 88 ... 327 as in the current record. A first byte up to this value marks the old layout.
constexpr unsigned kOldLayoutMaxFirstByte = 87;
constexpr std::size_t kOldBoatFile = 0;
constexpr std::size_t kOldBoatFileBytes = 86;
constexpr std::size_t kOldPadding = 86;
constexpr std::size_t kOldPaddingBytes = 2;
constexpr std::size_t kSharedTail = 88;  // first byte common to both layouts

// Values the reader gives an old-layout record.
constexpr unsigned kOldLayoutFmtVer = 255;
constexpr unsigned kOldLayoutDOFMode = 1;

}  // namespace hulvex::run_parameters_layout
