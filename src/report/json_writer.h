// A small streaming JSON writer with the number format the command-line tool promises: the
// shortest text that reads back exactly (FormatJsonNumber). Keys keep the order they are written in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hulvex {

class JsonWriter {
public:
  JsonWriter() = default;
  // oneLine: the whole document on one line (for JSON Lines); otherwise objects outside arrays
  // put one member per line.
  explicit JsonWriter(bool oneLine) : oneLine_(oneLine) {}

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);  // inside an object, before each value

  // FormatJsonNumber(v): finite numbers in the shortest form that reads back exactly; NaN and the
  // infinities as the strings "NaN", "Infinity" and "-Infinity" (JSON has no such numbers).
  JsonWriter& Number(double v);
  JsonWriter& Integer(std::int64_t v);
  JsonWriter& Bool(bool v);
  JsonWriter& Null();
  JsonWriter& String(std::string_view utf8);
  // A string stored in the run's files (8-bit, Windows code page), written as UTF-8.
  JsonWriter& Text8(std::string_view bytes);

  // The document written so far, ending with a newline once the outermost value is closed.
  const std::string& str() const { return out_; }

private:
  struct Level {
    bool object;
    bool inlined;
    bool empty = true;
  };
  void BeforeValue();
  void NewLine();
  void Open(bool object, char bracket);
  void Close(char bracket);
  void Raw(std::string_view text);
  std::string out_;
  std::vector<Level> stack_;
  bool afterKey_ = false;
  bool oneLine_ = false;
};

}  // namespace hulvex
