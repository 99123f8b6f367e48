#include "common/diagnostics.h"

#include <gtest/gtest.h>

#include <string>

#include "common/check.h"
#include "common/error.h"

namespace hulvex {
namespace {

TEST(MessageSummary, CountsByKindWithTheFirstTextAsExample) {
  struct Case {
    const char* name;
    std::vector<Diagnostic> messages;
    std::string text;
  };
  const auto steps = [](int n) {
    std::vector<Diagnostic> d;
    for (int s = 0; s < n; ++s) d.push_back({"step-number", "KVR JT ERROR!" + std::to_string(-s) + " " + std::to_string(s)});
    return d;
  };
  std::vector<Diagnostic> mixed = steps(3);
  mixed.insert(mixed.begin() + 1, {"boat-file", "Boat File Not Found!"});
  const Case cases[] = {
      {"none", {}, ""},
      {"one", steps(1), "KVR JT ERROR!0 0"},
      {"a kind that varies per step is one line", steps(20000), "KVR JT ERROR!0 0 (20000 times)"},
      {"kinds in order of first appearance", mixed, "KVR JT ERROR!0 0 (3 times)\nBoat File Not Found!"},
      {"the same text of two kinds is two lines", {{"a", "x"}, {"b", "x"}}, "x\nx"},
  };
  for (const Case& c : cases) {
    MessageSummary summary;
    for (const Diagnostic& d : c.messages) summary.Add(d);
    EXPECT_EQ(summary.Text(), c.text) << c.name;
    EXPECT_EQ(summary.Empty(), c.messages.empty()) << c.name;
  }
}

TEST(MessageSummary, TenKindsThenTheCountOfTheOtherMessages) {
  MessageSummary summary;
  std::string expected;
  for (std::size_t k = 0; k < MessageSummary::kShownKinds; ++k) {
    summary.Add({"k" + std::to_string(k), "m" + std::to_string(k)});
    expected += "m" + std::to_string(k) + "\n";
  }
  summary.Add({"k10", "eleventh kind"});
  EXPECT_EQ(summary.Text(), expected + "… and 1 more message");
  summary.Add({"k10", "eleventh kind again"});
  summary.Add({"k11", "twelfth kind"});
  summary.Add({"k0", "a shown kind keeps counting"});
  EXPECT_EQ(summary.Text(" | "), "m0 (2 times) | m1 | m2 | m3 | m4 | m5 | m6 | m7 | m8 | m9 | … and 3 more messages");
  summary.Clear();
  EXPECT_TRUE(summary.Empty());
  summary.Add({"k11", "after a clear"});
  EXPECT_EQ(summary.Text(), "after a clear");
}

TEST(CollectingDiagnostics, KeepsTextsAndKinds) {
  CollectingDiagnostics diag;
  diag.Message("axb", "AXB ERR");
  ASSERT_EQ(diag.diagnostics.size(), 1u);
  EXPECT_EQ(diag.diagnostics[0].Kind, "axb");
  EXPECT_EQ(diag.messages, std::vector<std::string>{"AXB ERR"});
}

TEST(HulvexAssert, ThrowsAnInternalErrorNamingTheConditionNeverAnError) {
  const int three = 3;
  EXPECT_NO_THROW(HULVEX_ASSERT(three == 3));
  try {
    HULVEX_ASSERT(three < 2);
    FAIL() << "no throw";
  } catch (const Error&) {
    FAIL() << "an invariant is not a user's error";
  } catch (const InternalError& e) {
    const std::string what = e.what();
    EXPECT_TRUE(what.starts_with("Internal error: three < 2 (")) << what;
    EXPECT_NE(what.find("diagnostics_test.cpp:"), std::string::npos) << what;
  }
}

}  // namespace
}  // namespace hulvex
