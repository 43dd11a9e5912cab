#include "diag/pass_fail_limits.h"

namespace tarnlux {

void resetLimitsToDefaults(PassFailLimits& limits, bool gasMeter, bool extendedDiagnostics) {
  const RealLimitPair correlation = limits.transitTime.correlationQuality;
  limits = PassFailLimits();
  if (gasMeter) {
    limits.transitTime.alc = {45, 35};
    limits.transitTime.nullTrackAlc = {50, 40};
  }
  if (!extendedDiagnostics) limits.transitTime.correlationQuality = correlation;
}

}  // namespace tarnlux
