#include "common/file_lookup.h"

#include <gtest/gtest.h>

#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {

TEST(FileLookup, SiblingFoundInAnyLetterCase) {
  test_support::TempDir dir;
  demo::WriteTextFile(dir / "Run1.tts", "x");
  demo::WriteTextFile(dir / "Run1.TXT", "x");
  EXPECT_EQ(SiblingPath(dir / "Run1", ".TTS"), dir / "Run1.tts");
  EXPECT_EQ(SiblingPath(dir / "Run1", ".TXT"), dir / "Run1.TXT");
  EXPECT_EQ(SiblingPath(dir / "run1", ".TXT"), dir / "Run1.TXT");
  // Nothing there: the exact path, so the error names what was looked for.
  EXPECT_EQ(SiblingPath(dir / "Run1", ".HVX"), dir / "Run1.HVX");
}

TEST(FileLookup, TheRunsOwnSpellingWinsWhenTwoRunsDifferOnlyInCase) {
  test_support::TempDir dir;
  for (const char* name : {"RUN.HVX", "RUN.TTS", "run.hvx", "run.tts"}) demo::WriteTextFile(dir / name, name);
  EXPECT_EQ(SiblingPath(dir / "run", ".HVX"), dir / "run.hvx");
  EXPECT_EQ(SiblingPath(dir / "run", ".TTS"), dir / "run.tts");
  EXPECT_EQ(SiblingPath(dir / "RUN", ".TTS"), dir / "RUN.TTS");
  EXPECT_EQ(SiblingPath(dir / "Run", ".TTS"), dir / "RUN.TTS");  // neither spelling: first in name order
}

TEST(FileLookup, ExactNameWinsOverCaseInsensitiveMatch) {
  test_support::TempDir dir;
  demo::WriteTextFile(dir / "BOAT.BOT", "a");
  demo::WriteTextFile(dir / "boat.bot", "b");
  EXPECT_EQ(FindInDirectory(dir.path(), "boat.bot"), dir / "boat.bot");
  EXPECT_EQ(FindInDirectory(dir.path(), "BOAT.BOT"), dir / "BOAT.BOT");
  EXPECT_EQ(FindInDirectory(dir.path(), "Boat.Bot"), dir / "BOAT.BOT");  // first in name order
  EXPECT_FALSE(FindInDirectory(dir.path(), "other.bot"));
  EXPECT_FALSE(FindInDirectory(dir.path(), ""));
  EXPECT_FALSE(FindInDirectory(dir / "missing", "boat.bot"));
}

TEST(FileLookup, RunPathDropsTheRunFileExtensionOnly) {
  EXPECT_EQ(RunPathOf("/data/RUN7.HVX"), "/data/RUN7");
  EXPECT_EQ(RunPathOf("/data/RUN7.hvx"), "/data/RUN7");
  EXPECT_EQ(RunPathOf("/data/RUN7"), "/data/RUN7");
  EXPECT_EQ(RunPathOf("/data/RUN7.TTS"), "/data/RUN7.TTS");
  EXPECT_EQ(RunPathOf(".HVX"), ".HVX");
}

TEST(FileLookup, LastComponentAfterAnySeparator) {
  EXPECT_EQ(LastComponent("C:\\BOATS\\FAST.BOT", "\\:"), "FAST.BOT");
  EXPECT_EQ(LastComponent("C:FAST.BOT", "\\:"), "FAST.BOT");
  EXPECT_EQ(LastComponent("FAST.BOT", "\\:"), "FAST.BOT");
  EXPECT_EQ(LastComponent("C:\\BOATS\\", "\\:"), "");
}

TEST(FileLookup, SharedDataDirectoryIsBesideTheProgramsDirectory) {
  struct Case {
    std::string programDir, expected;
  } cases[] = {
      {"/usr/bin", "/usr/share/hulvex"},
      {"/opt/hulvex/bin/", "/opt/hulvex/share/hulvex"},
      {"/tmp/stage/usr/local/bin/../bin", "/tmp/stage/usr/local/share/hulvex"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SharedDataDirectory(c.programDir), c.expected) << c.programDir;
}

}  // namespace
}  // namespace hulvex
