// The catalogue of bad runs: each damaged run is opened with OpenRun and must give exactly the
// expected messages (or the expected error), leave nothing half loaded, and let the same loaded
// run open a good run normally afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>

#include "common/error.h"
#include "hull/boat_record_layout.h"
#include "run/loaded_run.h"
#include "runfiles/run_parameters_layout.h"
#include "runfiles/time_history_layout.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"
#include "video/frame_composition.h"
#include "video/video_player.h"

namespace hulvex {
namespace {
namespace RL = run_parameters_layout;
namespace TL = time_history_layout;
namespace BL = boat_record_layout;
using test_support::Int16Bytes;
using test_support::Int32Bytes;
using test_support::PatchFile;
using test_support::Real32Bytes;
using test_support::Real64Bytes;
using test_support::TempDir;
using test_support::TruncateFile;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr std::int32_t kSteps = 20;

// The boat of a case: an analytic hull type, or a spline boat of a layout (type 1 with slope
// factors for SlopeFactor).
struct BoatKind {
  int HullType = 1;
  std::optional<SplineLayout> Spline;
};
const BoatKind kType1{};
const BoatKind kType4{4, std::nullopt};
const BoatKind kPlainChine{7, SplineLayout::PlainChine};
const BoatKind kInnerChine{7, SplineLayout::InnerChine};
const BoatKind kSlopeFactors{1, SplineLayout::SlopeFactor};

// The files of a written run.
struct RunFiles {
  std::string Dir, Run, Hvx, Tts, Txt, Bot, Spline;
};

struct BadRun {
  std::string Name;
  BoatKind Boat;
  std::function<void(const RunFiles&)> Damage;
  // What the open gives: an error with this text, or a result.
  std::string Thrown;
  RunOpenResult Result = RunOpenResult::Loaded;
  // Messages in order; "{DIR}", "{RUN}", "{TTS}", "{HVX}", "{BOT}", "{SPLINE}" stand for the run's paths.
  std::vector<std::string> Messages{};
  bool Drawable = false;  // for a loaded run
  std::string RunName = "BAD";
};

std::string Expand(std::string text, const RunFiles& f) {
  const std::pair<const char*, const std::string*> keys[] = {
      {"{DIR}", &f.Dir}, {"{RUN}", &f.Run}, {"{TTS}", &f.Tts}, {"{HVX}", &f.Hvx}, {"{BOT}", &f.Bot}, {"{SPLINE}", &f.Spline}};
  for (const auto& [key, value] : keys)
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value->size()))
      text.replace(at, std::strlen(key), *value);
  return text;
}

// A good run of 20 steps with `boat` as "C:\BOATS\TEST.BOT" in `dir` (and its spline file
// LINES.TXT, 12 rows), a sinusoidal head sea, 40 stations.
RunFiles WriteGoodRun(const std::string& dir, const std::string& name, const BoatKind& boat) {
  std::filesystem::create_directories(dir);
  RunFiles f;
  f.Dir = dir;
  f.Bot = dir + "/TEST.BOT";
  f.Spline = dir + "/LINES.TXT";
  if (boat.Spline) {
    demo::WriteBoatFile(f.Bot, demo::SampleSplineBoat(*boat.Spline, "LINES.TXT"));
    demo::WriteSplineFile(f.Spline, demo::SampleSplineTable(*boat.Spline, 12));
  } else {
    demo::WriteBoatFile(f.Bot, demo::SampleBoat(boat.HullType));
  }
  demo::HistorySpec spec;
  spec.Steps = kSteps;
  f.Run = demo::WriteSampleRun(dir, name, demo::SampleRunParameters(), spec, "Bad run.\r\n");
  f.Hvx = f.Run + ".HVX";
  f.Tts = f.Run + ".TTS";
  f.Txt = f.Run + ".TXT";
  return f;
}

// Shows a loaded, drawable run as the viewer would: frames of a few steps, the video prepared
// and two ticks of playback. Nothing here may fault, whatever numbers the files held.
void ShowRun(LoadedRun& run, Diagnostics& diag) {
  const FrameGeometry g = FrameGeometryOf(run.Hull);
  VideoFrame frame;
  for (std::int32_t s : {0, run.History.StepCount() - 1}) {
    ComposeStep(frame, g, run.Sea, ReadStep(run.History, s, false, diag), 0.0f, kShowStepThreshold, diag);
    EXPECT_EQ(frame.List.pairs[frame.List.count - 1].a, kEndListMarker);
  }
  VideoPlayer video;
  video.PrepareVideo(run.History, run.SmoothTrack, g, run.Sea);
  video.ShowStep(0, diag);
  if (video.StartPlayback(0, diag)) {
    video.Tick(1.0f, diag);
    video.Tick(1.0f, diag);
  }
}

// ---- the damage done by the cases ----

auto Remove(std::string RunFiles::*file) {
  return [file](const RunFiles& f) { std::filesystem::remove(f.*file); };
}
auto Cut(std::string RunFiles::*file, std::size_t size) {
  return [file, size](const RunFiles& f) { TruncateFile(f.*file, size); };
}
auto Patch(std::string RunFiles::*file, std::size_t offset, std::vector<std::uint8_t> bytes) {
  return [file, offset, bytes](const RunFiles& f) { PatchFile(f.*file, offset, bytes); };
}
auto Both(std::function<void(const RunFiles&)> a, std::function<void(const RunFiles&)> b) {
  return [a, b](const RunFiles& f) {
    a(f);
    b(f);
  };
}
auto SplineText(SplineLayout layout, int rows, demo::SplineTextOptions options = {},
                std::function<void(demo::SplineTable&)> edit = nullptr) {
  return [=](const RunFiles& f) {
    demo::SplineTable t = demo::SampleSplineTable(layout, rows);
    if (edit) edit(t);
    demo::WriteSplineFile(f.Spline, t, options);
  };
}
auto SplineBytes(std::string text) {
  return [text](const RunFiles& f) { demo::WriteTextFile(f.Spline, text); };
}
std::size_t StepOffset(std::int32_t s) { return TL::kRecordSize * static_cast<std::size_t>(s + 1); }

const std::string kNoLines = "The hull cannot be drawn: no hull lines are loaded for this boat";

std::vector<BadRun> Catalogue() {
  std::vector<BadRun> c;
  const auto refused = RunOpenResult::HistoryRefused;

  // Missing files.
  c.push_back({"MissingHvx", kType1, Remove(&RunFiles::Hvx), "File not found: {HVX}"});
  c.push_back({"MissingTts", kType1, Remove(&RunFiles::Tts), "", RunOpenResult::HistoryMissing,
               {"No file\n{TTS}", "Missing KVR file"}});
  c.push_back({"MissingTxt", kType1, Remove(&RunFiles::Txt), "", RunOpenResult::Loaded, {"Cannot open file {RUN}.TXT"},
               true});
  c.push_back({"MissingTxtAndTts", kType1, Both(Remove(&RunFiles::Txt), Remove(&RunFiles::Tts)), "",
               RunOpenResult::HistoryMissing, {"No file\n{TTS}", "Cannot open file {RUN}.TXT", "Missing KVR file"}});
  c.push_back({"MissingBoat", kType1, Remove(&RunFiles::Bot), "", RunOpenResult::Loaded,
               {"Boat File Not Found!\nTEST.BOT — looked in {DIR}"}});
  c.push_back({"MissingHullLines", kPlainChine, Remove(&RunFiles::Spline), "", RunOpenResult::Loaded,
               {"No Spline File for=C:\\BOATS\\TEST.BOT", kNoLines}});
  c.push_back({"MissingSlopeFactors", kSlopeFactors, Remove(&RunFiles::Spline), "", RunOpenResult::Loaded,
               {"No Spline File for=C:\\BOATS\\TEST.BOT"}, true});

  // Run parameter file cut at its start, inside the boat-file string, inside a real and one byte short.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{40}, std::size_t{98}, RL::kRecordSize - 1})
    c.push_back({"HvxCutAt" + std::to_string(size), kType1, Cut(&RunFiles::Hvx, size), "Read beyond end of file: {HVX}"});

  // Time history cut at every record boundary and inside fields.
  c.push_back({"TtsEmpty", kType1, Cut(&RunFiles::Tts, 0), "Read beyond end of file: {TTS}"});
  c.push_back({"TtsCutInMagic", kType1, Cut(&RunFiles::Tts, 1), "Read beyond end of file: {TTS}"});
  c.push_back({"TtsCutInStartTime", kType1, Cut(&RunFiles::Tts, TL::kStartTime + 3), "Read beyond end of file: {TTS}"});
  c.push_back({"TtsCutInLastStep", kType1, Cut(&RunFiles::Tts, TL::kLastStep + 2), "Read beyond end of file: {TTS}"});
  c.push_back({"TtsHeaderOnly", kType1, Cut(&RunFiles::Tts, TL::kRecordSize), "", refused,
               {"Time history {TTS} is truncated: the header gives LastStep 19 but the file holds no complete time step"}});
  for (std::int32_t steps = 1; steps < kSteps; ++steps) {
    c.push_back({"TtsCutAfterStep" + std::to_string(steps), kType1, Cut(&RunFiles::Tts, StepOffset(steps)), "",
                 RunOpenResult::Loaded,
                 {"Time history {TTS} is truncated: the header gives LastStep 19 but the file holds " +
                  std::to_string(steps) + " complete time steps (0 to " + std::to_string(steps - 1) + ")"},
                 true});
  }
  c.push_back({"TtsCutInStepTime", kType1, Cut(&RunFiles::Tts, StepOffset(7) + TL::kStepTime + 5), "",
               RunOpenResult::Loaded,
               {"Time history {TTS} is truncated: the header gives LastStep 19 but the file holds 7 complete time "
                "steps (0 to 6)"},
               true});
  c.push_back({"TtsCutInFirstStep", kType1, Cut(&RunFiles::Tts, StepOffset(0) + 30), "", refused,
               {"Time history {TTS} is truncated: the header gives LastStep 19 but the file holds no complete time step"}});

  // Header fields.
  c.push_back({"WrongMagic", kType1, Patch(&RunFiles::Tts, TL::kMagic, Int16Bytes(31999)), "", refused,
               {"OLD KVR FILE FORMAT, MUST CONVERT"}});
  for (std::int16_t last : {std::int16_t{-1}, std::int16_t{110}, std::int16_t{32767}})
    c.push_back({"LastChannel" + std::to_string(last), kType1, Patch(&RunFiles::Tts, TL::kLastChannel, Int16Bytes(last)),
                 "", refused,
                 {"Time history {TTS}: LastChannel " + std::to_string(last) +
                  " is outside 0 to 109; the file cannot be read"}});
  c.push_back({"LastStepMinus1", kType1, Patch(&RunFiles::Tts, TL::kLastStep, Int32Bytes(-1)), "", refused,
               {"Time history {TTS} holds no time steps (LastStep -1)"}});
  for (std::int32_t last : {kSteps, 2147483647})
    c.push_back({"LastStep" + std::to_string(last), kType1, Patch(&RunFiles::Tts, TL::kLastStep, Int32Bytes(last)), "",
                 RunOpenResult::Loaded,
                 {"Time history {TTS} is truncated: the header gives LastStep " + std::to_string(last) +
                  " but the file holds 20 complete time steps (0 to 19)"},
                 true});

  // Station counts.
  for (std::int16_t n : {std::int16_t{0}, std::int16_t{-5}})
    c.push_back({"StationCount" + std::to_string(n), kType1, Patch(&RunFiles::Hvx, RL::kStationCount, Int16Bytes(n)), "",
                 RunOpenResult::Loaded,
                 {"Station count " + std::to_string(n) + ": the hull needs at least one station and is not drawn"}});
  for (std::int16_t n : {std::int16_t{41}, std::int16_t{32767}})
    c.push_back({"StationCount" + std::to_string(n), kType1, Patch(&RunFiles::Hvx, RL::kStationCount, Int16Bytes(n)), "",
                 RunOpenResult::Loaded,
                 {"Station count " + std::to_string(n) + " is above 40: 40 stations are used"}, true});

  // Sea settings.
  auto waves = [](std::int16_t kind) { return Patch(&RunFiles::Hvx, RL::kWaves, Int16Bytes(kind)); };
  c.push_back({"Waves7", kType1, waves(7), "", RunOpenResult::Loaded,
               {"Sea refused, drawn flat: Waves = 7 (the sea kind must be 0 to 4)"}, true});
  for (std::int16_t n : {std::int16_t{0}, std::int16_t{41}})
    c.push_back({"RWvN" + std::to_string(n), kType1, Both(waves(0), Patch(&RunFiles::Hvx, RL::kRWvN, Int16Bytes(n))), "",
                 RunOpenResult::Loaded,
                 {"Sea refused, drawn flat: RWvN = " + std::to_string(n) + " (the random sea needs 1 to 40 components)"},
                 true});
  for (std::int16_t n : {std::int16_t{0}, std::int16_t{10}})
    c.push_back({"StokesN" + std::to_string(n), kType1, Both(waves(4), Patch(&RunFiles::Hvx, RL::kStokesN, Int16Bytes(n))),
                 "", RunOpenResult::Loaded,
                 {"Sea refused, drawn flat: StokesN = " + std::to_string(n) + " (the Stokes sea needs 1 to 9 terms)"}, true});
  const std::pair<const char*, float> badSteepness[] = {{"0", 0.0f}, {"Minus", -0.05f}, {"NaN", kNaN}, {"Inf", kInf}};
  for (const auto& [name, v] : badSteepness) {
    const std::string shown = name == std::string("0") ? "0" : name == std::string("Minus") ? "-0.05" : name == std::string("NaN") ? "nan" : "inf";
    for (std::int16_t kind : {std::int16_t{0}, std::int16_t{2}, std::int16_t{3}, std::int16_t{4}})
      c.push_back({std::string("WvSteep") + name + "Sea" + std::to_string(kind), kType1,
                   Both(waves(kind), Patch(&RunFiles::Hvx, RL::kWvSteep, Real32Bytes(v))), "", RunOpenResult::Loaded,
                   {"Sea refused, drawn flat: WvSteep = " + shown + " (the wave steepness must be a positive number)"},
                   true});
  }
  for (float v : {kNaN, kInf, -kInf})
    for (std::int16_t kind : {std::int16_t{0}, std::int16_t{2}}) {
      const std::string shown = std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf";
      c.push_back({"WvHHS" + std::string(std::isnan(v) ? "NaN" : v > 0 ? "Inf" : "MinusInf") + "Sea" + std::to_string(kind),
                   kType1, Both(waves(kind), Patch(&RunFiles::Hvx, RL::kWvHHS, Real32Bytes(v))), "",
                   RunOpenResult::Loaded,
                   {"Sea refused, drawn flat: WvHHS = " + shown + " (the wave height must be a number, 0 or more)"},
                   true});
    }
  c.push_back({"RWvTdelayNaN", kType1, Both(waves(0), Patch(&RunFiles::Hvx, RL::kRWvTdelay, Real32Bytes(kNaN))), "",
               RunOpenResult::Loaded, {"Sea refused, drawn flat: RWvTdelay = nan (the prior duration must be a number)"},
               true});

  // Boat fields that the hull formulas divide by (or that make a divisor), non-finite, on a type-4
  // hull (deadrise and plan-form formulas in use). The picture needs finite keel, chine and sheer
  // heights only; other non-finite section values are not drawn.
  const std::string notPositive = "The hull cannot be drawn: the boat length is not positive";
  const std::string spacing = "The hull cannot be drawn: the station spacing or the centre of gravity is not finite";
  const std::string station0 = "The hull cannot be drawn: the hull section at station 0 is not finite";
  const std::vector<std::string> none;
  const std::vector<std::string> axb15(15, "AXB ERR");
  std::vector<std::string> aaBelowOne{"PB.AA exponent cannot be less than unity"};
  aaBelowOne.insert(aaBelowOne.end(), axb15.begin(), axb15.end());
  struct DivisorCase {
    const char* Field;
    std::size_t Offset;
    std::vector<std::string> NaN, Inf, MinusInf;  // messages for each value ...
    bool DrawnNaN, DrawnInf, DrawnMinusInf;        // ... and whether the hull is drawn
  };
  const DivisorCase divisors[] = {
      {"ForeLength", BL::kForeLength, {notPositive}, {spacing}, {notPositive}, false, false, false},
      {"AftLength", BL::kAftLength, {notPositive}, {spacing}, {notPositive}, false, false, false},
      {"ChineLength", BL::kChineLength, std::vector<std::string>(75, "AXB ERR"), none, none, true, true, true},
      {"DeadriseLength", BL::kDeadriseLength, none, none, none, true, true, true},
      {"PlanExp", BL::kPlanExp, {station0}, {station0}, {station0}, false, false, false},
      {"PlanOffset", BL::kPlanOffset, {station0}, {station0}, {station0}, false, false, false},
      {"AA", BL::kAA, none, none, aaBelowOne, true, true, true},
      {"StemRake", BL::kStemRake, none, none, none, true, true, true},
      {"SheerLowX", BL::kSheerLowX, none, none, none, true, true, true},
      {"KeelDepth", BL::kKeelDepth, {spacing}, {spacing}, {spacing}, false, false, false},
      {"ChineDepth", BL::kChineDepth, none, none, none, true, true, true},
      {"GunwaleExp1", BL::kGunwaleExp1, none, none, axb15, true, true, true},
  };
  for (const DivisorCase& d : divisors) {
    const std::string field = d.Field;
    c.push_back({"Boat" + field + "NaN", kType4, Patch(&RunFiles::Bot, d.Offset, Real32Bytes(kNaN)), "",
                 RunOpenResult::Loaded, d.NaN, d.DrawnNaN});
    c.push_back({"Boat" + field + "Inf", kType4, Patch(&RunFiles::Bot, d.Offset, Real32Bytes(kInf)), "",
                 RunOpenResult::Loaded, d.Inf, d.DrawnInf});
    c.push_back({"Boat" + field + "MinusInf", kType4, Patch(&RunFiles::Bot, d.Offset, Real32Bytes(-kInf)), "",
                 RunOpenResult::Loaded, d.MinusInf, d.DrawnMinusInf});
  }

  // Time-history values that the picture divides by or positions with.
  c.push_back({"EndTimeNaN", kType1, Patch(&RunFiles::Tts, TL::kEndTime, Real64Bytes(std::nan(""))), "",
               RunOpenResult::Loaded, {}, true});
  c.push_back({"StartTimeInf", kType1, Patch(&RunFiles::Tts, TL::kStartTime, Real64Bytes(kInf)), "",
               RunOpenResult::Loaded, {}, true});
  c.push_back({"StepTimeNaN", kType1, Patch(&RunFiles::Tts, StepOffset(1) + TL::kStepTime, Real64Bytes(std::nan(""))),
               "", RunOpenResult::Loaded, {}, true});
  for (int channel : {0, 3, 6, 7, 9, 10})
    for (float v : {kNaN, kInf})
      c.push_back({"Channel" + std::to_string(channel) + (std::isnan(v) ? "NaN" : "Inf"), kType1,
                   [channel, v](const RunFiles& f) {
                     for (std::int32_t s = 0; s < kSteps; ++s)
                       PatchFile(f.Tts, StepOffset(s) + TL::kFirstValues + 4 * static_cast<std::size_t>(channel),
                                 Real32Bytes(v));
                   },
                   "", RunOpenResult::Loaded, {}, true});

  // Hull types the program does not define.
  for (std::int16_t type : {std::int16_t{0}, std::int16_t{-3}})
    c.push_back({"HullType" + std::to_string(type), kType1, Patch(&RunFiles::Bot, BL::kHullType, Int16Bytes(type)), "",
                 RunOpenResult::Loaded,
                 {"Hull type " + std::to_string(type) +
                  " of boat file {BOT} is not defined: the boat is rejected and the hull is not drawn"}});
  c.push_back({"BoatCutInAField", kType1, Cut(&RunFiles::Bot, BL::kBoatName + 3), "Read beyond end of file: {BOT}"});
  c.push_back({"BoatOneByteShort", kType1, Cut(&RunFiles::Bot, BL::kRecordSize - 1), "Read beyond end of file: {BOT}"});
  c.push_back({"BoatEmpty", kType1, Cut(&RunFiles::Bot, 0), "Read beyond end of file: {BOT}"});

  // Spline files.
  c.push_back({"Spline31Rows", kPlainChine, SplineText(SplineLayout::PlainChine, 31), "", RunOpenResult::Loaded,
               {"Spline file {SPLINE} rejected: more than 30 rows", kNoLines}});
  c.push_back({"Spline3Rows", kPlainChine, SplineText(SplineLayout::PlainChine, 3), "", RunOpenResult::Loaded,
               {"Spline file {SPLINE} rejected: 3 rows, fewer than the 5 this layout needs", kNoLines}});
  c.push_back({"Spline3RowsSlope", kSlopeFactors, SplineText(SplineLayout::SlopeFactor, 3), "", RunOpenResult::Loaded,
               {"Spline file {SPLINE} rejected: 3 rows, fewer than the 4 this layout needs"}, true});
  c.push_back({"SplineEqualStations", kInnerChine,
               SplineText(SplineLayout::InnerChine, 12, {}, [](demo::SplineTable& t) { t.Rows[5][0] = t.Rows[4][0]; }),
               "", RunOpenResult::Loaded,
               {"Spline file {SPLINE} rejected: the stations do not increase strictly at row 4 (line 6)", kNoLines}});
  {
    demo::SplineTextOptions letter;
    letter.Replace = demo::SplineTextOptions::Replacement{3, 2, "1.2e"};
    c.push_back({"SplineLetterInNumber", kPlainChine, SplineText(SplineLayout::PlainChine, 12, letter), "",
                 RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: Invalid numeric input \"1.2e\" on line 4", kNoLines}});
    letter.Replace = demo::SplineTextOptions::Replacement{2, 0, "3,5"};
    c.push_back({"SplineCommaInStation", kSlopeFactors, SplineText(SplineLayout::SlopeFactor, 8, letter), "",
                 RunOpenResult::Loaded, {"Spline file {SPLINE} rejected: Invalid numeric input \"3,5\" on line 3"}, true});
  }
  {
    demo::SplineTextOptions lf;
    lf.LineEnd = "\n";
    // A lone LF does not end a line: after the first row the rest of the text is one line.
    c.push_back({"SplineLoneLf", kPlainChine, SplineText(SplineLayout::PlainChine, 12, lf), "", RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: 1 rows, fewer than the 5 this layout needs", kNoLines}});
    demo::SplineTextOptions sub;
    sub.EndWithCode26 = true;
    sub.AfterCode26 = "1 2 3 4 5 6 7 8\r\n";
    c.push_back({"SplineCode26AtEnd", kPlainChine, SplineText(SplineLayout::PlainChine, 12, sub), "",
                 RunOpenResult::Loaded, {}, true});
    const std::string text = demo::FormatSplineText(demo::SampleSplineTable(SplineLayout::PlainChine, 12));
    std::string middle = text;
    middle.insert(text.size() / 2, 1, '\x1a');
    // The text ends inside a row: its missing numbers read as 0, which the bottom cubic refuses.
    c.push_back({"SplineCode26InTheMiddle", kPlainChine, SplineBytes(middle), "", RunOpenResult::Loaded,
                 {"Error in Slope specification", "Error in Slope specification"}, true});
    c.push_back({"SplineCutInANumber", kPlainChine, SplineBytes(text.substr(0, text.size() / 2 + 3)), "",
                 RunOpenResult::Loaded, {"Error in Slope specification", "Error in Slope specification"}, true});
    c.push_back({"SplineNaNValue", kPlainChine,
                 SplineText(SplineLayout::PlainChine, 12, {}, [](demo::SplineTable& t) { t.Rows[4][1] = std::nan(""); }),
                 "", RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: Invalid numeric input \"nan\" on line 5", kNoLines}});
    c.push_back({"SplineInfStation", kPlainChine,
                 SplineText(SplineLayout::PlainChine, 12, {}, [](demo::SplineTable& t) { t.Rows[11][0] = kInf; }), "",
                 RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: Invalid numeric input \"inf\" on line 12", kNoLines}});
    c.push_back({"SplineEmpty", kInnerChine, SplineBytes(""), "", RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: 0 rows, fewer than the 6 this layout needs", kNoLines}});
    c.push_back({"SplineBinary", kInnerChine, SplineBytes(std::string("\0\x01\xff\x80 1 2\r", 8)), "",
                 RunOpenResult::Loaded,
                 {"Spline file {SPLINE} rejected: Invalid numeric input \"\xff\x80\" on line 1", kNoLines}});
  }
  // A boat name of 48 blanks: no spline file name.
  c.push_back({"BoatNameBlankSplineHull", kPlainChine, Patch(&RunFiles::Bot, BL::kBoatName, std::vector<std::uint8_t>(48, ' ')),
               "", RunOpenResult::Loaded, {"No Spline File for=C:\\BOATS\\TEST.BOT", kNoLines}});
  c.push_back({"BoatNameBlankSlopeFactors", kSlopeFactors,
               Patch(&RunFiles::Bot, BL::kBoatName, std::vector<std::uint8_t>(48, ' ')), "", RunOpenResult::Loaded,
               {"No Spline File for=C:\\BOATS\\TEST.BOT"}, true});
  c.push_back({"BoatNameBlankAnalytic", kType1, Patch(&RunFiles::Bot, BL::kBoatName, std::vector<std::uint8_t>(48, ' ')),
               "", RunOpenResult::Loaded, {}, true});

  // Long run paths open normally (the run name makes the path longer than 87 and 91 characters).
  for (std::size_t length : {std::size_t{88}, std::size_t{92}, std::size_t{200}}) {
    BadRun longPath{"RunPathLongerThan" + std::to_string(length - 1), kType1, nullptr, "", RunOpenResult::Loaded, {}, true};
    longPath.RunName = "L" + std::string(length, 'x');  // trimmed to the length in the test
    c.push_back(longPath);
  }
  return c;
}

class BadRuns : public ::testing::TestWithParam<BadRun> {};

TEST_P(BadRuns, GiveTheirMessagesAndLeaveTheRunUsable) {
  const BadRun& bad = GetParam();
  TempDir dir;
  std::string name = bad.RunName;
  if (name[0] == 'L') {  // a run path of exactly the wanted length
    const std::size_t want = name.size() - 1;
    const std::size_t prefix = dir.path().size() + 1;
    ASSERT_LT(prefix + 1, want);
    name = std::string(want - prefix, 'R');
  }
  const RunFiles files = WriteGoodRun(dir.path(), name, bad.Boat);
  if (bad.RunName[0] == 'L') {
    EXPECT_EQ(files.Run.size(), bad.RunName.size() - 1);
  }
  if (bad.Damage) bad.Damage(files);

  LoadedRun run;
  CollectingDiagnostics diag;
  std::optional<RunOpenResult> result;
  try {
    result = OpenRun(run, files.Run, diag);
    EXPECT_EQ(bad.Thrown, "") << "no error was raised";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), Expand(bad.Thrown, files));
  }
  std::vector<std::string> expected;
  for (const std::string& m : bad.Messages) expected.push_back(Expand(m, files));
  EXPECT_EQ(diag.messages, expected);

  if (!result) {
    EXPECT_FALSE(run.History.IsOpen);
    EXPECT_FALSE(run.Hull.Drawable);
  } else {
    EXPECT_EQ(*result, bad.Result);
    EXPECT_EQ(run.History.IsOpen, *result == RunOpenResult::Loaded);
    if (*result == RunOpenResult::Loaded) {
      EXPECT_EQ(run.Hull.Drawable, bad.Drawable) << run.Hull.NotDrawableReason;
      if (run.Hull.Drawable) ShowRun(run, diag);
    } else {
      EXPECT_FALSE(run.Hull.Drawable);
    }
  }

  // The same loaded run opens a good run normally.
  const RunFiles good = WriteGoodRun(dir / "good", "GOOD", bad.Boat);
  CollectingDiagnostics goodDiag;
  ASSERT_EQ(OpenRun(run, good.Run, goodDiag), RunOpenResult::Loaded);
  EXPECT_TRUE(goodDiag.messages.empty()) << goodDiag.messages.front();
  EXPECT_TRUE(run.Hull.Drawable) << run.Hull.NotDrawableReason;
  EXPECT_EQ(run.History.StepCount(), kSteps);
  EXPECT_EQ(run.Hull.Stations.StationCount, 40);
  ShowRun(run, goodDiag);
  EXPECT_TRUE(goodDiag.messages.empty()) << goodDiag.messages.front();
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadRuns, ::testing::ValuesIn(Catalogue()),
                         [](const ::testing::TestParamInfo<BadRun>& testInfo) {
                           std::string name;
                           for (char ch : testInfo.param.Name) name += ch == '-' ? std::string("Minus") : std::string(1, ch);
                           return name;
                         });

}  // namespace
}  // namespace hulvex
