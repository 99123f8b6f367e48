#include "runfiles/channel_vocabulary.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "common/constants.h"
#include "runfiles/time_history.h"

namespace hulvex {
namespace {

struct NamedChannel {
  int Channel;
  std::string_view Name, Unit;
  double Factor;
  std::string_view Key;
};

constexpr NamedChannel kNamed[] = {
    {kChHeight, "Height of the centre of gravity", "ft", 1.0, "Heave"},
    {kChAcceleration, "Vertical acceleration", "g", kFtPerS2ToG, "Acceleration"},
    {kChPitch, "Pitch", "deg", kRadToDeg, "Pitch"},
    {kChDistance, "Distance along the course", "ft", 1.0, "Distance"},
    {kChSpeed, "Speed", "kt", kFtPerSToKnots, "Speed"},
    {kChSurfaceGain, "Local surface term gain", "raw", 1.0, "SurfaceGain"},
    {kChSurfaceStart, "Local surface term start", "raw", 1.0, "SurfaceStart"},
    {kChSurfaceEnd, "Local surface term end", "raw", 1.0, "SurfaceEnd"},
};

const NamedChannel* FindNamed(int channel) {
  const auto* it = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const NamedChannel& n) { return n.Channel == channel; });
  return it == std::end(kNamed) ? nullptr : it;
}

}  // namespace

ChannelInfo ChannelInfoOf(int channel) {
  if (const NamedChannel* n = FindNamed(channel)) {
    return {channel, std::string(n->Name), std::string(n->Unit), n->Factor, std::string(n->Key)};
  }
  const std::string number = std::to_string(channel);
  return {channel, "Channel " + number, "raw", 1.0, "Channel" + number};
}

double DisplayFactorOf(int channel) {
  const NamedChannel* n = FindNamed(channel);
  return n ? n->Factor : 1.0;
}

}  // namespace hulvex
