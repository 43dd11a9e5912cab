#pragma once

// The meter's answers to the per-path diagnostic query "qg KP8": the
// extended diagnostic answer (kind 2, meters with the memory block) and the
// Echoflux channel answer (kind 0 on a channel in the Echoflux mode), and the
// drift of the readings they and the variable reads show.

#include <string>
#include <vector>

namespace tarnlux::meter {

class Meter;

// The figures of a path that no variable holds, at the path's current
// diagnostic sample (the profile's [signal] values at sample 0).
struct PathFigures {
  double soundSpeed = 0;  // in the units the meter shows now
  double snrUp = 0;
  double snrDown = 0;
  int adcFill = 0;
  int envelope = 0;
  double correlation = 0;
};
PathFigures pathFigures(Meter& meter, int index);

// Whether the meter shows metric velocities now (the profile's choice, turned
// over once the units-change fault has struck).
bool showsMetric(const Meter& meter);

// Where the NullTrack readings of a path lie: the path index plus the site
// slot bits plus 1, plus 2 when the paths form one measurement. -1 when the
// path has no NullTrack (capability bit 8 + path and bit 3).
int nullTrackIndex(const Meter& meter, int path);

// Counts a diagnostic query of `index` and moves the drifting variables of
// that index (accept, alc_avg, vfv, delta_t, sigstr) to their next sample;
// when the units fault strikes, switches velocities and flow unit texts.
void advanceDiagnostics(Meter& meter, int index);

// The lines after the header of "qg 2P8": one line of 38 fields.
std::vector<std::string> extendedDiagnosticLines(Meter& meter, int path);

// The lines after the header of "qg 0C8" on an Echoflux channel: the channel
// line (15 fields), the spectrum line (N bins) and the figure line.
std::vector<std::string> echofluxLines(Meter& meter, int channel);

// The channel runs in the Echoflux mode (capability bit 12 + channel).
bool isEchofluxChannel(const Meter& meter, int channel);

}  // namespace tarnlux::meter
