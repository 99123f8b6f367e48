// Text from the run's files is 8-bit text in the Windows code page; the program works in UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace hulvex {

bool IsValidUtf8(std::string_view bytes);

// Every byte decoded as Windows-1252 (the five unassigned codes map to the C1 controls).
std::string Windows1252ToUtf8(std::string_view bytes);

// A text file shown to the user: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
// A leading UTF-8 byte-order mark is dropped.
std::string DecodeTextFile(std::string_view bytes);

}  // namespace hulvex
