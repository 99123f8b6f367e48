#include "report/json_writer.h"

#include <cstdio>

#include "common/number_format.h"
#include "common/text_encoding.h"

namespace hulvex {

namespace {

std::string Quote(std::string_view utf8) {
  std::string s = "\"";
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': s += "\\\""; break;
      case '\\': s += "\\\\"; break;
      case '\n': s += "\\n"; break;
      case '\r': s += "\\r"; break;
      case '\t': s += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          s += buf;
        } else {
          s += ch;
        }
    }
  }
  s += '"';
  return s;
}

}  // namespace

void JsonWriter::NewLine() {
  out_ += '\n';
  out_.append(2 * stack_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (stack_.empty()) return;
  Level& level = stack_.back();
  if (!level.empty) out_ += level.inlined ? ", " : ",";
  if (!level.inlined) NewLine();
  level.empty = false;
}

void JsonWriter::Raw(std::string_view text) {
  BeforeValue();
  out_ += text;
  if (stack_.empty()) out_ += "\n";
}

void JsonWriter::Open(bool object, char bracket) {
  BeforeValue();
  // Containers inside arrays, and arrays anywhere, are written on one line; objects elsewhere one
  // member per line.
  const bool inlined = oneLine_ || !object || (!stack_.empty() && (stack_.back().inlined || !stack_.back().object));
  out_ += bracket;
  stack_.push_back({object, inlined});
}

void JsonWriter::Close(char bracket) {
  const Level level = stack_.back();
  stack_.pop_back();
  if (!level.inlined && !level.empty) NewLine();
  out_ += bracket;
  if (stack_.empty()) out_ += "\n";
}

JsonWriter& JsonWriter::BeginObject() { Open(true, '{'); return *this; }
JsonWriter& JsonWriter::EndObject() { Close('}'); return *this; }
JsonWriter& JsonWriter::BeginArray() { Open(false, '['); return *this; }
JsonWriter& JsonWriter::EndArray() { Close(']'); return *this; }

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  out_ += Quote(key);
  out_ += ": ";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::Number(double v) { Raw(FormatJsonNumber(v)); return *this; }
JsonWriter& JsonWriter::Integer(std::int64_t v) { Raw(std::to_string(v)); return *this; }
JsonWriter& JsonWriter::Bool(bool v) { Raw(v ? "true" : "false"); return *this; }
JsonWriter& JsonWriter::Null() { Raw("null"); return *this; }

JsonWriter& JsonWriter::String(std::string_view utf8) { Raw(Quote(utf8)); return *this; }

JsonWriter& JsonWriter::Text8(std::string_view bytes) { return String(Windows1252ToUtf8(bytes)); }

}  // namespace hulvex
