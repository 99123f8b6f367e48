#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace hulvex {
namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

TEST(TextEncoding, RecognisesValidAndInvalidUtf8) {
  const Utf8Case cases[] = {
      {"ascii", "Run 12: head sea", true},
      {"two-byte", "\xC3\xA9t\xC3\xA9", true},
      {"three-byte euro", "\xE2\x82\xAC", true},
      {"four-byte", "\xF0\x9F\x9A\xA4", true},
      {"lone continuation", "\x80", false},
      {"cp1252 e-acute", "caf\xE9", false},
      {"truncated sequence", "\xE2\x82", false},
      {"overlong slash", "\xC0\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"beyond unicode", "\xF4\x90\x80\x80", false},
      {"empty", "", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.name;
}

TEST(TextEncoding, Windows1252MapsTheHighRange) {
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");      // euro sign
  EXPECT_EQ(Windows1252ToUtf8("\x96"), "\xE2\x80\x93");      // en dash
  EXPECT_EQ(Windows1252ToUtf8("\xB0"), "\xC2\xB0");          // degree sign
  EXPECT_EQ(Windows1252ToUtf8("\xE9"), "\xC3\xA9");          // e acute
  EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xC2\x81");          // unassigned: the C1 control
  EXPECT_EQ(Windows1252ToUtf8("plain"), "plain");
}

TEST(TextEncoding, TextFilesAreUtf8WhenValidElseWindows1252) {
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "Deadrise 20\xC2\xB0"), "Deadrise 20\xC2\xB0");
  EXPECT_EQ(DecodeTextFile("Deadrise 20\xB0"), "Deadrise 20\xC2\xB0");
  EXPECT_EQ(DecodeTextFile("line 1\r\nline 2\r\n"), "line 1\r\nline 2\r\n");
}

}  // namespace
}  // namespace hulvex
