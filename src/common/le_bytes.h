// Little-endian field decoding and encoding at explicit offsets of a byte buffer.
// Every reader and writer asserts that the field lies inside the buffer: record readers check
// record sizes (with Error) before decoding, so a field outside its buffer is a programming fault
// (InternalError, see common/check.h).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "common/check.h"

namespace hulvex::le {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

inline void CheckRange(std::size_t size, std::size_t offset, std::size_t width) {
  HULVEX_ASSERT(offset <= size && width <= size - offset);
}

inline std::uint64_t LoadUnsigned(Bytes b, std::size_t offset, std::size_t width) {
  CheckRange(b.size(), offset, width);
  std::uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, b.data() + offset, width);  // one load where the width is known
  } else {
    for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t{b[offset + i]} << (8 * i);
  }
  return v;
}

inline void StoreUnsigned(MutableBytes b, std::size_t offset, std::size_t width, std::uint64_t v) {
  CheckRange(b.size(), offset, width);
  for (std::size_t i = 0; i < width; ++i) b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint8_t uint8(Bytes b, std::size_t offset) {
  return static_cast<std::uint8_t>(LoadUnsigned(b, offset, 1));
}
inline std::int16_t int16(Bytes b, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(LoadUnsigned(b, offset, 2)));
}
inline std::int32_t int32(Bytes b, std::size_t offset) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(LoadUnsigned(b, offset, 4)));
}
inline float real32(Bytes b, std::size_t offset) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(LoadUnsigned(b, offset, 4)));
}
inline double real64(Bytes b, std::size_t offset) {
  return std::bit_cast<double>(LoadUnsigned(b, offset, 8));
}

// A length-prefixed string of `capacity` characters occupying capacity + 1 bytes: one length byte,
// then the characters. A length byte above the capacity is cut to the capacity. The characters are
// returned as stored (8-bit, Windows code page).
inline std::string LengthPrefixed(Bytes b, std::size_t offset, std::size_t capacity) {
  CheckRange(b.size(), offset, capacity + 1);
  std::size_t n = b[offset];
  if (n > capacity) n = capacity;
  return std::string(reinterpret_cast<const char*>(b.data() + offset + 1), n);
}

// `width` characters stored without a length byte (for example a blank-padded name).
inline std::string FixedChars(Bytes b, std::size_t offset, std::size_t width) {
  CheckRange(b.size(), offset, width);
  return std::string(reinterpret_cast<const char*>(b.data() + offset), width);
}

inline void put_uint8(MutableBytes b, std::size_t offset, std::uint8_t v) { StoreUnsigned(b, offset, 1, v); }
inline void put_int16(MutableBytes b, std::size_t offset, std::int16_t v) {
  StoreUnsigned(b, offset, 2, static_cast<std::uint16_t>(v));
}
inline void put_int32(MutableBytes b, std::size_t offset, std::int32_t v) {
  StoreUnsigned(b, offset, 4, static_cast<std::uint32_t>(v));
}
inline void put_real32(MutableBytes b, std::size_t offset, float v) {
  StoreUnsigned(b, offset, 4, std::bit_cast<std::uint32_t>(v));
}
inline void put_real64(MutableBytes b, std::size_t offset, double v) {
  StoreUnsigned(b, offset, 8, std::bit_cast<std::uint64_t>(v));
}

// Writes a length-prefixed string of `capacity` characters; a longer text is cut. The bytes after
// the text are left as they were.
inline void put_LengthPrefixed(MutableBytes b, std::size_t offset, std::size_t capacity, const std::string& s) {
  CheckRange(b.size(), offset, capacity + 1);
  std::size_t n = s.size() < capacity ? s.size() : capacity;
  b[offset] = static_cast<std::uint8_t>(n);
  for (std::size_t i = 0; i < n; ++i) b[offset + 1 + i] = static_cast<std::uint8_t>(s[i]);
}

// Writes `width` characters, padding a shorter text with `pad` and cutting a longer one.
inline void put_FixedChars(MutableBytes b, std::size_t offset, std::size_t width, const std::string& s, char pad = ' ') {
  CheckRange(b.size(), offset, width);
  for (std::size_t i = 0; i < width; ++i) b[offset + i] = static_cast<std::uint8_t>(i < s.size() ? s[i] : pad);
}

}  // namespace hulvex::le
