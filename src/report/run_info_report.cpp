#include "report/run_info_report.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

namespace hulvex {

namespace {

void WriteValue(JsonWriter& j, std::uint8_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, bool v) { j.Bool(v); }
void WriteValue(JsonWriter& j, std::int16_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, std::int32_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, float v) { j.Number(v); }
void WriteValue(JsonWriter& j, const std::string& v) { j.Text8(v); }
template <typename Point, std::size_t N>
void WriteValue(JsonWriter& j, const std::array<Point, N>& slots) {
  j.BeginArray();
  for (const Point& slot : slots) {
    j.BeginObject();
    for (const auto& value : SlotValues(slot)) j.Key(value.Name).Number(slot.*value.Member);
    j.EndObject();
  }
  j.EndArray();
}

template <typename T>
bool Is(const RunParameterField& f, T RunParameters::*member) {
  const auto* held = std::get_if<T RunParameters::*>(&f.Member);
  return held && *held == member;
}

}  // namespace

void WriteRunParametersJson(JsonWriter& j, const RunParameters& p) {
  j.BeginObject();
  for (const RunParameterField& f : RunParameterFields()) {
    j.Key(f.Name);
    std::visit([&](auto member) { WriteValue(j, p.*member); }, f.Member);
    // The names of the coded values follow their codes.
    if (Is(f, &RunParameters::DOFMode)) {
      j.Key("DOFModeName").String(ModeName(p.DOFMode));
      j.Key("SpeedSpecified").Bool(p.SpeedSpecified);
    }
    if (Is(f, &RunParameters::Waves)) j.Key("WavesName").String(SeaKindName(p.Waves));
  }
  j.EndObject();
}

void WriteHistoryHeaderJson(JsonWriter& j, const TimeHistory& h) {
  j.BeginObject();
  j.Key("Magic").Integer(h.Header.Magic);
  j.Key("LastChannel").Integer(h.Header.LastChannel);
  j.Key("StartTime").Number(h.Header.StartTime);
  j.Key("EndTime").Number(h.Header.EndTime);
  j.Key("HeaderText").Text8(h.Header.HeaderText);
  j.Key("LastStep").Integer(h.Header.LastStep);
  j.Key("StepsInFile").Integer(WholeStepsInFile(h.Header, h.File.CurrentSize()));
  j.Key("RecordsPerStep").Integer(h.RecordsPerStep);
  j.Key("StepsIndexed").Integer(h.StepCount());
  j.EndObject();
}

}  // namespace hulvex
